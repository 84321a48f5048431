// The arguments of each command, checked against the ranges of the window's controls for the
// same operation, all before the link is opened: a command line that cannot be run as
// written sends nothing.
#include "cli/cli_expect.h"
#include "cli/cli_replace.h"
#include "cli/cli_site.h"
#include "cli/cli_walk.h"
#include "cli/cli_words.h"
#include "cli_options/cli_options.h"
#include "platform/user_folders.h"

#include <QStringList>

namespace {

// Light and curtain: one channel of a module from the tab's "Module Addr." (1..32) and
// "Channel No.", or the status read of the module.
CommandArgs channelCommand(const Words& w, const QStringList& moves, int channels) {
    CommandArgs c;
    c.verb = w.verb(moves + QStringList{QStringLiteral("status")});
    c.module = w.number(2, QStringLiteral("MODULE"), 1, 32);
    if (c.verb == QLatin1String("duration")) {
        c.channel = w.number(3, QStringLiteral("CHANNEL"), 1, channels);
        // The light tab's "On-State Duration" takes 65001 too.
        c.value = w.number(4, QStringLiteral("SECONDS"), 0, 65001);
        w.end(5);
        return c;
    }
    if (c.verb == QLatin1String("status")) {
        w.end(3);
        return c;
    }
    c.channel = w.number(3, QStringLiteral("CHANNEL"), 1, channels);
    w.end(4);
    return c;
}

// "All On" and "All Off" go to module 0xFF: every light module of the subnet acts, whatever
// address was meant, so the command line asks for --yes as it does for a restore.
CommandArgs lightCommand(const Words& w) {
    const QStringList everyModule{QStringLiteral("all-on"), QStringLiteral("all-off")};
    if (everyModule.contains(w.value(1))) {
        CommandArgs c;
        c.verb = w.value(1);
        w.end(2);
        c.confirm =
            QStringLiteral("switches every light module of the subnet %1, whatever "
                           "their address")
                .arg(c.verb == everyModule.front() ? QStringLiteral("on") : QStringLiteral("off"));
        return c;
    }
    return channelCommand(w,
                          {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("toggle"),
                           QStringLiteral("duration"), QStringLiteral("all-on"),
                           QStringLiteral("all-off")},
                          8);
}

// The years a module's clock keeps: it stores only the last two digits, after 20.
constexpr int kFirstYear = 2000;
constexpr int kLastYear = 2099;

CommandArgs clockCommand(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({QStringLiteral("read"), QStringLiteral("set")});
    // The timer tab's "Module Addr.".
    c.module = w.number(2, QStringLiteral("MODULE"), 0, 33);
    if (c.verb == QLatin1String("read")) {
        w.end(3);
        return c;
    }
    w.end(5);
    QDateTime when = QDateTime::currentDateTime();
    if (w.has(3)) {
        const QString text = w.from(3).join(QLatin1Char(' '));
        when = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid())
            refuse(QStringLiteral("clock set: '%1' is not a time of the form YYYY-MM-DD HH:MM:SS")
                       .arg(text));
        c.when = when;
    }
    const int year = when.date().year();
    if (year < kFirstYear || year > kLastYear)
        refuse(QStringLiteral("clock set: the module's clock keeps the years %1 to %2, not %3%4")
                   .arg(kFirstYear)
                   .arg(kLastYear)
                   .arg(year)
                   .arg(c.when ? QString() : QStringLiteral(" (this computer's year)")));
    return c;
}

CommandArgs readCommand(const Words& w, int firstModule, int lastModule) {
    CommandArgs c;
    c.verb = w.verb({QStringLiteral("read"), QStringLiteral("set"), QStringLiteral("delete-all")});
    c.module = w.number(2, QStringLiteral("MODULE"), firstModule, lastModule);
    if (w.name() == QLatin1String("events")) {
        // The event group's "Timer No." list: Timer1..Timer32.
        c.timer = w.number(3, QStringLiteral("TIMER"), 1, 32);
        w.end(4);
    } else {
        w.end(3);
    }
    return c;
}

