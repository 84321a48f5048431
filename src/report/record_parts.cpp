#include "report/record_parts.h"

#include "report/html_writer.h"
#include "report/report_words.h"

#include <QMap>

#include <algorithm>

namespace recordparts {

namespace {

using Row = ReportRecords::Row;
using Rows = QList<Row>;

QString unfitNote(const Row& r) {
    return r.unfit.isEmpty() ? QString() : QStringLiteral("does not fit: %1").arg(r.unfit);
}

void sentences(HtmlWriter& w, const Rows& rows, QString (*say)(const Row&)) {
    QStringList items, classes;
    for (const Row& r : rows) {
        const QString note = unfitNote(r);
        items << (note.isEmpty() ? say(r) : say(r) + QStringLiteral(" (") + note + ')');
        classes << (note.isEmpty() ? QString() : QStringLiteral("unfit"));
    }
    w.list(items, classes);
}

void scenes(HtmlWriter& w, const Rows& rows) {
    if (rows.isEmpty())
        return;
    w.heading(3, QStringLiteral("Scenes"));
    sentences(w, rows, &reportwords::scene);
}

void irCodes(HtmlWriter& w, const Rows& rows) {
    if (rows.isEmpty())
        return;
    w.heading(3, QStringLiteral("IR codes"));
    QList<QStringList> cells;
    QStringList classes;
    for (const Row& r : rows) {
        cells << QStringList{reportwords::cell(r, "IR_No"), r.text("Information"), unfitNote(r)};
        classes << (r.unfit.isEmpty() ? QString() : QStringLiteral("unfit"));
    }
    w.table({QStringLiteral("IR No."), QStringLiteral("Name"), QStringLiteral("Note")}, cells,
            classes);
}

void bindings(HtmlWriter& w, const Rows& rows) {
    if (rows.isEmpty())
        return;
    w.heading(3, QStringLiteral("Input bindings"));
    Rows bound;
    QList<int> unbound;
    for (const Row& r : rows) {
        if (reportwords::isEmptyAction(r) && r.unfit.isEmpty() && r.number("Input_Channel"))
            unbound << *r.number("Input_Channel");
        else
            bound << r;
    }
    sentences(w, bound, &reportwords::binding);
    if (!unbound.isEmpty())
        w.paragraph(QStringLiteral("Channels with no action (Invalid): %1.")
                        .arg(reportwords::ranges(unbound)),
                    QStringLiteral("note"));
}

// A bound slot, or one whose row does not fit.
bool showsSlot(const Row& r) {
    return r.number("Address") != 0 || !r.unfit.isEmpty();
}

bool hasSlotToShow(const Rows& slotRows) {
    return std::any_of(slotRows.begin(), slotRows.end(), &showsSlot);
}

void monitorBindings(HtmlWriter& w, const Rows& slotRows) {
    QList<QStringList> cells;
    QStringList classes;
    for (const Row& r : slotRows) {
        if (!showsSlot(r))
            continue;
        cells << QStringList{reportwords::cell(r, "Order"),
                             reportwords::cell(r, "Room_No"),
                             reportwords::cell(r, "Device_No"),
                             reportwords::cell(r, "Device_Type"),
                             reportwords::cell(r, "Address"),
                             reportwords::cell(r, "Channel"),
                             unfitNote(r)};
        classes << (r.unfit.isEmpty() ? QString() : QStringLiteral("unfit"));
    }
    if (cells.isEmpty())
        return;
    w.heading(3, QStringLiteral("Monitor bindings"));
    w.table({QStringLiteral("Slot"), QStringLiteral("Room"), QStringLiteral("Device"),
             QStringLiteral("Type"), QStringLiteral("Module"), QStringLiteral("Channel / IR No."),
             QStringLiteral("Note")},
            cells, classes);
}

bool hasAction(const Rows& events) {
    return std::any_of(events.begin(), events.end(), [](const Row& e) {
        return !reportwords::isEmptyAction(e) || !e.unfit.isEmpty();
    });
}

// A timer's events that do something, each in words; those that do nothing by number.
void events(HtmlWriter& w, const Rows& rows) {
    Rows acting;
    QList<int> idle;
    for (const Row& e : rows) {
        if (reportwords::isEmptyAction(e) && e.unfit.isEmpty() && e.number("Event_Order"))
            idle << *e.number("Event_Order");
        else
            acting << e;
    }
    if (!acting.isEmpty())
        sentences(w, acting, &reportwords::event);
    if (!idle.isEmpty())
        w.paragraph(
            QStringLiteral("Events with no action (Invalid): %1.").arg(reportwords::ranges(idle)),
            QStringLiteral("note"));
}

} // namespace

void modules(const ReportContent& c, HtmlWriter& w) {
    for (const ReportContent::Module& m : c.modules) {
        const Rows sceneRows = c.records.scenes.rowsWhere(m.address);
        const Rows irRows = c.records.irCodes.rowsWhere(m.address);
        const Rows bindingRows = c.records.bindings.rowsWhere(m.address);
        const bool busSwitch = m.address == 0xFF && hasSlotToShow(c.records.monitor);
        if (sceneRows.isEmpty() && irRows.isEmpty() && bindingRows.isEmpty() && !busSwitch)
            continue;
        w.heading(2, busSwitch ? QStringLiteral("Bus switch (module 255)")
                               : QStringLiteral("Module %1").arg(m.address));
        scenes(w, sceneRows);
        irCodes(w, irRows);
        bindings(w, bindingRows);
        if (busSwitch)
            monitorBindings(w, c.records.monitor);
    }
    if (!c.moduleFilter.isEmpty())
        return;
    // A row whose module column holds no number belongs to no module: shown all the same.
    const Rows sceneRows = c.records.scenes.rowsWhere(std::nullopt);
    const Rows irRows = c.records.irCodes.rowsWhere(std::nullopt);
    const Rows bindingRows = c.records.bindings.rowsWhere(std::nullopt);
    if (sceneRows.isEmpty() && irRows.isEmpty() && bindingRows.isEmpty())
        return;
    w.heading(2, QStringLiteral("Records of no module"));
    w.paragraph(QStringLiteral("Their module address is empty or not a number; shown as stored."),
                QStringLiteral("note unfit"));
    scenes(w, sceneRows);
    irCodes(w, irRows);
    bindings(w, bindingRows);
}

void timers(const ReportContent& c, HtmlWriter& w) {
    const PackedRows& timerRows = c.records.timers;
    const PackedRows& eventRows = c.records.events;
    if (timerRows.isEmpty() && eventRows.isEmpty())
        return;
    w.heading(2, QStringLiteral("Timers and events"));
    QString audited = QStringLiteral("not audited");
    if (c.audits.contains(c.timerModule) && c.timerModule > 0)
        audited = QStringLiteral("audited as the timers and events of module %1 (see Audit)")
                      .arg(c.timerModule);
    else if (c.live && c.timerModule > 0)
        audited = QStringLiteral("not audited: module %1 did not answer").arg(c.timerModule);
    w.paragraph(QStringLiteral("The records do not say which module holds them; %1.").arg(audited),
                QStringLiteral("note"));
    // The events of each timer, by its number as the event rows give it: which rows they are,
    // each read when its timer is written.
    QMap<QString, QList<int>> eventsOf;
    for (int i = 0; i < eventRows.size(); ++i)
        eventsOf[reportwords::cell(eventRows.at(i), "Timer_Order")] << i;
    const auto eventsAt = [&eventRows](const QList<int>& indexes) {
        Rows rows;
        for (int i : indexes)
            rows << eventRows.at(i);
        return rows;
    };
    QList<int> unset;
    timerRows.forEach([&](const Row& t) {
        const QString number = reportwords::cell(t, "Timer_Order");
        const Rows timerEvents = eventsAt(eventsOf.take(number));
        if (!reportwords::isSetTimer(t) && t.unfit.isEmpty() && !hasAction(timerEvents) &&
            t.number("Timer_Order")) {
            unset << *t.number("Timer_Order");
            return;
        }
        const QString note = unfitNote(t);
        w.paragraph(note.isEmpty() ? reportwords::timer(t)
                                   : reportwords::timer(t) + QStringLiteral(" (") + note + ')',
                    note.isEmpty() ? QStringLiteral("timer") : QStringLiteral("timer unfit"));
        events(w, timerEvents);
    });
    if (!unset.isEmpty())
        w.paragraph(QStringLiteral("Timers not set (Invalid): %1.").arg(reportwords::ranges(unset)),
                    QStringLiteral("note"));
    // Events of a timer that has no row of its own.
    for (auto it = eventsOf.cbegin(); it != eventsOf.cend(); ++it) {
        w.paragraph(QStringLiteral("Timer %1: no timer record").arg(it.key()),
                    QStringLiteral("timer missing"));
        events(w, eventsAt(it.value()));
    }
}

} // namespace recordparts
