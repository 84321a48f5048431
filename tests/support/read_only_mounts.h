#pragma once

#include <QString>
#include <QStringList>

// Read-only files and folders for tests that run as root, who may write any file whatever its
// mode bits, and small disks to fill. The calling thread moves into a mount namespace of its
// own (once per process) and mounts there; nothing outside that thread sees the mounts, and the
// destructor takes them down again. Everything the test does with the files must run on that thread
// (the main thread of a Qt test).
//
//   ReadOnlyMounts mounts;
//   if (!mounts.readOnly(dir.path()))
//       QSKIP(qPrintable(mounts.errorString()));
class ReadOnlyMounts {
public:
    ReadOnlyMounts() = default;
    ~ReadOnlyMounts();
    ReadOnlyMounts(const ReadOnlyMounts&) = delete;
    ReadOnlyMounts& operator=(const ReadOnlyMounts&) = delete;

    // The file or folder at `path` becomes read-only (for root too).
    bool readOnly(const QString& path);
    // The file at `path`, inside a folder made read-only before, stays writable itself.
    bool writable(const QString& path);
    // An empty disk of `kib` KiB (a tmpfs) on the folder at `path`, to run out of room on.
    bool smallDisk(const QString& path, int kib);
    void release();
    QString errorString() const { return m_error; }

private:
    bool enterNamespace();
    bool bind(const QString& path, bool readOnly);

    QStringList m_mounted; // in mount order
    QString m_error;
};
