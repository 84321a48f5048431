#pragma once

#include "link/request_layout.h"

#include <QByteArray>
#include <QString>

class FrameBuffer;

// Requests and reply decoding of the gateway's monitor bindings and of the binding function
// test, numbered in the short layout. Everything here is a plain function of plain values.
//
// A monitor slot stands for one device: slots 1..64 are lights, 65..96 curtains and 97..224 air
// conditioners. Light and curtain slots are bound to a module and a channel, air-conditioner
// slots to a module and an IR code number.
namespace monitor {

inline constexpr int kSlotCount = 224;
inline constexpr quint8 kGateway = 0xFF;

enum TypeCode : quint8 { kNoType = 0, kLight = 1, kCurtain = 2, kAirConditioner = 3 };

// The device type a slot number stands for; kNoType outside 1..224.
TypeCode typeCode(int slot);
// First and last slot of a "Device Type :" item ("Light", "Curtain", "AC"); 0 for "All" or
// anything else, which has no slots.
int firstSlot(const QString& deviceType);
int lastSlot(const QString& deviceType);

// The device byte on the wire. Light and curtain: the device number minus one. Air
// conditioner: the device number minus one in the high four bits and the slot's place in its
// group of four in the low bits (slot 97 gives 0, 100 gives 3, 101 gives 0 again).
quint8 deviceByte(int slot, int deviceNo);

// One slot as its row describes it.
struct Slot {
    int order = 0;
    int roomNo = 1;
    int deviceNo = 1;
};

// Set binding: the module and, by the slot's type, the channel (1-based, sent minus one) or
// the IR code number.
Request set(const Slot& slot, int module, int channel, int irNo);
// Read one slot's binding.
Request read(const Slot& slot);

// What a slot's row holds for a binding: the module and the channel (1-based) or IR number.
struct Binding {
    int address = 0;
    int channel = 0;
};
// The binding a Set sends, as the row records it once the gateway has taken it.
Binding setBinding(int slot, int module, int channel, int irNo);
// Reply 0x80/0x10: reply byte 7 the module, reply byte 8 the channel minus one (light,
// curtain) or the IR number (air conditioner).
Binding readBinding(int slot, quint8 module, quint8 value);

} // namespace monitor

// The bind-test frames of the "Binding Function Test" group: a device addressed by room and
// device number (both 1-based, sent minus one), or a scene. Each function gives the payload,
// the bytes between the length byte and the sum byte.
namespace bindtest {

enum class CurtainMove { Close = 0, Open = 1, Stop = 2 };
enum class AcMode { Cold, StrongCold, Wind, PowerOff };

QByteArray light(int room, int device, bool on);
QByteArray lightStatus(int room, int device);
QByteArray curtain(int room, int device, CurtainMove move);
QByteArray curtainStatus(int room, int device);
QByteArray airConditioner(int room, int device, AcMode mode);
QByteArray scene(int scene);

// Request byte 2 (the frame length: header, length, payload and sum) and the payload from
// request byte 3 on; the send routine fills the header and the sum.
void write(FrameBuffer& buffer, const QByteArray& payload);

// A bind-test reply that reports a state: reply byte 3 0x82 (light) or 0x83 (curtain), reply
// byte 7 the state, 0 or 1. Every other reply reports nothing.
struct StatusReport {
    enum Kind { None, Light, Curtain } kind = None;
    bool on = false; // light on, curtain open
};
StatusReport statusReport(quint8 kind, quint8 state);

} // namespace bindtest
