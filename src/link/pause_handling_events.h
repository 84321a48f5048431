#pragma once

#include <QtGlobal>

// Waits on the main thread while still handling events (replies, timer ticks, clicks).
void pauseHandlingEvents(quint32 milliseconds);
// The same until `going` turns false (a job or a reading started here, run to its end).
void handleEventsWhile(const bool& going);
