#include "cli_options/cli_options.h"

#include "cli_options/command_help.h"
#include "records/records_values.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QStandardPaths>

#include <cstring>

namespace {

struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* help;
    bool records = false;  // needs no link (works on the record database alone, or on nothing)
    bool database = false; // reads or writes the record database
};

const CommandInfo kCommands[] = {
    {"scan", "scan [FIRST [LAST]]",
     "Reads the type code and software version of every address from FIRST to LAST (1..32;\n"
     "all of them by default, then the bus switch, listed as address 255) and lists those\n"
     "that answer. Each address is given --wait ms to answer (20..5000, 200 by default;\n"
     "--timeout when only that is given)."},
    {"audit", "audit MODULE [--timers]",
     "Reads back everything readable that the record database holds for MODULE (input\n"
     "bindings; 255: the bus switch's monitor bindings; with --timers also the \"Timer\n"
     "Records\" and \"Event Records\", as the records of MODULE) and lists each record as\n"
     "same, different, module-only, records-only or no-answer. Writes nothing. Scenes, IR\n"
     "codes and events past 16 of a timer cannot be read back over the bus: the notes list\n"
     "them. MODULE is 1..255. Exit status 0 when at least one record was read back and all\n"
     "agree, 1 when anything differs or does not answer, or nothing could be read back.",
     false, true},
    {"push", "push MODULE [--timers] [--channels N]",
     "Writes to MODULE everything the record database holds for it: scenes (N channel bytes\n"
     "each, 8 by default), input bindings, with --timers the timers and events, for 255 the\n"
     "monitor bindings; one request at a time with the window's requests and pauses. The\n"
     "first refusal or unanswered request stops it with a list of what was written and what\n"
     "not. Then it runs the audit. IR codes live only in a module and cannot be pushed.\n"
     "MODULE is 1..255. Exit status 0 when everything was written and the audit agrees, 1\n"
     "otherwise.",
     false, true},
    {"light",
     "light on|off|toggle MODULE CHANNEL | light status MODULE |\n"
     "  light duration MODULE CHANNEL SECONDS | light all-on|all-off --yes",
     "Switches one channel of a relay module (MODULE 1..32, CHANNEL 1..8), or reads its\n"
     "eight channel states. duration: how long the channel stays on once switched on\n"
     "(SECONDS 0..65001), the \"On-State Duration\" that \"Set\" beside it sends.\n"
     "all-on, all-off: switch every channel of every light module of the subnet, whatever\n"
     "its address, as \"All On\" and \"All Off\" do; they succeed when any module answers."},
    {"curtain", "curtain open|close|stop MODULE CHANNEL | curtain status MODULE",
     "Moves one curtain channel (MODULE 1..32, CHANNEL 1..4), or reads the four channel\n"
     "states."},
    {"clock", "clock read MODULE | clock set MODULE [YYYY-MM-DD HH:MM:SS]",
     "Reads a timer module's clock (MODULE 0..33), or sets it (to now when no time is given;\n"
     "the module keeps the years 2000..2099)."},
    {"timers",
     "timers read MODULE | timers set MODULE TIMER MODE YYYY-MM-DD HH:MM:SS |\n"
     "  timers delete-all MODULE",
     "read: reads the 32 timers of a timer module (MODULE 0..33), one request each, into\n"
     "\"Timer Records\" as the window's \"Read All Timers\" does (--no-store: only print them).\n"
     "set: sets timer TIMER (1..33) to MODE (once, minute, hour, day, week, month, year or\n"
     "invalid) at that date and time, and stores its row when the module confirms.\n"
     "delete-all: empties the 32 timers one by one, as \"Delete All Timers\" does.",
     false, true},
    {"events",
     "events read MODULE TIMER | events set MODULE TIMER EVENT ACTION [TARGET [CHANNEL\n"
     "  [PARAMETER]]] | events delete-all MODULE TIMER",
     "read: reads the 16 events of timer TIMER (1..32) of MODULE (0..33) into \"Event\n"
     "Records\", as the window's \"Read All Events\" does (--no-store: only print them).\n"
     "set: sets event EVENT (1..33) of TIMER (1..33): ACTION is light-on, light-off,\n"
     "light-toggle, curtain-open, curtain-close, curtain-stop, scene-control, ir-control or\n"
     "invalid; TARGET the controlled module (1..33, 1), CHANNEL its channel (1..33, 1),\n"
     "PARAMETER the scene or IR number (0..255, 0). The row is stored when confirmed.\n"
     "delete-all: empties the 16 events of TIMER one by one, as \"Delete All Events\" does.",
     false, true},
    {"bindings",
     "bindings read MODULE | bindings set INPUT CHANNEL ACTION [TARGET [CHANNEL\n"
     "  [PARAMETER]]] [--mode NC|NO|NC/NO] [--delay S] | bindings delete-all MODULE",
     "read: reads the 14 input bindings of an input module (MODULE 1..32) into \"Bind\n"
     "Records\", as the window's \"Read All Control Data\" does (--no-store: only print).\n"
     "set: binds input CHANNEL (1..32) of INPUT (1..32) to ACTION (the events' actions and\n"
     "alarm) on TARGET (1..32, 1), its CHANNEL (1..20, 1), PARAMETER (0..255, 0), with the\n"
     "control mode (NC) and delay (0..60 s, 0); the row is stored when confirmed.\n"
     "delete-all: empties the 14 bindings, as \"Delete All Control Data\" does.",
     false, true},
    {"scene",
     "scene set MODULE SCENE TARGET... [--name TEXT] | scene set-ir MODULE SCENE IRNO... |\n"
     "  scene test SCENE | scene clear MODULE --yes",
     "set: stores scene SCENE (0..100) in a light or curtain module (MODULE 1..32) with one\n"
     "TARGET per channel, on, off or keep (\"On/Open\", \"Off/Close\", \"No Change\"), 1..8 of\n"
     "them. set-ir: the same for an IR module with IR code numbers (0..255). The confirmed\n"
     "scene is stored in \"Scene Records\" with all eight channels (the others Off/Close or\n"
     "255, as the window stores them). test: calls SCENE on every module. clear: empties\n"
     "every scene of MODULE and removes its rows.",
     false, true},
    {"ir",
     "ir learn MODULE IRNO [--name TEXT] [--learn-wait MS] | ir send MODULE IRNO |\n"
     "  ir delete MODULE IRNO --yes | ir delete-all MODULE --yes",
     "learn: puts the IR module (MODULE 1..32) into learning for IRNO (0..250) and waits\n"
     "(30000 ms by default) for the learned code, then lists it in \"IR Records\" with its\n"
     "name. send: replays a stored code. delete, delete-all: remove one code or all codes\n"
     "of the module and their rows (delete-all waits 4000 ms for the answer).",
     false, true},
    {"monitor-bindings",
     "monitor-bindings set SLOT MODULE CHANNEL|IRNO | monitor-bindings read light|curtain|ac\n"
     "  | monitor-bindings test light|curtain|ac ROOM DEVICE MOVE | ... test scene SCENE",
     "set: binds monitor slot SLOT (1..224; 1..64 lights, 65..96 curtains, 97..224 air\n"
     "conditioners) to MODULE (1..32) and CHANNEL (1..8), or for an air conditioner the IR\n"
     "code IRNO (0..255), in the bus switch; the slot's row takes it when confirmed.\n"
     "read: reads the slots of one device type into \"Monitor Bind Records\".\n"
     "test: the binding function test of a device by ROOM (1..20) and DEVICE (1..16): light\n"
     "on|off|status, curtain open|close|stop|status, ac cold|strong-cold|wind|off, or\n"
     "scene SCENE (0..16).",
     false, true},
    {"module",
     "module read | module address NEW | module test|type|version MODULE |\n"
     "  module restore MODULE --yes",
     "What the \"Subnet Module Settings\" group does: read the address of the module in\n"
     "addressing mode, give it address NEW (0..33; the Set goes to every module), test a\n"
     "module, read its type code or software version, restore it (waits 8000 ms). MODULE is\n"
     "0..33."},
    {"bus-switch",
     "bus-switch read|type|version | bus-switch set SUBNET IP PORT MASK GATEWAY SERVER-IP\n"
     "  SERVER-PORT MAC | bus-switch password TEXT | bus-switch restore|transparent --yes",
     "What the \"Bus Switch Settings\" group does: read its network settings (a broadcast\n"
     "read in network mode, found whatever its subnet and password), its type code or\n"
     "software version; set the settings (SUBNET 0..65535, addresses as a.b.c.d, ports\n"
     "0..65535, MAC as six hex bytes aa-bb-cc-dd-ee-ff) or its password (1..16 characters);\n"
     "restore it (waits 8000 ms) or set its transparent mode."},
    {"walk", "walk [MODULE...] [--auto] [--continue]", cli::kWalkHelp, false, true},
    {"replace", "replace FAILED [--from ADDR] [--type TYPE] [--timers] [--yes]", cli::kReplaceHelp,
     false, true},
    {"expect", "expect type MODULE TYPE", cli::kExpectHelp},
    {"watch", "watch [--pcap FILE]",
     "Listens on the link and prints every frame as it comes, in words, until interrupted\n"
     "(Ctrl+C): over --serial everything on the line, over --udp whatever comes to the local\n"
     "port (--local-port; the port is named on standard error). Sends nothing. The gateway\n"
     "password shows as XX. With --pcap FILE the frames also go into a capture file for\n"
     "Wireshark, which holds them as they went over the wire, password included. --json\n"
     "prints one JSON object a frame. When the system drops datagrams that came faster than\n"
     "they were read, a line on standard error says how many."},
    {"decode", "decode HEX... [--serial|--network] [--layout short|long]",
     "Prints what one frame says: its bytes as hexadecimal, with or without spaces between\n"
     "them. A network frame tells itself by its password block and the layout by the length\n"
     "where it can; --serial or --network and --layout say what the bytes cannot. The\n"
     "password shows as XX. Exit status 1 when the bytes are no frame (not a frame, a bad\n"
     "checksum, too short ...). Needs no link.",
     true},
    {"run", "run FILE|-",
     "Runs a script: one command a line (without velm-cli and the link and database\n"
     "options, which the run itself takes once), # starts a comment. Every line is checked\n"
     "before the first request goes out: a line that is not a valid command, or one the\n"
     "window would confirm without --yes, runs nothing (exit 2, the line named). The run\n"
     "stops at the first line that fails, names it and exits with its status. FILE - reads\n"
     "the script from standard input.",
     true, true},
    {"site",
     "site new DIR [--name TEXT] [--technician TEXT] | site show |\n"
     "  site set [--udp HOST[:PORT]|--serial DEVICE] [LINK OPTIONS] [--remember-password]",
     cli::kSiteHelp, true},
    {"history", "history [--since YYYY-MM-DD]", cli::kHistoryHelp, true},
    {"report",
     "report --html FILE|--pdf FILE [--site TEXT] [--technician TEXT] [--modules LIST]\n"
     "  [--live [--timer-module N]]",
     "Writes the installation report, what a technician hands over: the modules, and per\n"
     "module its scenes, IR codes and input bindings in words, the bus switch's monitor\n"
     "bindings, the timers and events. --html FILE writes it as one HTML file that stands\n"
     "alone, --pdf FILE as a PDF (either or both). --modules 1,5,255 limits it to those\n"
     "modules (every module the records name by default). --live also reads the modules\n"
     "over the link: what answers at 1..32 and 255 (or at --modules), an audit of each\n"
     "against its records (writes nothing), and over --udp the bus switch's settings by\n"
     "a broadcast read; --timer-module N audits the timer and event records as module\n"
     "N's. The report never holds the password.",
     true, true},
    {"export", "export FILE [--csv DIR]",
     "Writes the six record tables into FILE, a VELM records file (JSON) that import reads\n"
     "back. With --csv DIR also one CSV file per table into DIR, for spreadsheets.",
     true, true},
    {"import", "import FILE [--tables NAME,...] [--add]",
     "Reads a VELM records file into the record database: the tables named by --tables (all\n"
     "tables the file holds by default) get the file's rows instead of theirs, or with --add\n"
     "the file's rows overwrite the rows they name and the others are added. Monitor slots\n"
     "only take Address and Channel. The database is backed up beside itself first (a\n"
     "restore point, none when the import changes nothing), and the import is one\n"
     "transaction; a file with anything wrong changes nothing. Prints what each table\n"
     "gained, lost and changed, and the restore point's name.",
     true, true},
    {"backup", "backup | backup list | backup restore NAME --yes",
     "Backs the record database up beside itself (VELM.mdb.backup-YYYYMMDD-HHMMSS), a\n"
     "consistent copy even while the window writes to it, and prints the backup's name.\n"
     "Before a delete-all or read-all, an import and a restore the tool makes such a\n"
     "backup itself, a restore point (VELM.mdb.backup-YYYYMMDD-HHMMSS-ACTION), and keeps\n"
     "the newest 20 of them; the backups you make are never removed. `backup list` shows\n"
     "every backup with its action, each table's rows and its size; `backup restore NAME`\n"
     "puts one back into the record database, after a restore point of the records as\n"
     "they are. Only the records come back: a module a delete-all cleared needs a push.",
     true, true},
    {"convert", "convert [FILE]",
     "Converts a record file in the Access format (FILE, or the record database velm-cli\n"
     "would open) in place: the Access file is kept, unchanged, as\n"
     "VELM.access-YYYYMMDD-HHMMSS.mdb, and a new record file under its name gets every row\n"
     "(rows its tables refuse go to VELM.mdb.not-imported-YYYYMMDD-HHMMSS.json, exit 3).",
     true, true},
};

