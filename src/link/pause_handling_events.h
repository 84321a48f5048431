#pragma once

#include <QtGlobal>

class QElapsedTimer;

// Waits on the main thread while still handling events (replies, timer ticks, clicks).
void pauseHandlingEvents(quint32 milliseconds);
// The same, counted from `since` (started earlier): what passed since then is not waited again.
// An invalid `since` counts from now.
void pauseHandlingEvents(quint32 milliseconds, const QElapsedTimer& since);
// The same until `going` turns false (a job or a reading started here, run to its end).
void handleEventsWhile(const bool& going);
