#pragma once

#include "link/frame_buffer.h"
#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/reply.h"

#include <QObject>

#include <optional>

class UdpTransport;

// Reply intake: what comes back from the bus (a datagram, a serial block) is recognised, its
// length and checksum checked (on a serial line past any noise ahead of it), copied into the reply
// area in the short layout and written to the traffic log; what fails is dropped without trace in
// the log. Every input and its fate goes to the tap.
class ReplyIntake : public QObject {
    Q_OBJECT
public:
    // Where an input came from decides how the subnet ID is handled.
    enum class Source { Network, SerialPlain, SerialExtension };
    struct Peer {
        QHostAddress address;
        quint16 port = 0;
    };

    ReplyIntake(const LinkSettings& settings, FrameBuffer& buffer, FrameTap& tap, UdpTransport& udp,
                QObject* parent = nullptr);

    // The accepted reply (reported to the tap as dispatched), or nothing.
    std::optional<Reply> takeInput(const quint8* input, int count, Source source, const Peer& from);
    // Reports an input dropped before it was looked at.
    void tapInput(const quint8* input, int count, Source source, const Peer& from,
                  TappedFrame::Fate fate);

signals:
    void logLine(const QString& line);

private:
    // What the intake makes of the input's first bytes, without touching anything.
    struct Look {
        TappedFrame::Fate fate = TappedFrame::Fate::NotAFrame;
        bool busFrame = false;
        int length = 0; // the frame's length byte, capped
    };
    static Look look(const quint8* input, int count, Source source);
    // Where the block's first whole frame starts after some bytes of noise, or -1.
    static int frameAfterNoise(const quint8* block, int count, Source source);

    const LinkSettings& m_settings;
    FrameBuffer& m_buffer;
    FrameTap& m_tap;
    UdpTransport& m_udp;
};
