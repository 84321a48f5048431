// The arguments of each command, checked against the ranges of the window's controls for the
// same operation, all before the link is opened: a command line that cannot be run as
// written sends nothing.
#include "cli/cli_options.h"

#include <QStringList>

namespace {

[[noreturn]] void refuse(const QString& text) {
    throw UsageError(text.toStdString());
}

// The command's words: its name, then its arguments.
class Words {
public:
    explicit Words(const QStringList& args) : m_args(args) {}

    QString name() const { return m_args.value(0); }

    // The verb at 1, one of `verbs`.
    QString verb(const QStringList& verbs) const {
        const QString said = m_args.value(1);
        const QString choices = verbs.size() == 1 ? QStringLiteral("'%1'").arg(verbs.front())
                                                  : verbs.mid(0, verbs.size() - 1).join(", ") +
                                                        QStringLiteral(" or ") + verbs.back();
        if (m_args.size() < 2)
            refuse(QStringLiteral("%1: say %2").arg(name(), choices));
        if (!verbs.contains(said))
            refuse(QStringLiteral("%1: say %2, not '%3'").arg(name(), choices, said));
        return said;
    }

    // The number at `index`, in min..max.
    int number(int index, const QString& what, int min, int max) const {
        if (index >= m_args.size())
            refuse(QStringLiteral("%1: %2 is missing").arg(name(), what));
        return numberValue(m_args.at(index), name() + QStringLiteral(": ") + what, min, max);
    }

    bool has(int index) const { return index < m_args.size(); }

    // Nothing beyond `count` words (the name included).
    void end(int count) const {
        if (m_args.size() > count)
            refuse(QStringLiteral("%1: unexpected argument '%2'").arg(name(), m_args.at(count)));
    }

    QString file() const {
        if (m_args.size() < 2)
            refuse(QStringLiteral("%1: FILE is missing").arg(name()));
        end(2);
        if (m_args.at(1).isEmpty())
            refuse(QStringLiteral("%1: FILE is empty").arg(name()));
        return m_args.at(1);
    }

    QStringList from(int index) const { return m_args.mid(index); }

private:
    const QStringList& m_args;
};

// Light and curtain: one channel of a module from the tab's "Module Addr." (1..32) and
// "Channel No.", or the status read of the module.
CommandArgs channelCommand(const Words& w, const QStringList& moves, int channels) {
    CommandArgs c;
    c.verb = w.verb(moves + QStringList{QStringLiteral("status")});
    c.module = w.number(2, QStringLiteral("MODULE"), 1, 32);
    if (c.verb == QLatin1String("status")) {
        w.end(3);
        return c;
    }
    c.channel = w.number(3, QStringLiteral("CHANNEL"), 1, channels);
    w.end(4);
    return c;
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
    c.verb = w.verb({QStringLiteral("read")});
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

CommandArgs moduleJob(const Words& w) {
    // The audit and replace dialogs' "Module Addr."; 255 is the bus switch.
    CommandArgs c;
    c.module = w.number(1, QStringLiteral("MODULE"), 1, 255);
    w.end(2);
    return c;
}

} // namespace

CommandArgs parseCommandArgs(const QStringList& args) {
    const Words w(args);
    const QString name = w.name();
    if (name == QLatin1String("scan"))
        return scanCommand(w);
    if (name == QLatin1String("audit") || name == QLatin1String("push"))
        return moduleJob(w);
    if (name == QLatin1String("light"))
        return channelCommand(
            w, {QStringLiteral("on"), QStringLiteral("off"), QStringLiteral("toggle")}, 8);
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
    CommandArgs c;
    if (name == QLatin1String("export") || name == QLatin1String("import"))
        c.file = w.file();
    else
        w.end(1); // backup
    return c;
}