const CommandInfo* findCommand(const QString& name) {
    for (const CommandInfo& c : kCommands)
        if (name == QLatin1String(c.name))
            return &c;
    return nullptr;
}

[[noreturn]] void usage(const QString& text) {
    throw UsageError(text.toStdString());
}

bool isHexWord(const QString& a) {
    static const QRegularExpression hex(QStringLiteral("^[0-9A-Fa-f]+$"));
    return hex.match(a).hasMatch();
}

bool isOptionText(const QString& a) {
    return a.startsWith(QLatin1String("--")) || a == QLatin1String("-h");
}

// Where a usage error sends the reader: the command's own help when the command is known.
QString helpHint(const QString& command) {
    return isCommand(command) ? QStringLiteral("; see 'velm-cli %1 --help'").arg(command)
                              : QStringLiteral("; see 'velm-cli --help'");
}

// HOST[:PORT]. The bus switch is configured with IPv4 addresses only and the link's socket
// is IPv4: an IPv6 address (colons of its own, or brackets) is refused here, before a
// colon inside it could be taken for the port.
void parseUdpTarget(CliOptions& o, const QString& target) {
    if (target.startsWith(QLatin1Char('[')) || target.count(QLatin1Char(':')) > 1)
        usage(QStringLiteral("--udp %1: IPv6 addresses are not supported; the bus switch is "
                             "configured with IPv4 addresses only")
                  .arg(target));
    const int colon = target.indexOf(QLatin1Char(':'));
    o.host = colon >= 0 ? target.left(colon) : target;
    if (colon >= 0)
        o.port =
            quint16(numberValue(target.mid(colon + 1), QStringLiteral("the UDP port"), 1, 65535));
    if (o.host.trimmed().isEmpty())
        usage(QStringLiteral("--udp needs a host"));
}

