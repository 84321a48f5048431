#pragma once

#include <QString>

// Fills the disk of `folder` (a small tmpfs of ReadOnlyMounts::smallDisk) with one file,
// "filler", until only `leaveBytes` (rounded up to whole 4 KiB pages) stay free; 0 fills it
// to the last byte.
void fillDisk(const QString& folder, qint64 leaveBytes = 0);
