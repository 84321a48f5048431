#include "protocol/module_kinds.h"

#include <QRegularExpression>

#include <algorithm>

namespace modulekind {

namespace {
struct Family {
    Kind kind;
    const char* name;
    int maxChannels;
};
constexpr Family kFamilies[] = {{Kind::Light, "light", 8},
                                {Kind::Curtain, "curtain", 4},
                                {Kind::Ir, "ir", 0},
                                {Kind::Input, "input", 0},
                                {Kind::Timer, "timer", 0}};

bool isCode(const QString& text) {
    static const QRegularExpression code(QStringLiteral("^[0-9A-Fa-f]{4}$"));
    return code.match(text).hasMatch();
}
} // namespace

Kind ofType(const QString& typeCode) {
    if (!isCode(typeCode))
        return Kind::Other;
    const int family = typeCode.left(2).toInt(nullptr, 16);
    return family >= 1 && family <= 5 ? kFamilies[family - 1].kind : Kind::Other;
}

int channels(const QString& typeCode) {
    const Kind k = ofType(typeCode);
    for (const Family& f : kFamilies)
        if (f.kind == k && f.maxChannels > 0)
            return std::min(f.maxChannels, typeCode.right(2).toInt(nullptr, 16));
    return 0;
}

QString name(Kind kind) {
    for (const Family& f : kFamilies)
        if (f.kind == kind)
            return QString::fromLatin1(f.name);
    return QStringLiteral("other");
}

const QStringList& names() {
    static const QStringList all = [] {
        QStringList out;
        for (const Family& f : kFamilies)
            out << QString::fromLatin1(f.name);
        return out;
    }();
    return all;
}

QString expectation(const QString& text) {
    const QString t = text.trimmed();
    if (names().contains(t.toLower()))
        return t.toLower();
    return isCode(t) ? t.toUpper() : QString();
}

bool fits(const QString& expected, const QString& typeCode) {
    const QString e = expectation(expected);
    if (e.isEmpty())
        return false;
    if (names().contains(e))
        return name(ofType(typeCode)) == e;
    return e.compare(typeCode, Qt::CaseInsensitive) == 0;
}

} // namespace modulekind
