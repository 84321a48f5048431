#pragma once

#include "link/request_layout.h"

#include <QList>

struct Reply;

// Requests of the relay ("light") modules, numbered in the short layout. Channels are given
// 1-based as the window shows them and go out minus one.
namespace light {

Request on(int module, int channel);
Request off(int module, int channel);
Request toggle(int module, int channel);
// Every channel of every module: address and channel are both 0xFF.
Request allOn();
Request allOff();
// How long a channel stays on once switched on, in whole seconds (16 bits).
Request onDuration(int module, int channel, int seconds);
// The channel states of one module (command 0, so the curtain tab uses it too).
Request readStatus(int module);
// The bus-wide relay delay; one count on the wire is 2/3 µs.
int relayDelayCount(int microseconds);
Request relayDelay(int microseconds);

// The channel states of a status reply (0x80/0x08), first channel first: bit 0 of each state
// byte. Nothing when the reply does not report success in byte 7 or carries no state bytes.
QList<bool> channelStates(const Reply& reply);

} // namespace light
