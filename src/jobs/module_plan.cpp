#include "jobs/module_plan.h"

#include "protocol/action_codes.h"
#include "protocol/binding_requests.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/monitor_requests.h"
#include "protocol/scene_requests.h"
#include "protocol/timer_requests.h"
#include "records/records_values.h"

#include <QDate>
#include <QLocale>
#include <QMap>
#include <QRegularExpression>
#include <QSet>

#include <utility>

namespace moduleplan {

namespace {

constexpr int kNone = 255;     // a number column without a value
constexpr int kWireNone = 256; // a 1-based channel that goes out as 0xFF
constexpr int kMonitorPauseMs = 50;

QString numberOrNone(int v) {
    return v == kNone ? QStringLiteral("none") : QString::number(v);
}

Held bindingHeld(const QByteArray& d) {
    const quint8 b[7] = {quint8(d[0]), quint8(d[1]), quint8(d[2]), quint8(d[3]),
                         quint8(d[4]), quint8(d[5]), quint8(d[6])};
    const binding::ReadRow row = binding::readRow(b);
    const bool empty = row.action == actions::bindingItems().last();
    const QString text =
        empty ? row.action
              : QStringLiteral("%1, %2, delay %3, module %4 channel %5, no. %6")
                    .arg(row.action, row.mode.value_or(QStringLiteral("mode %1").arg(b[0])),
                         numberOrNone(row.delay), numberOrNone(row.outputAddr),
                         numberOrNone(row.outputChannel), numberOrNone(row.parameter));
    return {d, empty, text};
}

Held timerHeld(const QByteArray& d) {
    const quint8 t[7] = {quint8(d[1]), quint8(d[2]), quint8(d[3]), quint8(d[4]),
                         quint8(d[5]), quint8(d[6]), quint8(d[7])};
    const timing::timer::ReadRow row = timing::timer::readRow(quint8(d[0]), t);
    const bool empty = quint8(d[0]) == timing::timer::kInvalidWire;
    // An empty timer's time bytes mean nothing.
    return {empty ? d.left(1) : d, empty,
            empty ? QStringLiteral("invalid")
                  : row.time + QStringLiteral(", ") +
                        row.mode.value_or(QStringLiteral("mode %1").arg(quint8(d[0])))};
}

Held eventHeld(const QByteArray& d) {
    const quint8 b[5] = {quint8(d[0]), quint8(d[1]), quint8(d[2]), quint8(d[3]), quint8(d[4])};
    const timing::event::Record rec = timing::event::readRecord(b);
    const bool empty = rec.action == actions::eventItems().last();
    return {empty ? QByteArray() : d, empty,
            empty ? rec.action
                  : QStringLiteral("%1, module %2 channel %3, no. %4")
                        .arg(rec.action, numberOrNone(rec.address), numberOrNone(rec.channel),
                             numberOrNone(rec.parameter))};
}

template <int Type> Held monitorHeld(const QByteArray& d) {
    if (quint8(d[0]) == 0xFF)
        return {QByteArray(), true, QStringLiteral("not bound")};
    const QString unit =
        Type == monitor::kAirConditioner ? QStringLiteral("IR") : QStringLiteral("channel");
    const int value = Type == monitor::kAirConditioner ? quint8(d[1]) : quint8(d[1]) + 1;
    return {d, false, QStringLiteral("module %1 %2 %3").arg(quint8(d[0])).arg(unit).arg(value)};
}

Planned fromHeld(const QString& what, const Request& write, const Held& h) {
    return {what, write, h.bytes, h.empty, h.text};
}

int itemIndex(const QStringList& items, const QString& text) {
    for (int i = 0; i < items.size(); ++i)
        if (items.at(i).compare(text, Qt::CaseInsensitive) == 0)
            return i;
    return -1;
}

// What a row's channel column means on the wire: none (255) goes out as 0xFF.
int wireChannel(int channel) {
    return channel == kNone ? kWireNone : channel;
}

// An empty text stays empty (a null): it means "as the row was left", not a text.
QVariant textValue(const QString& text) {
    return text.isNull() ? QVariant() : QVariant(text);
}

using ColumnValues = std::initializer_list<std::pair<const char*, QVariant>>;

// What of a record its request cannot carry: what the file said (`known`), or the first of
// `values` outside what its column may hold. Empty when everything fits.
QString unfitOf(const QString& known, const char* table, ColumnValues values) {
    if (!known.isEmpty())
        return known;
    for (const auto& [column, value] : values) {
        const QString why =
            records_values::requestProblem(QLatin1String(table), QLatin1String(column), value);
        if (!why.isEmpty())
            return why;
    }
    return {};
}

// A record that is not written; `checked` when a read of the audit carries it.
Planned unfitRecord(const QString& what, const QString& why, bool checked, Plan& p) {
    const Planned record{what, {}, {}, false, why, why};
    p.unwritten << QStringLiteral("%1: %2, not written").arg(what, why);
    if (!checked)
        p.unfitUnread << record;
    return record;
}

void addScenes(const ModuleRecords& r, int count, Plan& p) {
    QSet<int> seen;
    for (const ModuleRecords::Scene& s : r.scenes) {
        const QString what = QStringLiteral("Scene %1").arg(s.sceneNo);
        if (seen.contains(s.sceneNo)) {
            p.unwritten
                << QStringLiteral("%1: a second record of the scene, not written").arg(what);
            continue;
        }
        seen.insert(s.sceneNo);
        // Only the channels that go out need to mean something.
        QString why = unfitOf(s.unfit, "Scene Records", {{"Scene_No", s.sceneNo}});
        for (int k = 0; k < count && k < s.channels.size() && why.isEmpty(); ++k)
            why = records_values::requestProblem(QStringLiteral("Scene Records"),
                                                 QStringLiteral("CH%1").arg(k + 1),
                                                 textValue(s.channels.at(k)));
        if (!why.isEmpty()) {
            // The bus has no read for scenes: nothing for an audit to carry it.
            p.unwritten << QStringLiteral("%1: %2, not written").arg(what, why);
            continue;
        }
        const QString irPrefix = scene::irChannelText(0).chopped(1);
        const bool ir = !s.channels.isEmpty() && s.channels.first().startsWith(irPrefix);
        QList<int> values;
        bool readable = true;
        for (const QString& ch : s.channels.mid(0, count)) {
            bool ok = true;
            const int v =
                ir ? ch.mid(irPrefix.size()).toInt(&ok) : itemIndex(scene::targetItems(), ch);
            readable = readable && ok && v >= 0;
            values << v;
        }
        if (!readable) {
            p.unwritten << QStringLiteral("%1: a channel text is not a scene target, not written")
                               .arg(what);
            continue;
        }
        const Request w = ir ? scene::setIr(r.module, s.sceneNo, values, count)
                             : scene::setTargets(r.module, s.sceneNo, values, count);
        p.writes << Planned{what, w, {}, false, s.channels.mid(0, count).join(QLatin1Char(' '))};
    }
}

void addBindings(const ModuleRecords& r, Plan& p) {
    QList<std::optional<Planned>> byChannel(binding::kCount);
    for (const ModuleRecords::Binding& b : r.bindings) {
        const QString what = QStringLiteral("Binding %1").arg(b.channel);
        const int index = b.channel - 1;
        const bool readBack = index >= 0 && index < binding::kCount;
        if (readBack && byChannel[index]) {
            p.unwritten
                << QStringLiteral("%1: a second record of the channel, not written").arg(what);
            continue;
        }
        const QString why = unfitOf(b.unfit, "Bind Records",
                                    {{"Input_Channel", b.channel},
                                     {"Trigger_Mode", textValue(b.mode)},
                                     {"Trigger_Delay", b.delay},
                                     {"Output_Addr", b.outputAddr},
                                     {"Output_Channel", b.outputChannel},
                                     {"Action", textValue(b.action)},
                                     {"Parameter", b.parameter}});
        if (!why.isEmpty()) {
            const Planned unfit = unfitRecord(what, why, readBack, p);
            if (readBack)
                byChannel[index] = unfit;
            continue;
        }
        binding::Settings s;
        s.inputModule = r.module;
        s.inputChannel = b.channel;
        s.modeIndex = itemIndex(binding::modeItems(), b.mode);
        if (s.modeIndex < 0)
            s.modeIndex = 0xFF;
        s.delaySeconds = b.delay == kNone ? binding::kNoDelay : b.delay;
        s.bindingModule = b.outputAddr;
        s.bindingChannel = wireChannel(b.outputChannel);
        s.actionIndex = itemIndex(actions::bindingItems(), b.action);
        if (s.actionIndex < 0)
            s.actionIndex = actions::bindingInvalidItem();
        s.sceneOrIr = b.parameter;
        const Request w = binding::set(s);
        const Planned planned = fromHeld(what, w, bindingHeld(w.params.mid(1)));
        p.writes << planned;
        if (readBack)
            byChannel[index] = planned;
        else
            p.unchecked << QStringLiteral("%1: beyond the 14 channels a module reads back, not "
                                          "checked")
                               .arg(what);
    }
    for (int i = 0; i < binding::kCount; ++i)
        p.checks << Check{QStringLiteral("Binding %1").arg(i + 1),
                          binding::read(r.module, i),
                          100,
                          byChannel[i],
                          &bindingHeld,
                          7};
}

QDate timerDate(const QString& text) {
    QDate d = QDate::fromString(text, QStringLiteral("yyyy-MM-dd"));
    if (!d.isValid())
        d = QLocale::system().toDate(text, QLocale::ShortFormat);
    // A two-digit year in the short date format means this century.
    if (d.isValid() && d.year() < 2000)
        d = d.addYears(100);
    return d;
}

void addTimers(const ModuleRecords& r, Plan& p, QSet<int>& liveTimers) {
    QList<std::optional<Planned>> byTimer(timing::timer::kCount);
    for (const ModuleRecords::Timer& t : r.timers) {
        const QString what = QStringLiteral("Timer %1").arg(t.timerNo);
        const int index = t.timerNo - 1;
        const bool readBack = index >= 0 && index < timing::timer::kCount;
        const QString why = unfitOf(t.unfit, "Timer Records",
                                    {{"Timer_Order", t.timerNo},
                                     {"Time", textValue(t.time)},
                                     {"Timer_Mode", textValue(t.mode)}});
        if (!why.isEmpty()) {
            if (readBack && byTimer[index]) {
                p.unwritten
                    << QStringLiteral("%1: a second record of the timer, not written").arg(what);
                continue;
            }
            const Planned unfit = unfitRecord(what, why, readBack, p);
            if (readBack)
                byTimer[index] = unfit;
            continue;
        }
        const int mode = timerModeIndex(t.mode);
        std::optional<Request> w;
        if (mode == timing::timer::kInvalidMode) {
            w = timing::timer::remove(r.module, t.timerNo - 1);
        } else if (mode >= 0) {
            // The date, the time of day and the weekday; a Set's short date format may hold
            // blanks of its own ("24 Feb 2014"): the date is what stands before the time.
            const QStringList parts = t.time.split(QLatin1Char(' '), Qt::SkipEmptyParts);
            static const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
            const qsizetype at = parts.indexOf(clock);
            const QDate date =
                at >= 1 ? timerDate(parts.mid(0, at).join(QLatin1Char(' '))) : QDate();
            if (date.isValid())
                w = timing::timer::set(r.module, t.timerNo, mode, date, parts[at]);
        }
        if (!w) {
            p.unwritten << QStringLiteral("%1: mode '%2' or time '%3' cannot be read, not written")
                               .arg(what, t.mode, t.time);
            continue;
        }
        if (readBack && byTimer[index]) {
            p.unwritten
                << QStringLiteral("%1: a second record of the timer, not written").arg(what);
            continue;
        }
        const Planned planned = fromHeld(what, *w, timerHeld(w->params.mid(1)));
        p.writes << planned;
        if (readBack) {
            byTimer[index] = planned;
            if (!planned.empty)
                liveTimers.insert(t.timerNo);
        } else {
            p.unchecked << QStringLiteral("%1: beyond the 32 timers a module reads back, not "
                                          "checked")
                               .arg(what);
        }
    }
    for (int i = 0; i < timing::timer::kCount; ++i)
        p.checks << Check{QStringLiteral("Timer %1").arg(i + 1),
                          timing::timer::read(r.module, i),
                          100,
                          byTimer[i],
                          &timerHeld,
                          8};
}

void addEvents(const ModuleRecords& r, Plan& p, QSet<int> timers) {
    QMap<std::pair<int, int>, std::optional<Planned>> byKey;
    for (const ModuleRecords::Event& e : r.events) {
        const QString what = QStringLiteral("Event %1/%2").arg(e.timerNo).arg(e.eventNo);
        const std::pair<int, int> key{e.timerNo, e.eventNo};
        if (byKey.contains(key)) {
            p.unwritten
                << QStringLiteral("%1: a second record of the event, not written").arg(what);
            continue;
        }
        const QString why = unfitOf(e.unfit, "Event Records",
                                    {{"Timer_Order", e.timerNo},
                                     {"Event_Order", e.eventNo},
                                     {"Address", e.address},
                                     {"Channel", e.channel},
                                     {"Parameter", e.parameter},
                                     {"Action", textValue(e.action)}});
        if (!why.isEmpty()) {
            const bool readBack = e.timerNo >= 1 && e.timerNo <= timing::timer::kCount &&
                                  e.eventNo >= 1 && e.eventNo <= timing::event::kCount;
            byKey.insert(key, unfitRecord(what, why, readBack, p));
            if (readBack)
                timers.insert(e.timerNo);
            continue;
        }
        timing::event::Settings s;
        s.timerNo = e.timerNo;
        s.eventNo = e.eventNo;
        s.actionIndex = itemIndex(actions::eventItems(), e.action);
        if (s.actionIndex < 0)
            s.actionIndex = actions::eventInvalidItem();
        s.controlledModule = e.address;
        s.controlledChannel = wireChannel(e.channel);
        s.sceneOrIr = e.parameter;
        const Request w = timing::event::set(r.module, s);
        const Planned planned = fromHeld(what, w, eventHeld(w.params.mid(2)));
        p.writes << planned;
        // The module takes events past 16 (and timers past 32), but reads back no more.
        if (e.timerNo < 1 || e.timerNo > timing::timer::kCount || e.eventNo < 1 ||
            e.eventNo > timing::event::kCount) {
            p.unchecked << QStringLiteral("%1: beyond the 16 events of the 32 timers a module "
                                          "reads back, not checked")
                               .arg(what);
            continue;
        }
        byKey.insert(key, planned);
        timers.insert(e.timerNo);
    }
    for (int timer : std::as_const(timers)) {
        if (timer < 1 || timer > timing::timer::kCount)
            continue;
        for (int i = 0; i < timing::event::kCount; ++i)
            p.checks << Check{QStringLiteral("Event %1/%2").arg(timer).arg(i + 1),
                              timing::event::read(r.module, timer, i),
                              100,
                              byKey.value({timer, i + 1}),
                              &eventHeld,
                              5};
    }
}

void addMonitor(const ModuleRecords& r, Plan& p) {
    for (const ModuleRecords::MonitorSlot& m : r.monitor) {
        const monitor::TypeCode type = monitor::typeCode(m.order);
        const QString what = QStringLiteral("Slot %1").arg(m.order);
        QString why = unfitOf(m.unfit, "Monitor Bind Records",
                              {{"Order", m.order},
                               {"Room_No", m.roomNo},
                               {"Device_No", m.deviceNo},
                               {"Address", m.address},
                               {"Channel", m.channel}});
        if (why.isEmpty())
            why = records_values::monitorBindingProblem(m.order, m.address, m.channel);
        // The read names the slot by its type, room and device: without them there is none.
        const bool readBack =
            type != monitor::kNoType &&
            unfitOf({}, "Monitor Bind Records",
                    {{"Order", m.order}, {"Room_No", m.roomNo}, {"Device_No", m.deviceNo}})
                .isEmpty();
        if (!readBack) {
            if (!why.isEmpty())
                unfitRecord(what, why, false, p);
            continue;
        }
        const monitor::Slot slot{m.order, m.roomNo, m.deviceNo};
        auto decode = type == monitor::kLight     ? &monitorHeld<monitor::kLight>
                      : type == monitor::kCurtain ? &monitorHeld<monitor::kCurtain>
                                                  : &monitorHeld<monitor::kAirConditioner>;
        std::optional<Planned> planned;
        if (!why.isEmpty()) {
            planned = unfitRecord(what, why, true, p);
        } else if (m.address != 0) {
            const Request w = monitor::set(slot, m.address, m.channel, m.channel);
            planned = fromHeld(what, w, decode(w.params.mid(3)));
            p.writes << *planned;
        } else {
            planned = Planned{what, {}, {}, true, QStringLiteral("not bound")};
        }
        p.checks << Check{what, monitor::read(slot), kMonitorPauseMs, planned, decode, 2};
    }
}

} // namespace

int timerModeIndex(const QString& text) {
    const int i = itemIndex(timing::timer::modeItems(), text);
    return i >= 0 ? i : itemIndex(records_values::timerReadModes(), text);
}

Plan plan(const ModuleRecords& r, int sceneChannels) {
    Plan p;
    if (r.isBusSwitch()) {
        addMonitor(r, p);
        return p;
    }
    addScenes(r, sceneChannels, p);
    if (!r.scenes.isEmpty())
        p.unchecked << QStringLiteral("Scenes: the bus has no read for them; %1 scene record(s) "
                                      "not checked")
                           .arg(r.scenes.size());
    if (!r.irCodes.isEmpty()) {
        const QString ir = QStringLiteral("IR codes: %1 learned code(s) live only in the "
                                          "module; the bus can neither read nor write them")
                               .arg(r.irCodes.size());
        p.unwritten << ir;
        p.unchecked << ir;
    }
    if (!r.bindings.isEmpty())
        addBindings(r, p);
    if (r.withTimers) {
        QSet<int> live;
        addTimers(r, p, live);
        addEvents(r, p, live);
    }
    return p;
}

} // namespace moduleplan
