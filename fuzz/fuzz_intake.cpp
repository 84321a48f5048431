// Everything the bus sends back goes through the reply intake: datagrams, serial blocks of
// any size and content, with handlers that read the whole reply area.
//
// Input byte 0 picks the road: bit 0 network / serial, bit 1 the extension channel, bit 2
// masked log off, bit 3 a handler that fails. The rest is the datagram or the block.
#include "link/bus.h"
#include "link/bus_internals.h"
#include "link/frames.h"

#include <QCoreApplication>

#include <cstddef>
#include <cstdint>
#include <stdexcept>

namespace {

struct Harness {
    PlainLinkSettings settings;
    Bus bus{settings};
    bool failing = false;
    unsigned sink = 0;

    Harness() {
        auto readAll = [this](const Reply& r) {
            for (int i = 0; i < frames::kMaxFrame; ++i)
                sink += r[i];
            if (failing)
                throw std::runtime_error("fuzz");
        };
        for (int command = 0x80; command <= 0x84; ++command) {
            for (int sub = 0; sub <= 0x10; ++sub)
                bus.registerReply(quint8(command), quint8(sub), readAll);
        }
        bus.registerReply(0x02, 0x01, readAll);
        bus.registerBindReply(readAll);
        QObject::connect(&bus, &Bus::logLine, &bus, [this](const QString& l) { sink += l.size(); });
    }
};

Harness& harness() {
    static int argc = 1;
    static char name[] = "fuzz_intake";
    static char* argv[] = {name, nullptr};
    static QCoreApplication app(argc, argv);
    static Harness h;
    return h;
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    if (size < 1 || size > 2100)
        return 0;
    Harness& h = harness();
    const uint8_t mode = data[0];
    h.settings.network = mode & 1;
    h.settings.extension = mode & 2;
    h.settings.masked = !(mode & 4);
    h.failing = mode & 8;
    const auto* input = data + 1;
    const auto length = size - 1;

    if (h.settings.network) {
        try {
            h.bus.takeDatagram(QByteArray(reinterpret_cast<const char*>(input), qsizetype(length)));
        } catch (const std::runtime_error&) {
            // the send path's guard would report it
        }
    } else {
        // Through the driver's callback, which keeps handler failures out of the event loop.
        TComm& comm = BusInternals::comm(h.bus);
        comm.OnReceiveData(&comm, input, quint16(length));
    }
    return 0;
}
