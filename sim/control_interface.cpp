#include "sim/control_interface.h"

#include "sim/fault_injector.h"
#include "sim/installation.h"

#include <QJsonDocument>

namespace {
QString result(const QString& error) {
    return error.isEmpty() ? QStringLiteral("ok") : QStringLiteral("error: ") + error;
}
} // namespace

ControlInterface::ControlInterface(Installation& installation, FaultInjector& faults)
    : m_installation(installation), m_faults(faults) {}

QString ControlInterface::helpText() {
    return QStringLiteral(
        "Control commands (one per line, on stdin or the control port):\n"
        "  dump [pretty]          the whole state as JSON (one line unless pretty)\n"
        "  trigger ADDR CHANNEL   input CHANNEL (1-14) of input module ADDR triggers\n"
        "  fire ADDR TIMER        timer TIMER (1-32) of timer module ADDR fires its events\n"
        "  learn-done [ADDR]      the IR module learning now receives its code\n"
        "  stuck ADDR CHANNEL     that channel no longer switches (it still acknowledges)\n"
        "  unstick ADDR CHANNEL   it switches again\n"
        "  drop N                 drop the next N replies\n"
        "  delay MS               hold every reply MS milliseconds (0: off)\n"
        "  error STATUS           the next reply carries STATUS (2-255) and no data\n"
        "  corrupt                the next reply has a wrong checksum\n"
        "  split                  the next serial reply comes in two parts 300 ms apart\n"
        "  faults                 show the pending faults;  clear-faults  forget them\n"
        "  help                   this text\n"
        "  quit                   stop the simulator\n");
}

QString ControlInterface::execute(const QString& line) {
    const QStringList words = line.simplified().split(' ', Qt::SkipEmptyParts);
    if (words.isEmpty())
        return {};
    const QString cmd = words[0].toLower();
    QList<int> args;
    for (qsizetype i = 1; i < words.size(); ++i) {
        bool ok = false;
        const int v = words[i].toInt(&ok, 0);
        if (!ok && cmd != QLatin1String("dump"))
            return result(QStringLiteral("not a number: %1").arg(words[i]));
        args.append(v);
    }
    const auto need = [&](int n) { return args.size() >= n; };
    if (cmd == QLatin1String("dump")) {
        const bool pretty = words.size() > 1 && words[1] == QLatin1String("pretty");
        return QString::fromUtf8(
                   QJsonDocument(m_installation.toJson())
                       .toJson(pretty ? QJsonDocument::Indented : QJsonDocument::Compact))
            .trimmed();
    }
    if (cmd == QLatin1String("trigger") && need(2))
        return result(m_installation.triggerInput(quint8(args[0]), args[1]));
    if (cmd == QLatin1String("fire") && need(2))
        return result(m_installation.fireTimer(quint8(args[0]), args[1]));
    if (cmd == QLatin1String("learn-done"))
        return result(m_installation.finishLearning(need(1) ? args[0] : -1));
    if ((cmd == QLatin1String("stuck") || cmd == QLatin1String("unstick")) && need(2))
        return result(m_installation.setStuck(quint8(args[0]), args[1],
                                              cmd == QLatin1String("stuck")));
    if (cmd == QLatin1String("drop") && need(1)) {
        m_faults.dropNext(args[0]);
        return result({});
    }
    if (cmd == QLatin1String("delay") && need(1)) {
        m_faults.setDelay(args[0]);
        return result({});
    }
    if (cmd == QLatin1String("error") && need(1)) {
        if (args[0] < 0 || args[0] > 255)
            return result(QStringLiteral("status out of range"));
        m_faults.errorNext(quint8(args[0]));
        return result({});
    }
    if (cmd == QLatin1String("corrupt")) {
        m_faults.corruptNext();
        return result({});
    }
    if (cmd == QLatin1String("split")) {
        m_faults.splitNext();
        return result({});
    }
    if (cmd == QLatin1String("faults"))
        return m_faults.describe();
    if (cmd == QLatin1String("clear-faults")) {
        m_faults.clear();
        return result({});
    }
    if (cmd == QLatin1String("help"))
        return helpText().trimmed();
    if (cmd == QLatin1String("quit")) {
        m_quit = true;
        return result({});
    }
    return result(QStringLiteral("unknown command or missing arguments: %1").arg(line.trimmed()));
}