CommandArgs scanCommand(const Words& w) {
    // The scan dialog's "From" and "To".
    CommandArgs c;
    if (w.has(1))
        c.first = w.number(1, QStringLiteral("FIRST"), 1, 32);
    if (w.has(2))
        c.last = w.number(2, QStringLiteral("LAST"), c.first, 32);
    w.end(3);
    // A range of one's own asks only those addresses; the whole subnet takes the bus switch.
    c.busSwitch = !w.has(1);
    return c;
}

// decode: the frame's bytes as hexadecimal, in one word or several.
CommandArgs decodeCommand(const Words& w) {
    CommandArgs c;
    QString text;
    for (const QChar ch : w.from(1).join(QLatin1Char(' '))) {
        if (ch.isSpace())
            continue;
        const QChar lower = ch.toLower();
        if (!(lower >= u'0' && lower <= u'9') && !(lower >= u'a' && lower <= u'f'))
            refuse(QStringLiteral("decode: '%1' is not a hexadecimal digit").arg(ch));
        text += ch;
    }
    if (text.isEmpty())
        refuse(QStringLiteral("decode: HEX is missing"));
    if (text.size() % 2 != 0)
        refuse(QStringLiteral("decode: %1 hexadecimal digits do not make whole bytes")
                   .arg(text.size()));
    c.frame = QByteArray::fromHex(text.toLatin1());
    return c;
}

CommandArgs moduleJob(const Words& w) {
    // The audit and replace dialogs' "Module Addr."; 255 is the bus switch.
    CommandArgs c;
    c.module = w.number(1, QStringLiteral("MODULE"), 1, 255);
    w.end(2);
    return c;
}

} // namespace

CommandArgs parseCommandArgs(const QStringList& args, const CliOptions& options) {
    const Words w(args);
    const QString name = w.name();
    const bool recordSequence = name == QLatin1String("timers") ||
                                name == QLatin1String("events") ||
                                name == QLatin1String("bindings");
    if (!recordSequence || (args.size() > 1 && args.at(1) != QLatin1String("read"))) {
        const QStringList others{"module", "bus-switch", "scene", "ir", "monitor-bindings"};
        if (recordSequence || others.contains(name))
            return parseSettingArgs(args, options);
    }
    if (name == QLatin1String("scan"))
        return scanCommand(w);
    if (name == QLatin1String("decode"))
        return decodeCommand(w);
    if (name == QLatin1String("watch")) {
        w.end(1);
        return {};
    }
    if (name == QLatin1String("audit") || name == QLatin1String("push"))
        return moduleJob(w);
    if (name == QLatin1String("light"))
        return lightCommand(w);
    if (name == QLatin1String("curtain"))
        return channelCommand(
            w, {QStringLiteral("open"), QStringLiteral("close"), QStringLiteral("stop")}, 4);
    if (name == QLatin1String("clock"))
        return clockCommand(w);
    if (name == QLatin1String("timers") || name == QLatin1String("events"))
        return readCommand(w, 0, 33);
    if (name == QLatin1String("bindings"))
        // The binding group's "Input Module Addr." below the grid, without its 0 (all).
        return readCommand(w, 1, 32);
    if (name == QLatin1String("site") || name == QLatin1String("history"))
        return cli::siteArgs(w, options);
    if (name == QLatin1String("walk"))
        return cli::walkArgs(w, options);
    if (name == QLatin1String("replace"))
        return cli::replaceArgs(w, options);
    if (name == QLatin1String("expect"))
        return cli::expectArgs(w);
    CommandArgs c;
    if (name == QLatin1String("export") || name == QLatin1String("import") ||
        name == QLatin1String("run")) {
        c.file = w.file();
    } else if (name == QLatin1String("convert")) {
        if (args.size() > 1)
            c.file = w.file();
        else
            w.end(1);
    } else if (w.has(1)) { // backup list | backup restore NAME
        c.verb = w.verb({QStringLiteral("list"), QStringLiteral("restore")});
        if (c.verb == QLatin1String("restore")) {
            c.file = w.word(2, QStringLiteral("NAME"));
            c.confirm = QStringLiteral("would put the records of %1 back into the record database")
                            .arg(c.file);
        }
        w.end(c.verb == QLatin1String("restore") ? 3 : 2);
    } else {
        w.end(1); // backup
    }
    return c;
}

CliOptions parseOptions(const QStringList& arguments) {
    return parseOptions(arguments, {&cli::takeSiteLink, &parseCommandArgs, &user_folders::data});
}
