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
const CommandArgs& commandArgs(const CliLink& link) {
    return link.options().given;
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
    const CommandArgs& a = commandArgs(link);
    if (a.verb == QLatin1String("status")) {
        printStates(link, a.module, 8);
        return;
    }
    if (a.verb == QLatin1String("all-on") || a.verb == QLatin1String("all-off")) {
        // Every light module of the subnet acts; one answering is enough to know it went out.
        const bool on = a.verb == QLatin1String("all-on");
        link.require(on ? light::allOn() : light::allOff(),
                     QStringLiteral("light %1 (every light module of the subnet)").arg(a.verb));
        return;
    }
    if (a.verb == QLatin1String("duration")) {
        link.require(light::onDuration(a.module, a.channel, a.value),
                     QStringLiteral("the on-state duration of channel %1").arg(a.channel));
        return;
    }
    const Request request = a.verb == QLatin1String("on")    ? light::on(a.module, a.channel)
                            : a.verb == QLatin1String("off") ? light::off(a.module, a.channel)
                                                             : light::toggle(a.module, a.channel);
    link.require(request, QStringLiteral("light %1 of channel %2").arg(a.verb).arg(a.channel));
}

void curtain(CliLink& link) {
    const CommandArgs& a = commandArgs(link);
    if (a.verb == QLatin1String("status")) {
        printStates(link, a.module, 4);
        return;
    }
    const Request request = a.verb == QLatin1String("open")    ? curtain::open(a.module, a.channel)
                            : a.verb == QLatin1String("close") ? curtain::close(a.module, a.channel)
                                                               : curtain::stop(a.module, a.channel);
    link.require(request, QStringLiteral("curtain %1 of channel %2").arg(a.verb).arg(a.channel));
}

void clock(CliLink& link) {
    const CommandArgs& a = commandArgs(link);
    const int module = a.module;
    if (a.verb == QLatin1String("read")) {
        const CliLink::Answer r =
            link.require(timing::clock::read(module), QStringLiteral("clock read"));
        CliOutput::printObject(link.options().json,
                               {QStringLiteral("module"), QStringLiteral("date"),
                                QStringLiteral("weekday"), QStringLiteral("time")},
                               {module, timing::clock::dateText(r[10], r[12], r[13]),
                                timing::weekdayName(r[11]),
                                timing::clock::timeText(r[9], r[8], r[7])});
        return;
    }
    const QDateTime when = a.when.value_or(QDateTime::currentDateTime());
    const auto request = timing::clock::setTime(module, when.date(),
                                                when.time().toString(QStringLiteral("hh:mm:ss")));
    if (!request)
        throw CliFailure("clock set: the time does not convert");
    link.require(*request, QStringLiteral("clock set"));
    // The computer's time at the moment it went: what the module now holds.
    if (!a.when && !link.options().quiet)
        CliOutput::printObject(link.options().json, {QStringLiteral("done")},
                               {QStringLiteral("clock set %1 %2")
                                    .arg(module)
                                    .arg(when.toString(QStringLiteral("yyyy-MM-dd HH:mm:ss")))});
}

} // namespace cli
