#pragma once

#include "link/request_layout.h"

// Requests of the curtain modules (command 1), numbered in the short layout. Channels are
// given 1-based and go out minus one.
namespace curtain {

Request open(int module, int channel);
Request close(int module, int channel);
Request stop(int module, int channel);
// Every channel of every module: address and channel are both 0xFF.
Request allOpen();
Request allClose();
Request allStop();
// Travel time in tenths of a second; the module takes milliseconds (16 bits).
Request travelTime(int module, int channel, int tenths);
// The same status read as the light tab's.
Request readStatus(int module);

} // namespace curtain
