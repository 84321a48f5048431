#include "protocol/frame_decoder.h"

#include "protocol/operation_table.h"

#include <QStringList>

// A decoded frame in words: the columns of the bus monitor and the lines of a trace.
namespace framedecoder {

QString DecodedFrame::problemText() const {
    switch (problem) {
    case Problem::None:
        return QString();
    case Problem::TooLong:
        return QStringLiteral("too long");
    case Problem::NotAFrame:
        return QStringLiteral("not a frame");
    case Problem::Incomplete:
        return QStringLiteral("incomplete frame");
    case Problem::TooShort:
        return QStringLiteral("too short");
    case Problem::BadChecksum:
        return QStringLiteral("bad checksum");
    case Problem::LengthAbove78:
        return QStringLiteral("dropped, length byte above 78 (checked as 78 bytes, bad checksum)");
    }
    return QString();
}

QString DecodedFrame::what() const {
    if (problem != Problem::None)
        return problemText();
    return parameters.isEmpty() ? operation : operation + QStringLiteral(", ") + parameters;
}

QString DecodedFrame::moduleText() const {
    if (!hasModule)
        return QString();
    if (busSwitch)
        return QStringLiteral("bus switch");
    if (module == 0xFF && kind == Kind::Request)
        return QStringLiteral("all");
    return QString::number(module);
}

QString DecodedFrame::where() const {
    const QString kindWord = kind == Kind::Request ? QStringLiteral("request")
                             : kind == Kind::Reply ? QStringLiteral("reply")
                                                   : QStringLiteral("frame");
    if (!hasModule)
        return kindWord;
    QString who = busSwitch ? QStringLiteral("the bus switch")
                  : module == 0xFF && kind == Kind::Request
                      ? QStringLiteral("all modules")
                      : QStringLiteral("module %1").arg(module);
    QString text = kindWord +
                   (kind == Kind::Request ? QStringLiteral(" to ") : QStringLiteral(" from ")) +
                   who;
    if (hasSubnet && !(busSwitch && subnet == 0xFFFF))
        text += QStringLiteral(" in subnet %1").arg(subnet);
    return text;
}

QString DecodedFrame::summary() const {
    if (problem != Problem::None)
        return problemText();
    QString text = where() + QStringLiteral(": ") + what();
    if (kind == Kind::Reply)
        text += QStringLiteral("; ") + status;
    if (passwordHidden)
        text += QStringLiteral("; password hidden");
    if (extraBytes > 0)
        text += QStringLiteral("; %1 more bytes").arg(extraBytes);
    return text;
}

QString maskedHex(const QByteArray& bytes, const DecodedFrame& decoded) {
    QStringList parts;
    parts.reserve(bytes.size());
    for (int i = 0; i < bytes.size(); ++i) {
        bool hide = false;
        for (const auto& [first, count] : decoded.hidden)
            hide = hide || (i >= first && i < first + count);
        const auto byte = quint8(bytes[i]);
        parts << (hide ? QStringLiteral("XX") : operations::bytesText(&byte, 1));
    }
    return parts.join(QLatin1Char(' '));
}

} // namespace framedecoder
