#include "cli/cli_options.h"

namespace {

struct CommandInfo {
    const char* name;
    const char* synopsis;
    const char* help;
    bool records = false; // works on the record database alone, no link
};

const CommandInfo kCommands[] = {
    {"scan", "scan [FIRST [LAST]]",
     "Reads the type code and software version of every address from FIRST to LAST (1..32 by\n"
     "default, then the bus switch, listed as address 255) and lists those that answer. Each\n"
     "address is given --wait ms to answer (200; --timeout when only that is given)."},
    {"audit", "audit MODULE [--timers]",
     "Reads back everything readable that the record database holds for MODULE (input\n"
     "bindings; 255: the bus switch's monitor bindings; with --timers also the \"Timer\n"
     "Records\" and \"Event Records\", as the records of MODULE) and lists each record as\n"
     "same, different, module-only, records-only or no-answer. Writes nothing. Scenes and IR\n"
     "codes cannot be read back over the bus: the notes say so. Exit status 0 when all agree,\n"
     "1 when anything differs or does not answer."},
    {"push", "push MODULE [--timers] [--channels N]",
     "Writes to MODULE everything the record database holds for it: scenes (N channel bytes\n"
     "each, 8 by default), input bindings, with --timers the timers and events, for 255 the\n"
     "monitor bindings; one request at a time with the window's requests and pauses. The\n"
     "first refusal or unanswered request stops it with a list of what was written and what\n"
     "not. Then it runs the audit. IR codes live only in a module and cannot be pushed.\n"
     "Exit status 0 when everything was written and the audit agrees, 1 otherwise."},
    {"light", "light on|off|toggle MODULE CHANNEL | light status MODULE",
     "Switches one channel of a relay module (channels 1..8), or reads its eight channel\n"
     "states."},
    {"curtain", "curtain open|close|stop MODULE CHANNEL | curtain status MODULE",
     "Moves one curtain channel (1..4), or reads the four channel states."},
    {"clock", "clock read MODULE | clock set MODULE [YYYY-MM-DD HH:MM:SS]",
     "Reads a timer module's clock, or sets it (to now when no time is given)."},
    {"timers", "timers read MODULE",
     "Reads the 32 timers of a timer module, one request each, and writes them into \"Timer\n"
     "Records\" as the window's \"Read All Timers\" does (--no-store: only print them)."},
    {"events", "events read MODULE TIMER",
     "Reads the 16 events of timer TIMER (1..32) into \"Event Records\", as the window's\n"
     "\"Read All Events\" does (--no-store: only print them)."},
    {"bindings", "bindings read MODULE",
     "Reads the 14 input bindings of an input module into \"Bind Records\", as the window's\n"
     "\"Read All Control Data\" does (--no-store: only print them)."},
    {"export", "export FILE [--csv DIR]",
     "Writes the six record tables into FILE, a VELM records file (JSON) that import reads\n"
     "back. With --csv DIR also one CSV file per table into DIR, for spreadsheets.",
     true},
    {"import", "import FILE [--tables NAME,...] [--add]",
     "Reads a VELM records file into the record database: the tables named by --tables (all\n"
     "tables the file holds by default) get the file's rows instead of theirs, or with --add\n"
     "the file's rows overwrite the rows they name and the others are added. Monitor slots\n"
     "only take Address and Channel. The database is backed up beside itself first, and the\n"
     "import is one transaction; a file with anything wrong changes nothing. Prints what\n"
     "each table gained, lost and changed, and the backup's name.",
     true},
    {"backup", "backup",
     "Backs the record database up beside itself (VELM.mdb.backup-YYYYMMDD-HHMMSS), a\n"
     "consistent copy even while the window writes to it, and prints the backup's name.",
     true},
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

int toNumber(const QString& text, const QString& what, int min, int max) {
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

} // namespace

int numberArg(const QStringList& args, int index, const QString& what, int min, int max) {
    if (index >= args.size())
        usage(QStringLiteral("%1 is missing").arg(what));
    return toNumber(args.at(index), what, min, max);
}

bool isCommand(const QString& command) {
    return findCommand(command) != nullptr;
}

bool isRecordCommand(const QString& command) {
    const CommandInfo* c = findCommand(command);
    return c && c->records;
}

CliOptions parseOptions(const QStringList& arguments) {
    CliOptions o;
    bool udp = false;
    bool serial = false;
    for (int i = 0; i < arguments.size(); ++i) {
        const QString& a = arguments.at(i);
        if (!a.startsWith(QLatin1String("--")) && a != QLatin1String("-h")) {
            o.args << a;
            continue;
        }
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
            if (i + 1 >= arguments.size())
                usage(QStringLiteral("option %1 needs a value").arg(name));
            return arguments.at(++i);
        };
        if (name == QLatin1String("--help") || name == QLatin1String("-h")) {
            o.help = true;
        } else if (name == QLatin1String("--json")) {
            o.json = true;
        } else if (name == QLatin1String("--no-store")) {
            o.noStore = true;
        } else if (name == QLatin1String("--udp")) {
            const QString target = takeValue();
            const int colon = target.lastIndexOf(QLatin1Char(':'));
            o.host = colon >= 0 ? target.left(colon) : target;
            if (colon >= 0)
                o.port = quint16(
                    toNumber(target.mid(colon + 1), QStringLiteral("the UDP port"), 1, 65535));
            if (o.host.isEmpty())
                usage(QStringLiteral("--udp needs a host"));
            udp = true;
        } else if (name == QLatin1String("--serial")) {
            o.device = takeValue();
            if (o.device.isEmpty())
                usage(QStringLiteral("--serial needs a device"));
            serial = true;
        } else if (name == QLatin1String("--baud")) {
            o.baud = toNumber(takeValue(), QStringLiteral("--baud"), 50, 4000000);
        } else if (name == QLatin1String("--local-port")) {
            o.localPort = quint16(toNumber(takeValue(), QStringLiteral("--local-port"), 0, 65535));
        } else if (name == QLatin1String("--subnet")) {
            o.subnet = quint16(toNumber(takeValue(), QStringLiteral("--subnet"), 0, 65535));
        } else if (name == QLatin1String("--password")) {
            o.password = takeValue();
        } else if (name == QLatin1String("--db")) {
            o.db = takeValue();
            if (o.db.isEmpty())
                usage(QStringLiteral("--db needs a file"));
        } else if (name == QLatin1String("--csv")) {
            o.csvDir = takeValue();
            if (o.csvDir.isEmpty())
                usage(QStringLiteral("--csv needs a folder"));
        } else if (name == QLatin1String("--tables")) {
            o.tables = takeValue().split(QLatin1Char(','), Qt::SkipEmptyParts);
            for (QString& t : o.tables)
                t = t.trimmed();
            if (o.tables.isEmpty())
                usage(QStringLiteral("--tables needs table names"));
        } else if (name == QLatin1String("--add")) {
            o.add = true;
        } else if (name == QLatin1String("--timeout")) {
            o.timeoutMs = toNumber(takeValue(), QStringLiteral("--timeout"), 1, 600000);
            o.timeoutGiven = true;
        } else if (name == QLatin1String("--wait")) {
            o.scanWaitMs = toNumber(takeValue(), QStringLiteral("--wait"), 1, 600000);
        } else if (name == QLatin1String("--timers")) {
            o.timers = true;
        } else if (name == QLatin1String("--channels")) {
            o.sceneChannels = toNumber(takeValue(), QStringLiteral("--channels"), 1, 8);
        } else {
            usage(QStringLiteral("unknown option %1").arg(a));
        }
    }
    if (udp && serial)
        usage(QStringLiteral("choose one link: --udp or --serial, not both"));
    o.link = udp      ? CliOptions::Link::Udp
             : serial ? CliOptions::Link::Serial
                      : CliOptions::Link::None;
    if (!o.help) {
        if (o.args.isEmpty())
            usage(QStringLiteral("no command given"));
        if (!isCommand(o.command()))
            usage(QStringLiteral("unknown command '%1'").arg(o.command()));
        if (o.link == CliOptions::Link::None && !isRecordCommand(o.command()))
            usage(QStringLiteral("choose a link: --udp HOST[:PORT] or --serial DEVICE"));
        if (!o.csvDir.isEmpty() && o.command() != QLatin1String("export"))
            usage(QStringLiteral("--csv belongs to export"));
        if ((!o.tables.isEmpty() || o.add) && o.command() != QLatin1String("import"))
            usage(QStringLiteral("--tables and --add belong to import"));
    }
    return o;
}

QString usageText() {
    QString text = QStringLiteral(
        "Usage: velm-cli [OPTIONS] COMMAND [ARGS]\n"
        "Commissions the modules of one bus subnet from the command line, over the same link,\n"
        "requests and record database as the VELM window.\n\n"
        "Link (one of them; export, import and backup need none):\n"
        "  --udp HOST[:PORT]   network mode through the bus switch (port 2001 by default)\n"
        "  --serial DEVICE     serial mode: COM1..COM5 as in the window, or a device path\n"
        "  --baud N            serial speed (9600)\n"
        "  --local-port N      local UDP port (any free port by default)\n"
        "  --subnet N          subnet ID (1)\n"
        "  --password TEXT     bus switch password (418273)\n\n"
        "Other options:\n"
        "  --db FILE           record database (./VELM.mdb)\n"
        "  --csv DIR           export: also one CSV file per table into DIR\n"
        "  --tables NAME,...   import: only these tables (\"Scene Records,IR Records\")\n"
        "  --add               import: add to the rows instead of replacing them\n"
        "  --no-store          read-all commands only print, the database is left alone\n"
        "  --json              print JSON instead of a table\n"
        "  --timeout MS        how long to wait for each reply (1000)\n"
        "  --wait MS           how long scan waits at each address (200)\n"
        "  --timers            audit, push: include the timer and event records\n"
        "  --channels N        push: channel bytes of each scene (8)\n"
        "  --help              this text; COMMAND --help for one command\n\n"
        "Commands:\n");
    for (const CommandInfo& c : kCommands)
        text += QStringLiteral("  %1\n").arg(QLatin1String(c.synopsis));
    text += QStringLiteral(
        "\nExit status: 0 success, 1 a module answered with an error or did not answer (or the\n"
        "link or the database failed, a records file was refused, or an audit found a\n"
        "difference), 2 a usage error.\n");
    return text;
}

QString commandHelp(const QString& command) {
    const CommandInfo* c = findCommand(command);
    if (!c)
        return usageText();
    return QStringLiteral("Usage: velm-cli [OPTIONS] %1\n%2\n")
        .arg(QLatin1String(c->synopsis), QLatin1String(c->help));
}
