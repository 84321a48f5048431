#include "cli/cli_commands.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "protocol/curtain_requests.h"
#include "protocol/light_requests.h"
#include "protocol/module_admin_requests.h"
#include "protocol/timer_requests.h"

#include <QDateTime>
#include <QJsonArray>

namespace cli {

namespace {
[[noreturn]] void usage(const QString& text) {
    throw UsageError(text.toStdString());
}

QString verb(const CliLink& link) {
    return link.options().args.value(1);
}

int moduleArg(const CliLink& link, int index = 2) {
    // 0xFF reaches every module of the kind; the tool's spin edits allow up to 33.
    return numberArg(link.options().args, index, QStringLiteral("MODULE"), 0, 255);
}

QJsonArray statesOf(const CliLink::Answer& answer, int count) {
    const QList<bool> states = light::channelStates(answer.reply());
    QJsonArray out;
    for (int i = 0; i < count && i < states.size(); ++i)
        out.append(states[i]);
    return out;
}

void printStates(CliLink& link, int module, int count) {
    const CliLink::Answer a =
        link.require(light::readStatus(module), QStringLiteral("status read"));
    CliOutput::printObject(link.options().json,
                           {QStringLiteral("module"), QStringLiteral("states")},
                           {module, statesOf(a, count)});
}
} // namespace

void light(CliLink& link) {
    const QString v = verb(link);
    if (v == QLatin1String("status")) {
        printStates(link, moduleArg(link), 8);
        return;
    }
    const int module = moduleArg(link);
    const int channel = numberArg(link.options().args, 3, QStringLiteral("CHANNEL"), 1, 8);
    Request request;
    if (v == QLatin1String("on"))
        request = light::on(module, channel);
    else if (v == QLatin1String("off"))
        request = light::off(module, channel);
    else if (v == QLatin1String("toggle"))
        request = light::toggle(module, channel);
    else
        usage(QStringLiteral("light: say on, off, toggle or status, not '%1'").arg(v));
    link.require(request, QStringLiteral("light %1 of channel %2").arg(v).arg(channel));
}

void curtain(CliLink& link) {
    const QString v = verb(link);
    if (v == QLatin1String("status")) {
        printStates(link, moduleArg(link), 4);
        return;
    }
    const int module = moduleArg(link);
    const int channel = numberArg(link.options().args, 3, QStringLiteral("CHANNEL"), 1, 4);
    Request request;
    if (v == QLatin1String("open"))
        request = curtain::open(module, channel);
    else if (v == QLatin1String("close"))
        request = curtain::close(module, channel);
    else if (v == QLatin1String("stop"))
        request = curtain::stop(module, channel);
    else
        usage(QStringLiteral("curtain: say open, close, stop or status, not '%1'").arg(v));
    link.require(request, QStringLiteral("curtain %1 of channel %2").arg(v).arg(channel));
}

void clock(CliLink& link) {
    const QString v = verb(link);
    const QStringList& args = link.options().args;
    const int module = moduleArg(link);
    if (v == QLatin1String("read")) {
        const CliLink::Answer a =
            link.require(timing::clock::read(module), QStringLiteral("clock read"));
        CliOutput::printObject(link.options().json,
                               {QStringLiteral("module"), QStringLiteral("date"),
                                QStringLiteral("weekday"), QStringLiteral("time")},
                               {module, timing::clock::dateText(a[10], a[12], a[13]),
                                timing::weekdayName(a[11]),
                                timing::clock::timeText(a[9], a[8], a[7])});
        return;
    }
    if (v != QLatin1String("set"))
        usage(QStringLiteral("clock: say read or set, not '%1'").arg(v));
    QDateTime when = QDateTime::currentDateTime();
    if (args.size() > 3) {
        const QString text = args.mid(3).join(QLatin1Char(' '));
        when = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
        if (!when.isValid())
            usage(QStringLiteral("clock set: '%1' is not a time of the form YYYY-MM-DD HH:MM:SS")
                      .arg(text));
    }
    const auto request = timing::clock::setTime(module, when.date(),
                                                when.time().toString(QStringLiteral("hh:mm:ss")));
    if (!request)
        usage(QStringLiteral("clock set: the time does not convert"));
    link.require(*request, QStringLiteral("clock set"));
}

} // namespace cli
