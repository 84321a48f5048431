#pragma once

#include <QByteArray>
#include <QtGlobal>

#include <functional>

// Status byte of a reply.
namespace status {
constexpr quint8 kOk = 1;
constexpr quint8 kAddressError = 2;
constexpr quint8 kChannelError = 3;
constexpr quint8 kMemoryError = 4;
constexpr quint8 kParameterError = 5;
constexpr quint8 kCommandError = 6;
constexpr quint8 kAddressOccupied = 7;
constexpr quint8 kIrError = 8;
} // namespace status

constexpr quint8 kBroadcast = 0xFF;
constexpr quint8 kNoValue = 0xFF;
constexpr quint16 kBusSwitchSubnet = 0xFFFF;

enum class ModuleKind { Light, Curtain, Ir, Input, Timer };

// One request as a module sees it, whatever link and layout carried it.
struct SimRequest {
    bool hasSubnet = false;
    quint16 subnet = 0;
    quint8 address = 0;
    quint8 command = 0;
    quint8 sub = 0;
    QByteArray params;

    quint8 param(int i) const { return i < params.size() ? quint8(params[i]) : quint8(0); }
};

// One answer: a BusFrame reply (command already with 0x80 added) or a BindFrame payload.
struct SimReply {
    bool bind = false;
    bool fromBusSwitch = false; // answered with subnet FF FF and address FF
    quint8 address = 0;
    quint8 command = 0;
    quint8 sub = 0;
    quint8 status = status::kOk;
    QByteArray data;    // BusFrame: bytes after the status byte
    QByteArray payload; // BindFrame: bytes between length and sum

    static SimReply to(const SimRequest& r, quint8 from, quint8 st, const QByteArray& d = {});
};

inline SimReply SimReply::to(const SimRequest& r, quint8 from, quint8 st, const QByteArray& d) {
    SimReply out;
    out.address = from;
    out.command = quint8(r.command | 0x80);
    out.sub = r.sub;
    out.status = st;
    out.data = d;
    return out;
}

// Where the answers to one request go, now or later (IR learning, slow deletes, restore).
using ReplySink = std::function<void(const SimReply&)>;

// The command a timer event or an input binding sends to another module.
struct Action {
    quint8 command = kNoValue;
    quint8 sub = kNoValue;
    quint8 module = kNoValue;
    quint8 channel = kNoValue;
    quint8 param = kNoValue;

    bool valid() const { return !(command == kNoValue && sub == kNoValue); }
};

// The action pairs a module accepts in an event; inputs may also raise the alarm pair.
bool isEventActionPair(quint8 command, quint8 sub);
bool isInputActionPair(quint8 command, quint8 sub);
