// The bus monitor of the command line: one frame decoded (decode), the link listened to
// (watch), every frame of a command on standard error (--trace) and in a capture (--pcap).
#include "cli/cli_monitor.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli_options/cli_options.h"
#include "link/capture_writer.h"
#include "link/frame_tap.h"
#include "link/system_drop_watch.h"
#include "platform/interrupt_rename.h"
#include "platform/udp_drop_counter.h"
#include "protocol/frame_decoder.h"
#include "records/record_table.h"
#include "records/whole_file.h"

#include <QDateTime>
#include <QEventLoop>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTimer>

#include <csignal>
#include <cstdio>

namespace {

using framedecoder::DecodedFrame;

volatile std::sig_atomic_t watchStopSignal = 0;

extern "C" void stopWatching(int) {
    watchStopSignal = 1;
}

QString linkWord(framedecoder::Link link) {
    return link == framedecoder::Link::Serial    ? QStringLiteral("serial")
           : link == framedecoder::Link::Network ? QStringLiteral("network")
                                                 : QString();
}

QString layoutWord(framedecoder::Layout layout) {
    return layout == framedecoder::Layout::Short  ? QStringLiteral("short")
           : layout == framedecoder::Layout::Long ? QStringLiteral("long")
                                                  : QString();
}

QJsonValue textOrNull(const QString& text) {
    return text.isEmpty() ? QJsonValue() : QJsonValue(text);
}

// The decoding's fields, for --json.
QJsonObject decodedFields(const QByteArray& bytes, const DecodedFrame& d) {
    QJsonObject o;
    o.insert(QStringLiteral("bytes"), framedecoder::maskedHex(bytes, d));
    o.insert(QStringLiteral("summary"), d.summary());
    o.insert(QStringLiteral("problem"), textOrNull(d.problemText()));
    o.insert(QStringLiteral("kind"), d.kind == DecodedFrame::Kind::Request ? "request"
                                     : d.kind == DecodedFrame::Kind::Reply ? "reply"
                                                                           : QJsonValue());
    o.insert(QStringLiteral("link"), textOrNull(linkWord(d.link)));
    o.insert(QStringLiteral("layout"), textOrNull(layoutWord(d.layout)));
    o.insert(QStringLiteral("bindingTest"), d.bind);
    o.insert(QStringLiteral("subnet"), d.hasSubnet ? QJsonValue(d.subnet) : QJsonValue());
    o.insert(QStringLiteral("module"), textOrNull(d.moduleText()));
    o.insert(QStringLiteral("family"), textOrNull(d.family));
    o.insert(QStringLiteral("operation"), textOrNull(d.operation));
    o.insert(QStringLiteral("parameters"), textOrNull(d.parameters));
    o.insert(QStringLiteral("status"), textOrNull(d.status));
    o.insert(QStringLiteral("passwordHidden"), d.passwordHidden);
    o.insert(QStringLiteral("extraBytes"), d.extraBytes);
    return o;
}

void writeTo(std::FILE* stream, const QString& line) {
    const QByteArray bytes = (line + QLatin1Char('\n')).toUtf8();
    std::fwrite(bytes.constData(), 1, std::size_t(bytes.size()), stream);
    std::fflush(stream);
}

QString tappedTime(const TappedFrame& f) {
    return QDateTime::fromMSecsSinceEpoch(f.timeUs / 1000).toString(QStringLiteral("HH:mm:ss.zzz"));
}

// What the intake did with a frame, when the decoding does not already say it.
QString fateNote(const TappedFrame& f, const DecodedFrame& d) {
    if (f.fate == TappedFrame::Fate::Sent || f.fate == TappedFrame::Fate::Dispatched ||
        d.problem != DecodedFrame::Problem::None)
        return QString();
    return TappedFrame::fateText(f.fate);
}

QString peerText(const QHostAddress& address, quint16 port) {
    return QStringLiteral("%1:%2").arg(address.toString()).arg(port);
}

QJsonObject tappedFields(const TappedFrame& f) {
    const DecodedFrame d = framedecoder::decode(f.bytes, framedecoder::hintsOf(f));
    QJsonObject o = decodedFields(f.bytes, d);
    o.insert(QStringLiteral("time"),
             QDateTime::fromMSecsSinceEpoch(f.timeUs / 1000).toString(Qt::ISODateWithMs));
    o.insert(QStringLiteral("direction"),
             f.direction == TappedFrame::Direction::Sent ? "sent" : "received");
    o.insert(QStringLiteral("link"), f.link == TappedFrame::Link::Network ? "network" : "serial");
    o.insert(QStringLiteral("fate"), TappedFrame::fateText(f.fate));
    if (f.link == TappedFrame::Link::Network) {
        o.insert(QStringLiteral("from"), peerText(f.source, f.sourcePort));
        o.insert(QStringLiteral("to"), peerText(f.destination, f.destinationPort));
    }
    return o;
}

} // namespace

