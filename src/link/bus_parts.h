#pragma once

#include "link/frame_buffer.h"
#include "link/frame_exchange.h"
#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/module_types.h"
#include "link/reply_dispatcher.h"
#include "link/reply_intake.h"
#include "link/reply_ownership.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"

// What the bus holds together, out of its header: a change here rebuilds the link and what
// links it, not every user of the bus.
struct BusParts {
    explicit BusParts(const LinkSettings& linkSettings)
        : settings(linkSettings), intake(linkSettings, buffer, tap, udp), dispatcher(ownership),
          exchange(linkSettings, udp, comm, tap) {}

    const LinkSettings& settings;
    FrameBuffer buffer;
    TComm comm;
    UdpTransport udp;
    FrameTap tap;
    ModuleTypes moduleTypes;
    ReplyOwnership ownership;
    ReplyIntake intake;
    ReplyDispatcher dispatcher;
    FrameExchange exchange;
    // The sender of the datagram handed to takeDatagram next.
    ReplyIntake::Peer intakePeer;
    int replyWaitMs = 1000;
    bool sequenceRunning = false;
};
