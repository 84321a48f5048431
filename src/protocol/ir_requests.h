#pragma once

#include "link/request_layout.h"

// Requests of the IR learn-and-send modules, numbered in the short layout. All have the same
// shape: module, command 3, sub-command, 0, IR number. Plain functions of plain values.
namespace ir {

Request learn(int module, int irNo);
Request exitLearning(int module, int irNo);
Request removeOne(int module, int irNo);
// Every code of the module: IR number 0xFF.
Request removeAll(int module);
// Replays a stored code.
Request send(int module, int irNo);

} // namespace ir