QString databaseLine(const CliOptions& o) {
    return QStringLiteral("Record database: %1 (%2)\n")
        .arg(QDir::toNativeSeparators(o.db), o.dbOrigin);
}

// The report's options belong to it; a live report needs a link, the others none.
void checkReportOptions(const CliOptions& o) {
    const bool report = o.command() == QLatin1String("report");
    // A site takes a technician too.
    const bool technician = !o.technician.isEmpty() && o.command() != QLatin1String("site");
    const bool given = !o.reportHtml.isEmpty() || !o.reportPdf.isEmpty() || !o.site.isEmpty() ||
                       technician || !o.modules.isEmpty() || o.live || o.timerModule > 0;
    if (!report && given)
        usage(QStringLiteral("--html, --pdf, --site, --technician, --modules, --live and "
                             "--timer-module belong to report"));
    if (!report)
        return;
    if (o.reportHtml.isEmpty() && o.reportPdf.isEmpty())
        usage(QStringLiteral("report: say where it goes, --html FILE and/or --pdf FILE"));
    if (o.live && o.link == CliOptions::Link::None)
        usage(QStringLiteral("report --live: choose a link: --udp HOST[:PORT] or --serial DEVICE"));
    if (o.timerModule > 0 && !o.live)
        usage(QStringLiteral("report: --timer-module belongs to a --live report"));
}

