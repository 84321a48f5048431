// The Set buttons of input bindings, timers, events and monitor bindings, and the binding
// function test: one request each, and the row the window writes when the module confirms.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "protocol/action_codes.h"
#include "protocol/binding_rows.h"
#include "protocol/monitor_rows.h"
#include "protocol/timer_rows.h"
#include "records/record_table.h"

namespace cli {

void bindingSet(CliLink& link) {
    const binding::Settings& s = link.options().given.binding;
    link.require(binding::set(s), QStringLiteral("the binding of input %1").arg(s.inputChannel));
    link.store(QStringLiteral("Bind Records"),
               [&s](RecordTable& t) { binding::storeSetRow(t, s); });
}

void timerSet(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const QDate date = a.when->date();
    const QString time = a.when->time().toString(QStringLiteral("hh:mm:ss"));
    const auto request = timing::timer::set(a.module, a.timer, a.modeIndex, date, time);
    if (!request)
        throw CliFailure("timers set: the time does not convert");
    link.require(*request, QStringLiteral("timer %1").arg(a.timer));
    const QString mode = timing::timer::modeItems().at(a.modeIndex);
    const QString text =
        timing::timer::setTimeText(date, time, timing::weekdayName(timing::weekdayOf(date)));
    link.store(QStringLiteral("Timer Records"),
               [&](RecordTable& t) { timing::timer::storeSetRow(t, a.timer, mode, text); });
}

void eventSet(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const timing::event::Settings& s = a.event;
    link.require(timing::event::set(a.module, s),
                 QStringLiteral("event %1 of timer %2").arg(s.eventNo).arg(s.timerNo));
    link.store(QStringLiteral("Event Records"),
               [&s](RecordTable& t) { timing::event::storeSetRow(t, s); });
}

namespace {
const QString kSlots = QStringLiteral("Monitor Bind Records");

// The slot's room and device as its row in the record database holds them.
monitor::Slot slotOf(const CliLink& link, int slot) {
    monitor::Slot found{};
    bool located = false;
    try {
        RecordTable t(kSlots);
        t.open(link.options().db);
        located = monitor::locateSlot(t, slot);
        if (located)
            found = monitor::slotOfRow(t, slot);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("cannot read the record database %1: %2")
                             .arg(link.options().db, QString::fromStdString(e.what()))
                             .toStdString());
    }
    if (!located)
        throw CliFailure(QStringLiteral("monitor slot %1 has no row in \"%2\": nothing to bind")
                             .arg(slot)
                             .arg(kSlots)
                             .toStdString());
    return found;
}

void monitorSet(CliLink& link) {
    const CommandArgs& a = link.options().given;
    const monitor::Slot slot = slotOf(link, a.slot);
    // One value: the channel of a light or curtain slot, the IR number of an air conditioner.
    const Request request = monitor::set(slot, a.module, a.value, a.value);
    link.require(request, QStringLiteral("the binding of slot %1").arg(a.slot));
    const monitor::Binding binding = monitor::setBinding(a.slot, a.module, a.value, a.value);
    link.store(kSlots, [&](RecordTable& t) { monitor::storeBinding(t, a.slot, binding); });
}

QByteArray testPayload(const CommandArgs& a) {
    using namespace bindtest;
    const QString& move = a.text;
    if (a.kind == QLatin1String("scene"))
        return bindtest::scene(a.scene);
    if (a.kind == QLatin1String("light"))
        return move == QLatin1String("status")
                   ? lightStatus(a.room, a.device)
                   : bindtest::light(a.room, a.device, move == QLatin1String("on"));
    if (a.kind == QLatin1String("curtain"))
        return move == QLatin1String("status")
                   ? curtainStatus(a.room, a.device)
                   : bindtest::curtain(a.room, a.device,
                                       move == QLatin1String("open")    ? CurtainMove::Open
                                       : move == QLatin1String("close") ? CurtainMove::Close
                                                                        : CurtainMove::Stop);
    const AcMode modes[] = {AcMode::Cold, AcMode::StrongCold, AcMode::Wind, AcMode::PowerOff};
    return airConditioner(a.room, a.device, modes[a.modeIndex]);
}

void monitorTest(CliLink& link) {
    const CommandArgs& a = link.options().given;
    Bus& bus = link.bus();
    bool answered = false;
    bindtest::StatusReport report;
    const auto connection = QObject::connect(&bus, &Bus::replyAccepted, &bus, [&](const Reply& r) {
        if (answered || r[0] != 0xAE || r[1] != 0xD0)
            return;
        answered = true;
        report = bindtest::statusReport(r[3], r[7]);
    });
    bus.sendBind(testPayload(a));
    link.waitUntil([&] { return answered; }, link.options().timeoutMs + Bus::kSerialQuietMs);
    QObject::disconnect(connection);
    if (!answered)
        throw CliFailure(QStringLiteral("the bus switch did not answer the %1 test within %2 ms")
                             .arg(a.kind)
                             .arg(link.options().timeoutMs)
                             .toStdString());
    if (a.text != QLatin1String("status"))
        return;
    if (report.kind == bindtest::StatusReport::None)
        throw CliFailure(
            QStringLiteral("the %1 status answer reports no state").arg(a.kind).toStdString());
    const bool light = a.kind == QLatin1String("light");
    CliOutput::printObject(
        link.options().json,
        {QStringLiteral("room"), QStringLiteral("device"), QStringLiteral("state")},
        {a.room, a.device, light ? (report.on ? "on" : "off") : (report.on ? "open" : "close")});
}
} // namespace

void monitorBindings(CliLink& link) {
    const QString& verb = link.options().given.verb;
    if (verb == QLatin1String("set"))
        monitorSet(link);
    else if (verb == QLatin1String("test"))
        monitorTest(link);
    else
        monitorRead(link);
}

} // namespace cli
