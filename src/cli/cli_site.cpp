// Sites from the command line: making one, showing it, setting its link, its history.
#include "cli/cli_site.h"

#include "cli/cli_output.h"
#include "cli/cli_words.h"
#include "records/record_table.h"
#include "records/site_folder.h"
#include "records/site_history.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QRegularExpression>

#include <cstdio>
#include <map>

namespace cli {

namespace {

[[noreturn]] void fail(const QString& text) {
    throw CliFailure(text.toStdString());
}

bool given(const CliOptions& o, const char* option) {
    const QString name = QString::fromLatin1(option);
    for (const QString& a : o.optionArgs)
        if (a == name || a.startsWith(name + QLatin1Char('=')))
            return true;
    return false;
}

SiteFolder openSite(const QString& dir) {
    try {
        return SiteFolder::open(dir);
    } catch (const RecordError& e) {
        fail(QString::fromStdString(e.what()));
    }
}

SiteFolder siteOf(const CliOptions& o) {
    if (o.siteDir.isEmpty())
        fail(QStringLiteral("%1 needs a site: --site-dir DIR").arg(o.command()));
    return openSite(o.siteDir);
}

void saveSite(const SiteFolder& site) {
    try {
        site.save();
    } catch (const RecordError& e) {
        fail(QString::fromStdString(e.what()));
    }
}

void print(const QString& line) {
    std::fputs((line + QLatin1Char('\n')).toUtf8().constData(), stdout);
}

QJsonObject linkJson(const SiteLink& l) {
    return {{"mode", l.network ? "network" : "serial"},
            {"serialDevice", l.serialDevice},
            {"baud", l.baud},
            {"byteSize", l.byteSize},
            {"parity", l.parity},
            {"stopBits", l.stopBits},
            {"localPort", l.localPort},
            {"remoteIp", l.remoteIp},
            {"remotePort", l.remotePort},
            {"subnetId", l.subnetId}};
}

void showSite(const SiteFolder& site, bool json) {
    const SiteSettings& s = site.settings();
    if (json) {
        QJsonArray modules;
        for (const ExpectedModule& m : s.modules)
            modules.append(QJsonObject{
                {"address", m.address}, {"type", m.type}, {"name", m.name}, {"room", m.room}});
        const QJsonObject o{{"folder", QDir::toNativeSeparators(site.dir())},
                            {"name", s.name},
                            {"address", s.address},
                            {"technician", s.technician},
                            {"notes", s.notes},
                            {"link", linkJson(s.link)},
                            {"passwordRemembered", s.rememberPassword},
                            {"modules", modules}};
        CliOutput::printObject(true, o.keys(), [&o] {
            QList<QJsonValue> values;
            for (const QString& k : o.keys())
                values << o.value(k);
            return values;
        }());
        return;
    }
    const SiteLink& l = s.link;
    print(QStringLiteral("Site: %1").arg(s.name));
    print(QStringLiteral("Folder: %1").arg(QDir::toNativeSeparators(site.dir())));
    print(QStringLiteral("Address: %1").arg(s.address));
    print(QStringLiteral("Technician: %1").arg(s.technician));
    if (!s.notes.isEmpty())
        print(QStringLiteral("Notes: %1").arg(s.notes));
    print(l.network ? QStringLiteral("Link: network, Remote IP %1 port %2, Local Port %3")
                          .arg(l.remoteIp.isEmpty() ? QStringLiteral("(not set)") : l.remoteIp)
                          .arg(l.remotePort)
                          .arg(l.localPort)
                    : QStringLiteral("Link: serial %1, %2 baud, %3 bits, parity %4, stop bits %5")
                          .arg(l.serialDevice)
                          .arg(l.baud)
                          .arg(l.byteSize)
                          .arg(l.parity, l.stopBits));
    print(QStringLiteral("Subnet ID: %1").arg(l.subnetId));
    print(QStringLiteral("Password: %1")
              .arg(s.rememberPassword ? QStringLiteral("remembered")
                                      : QStringLiteral("not remembered")));
    CliOutput table(false);
    table.setColumns({"address", "type", "name", "room"}, {"Address", "Type", "Name", "Room"});
    for (const ExpectedModule& m : s.modules)
        table.addRow({m.address, m.type, m.name, m.room});
    print(QStringLiteral("Modules: %1").arg(s.modules.size()));
    if (!s.modules.isEmpty())
        table.printRows();
}

void newSite(const CliOptions& o) {
    SiteSettings s;
    s.name = o.name;
    s.technician = o.technician;
    try {
        const SiteFolder site = SiteFolder::create(o.given.file, s);
        print(QStringLiteral("site made: %1 (record file %2)")
                  .arg(QDir::toNativeSeparators(site.dir()),
                       QDir::toNativeSeparators(site.recordFile())));
    } catch (const RecordError& e) {
        fail(QString::fromStdString(e.what()));
    }
}

void setSite(const CliOptions& o) {
    SiteFolder site = siteOf(o);
    SiteSettings& s = site.settings();
    SiteLink& l = s.link;
    if (o.link == CliOptions::Link::Udp) {
        // The band's Remote IP takes a dotted address only.
        static const QRegularExpression dotted(QStringLiteral("^[0-9.]{1,15}$"));
        if (!dotted.match(o.host).hasMatch())
            throw UsageError(QStringLiteral("site set: the site keeps an IPv4 address (a.b.c.d), "
                                            "not '%1'")
                                 .arg(o.host)
                                 .toStdString());
        l.network = true;
        l.remoteIp = o.host;
        l.remotePort = o.port;
    } else if (o.link == CliOptions::Link::Serial) {
        l.network = false;
        l.serialDevice = o.device;
    }
    if (!SiteLink::baudRates().contains(QString::number(o.baud)))
        throw UsageError(QStringLiteral("site set: --baud must be one of %1")
                             .arg(SiteLink::baudRates().join(QStringLiteral(", ")))
                             .toStdString());
    l.baud = o.baud;
    l.localPort = o.localPort;
    l.subnetId = o.subnet;
    if (given(o, "--name"))
        s.name = o.name;
    if (given(o, "--technician"))
        s.technician = o.technician;
    if (o.rememberPassword) {
        s.rememberPassword = true;
        s.password = o.password;
    } else if (o.forgetPassword) {
        s.rememberPassword = false;
        s.password.clear();
    } else if (s.rememberPassword && given(o, "--password")) {
        s.password = o.password;
    } else if (given(o, "--password")) {
        CliOutput::error(QStringLiteral("the password is not kept in the site without "
                                        "--remember-password"));
    }
    saveSite(site);
    print(QStringLiteral("site written: %1").arg(QDir::toNativeSeparators(site.siteFile())));
}

// The commands that change a module or the records, by command and verb (empty: any), and
// the action their history line names.
struct Recorded {
    const char* command;
    const char* verb;
    const char* action;
};
const Recorded kRecorded[] = {
    {"timers", "read", "read-all"},
    {"timers", "set", "set"},
    {"timers", "delete-all", "delete-all"},
    {"events", "read", "read-all"},
    {"events", "set", "set"},
    {"events", "delete-all", "delete-all"},
    {"bindings", "read", "read-all"},
    {"bindings", "set", "set"},
    {"bindings", "delete-all", "delete-all"},
    {"clock", "set", "set"},
    {"module", "address", "address"},
    {"module", "restore", "restore"},
    {"bus-switch", "set", "set"},
    {"bus-switch", "password", "password"},
    {"bus-switch", "restore", "restore"},
    {"bus-switch", "transparent", "transparent"},
    {"scene", "set", "set"},
    {"scene", "set-ir", "set"},
    {"scene", "clear", "delete-all"},
    {"ir", "learn", "learn"},
    {"ir", "delete", "delete"},
    {"ir", "delete-all", "delete-all"},
    {"monitor-bindings", "set", "set"},
    {"monitor-bindings", "read", "read-all"},
    {"push", "", "push"},
    {"import", "", "import"},
    {"backup", "restore", "restore"},
};

const Recorded* recorded(const CliOptions& o) {
    for (const Recorded& r : kRecorded)
        if (o.command() == QLatin1String(r.command) &&
            (!*r.verb || o.given.verb == QLatin1String(r.verb)))
            return &r;
    return nullptr;
}

int moduleOf(const CliOptions& o) {
    const QString c = o.command();
    if (c == QLatin1String("import") || c == QLatin1String("backup"))
        return -1;
    if (c == QLatin1String("bus-switch") || c == QLatin1String("monitor-bindings"))
        return 0xFF;
    if (c == QLatin1String("module") && o.given.verb == QLatin1String("address"))
        return o.given.value; // the module in addressing mode takes this address
    return o.given.module;
}

QString detailOf(const CliOptions& o) {
    // The words of the command; the bus switch's new password never goes into the history.
    QStringList words = o.args;
    if (o.command() == QLatin1String("bus-switch") && o.given.verb == QLatin1String("password"))
        words = words.mid(0, 2);
    return words.join(QLatin1Char(' '));
}

} // namespace

void takeSiteLink(CliOptions& o, bool& udp, bool& serial) {
    if (o.siteDir.isEmpty())
        return;
    if (!SiteFolder::isSite(o.siteDir))
        throw UsageError(QStringLiteral("--site-dir %1: no site there (no %2); make one with "
                                        "'velm-cli site new %1'")
                             .arg(o.siteDir, QLatin1String(SiteFolder::kSiteFile))
                             .toStdString());
    const SiteFolder site = openSite(o.siteDir);
    const SiteSettings& s = site.settings();
    const SiteLink& l = s.link;
    if (!udp && !serial) {
        if (l.network && !l.remoteIp.isEmpty()) {
            udp = true;
            o.host = l.remoteIp;
            o.port = quint16(l.remotePort);
        } else if (!l.network && !l.serialDevice.isEmpty()) {
            serial = true;
            o.device = l.serialDevice;
        }
    }
    if (!given(o, "--baud"))
        o.baud = l.baud;
    if (!given(o, "--local-port"))
        o.localPort = quint16(l.localPort);
    if (!given(o, "--subnet"))
        o.subnet = quint16(l.subnetId);
    if (!given(o, "--password") && s.rememberPassword)
        o.password = s.password;
    o.byteSize = l.byteSize;
    o.parity = l.parity;
    o.stopBits = l.stopBits;
}

CommandArgs siteArgs(const Words& w, const CliOptions&) {
    CommandArgs c;
    if (w.name() == QLatin1String("history")) {
        w.end(1);
        return c;
    }
    c.verb = w.verb({QStringLiteral("new"), QStringLiteral("show"), QStringLiteral("set")});
    if (c.verb == QLatin1String("new")) {
        c.file = w.word(2, QStringLiteral("DIR"));
        w.end(3);
    } else {
        w.end(2);
    }
    return c;
}

void site(const CliOptions& o) {
    if (o.given.verb == QLatin1String("new"))
        newSite(o);
    else if (o.given.verb == QLatin1String("set"))
        setSite(o);
    else
        showSite(siteOf(o), o.json);
}

void history(const CliOptions& o) {
    const SiteFolder site = siteOf(o);
    site_history::Read read;
    try {
        read = site_history::read(site.historyFile(), o.since);
    } catch (const RecordError& e) {
        fail(QString::fromStdString(e.what()));
    }
    CliOutput table(o.json);
    table.setColumns({"time", "technician", "program", "module", "action", "detail", "outcome"},
                     {"Time", "Technician", "Program", "Module", "Action", "Detail", "Outcome"});
    for (const HistoryEntry& e : read.entries)
        table.addRow({e.time.toString(Qt::ISODate), e.technician, e.program,
                      e.module >= 0 ? QJsonValue(e.module) : QJsonValue(), e.action, e.detail,
                      e.outcome});
    table.printRows();
    if (read.skipped > 0)
        CliOutput::error(QStringLiteral("%1 line(s) of %2 were cut short and are left out")
                             .arg(read.skipped)
                             .arg(QDir::toNativeSeparators(site.historyFile())));
}

void printSiteScan(const CliOptions& o, const QList<ScanHit>& hits, const QList<int>& asked) {
    const SiteFolder site = siteOf(o);
    CliOutput table(o.json);
    table.setColumns({"address", "type", "version", "site", "expectedType", "name", "room"},
                     {"Address", "Type", "Version", "Site", "Expected", "Name", "Room"});
    for (const SiteScanRow& r : sitescan::rows(hits, site.settings().modules, asked))
        table.addRow({r.address, r.type, r.version, o.json ? r.key() : r.text(), r.expectedType,
                      r.name, r.room});
    table.printRows();
}

void recordHistory(const CliOptions& o, const QString& outcome) {
    const Recorded* r = recorded(o);
    if (o.siteDir.isEmpty() || !r || (o.noStore && qstrcmp(r->action, "read-all") == 0))
        return;
    appendHistory(o, moduleOf(o), QString::fromLatin1(r->action), detailOf(o), outcome);
}

QString siteTechnician(const CliOptions& o) {
    if (o.siteDir.isEmpty())
        return {};
    try {
        return SiteFolder::open(o.siteDir).settings().technician;
    } catch (const RecordError&) {
        return {}; // the line still says what was done; only the name is missing
    }
}

QList<ExpectedModule> siteModules(const CliOptions& o) {
    return o.siteDir.isEmpty() ? QList<ExpectedModule>() : siteOf(o).settings().modules;
}

void appendHistory(const CliOptions& o, int module, const QString& action, const QString& detail,
                   const QString& outcome) {
    if (o.siteDir.isEmpty())
        return;
    HistoryEntry e;
    e.time = QDateTime::currentDateTime();
    e.program = QStringLiteral("velm-cli");
    e.module = module;
    e.action = action;
    e.detail = detail;
    e.outcome = outcome;
    e.technician = siteTechnician(o);
    QString error;
    if (!site_history::append(SiteFolder(o.siteDir).historyFile(), e, &error))
        CliOutput::error(QStringLiteral("the site's history could not be written: ") + error);
}

} // namespace cli