// The options of a site and of its history belong to their commands.
void checkSiteOptions(const CliOptions& o) {
    const bool siteCommand = o.command() == QLatin1String("site");
    if ((o.rememberPassword || o.forgetPassword) &&
        !(siteCommand && o.args.value(1) == QLatin1String("set")))
        usage(QStringLiteral("--remember-password and --forget-password belong to site set"));
    if (!o.since.isNull() && o.command() != QLatin1String("history"))
        usage(QStringLiteral("--since belongs to history"));
    if (!o.siteDir.isEmpty() && siteCommand && o.args.value(1) == QLatin1String("new"))
        usage(QStringLiteral("site new DIR makes the site DIR: leave --site-dir out"));
}

void parseInto(CliOptions& o, const QStringList& arguments, const OptionReaders& readers) {
    bool udp = false;
    bool serial = false;
    bool network = false;
    int serialWordAt = -1;
    QString dbOption;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (!isOptionText(a)) {
            o.args << a;
            continue;
        }
        const int optionStart = i;
        const auto keepOption =
            qScopeGuard([&] { o.optionArgs << arguments.mid(optionStart, i - optionStart + 1); });
        QString name = a;
        QString value;
        bool inlineValue = false;
        if (const int eq = a.indexOf(QLatin1Char('=')); eq > 0) {
            name = a.left(eq);
            value = a.mid(eq + 1);
            inlineValue = true;
        }
        auto takeValue = [&]() -> QString {
            if (inlineValue)
                return value;
            // "--serial --json" forgot the device: the next option is no value.
            if (i + 1 >= arguments.size() || isOptionText(arguments.at(i + 1)))
                usage(QStringLiteral("option %1 needs a value").arg(name));
            return arguments.at(++i);
        };
        auto flag = [&]() {
            if (inlineValue)
                usage(QStringLiteral("option %1 takes no value").arg(name));
            return true;
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = flag();
        } else if (name == QLatin1String("--json")) {
            o.json = flag();
        } else if (name == QLatin1String("--quiet")) {
            o.quiet = flag();
        } else if (name == QLatin1String("--no-store")) {
            o.noStore = flag();
        } else if (name == QLatin1String("--udp")) {
            parseUdpTarget(o, takeValue());
            udp = true;
        } else if (name == QLatin1String("--serial")) {
            // decode takes --serial without a device: a following word that is hexadecimal
            // is the frame's, put back where it stood once the command is known.
            if (inlineValue || (i + 1 < arguments.size() && !isOptionText(arguments.at(i + 1)))) {
                o.device = takeValue();
                if (!inlineValue && isHexWord(o.device))
                    serialWordAt = int(o.args.size());
            }
            serial = true;
        } else if (name == QLatin1String("--network")) {
            network = flag();
        } else if (name == QLatin1String("--layout")) {
            o.layout = takeValue();
            if (o.layout != QLatin1String("short") && o.layout != QLatin1String("long"))
                usage(QStringLiteral("--layout must be short or long, not '%1'").arg(o.layout));
        } else if (name == QLatin1String("--trace")) {
            o.trace = flag();
        } else if (name == QLatin1String("--pcap")) {
            o.pcap = takeValue();
            if (o.pcap.isEmpty())
                usage(QStringLiteral("--pcap needs a file"));
        } else if (name == QLatin1String("--baud")) {
            o.baud = numberValue(takeValue(), QStringLiteral("--baud"), 50, 4000000);
        } else if (name == QLatin1String("--local-port")) {
            o.localPort =
                quint16(numberValue(takeValue(), QStringLiteral("--local-port"), 0, 65535));
        } else if (name == QLatin1String("--subnet")) {
            o.subnet = quint16(numberValue(takeValue(), QStringLiteral("--subnet"), 0, 65535));
        } else if (name == QLatin1String("--password")) {
            o.password = takeValue();
        } else if (name == QLatin1String("--site-dir")) {
            o.siteDir = takeValue();
            if (o.siteDir.isEmpty())
                usage(QStringLiteral("--site-dir needs a folder"));
        } else if (name == QLatin1String("--remember-password")) {
            o.rememberPassword = flag();
        } else if (name == QLatin1String("--forget-password")) {
            o.forgetPassword = flag();
        } else if (name == QLatin1String("--since")) {
            o.since = QDate::fromString(takeValue(), Qt::ISODate);
            if (!o.since.isValid())
                usage(QStringLiteral("--since takes a date, YYYY-MM-DD"));
        } else if (name == QLatin1String("--db")) {
            dbOption = takeValue();
            if (dbOption.isEmpty())
                usage(QStringLiteral("--db needs a file"));
        } else if (name == QLatin1String("--csv")) {
            o.csvDir = takeValue();
            if (o.csvDir.isEmpty())
                usage(QStringLiteral("--csv needs a folder"));
        } else if (name == QLatin1String("--tables")) {
            o.tables = takeValue().split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (QString& t : o.tables)
                t = t.trimmed();
            o.tables.removeAll(QString());
            if (o.tables.isEmpty())
                usage(QStringLiteral("--tables needs table names"));
        } else if (name == QLatin1String("--add")) {
            o.add = flag();
        } else if (name == QLatin1String("--yes")) {
            o.yes = flag();
        } else if (name == QLatin1String("--name")) {
            o.name = takeValue();
            // As long as the record's name column holds: what velm-cli stores, it exports and
            // imports back.
            if (const int n = records_values::characterCount(o.name);
                n > records_values::kNameLength)
                usage(QStringLiteral("--name takes at most %1 characters, not %2")
                          .arg(records_values::kNameLength)
                          .arg(n));
        } else if (name == QLatin1String("--learn-wait")) {
            o.learnWaitMs = numberValue(takeValue(), QStringLiteral("--learn-wait"), 1, 600000);
        } else if (name == QLatin1String("--mode")) {
            o.mode = takeValue();
        } else if (name == QLatin1String("--delay")) {
            o.delay = numberValue(takeValue(), QStringLiteral("--delay"), 0, 60);
        } else if (name == QLatin1String("--timeout")) {
            o.timeoutMs = numberValue(takeValue(), QStringLiteral("--timeout"), 1, 600000);
            o.timeoutGiven = true;
        } else if (name == QLatin1String("--wait")) {
            // The scan dialog's "Wait per address".
            o.scanWaitMs = numberValue(takeValue(), QStringLiteral("--wait"), 20, 5000);
        } else if (name == QLatin1String("--timers")) {
            o.timers = flag();
        } else if (name == QLatin1String("--html") || name == QLatin1String("--pdf")) {
            (name == QLatin1String("--html") ? o.reportHtml : o.reportPdf) = takeValue();
            if ((name == QLatin1String("--html") ? o.reportHtml : o.reportPdf).isEmpty())
                usage(QStringLiteral("%1 needs a file").arg(name));
        } else if (name == QLatin1String("--site")) {
            o.site = takeValue();
        } else if (name == QLatin1String("--technician")) {
            o.technician = takeValue();
        } else if (name == QLatin1String("--modules")) {
            for (const QString& m : takeValue().split(QLatin1Char(','), Qt::SkipEmptyParts))
                o.modules << numberValue(m.trimmed(), QStringLiteral("--modules"), 1, 255);
            if (o.modules.isEmpty())
                usage(QStringLiteral("--modules needs module addresses (1,5,255)"));
        } else if (name == QLatin1String("--auto")) {
            o.automatic = flag();
        } else if (name == QLatin1String("--continue")) {
            o.continueRun = flag();
        } else if (name == QLatin1String("--from")) {
            o.from = numberValue(takeValue(), QStringLiteral("--from"), 0, 254);
        } else if (name == QLatin1String("--type")) {
            o.type = takeValue();
        } else if (name == QLatin1String("--live")) {
            o.live = flag();
        } else if (name == QLatin1String("--timer-module")) {
            o.timerModule = numberValue(takeValue(), QStringLiteral("--timer-module"), 0, 33);
        } else if (name == QLatin1String("--channels")) {
            o.sceneChannels = numberValue(takeValue(), QStringLiteral("--channels"), 1, 8);
        } else {
            usage(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (o.command() == QLatin1String("decode")) {
        if (serial && network)
            usage(QStringLiteral("decode: say --serial or --network, not both"));
        if (serialWordAt >= 0)
            o.args.insert(serialWordAt, o.device);
        o.frameLink = serial    ? QStringLiteral("serial")
                      : network ? QStringLiteral("network")
                                : QString();
        // A link given for the other commands of a script says nothing about these bytes.
        udp = serial = false;
        o.device.clear();
    } else {
        if (serial && o.device.isEmpty())
            usage(QStringLiteral("option --serial needs a value"));
        if (network || !o.layout.isEmpty())
            usage(QStringLiteral("--network and --layout belong to decode"));
    }
    if (udp && serial)
        usage(QStringLiteral("choose one link: --udp or --serial, not both"));
    if (!o.siteDir.isEmpty() && !dbOption.isEmpty())
        usage(QStringLiteral("--site-dir and --db both name a record file: give one of them"));
    checkSiteOptions(o);
    if (!o.siteDir.isEmpty())
        readers.siteLink(o, udp, serial);
    o.link = udp      ? CliOptions::Link::Udp
             : serial ? CliOptions::Link::Serial
                      : CliOptions::Link::None;
    chooseDatabase(o, dbOption, readers.userDataFolder);
    if (o.help)
        return;
    if (o.args.isEmpty())
        usage(QStringLiteral("no command given"));
    if (!isCommand(o.command()))
        usage(QStringLiteral("unknown command '%1'").arg(o.command()));
    if (o.link == CliOptions::Link::None && !isRecordCommand(o.command()))
        usage(QStringLiteral("choose a link: --udp HOST[:PORT] or --serial DEVICE"));
    if ((o.trace || !o.pcap.isEmpty()) && isRecordCommand(o.command()) &&
        o.command() != QLatin1String("run"))
        usage(QStringLiteral("--trace and --pcap belong to the commands that use the link"));
    if (!o.csvDir.isEmpty() && o.command() != QLatin1String("export"))
        usage(QStringLiteral("--csv belongs to export"));
    checkReportOptions(o);
    if ((!o.tables.isEmpty() || o.add) && o.command() != QLatin1String("import"))
        usage(QStringLiteral("--tables and --add belong to import"));
    if ((o.automatic || o.continueRun) && o.command() != QLatin1String("walk"))
        usage(QStringLiteral("--auto and --continue belong to walk"));
    if ((o.from >= 0 || !o.type.isEmpty()) && o.command() != QLatin1String("replace"))
        usage(QStringLiteral("--from and --type belong to replace"));
    o.given = readers.commandArgs(o.args, o);
    if (!o.given.confirm.isEmpty() && !o.yes)
        usage(QStringLiteral("%1 %2: %3; add --yes to do it")
                  .arg(o.command(), o.given.verb, o.given.confirm));
}

} // namespace

int numberValue(const QString& text, const QString& what, int min, int max) {
    bool ok = false;
    const int value = text.toInt(&ok);
    if (!ok || value < min || value > max)
        usage(QStringLiteral("%1 must be a number from %2 to %3, not '%4'")
                  .arg(what)
                  .arg(min)
                  .arg(max)
                  .arg(text));
    return value;
}

bool isCommand(const QString& command) {
    return findCommand(command) != nullptr;
}

bool isRecordCommand(const QString& command) {
    const CommandInfo* c = findCommand(command);
    return c && c->records;
}

void chooseDatabase(CliOptions& o, const QString& dbOption,
                    const std::function<QString()>& userDataFolder) {
    QString file;
    if (!o.siteDir.isEmpty()) {
        file = QDir(o.siteDir).filePath(QStringLiteral("VELM.mdb"));
        o.dbOrigin = QStringLiteral("the site's, --site-dir");
    } else if (!dbOption.isEmpty()) {
        file = dbOption;
        o.dbOrigin = QStringLiteral("given by --db");
    } else if (const QString env = qEnvironmentVariable("VELM_DB"); !env.isEmpty()) {
        file = env;
        o.dbOrigin = QStringLiteral("from $VELM_DB");
    } else if (QFileInfo(QStringLiteral("VELM.mdb")).exists() ||
               QFileInfo(QStringLiteral("VELM.mdb")).isSymLink()) {
        // Whatever stands there (a dangling link to an unmounted stick, a folder) is the file
        // the window started here uses: its fault is reported, never another file written.
        file = QStringLiteral("VELM.mdb");
        o.dbOrigin = QStringLiteral("the working folder's");
    } else {
        // Where velm-launch (the menu entry) starts the window.
        file = userDataFolder() + QStringLiteral("/VELM.mdb");
        o.dbOrigin = QStringLiteral("per-user, as VELM from the menu uses");
    }
    o.db = QFileInfo(file).absoluteFilePath();
}

CliOptions parseOptions(const QStringList& arguments, const OptionReaders& readers) {
    CliOptions o;
    try {
        parseInto(o, arguments, readers);
    } catch (const UsageError& e) {
        // One line: what is wrong, and where the help is.
        throw UsageError((QString::fromStdString(e.what()) + helpHint(o.command())).toStdString());
    }
    return o;
}

QString usageText(const CliOptions& options) {
    QString text = QStringLiteral(
        "Usage: velm-cli [OPTIONS] COMMAND [ARGS]\n"
        "Commissions the modules of one bus subnet from the command line, over the same link,\n"
        "requests and record database as the VELM window.\n\n"
        "Link (one of them; export, import, backup, convert and decode need none):\n"
        "  --udp HOST[:PORT]   network mode through the bus switch (port 2001 by default);\n"
        "                      HOST is an IPv4 address or a host name, looked up once\n"
        "  --serial DEVICE     serial mode: COM1..COM5 as in the window, or a device path\n"
        "  --baud N            serial speed (9600)\n"
        "  --local-port N      local UDP port (any free port by default)\n"
        "  --subnet N          subnet ID (1)\n"
        "  --password TEXT     bus switch password (418273)\n\n"
        "Other options:\n"
        "  --db FILE           record database; without it $VELM_DB, else ./VELM.mdb when it\n"
        "                      exists, else the per-user one that VELM from the menu uses\n"
        "  --site-dir DIR      a site: its record file, and its link under the link options\n"
        "                      given; commands that change a module go into its history\n"
        "  --csv DIR           export: also one CSV file per table into DIR\n"
        "  --tables NAME,...   import: only these tables (\"Scene Records,IR Records\")\n"
        "  --add               import: add to the rows instead of replacing them\n"
        "  --no-store          read-all commands only print, the database is left alone\n"
        "  --json              print JSON instead of a table\n"
        "  --quiet             no \"done: ...\" line after a command that changes a module\n"
        "  --timeout MS        how long to wait for each reply (1000; IR delete-all 4000,\n"
        "                      restore 8000)\n"
        "  --wait MS           how long scan waits at each address (20..5000, 200)\n"
        "  --timers            audit, push, replace: include the timer and event records\n"
        "  --auto, --continue  walk: record only what answered; go on with the latest run\n"
        "  --from ADDR         replace: the address the spare answers at\n"
        "  --type TYPE         replace: the failed module's type (light, curtain, ir, input,\n"
        "                      timer or a type code) when the site does not know it\n"
        "  --yes               what the window asks \"Are you sure?\" for is done\n"
        "  --name TEXT         scene set, ir learn: the name stored with the row\n"
        "  --learn-wait MS     ir learn: how long to wait for the code (30000)\n"
        "  --mode M, --delay S bindings set: control mode (NC) and delay (0)\n"
        "  --channels N        push: channel bytes of each scene (8)\n"
        "  --html, --pdf FILE  report: where it goes; --site, --technician TEXT: its cover;\n"
        "  --modules LIST      its modules; --live, --timer-module N: read the modules now\n"
        "  --trace             every frame sent and received, decoded, on standard error\n"
        "  --pcap FILE         every frame sent and received into a capture file (Wireshark)\n"
        "  --serial, --network decode: the frame's link; --layout short|long: its layout\n"
        "  --help              this text; COMMAND --help for one command\n\n"
        "Commands:\n");
    for (const CommandInfo& c : kCommands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(c.synopsis));
    text += QStringLiteral(
        "\nExit status: 0 success, 1 a module answered with an error or did not answer (or the\n"
        "link or the database failed, a records file was refused, or an audit found a\n"
        "difference), 2 a usage error.\n\n");
    return text + databaseLine(options);
}

QString commandHelp(const CliOptions& options) {
    const CommandInfo* c = findCommand(options.command());
    if (!c)
        return usageText(options);
    QString text = QStringLiteral("Usage: velm-cli [OPTIONS] %1\n%2\n")
                       .arg(QLatin1String(c->synopsis), QLatin1String(c->help));
    if (c->database)
        text += databaseLine(options);
    return text;
}

QString helperProgram(const QString& name) {
    // findExecutable adds the system's program suffix (".exe").
    const QDir here(QCoreApplication::applicationDirPath());
    const QString installed = QDir::cleanPath(here.filePath(QStringLiteral(VELM_HELPERS_FROM_BIN)));
    return QStandardPaths::findExecutable(name, {here.path(), installed});
}

QStringList commandLine(const QCoreApplication& app, int argc, char* argv[]) {
    QStringList arguments = app.arguments();
    // Qt decodes the command line as if each argument were a file of its own and drops a
    // U+FEFF that begins one: a name given with --name keeps it.
    for (int i = 1; i < argc && i < arguments.size(); ++i)
        if (std::strncmp(argv[i], "\xEF\xBB\xBF", 3) == 0 &&
            !arguments[i].startsWith(QChar(0xFEFF)))
            arguments[i].prepend(QChar(0xFEFF));
    arguments.removeFirst();
    return arguments;
}
