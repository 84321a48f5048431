#pragma once

#include "link/frame_buffer.h"

#include <QByteArray>

#include <initializer_list>

// One request as a family states it: module, command, sub-command and parameters,
// numbered as in the short layout. The layout decides where they land.
struct Request {
    quint8 module = 0;
    quint8 command = 0;
    quint8 subCommand = 0;
    QByteArray params;

    Request() = default;
    Request(quint8 m, quint8 c, quint8 s, std::initializer_list<int> p = {});
    Request(quint8 m, quint8 c, quint8 s, const QByteArray& p)
        : module(m), command(c), subCommand(s), params(p) {}
};

// Short layout: 3 module, 4 command, 5 sub-command, 6.. parameters.
// Long layout: 3-4 subnet ID (high first), everything else two places up, length +2.
struct RequestLayout {
    bool longLayout = false;
    quint16 subnet = 0;

    static RequestLayout shortForm() { return {false, 0}; }
    static RequestLayout longForm(quint16 subnet) { return {true, subnet}; }

    // Length byte N: header, length, payload and two checksum bytes.
    int length(const Request& r) const;
    // Request bytes 0..N-1 (bytes 0 and 1 are left zero for the send routine).
    QByteArray bytes(const Request& r) const;
    // Writes request byte 2 and the payload into the request area.
    void write(FrameBuffer& buffer, const Request& r) const;
};
