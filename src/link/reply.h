#pragma once

#include "link/frame_buffer.h"
#include "link/reply_rule.h"

#include <QElapsedTimer>
#include <QHostAddress>

#include <array>

// A reply as its handler gets it: a copy of the reply area as the intake left it (bytes past
// this frame that an earlier reply left there included: some handlers read them), where it
// came from and what of the window's it answers. Later requests and replies leave it as it
// is.
struct Reply {
    using Area = std::array<quint8, FrameBuffer::kAreaSize>;

    Reply() = default;
    Reply(const FrameBuffer& buffer, bool busSwitch) : busSwitchReply(busSwitch) {
        std::copy_n(buffer.replyArea(), FrameBuffer::kAreaSize, bytes.begin());
        arrived.start();
    }

    quint8 operator[](int n) const { return bytes[static_cast<size_t>(n)]; }
    const quint8* data() const { return bytes.data(); }

    Area bytes{};
    bool busSwitchReply = false;
    Awaiting answers = Awaiting::None;
    QHostAddress sender; // null for a serial block
    quint16 senderPort = 0;
    QElapsedTimer arrived; // started as the intake took it; invalid for a made-up reply
};
