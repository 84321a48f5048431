#include "link/frame_tap.h"

#include <QMetaMethod>

#include <chrono>

QString TappedFrame::fateText(Fate fate) {
    switch (fate) {
    case Fate::Sent:
        return QStringLiteral("sent");
    case Fate::NotSent:
        return QStringLiteral("not sent");
    case Fate::Dispatched:
        return QStringLiteral("dispatched");
    case Fate::TooLong:
        return QStringLiteral("too long");
    case Fate::NotAFrame:
        return QStringLiteral("not a frame");
    case Fate::Incomplete:
        return QStringLiteral("incomplete frame");
    case Fate::TooShort:
        return QStringLiteral("too short");
    case Fate::BadChecksum:
        return QStringLiteral("bad checksum");
    case Fate::ForeignSender:
        return QStringLiteral("foreign sender");
    case Fate::Noise:
        return QStringLiteral("noise");
    }
    return QString();
}

bool FrameTap::listening() const {
    static const QMetaMethod signal = QMetaMethod::fromSignal(&FrameTap::frame);
    return isSignalConnected(signal);
}

qint64 FrameTap::nowUs() {
    using namespace std::chrono;
    return duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
}

#include "moc_frame_tap.cpp"
