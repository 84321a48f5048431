#include "records/visible_text.h"

namespace visible_text {

namespace {

bool hidesOrMoves(char16_t c) {
    return c == 0x061C || c == 0x200E || c == 0x200F || (c >= 0x202A && c <= 0x202E) ||
           (c >= 0x2066 && c <= 0x2069) || c == 0x2028 || c == 0x2029 || c == 0xFEFF;
}

} // namespace

QString escaped(const QString& text) {
    QString out;
    out.reserve(text.size());
    for (const QChar qc : text) {
        const char16_t c = qc.unicode();
        switch (c) {
        case u'\n':
            out += QStringLiteral("\\n");
            continue;
        case u'\r':
            out += QStringLiteral("\\r");
            continue;
        case u'\t':
            out += QStringLiteral("\\t");
            continue;
        default:
            break;
        }
        if (c < 0x20 || (c >= 0x7F && c <= 0x9F))
            out += QStringLiteral("\\x%1").arg(int(c), 2, 16, QLatin1Char('0'));
        else if (hidesOrMoves(c))
            out += QStringLiteral("\\u%1").arg(int(c), 4, 16, QLatin1Char('0'));
        else
            out += qc;
    }
    return out;
}

QString quoted(const QString& text) {
    constexpr int kShown = 40;
    if (text.size() <= kShown)
        return QStringLiteral("\"%1\"").arg(escaped(text));
    // Never between the two halves of a character outside the basic plane.
    const int cut = text.at(kShown - 1).isHighSurrogate() ? kShown - 1 : kShown;
    return QStringLiteral("\"%1…\"").arg(escaped(text.left(cut)));
}

} // namespace visible_text
