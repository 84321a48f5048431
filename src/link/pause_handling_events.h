#pragma once

#include <QtGlobal>

// Waits on the main thread while still handling events (replies, timer ticks, clicks).
void pauseHandlingEvents(quint32 milliseconds);