namespace cli {

QString frameLine(const TappedFrame& f) {
    const DecodedFrame d = framedecoder::decode(f.bytes, framedecoder::hintsOf(f));
    const bool sent = f.direction == TappedFrame::Direction::Sent;
    const bool network = f.link == TappedFrame::Link::Network;
    QString line =
        QStringLiteral("%1 %2 %3")
            .arg(tappedTime(f), sent ? QStringLiteral("sent    ") : QStringLiteral("received"),
                 network ? QStringLiteral("network") : QStringLiteral("serial "));
    if (network && !sent)
        line += QStringLiteral(" from ") + peerText(f.source, f.sourcePort);
    line += QStringLiteral("  %1  %2").arg(framedecoder::maskedHex(f.bytes, d), d.summary());
    if (const QString note = fateNote(f, d); !note.isEmpty())
        line += QStringLiteral(" [%1]").arg(note);
    return line;
}

bool FrameMonitor::wanted(const CliOptions& options) {
    return options.trace || !options.pcap.isEmpty();
}

FrameMonitor::FrameMonitor(Bus& bus, const CliOptions& options)
    : m_trace(options.trace), m_pcap(options.pcap) {
    if (!m_pcap.isEmpty()) {
        try {
            WholeFile::checkTarget(m_pcap);
        } catch (const RecordError& e) {
            throw CliFailure(QStringLiteral("cannot write the capture %1: %2")
                                 .arg(m_pcap, QString::fromStdString(e.what()))
                                 .toStdString());
        }
        m_capture = std::make_unique<CaptureWriter>();
        if (!m_capture->open(m_pcap))
            throw CliFailure(QStringLiteral("cannot write the capture %1: %2")
                                 .arg(m_pcap, m_capture->errorString())
                                 .toStdString());
        CliOutput::error(
            QStringLiteral("capture %1: %2").arg(m_pcap, CaptureWriter::passwordNote()));
        // Ctrl+C ends the command where it stands; the capture up to there takes its name.
        interrupt_rename::arm(m_capture->partPath(), m_pcap);
    }
    QObject::connect(&bus.tap(), &FrameTap::frame, &m_context,
                     [this](const TappedFrame& f) { take(f); });
}

FrameMonitor::~FrameMonitor() {
    if (m_capture)
        interrupt_rename::disarm();
    if (m_capture && !m_capture->close())
        CliOutput::error(m_capture->errorString());
}

void FrameMonitor::take(const TappedFrame& f) {
    if (m_trace)
        writeTo(stderr, frameLine(f));
    // A signal during the write waits for its end: the file is renamed with whole frames only.
    const interrupt_rename::Hold hold;
    if (m_capture && m_capture->isOpen() && !m_capture->write(f)) {
        // Said once; the command goes on without its capture.
        CliOutput::error(
            QStringLiteral("the capture %1 stops here: %2").arg(m_pcap, m_capture->errorString()));
        interrupt_rename::disarm();
        if (!m_capture->close())
            CliOutput::error(m_capture->errorString());
    }
}

void decode(const CliOptions& options) {
    framedecoder::Hints hints;
    if (options.frameLink == QLatin1String("serial"))
        hints.link = framedecoder::Link::Serial;
    else if (options.frameLink == QLatin1String("network"))
        hints.link = framedecoder::Link::Network;
    if (options.layout == QLatin1String("short"))
        hints.layout = framedecoder::Layout::Short;
    else if (options.layout == QLatin1String("long"))
        hints.layout = framedecoder::Layout::Long;
    const QByteArray& bytes = options.given.frame;
    const DecodedFrame d = framedecoder::decode(bytes, hints);
    if (options.json) {
        writeTo(stdout, QString::fromUtf8(
                            QJsonDocument(decodedFields(bytes, d)).toJson(QJsonDocument::Compact)));
    } else {
        writeTo(stdout, d.summary());
        writeTo(stdout, QStringLiteral("bytes: ") + framedecoder::maskedHex(bytes, d));
        if (d.problem == DecodedFrame::Problem::None)
            writeTo(stdout, QStringLiteral("link: %1  layout: %2")
                                .arg(d.link == framedecoder::Link::Unknown
                                         ? QStringLiteral("serial or network")
                                         : linkWord(d.link),
                                     layoutWord(d.layout)));
    }
    if (d.problem != DecodedFrame::Problem::None)
        throw CliFailure(QStringLiteral("decode: %1").arg(d.problemText()).toStdString());
}

void watch(CliLink& link) {
    const bool json = link.options().json;
    QObject context;
    SystemDropWatch drops;
    QObject::connect(
        &link.bus().tap(), &FrameTap::frame, &context, [json, &drops](const TappedFrame& f) {
            // Said before the frame: the dropped datagrams came before it.
            if (const quint32 dropped = drops.newDrops(f))
                CliOutput::error(QStringLiteral("the system dropped %1 datagrams: they came faster "
                                                "than they were read")
                                     .arg(dropped));
            writeTo(stdout, json
                                ? QString::fromUtf8(
                                      QJsonDocument(tappedFields(f)).toJson(QJsonDocument::Compact))
                                : frameLine(f));
        });
    if (link.options().link == CliOptions::Link::Udp)
        CliOutput::error(QStringLiteral("listening on UDP port %1; Ctrl+C ends%2")
                             .arg(link.bus().boundPort())
                             .arg(UdpDropCounter::available()
                                      ? QString()
                                      : QStringLiteral(" (datagrams the system drops are not "
                                                       "counted here)")));
    else
        CliOutput::error(QStringLiteral("listening on %1; Ctrl+C ends").arg(link.options().device));
    watchStopSignal = 0;
    const auto oldInt = std::signal(SIGINT, stopWatching);
    const auto oldTerm = std::signal(SIGTERM, stopWatching);
    QEventLoop loop;
    QTimer poll;
    QObject::connect(&poll, &QTimer::timeout, &loop, [&loop] {
        // A reader that went away ends the watch as Ctrl+C does; the caller then says so.
        if (watchStopSignal || CliOutput::standardOutputLost())
            loop.quit();
    });
    poll.start(50);
    loop.exec();
    std::signal(SIGINT, oldInt);
    std::signal(SIGTERM, oldTerm);
}

} // namespace cli
