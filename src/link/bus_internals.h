#pragma once

#include "link/bus.h"
#include "link/frame_buffer.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"

class ReplyDispatcher;
class ReplyOwnership;

// The bus's parts, for the link's own tests and tools that drive the send routine or look at
// the run state directly. Nothing above the link uses it.
class BusInternals {
public:
    static FrameBuffer& buffer(Bus& bus);
    static TComm& comm(Bus& bus);
    static UdpTransport& udp(Bus& bus);
    static ReplyOwnership& ownership(Bus& bus);
    static ReplyDispatcher& dispatcher(Bus& bus);
    // Sends what the request area holds, as a button would.
    static void sendRequestArea(Bus& bus);
    // Sends the request area as the binding test's frame.
    static void sendBindFrame(Bus& bus);
};
