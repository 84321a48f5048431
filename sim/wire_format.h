#pragma once

#include "sim/sim_types.h"

#include <QByteArray>
#include <QString>

// Turning frames from the links into requests, and replies into frames.
namespace wire {

struct Parsed {
    enum Kind { Request, Bind, Rejected } kind = Rejected;
    SimRequest request;
    QByteArray bindPayload;
    QString reason; // why a frame was rejected, for the traffic log
};

// A UDP datagram from the tool: a BusFrame with the password block (the gateway's settings
// read comes without one) in the long layout, or a BindFrame.
Parsed parseNetwork(const QByteArray& datagram, const QString& password);

// One complete, checked frame from the serial line. In the short layout the gateway's own
// requests still come in the long layout; they are told apart by their shape.
Parsed parseSerial(const QByteArray& frame, bool longLayout, quint16 subnet);

// The frame of a reply: long form carries the subnet (FF FF for the gateway's own answers).
QByteArray frameReply(const SimReply& reply, bool longForm, quint16 subnet);

} // namespace wire
