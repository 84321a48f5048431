#include "records/site_settings.h"

#include "records/record_table.h"
#include "records/strict_json.h"
#include "records/visible_text.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QRegularExpression>
#include <QSet>

#include <algorithm>

namespace {

const QString kFormat = QStringLiteral("velm-site");
constexpr int kVersion = 1;

// The values quoted come from the file: they are shown escaped, on one line.
[[noreturn]] void refuse(const QString& what) {
    throw RecordError(visible_text::escaped(what));
}

QString textOf(const QJsonObject& o, const QString& key, const QString& where,
               const QString& fallback = QString()) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    if (!v.isString())
        refuse(QStringLiteral("%1%2 must be a text").arg(where, key));
    return v.toString();
}

int numberOf(const QJsonObject& o, const QString& key, const QString& where, int min, int max,
             int fallback) {
    const QJsonValue v = o.value(key);
    if (v.isUndefined() || v.isNull())
        return fallback;
    const double d = v.toDouble(-1.5);
    if (!v.isDouble() || d != double(qint64(d)) || d < min || d > max)
        refuse(QStringLiteral("%1%2 must be a whole number from %3 to %4")
                   .arg(where, key)
                   .arg(min)
                   .arg(max));
    return int(d);
}

QString pick(const QJsonObject& o, const QString& key, const QStringList& items,
             const QString& fallback) {
    const QString text = textOf(o, key, QStringLiteral("link."), fallback);
    if (!items.contains(text))
        refuse(QStringLiteral("link.%1 \"%2\" is not one of %3")
                   .arg(key, text, items.join(QStringLiteral(", "))));
    return text;
}

SiteLink linkFrom(const QJsonObject& o) {
    const QString where = QStringLiteral("link.");
    SiteLink l;
    const QString mode = textOf(o, QStringLiteral("mode"), where, QStringLiteral("serial"));
    if (mode != QLatin1String("serial") && mode != QLatin1String("network"))
        refuse(QStringLiteral("link.mode must be \"serial\" or \"network\", not \"%1\"").arg(mode));
    l.network = mode == QLatin1String("network");
    l.serialDevice = textOf(o, QStringLiteral("serialDevice"), where, l.serialDevice);
    l.baud = numberOf(o, QStringLiteral("baud"), where, 1, 1 << 30, l.baud);
    if (!SiteLink::baudRates().contains(QString::number(l.baud)))
        refuse(QStringLiteral("link.baud %1 is not one of %2")
                   .arg(l.baud)
                   .arg(SiteLink::baudRates().join(QStringLiteral(", "))));
    l.byteSize = numberOf(o, QStringLiteral("byteSize"), where, 5, 8, l.byteSize);
    l.parity = pick(o, QStringLiteral("parity"), SiteLink::parities(), l.parity);
    l.stopBits = pick(o, QStringLiteral("stopBits"), SiteLink::stopBitsTexts(), l.stopBits);
    l.localPort = numberOf(o, QStringLiteral("localPort"), where, 0, 65535, l.localPort);
    l.remoteIp = textOf(o, QStringLiteral("remoteIp"), where);
    // What the band's Remote IP takes: up to 15 digits and dots.
    static const QRegularExpression dotted(QStringLiteral("^[0-9.]{0,15}$"));
    if (!dotted.match(l.remoteIp).hasMatch())
        refuse(QStringLiteral("link.remoteIp \"%1\" is not an IPv4 address").arg(l.remoteIp));
    l.remotePort = numberOf(o, QStringLiteral("remotePort"), where, 0, 65535, l.remotePort);
    l.subnetId = numberOf(o, QStringLiteral("subnetId"), where, 0, 65535, l.subnetId);
    return l;
}

QList<ExpectedModule> modulesFrom(const QJsonValue& value) {
    if (value.isUndefined() || value.isNull())
        return {};
    if (!value.isArray())
        refuse(QStringLiteral("modules must be a list"));
    static const QRegularExpression typeCode(QStringLiteral("^([0-9A-F]{4})?$"));
    QList<ExpectedModule> out;
    QSet<int> seen;
    const QJsonArray list = value.toArray();
    for (qsizetype i = 0; i < list.size(); ++i) {
        const QString where = QStringLiteral("modules[%1].").arg(i);
        if (!list.at(i).isObject())
            refuse(QStringLiteral("modules[%1] must be an object").arg(i));
        const QJsonObject o = list.at(i).toObject();
        ExpectedModule m;
        m.address = numberOf(o, QStringLiteral("address"), where, 1, 255, 0);
        if (m.address == 0 || (m.address > 32 && m.address != 255))
            refuse(QStringLiteral("%1address must be 1..32 or 255 (the bus switch)").arg(where));
        if (seen.contains(m.address))
            refuse(QStringLiteral("%1address %2 is listed twice").arg(where).arg(m.address));
        seen.insert(m.address);
        m.type = textOf(o, QStringLiteral("type"), where).toUpper();
        if (!typeCode.match(m.type).hasMatch())
            refuse(QStringLiteral("%1type \"%2\" is not four hexadecimal digits").arg(where, m.type));
        m.name = textOf(o, QStringLiteral("name"), where);
        m.room = textOf(o, QStringLiteral("room"), where);
        out << m;
    }
    return out;
}

} // namespace

