#pragma once

#include "link/request_layout.h"

#include <QList>
#include <QString>
#include <QStringList>

// Requests of the scene commands and the texts a confirmed scene leaves in "Scene Records",
// numbered in the short layout. Everything here is a plain function of plain values.
//
// A Set ends with a channel table, one byte per channel: for a light or curtain module the
// target of the channel, for an IR module the IR code number of the slot.
namespace scene {

inline constexpr int kChannels = 8; // CH1..CH8, IR1..IR8

// The CH lists' items in item order: "Off/Close", "On/Open", "No Change".
const QStringList& targetItems();
// The wire byte of a CH item: 0x00, 0x01, 0xFF (an unknown item changes nothing: 0xFF).
quint8 targetByte(int itemIndex);
// What a confirmed IR scene writes into a CH column: "IR No." and the number, no space.
QString irChannelText(int irNo);

// The first `count` channels of a light/curtain scene (CH item indices) or an IR scene
// (IR numbers); `count` is "Module Channels", kept within the values given.
Request setTargets(int module, int sceneNo, const QList<int>& itemIndices, int count);
Request setIr(int module, int sceneNo, const QList<int>& irNumbers, int count);
// Calls the scene on every module; no module address of its own.
Request test(int sceneNo);
// Empties every scene of the module (the scene number travels along, the module ignores it).
Request clearAll(int module, int sceneNo);

} // namespace scene
