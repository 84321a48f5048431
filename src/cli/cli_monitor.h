#pragma once

#include <QObject>
#include <QString>

#include <memory>

class Bus;
class CaptureWriter;
class CliLink;
struct CliOptions;
struct TappedFrame;

// The bus monitor of the command line: decode, watch, and what --trace and --pcap do.
namespace cli {

// For as long as it lives, every frame of the bus goes decoded onto standard error (--trace)
// and into the capture file (--pcap).
class FrameMonitor {
public:
    // Opens the capture file (and says once that it holds the password); throws CliFailure
    // when the file cannot be written.
    FrameMonitor(Bus& bus, const CliOptions& options);
    ~FrameMonitor();
    FrameMonitor(const FrameMonitor&) = delete;
    FrameMonitor& operator=(const FrameMonitor&) = delete;

    static bool wanted(const CliOptions& options);

private:
    void take(const TappedFrame& frame);

    QObject m_context; // the tap's connection ends with it
    bool m_trace = false;
    QString m_pcap;
    std::unique_ptr<CaptureWriter> m_capture;
};

// One line a frame: time, direction, link, the sender of a datagram, the bytes with the
// password hidden, and what the frame says (with what the intake did with it when it
// dropped it or it could not be sent).
QString frameLine(const TappedFrame& frame);

// `decode HEX...`: throws CliFailure when the bytes are no frame.
void decode(const CliOptions& options);
// `watch`: until SIGINT or SIGTERM.
void watch(CliLink& link);

} // namespace cli