const QStringList& SiteLink::baudRates() {
    static const QStringList items{"1200",  "2400",  "4800",  "9600",   "14400",
                                   "19200", "38400", "56000", "115200", "128000"};
    return items;
}

const QStringList& SiteLink::parities() {
    static const QStringList items{"Even", "Mark", "None", "Odd", "Space"};
    return items;
}

const QStringList& SiteLink::stopBitsTexts() {
    static const QStringList items{"1", "1.5", "2"};
    return items;
}

const ExpectedModule* SiteSettings::expected(int address) const {
    for (const ExpectedModule& m : modules)
        if (m.address == address)
            return &m;
    return nullptr;
}

void SiteSettings::expect(int address, const QString& type) {
    for (ExpectedModule& m : modules) {
        if (m.address == address) {
            m.type = type;
            return;
        }
    }
    modules << ExpectedModule{address, type, {}, {}};
    std::sort(modules.begin(), modules.end(),
              [](const ExpectedModule& a, const ExpectedModule& b) { return a.address < b.address; });
}

QByteArray SiteSettings::toJson() const {
    QJsonObject o = otherKeys;
    o.insert(QStringLiteral("format"), kFormat);
    o.insert(QStringLiteral("version"), kVersion);
    o.insert(QStringLiteral("name"), name);
    o.insert(QStringLiteral("address"), address);
    o.insert(QStringLiteral("technician"), technician);
    o.insert(QStringLiteral("notes"), notes);
    o.insert(QStringLiteral("link"),
             QJsonObject{{"mode", link.network ? "network" : "serial"},
                         {"serialDevice", link.serialDevice},
                         {"baud", link.baud},
                         {"byteSize", link.byteSize},
                         {"parity", link.parity},
                         {"stopBits", link.stopBits},
                         {"localPort", link.localPort},
                         {"remoteIp", link.remoteIp},
                         {"remotePort", link.remotePort},
                         {"subnetId", link.subnetId}});
    o.remove(QStringLiteral("password"));
    if (rememberPassword)
        o.insert(QStringLiteral("password"), password);
    QJsonArray list;
    for (const ExpectedModule& m : modules)
        list.append(QJsonObject{
            {"address", m.address}, {"type", m.type}, {"name", m.name}, {"room", m.room}});
    o.insert(QStringLiteral("modules"), list);
    return strict_json::byteOrderMarksEscaped(QJsonDocument(o).toJson(QJsonDocument::Indented));
}

SiteSettings SiteSettings::fromJson(const QByteArray& bytes) {
    if (const auto fault = strict_json::check(bytes))
        refuse(QStringLiteral("line %1: %2").arg(fault->line).arg(fault->what));
    const QJsonDocument doc = QJsonDocument::fromJson(strict_json::byteOrderMarksEscaped(bytes));
    if (!doc.isObject())
        refuse(QStringLiteral("not a site file (no JSON object)"));
    QJsonObject o = doc.object();
    if (o.value(QStringLiteral("format")).toString() != kFormat)
        refuse(QStringLiteral("not a site file (its format is not \"%1\")").arg(kFormat));
    const int version = numberOf(o, QStringLiteral("version"), QString(), 1, 1 << 30, kVersion);
    if (version > kVersion)
        refuse(QStringLiteral("made by a newer VELM (site file version %1)").arg(version));
    SiteSettings s;
    s.name = textOf(o, QStringLiteral("name"), QString());
    s.address = textOf(o, QStringLiteral("address"), QString());
    s.technician = textOf(o, QStringLiteral("technician"), QString());
    s.notes = textOf(o, QStringLiteral("notes"), QString());
    const QJsonValue link = o.value(QStringLiteral("link"));
    if (!link.isUndefined() && !link.isObject())
        refuse(QStringLiteral("link must be an object"));
    s.link = linkFrom(link.toObject());
    s.rememberPassword = o.contains(QStringLiteral("password"));
    s.password = textOf(o, QStringLiteral("password"), QString());
    if (s.password.size() > 16)
        refuse(QStringLiteral("password is longer than the band's 16 characters"));
    s.modules = modulesFrom(o.value(QStringLiteral("modules")));
    for (const char* known : {"format", "version", "name", "address", "technician", "notes",
                              "link", "password", "modules"})
        o.remove(QLatin1String(known));
    s.otherKeys = o;
    return s;
}
