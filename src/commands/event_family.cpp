#include "commands/event_family.h"

#include "commands/click_guard.h"
#include "commands/form_builder.h"
#include "commands/prompt_service.h"
#include "commands/record_grid.h"
#include "commands/timer_requests.h"
#include "link/bus.h"
#include "records/filters.h"
#include "records/record_store.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {
const QString kTimer = QStringLiteral("Timer_Order");
const QString kEvent = QStringLiteral("Event_Order");
const QString kAddress = QStringLiteral("Address");
const QString kChannel = QStringLiteral("Channel");
const QString kParameter = QStringLiteral("Parameter");
const QString kAction = QStringLiteral("Action");
const QString kInvalid = QStringLiteral("Invalid");
constexpr int kNone = 255;

QStringList timerItems() {
    QStringList items{QStringLiteral("All")};
    for (int i = 1; i <= timing::timer::kCount; ++i)
        items << QStringLiteral("Timer%1").arg(i);
    return items;
}
} // namespace

EventFamily::EventFamily(FamilyContext& ctx, Sequencer& sequencer)
    : m_ctx(ctx), m_sequencer(sequencer) {
    RunState& state = ctx.bus.state();
    m_sequence.name = "events";
    m_sequence.index = &state.EventIndex;
    m_sequence.limit = [] { return timing::event::kCount - 1; };
    m_sequence.table = &ctx.records.events();
    m_sequence.nextStep = [this] { Button45Click(); };
    m_sequence.deleting = &state.DeletingEvents;

    QWidget* page = ctx.page(QStringLiteral("TabSheet7"));
    m_module = page->findChild<QSpinBox*>(QStringLiteral("SpinEdit30"));
    page->layout()->addWidget(buildGroup(page));

    Bus& bus = ctx.bus;
    bus.registerReply(0x84, 0x04, [this](const Reply& r) { eventAck(r); });
    bus.registerReply(0x84, 0x05, [this](const Reply& r) { eventRead(r); });
}

QGroupBox* EventFamily::buildGroup(QWidget* parent) {
    auto* group =
        form::group(parent, QStringLiteral("GroupBox17"), QStringLiteral("Event Settings"));
    m_timerNo = form::spin(group, QStringLiteral("SpinEdit36"), 1, 33, 1);
    m_eventNo = form::spin(group, QStringLiteral("SpinEdit32"), 1, 33, 1);
    m_target = form::spin(group, QStringLiteral("SpinEdit33"), 1, 33, 1);
    m_channel = form::spin(group, QStringLiteral("SpinEdit34"), 1, 33, 1);
    m_action = form::combo(group, QStringLiteral("ComboBox17"), timing::event::actionItems());
    m_parameter = form::spin(group, QStringLiteral("SpinEdit35"), 0, 255, 0);
    auto* set = form::button(group, QStringLiteral("Button54"), QStringLiteral("Set"));
    m_timerList = form::combo(group, QStringLiteral("ComboBox18"), timerItems());
    auto* readAll =
        form::button(group, QStringLiteral("Button45"), QStringLiteral("Read All Events"));
    auto* deleteAll =
        form::button(group, QStringLiteral("Button46"), QStringLiteral("Delete All Events"));

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(4, 1); // room to spare goes to the grid, not into the fields
    form::row(grid, 0, 0, QStringLiteral("LabelSpinEdit36"), QStringLiteral("Timer No. :"),
              m_timerNo);
    form::row(grid, 0, 2, QStringLiteral("LabelSpinEdit32"), QStringLiteral("Event No. :"),
              m_eventNo);
    form::row(grid, 1, 0, QStringLiteral("LabelSpinEdit33"), QStringLiteral("Controlled Module. :"),
              m_target);
    form::row(grid, 1, 2, QStringLiteral("LabelSpinEdit34"), QStringLiteral("Controlled Channel :"),
              m_channel);
    form::row(grid, 2, 0, QStringLiteral("LabelComboBox17"), QStringLiteral("Function :"),
              m_action);
    form::row(grid, 2, 2, QStringLiteral("LabelSpinEdit35"), QStringLiteral("Scene No./IR No. :"),
              m_parameter);
    grid->addWidget(set, 3, 3);
    grid->addWidget(
        new RecordGrid(m_ctx.records.events(), RecordStore::Events, m_ctx.prompts, group), 4, 0, 1,
        5);
    form::row(grid, 5, 0, QStringLiteral("LabelComboBox18"), QStringLiteral("Timer No. :"),
              m_timerList);
    grid->addWidget(readAll, 5, 2);
    grid->addWidget(deleteAll, 5, 3);
    grid->setRowStretch(4, 1);

    connect(set, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button54Click(); }); });
    connect(readAll, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button45Click(); }); });
    connect(deleteAll, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button46Click(); }); });
    connect(m_timerList, &QComboBox::currentIndexChanged, this,
            [this] { runClick(m_ctx.prompts, [this] { ComboBox18Change(); }); });
    return group;
}

int EventFamily::module() const {
    return m_module ? form::value(m_module) : 0;
}

bool EventFamily::timerChosen() {
    if (m_timerList->currentIndex() > 0)
        return true;
    m_ctx.prompts.message(QStringLiteral("Please select timer!"));
    return false;
}

void EventFamily::ComboBox18Change() {
    RecordTable& t = m_ctx.records.events();
    t.setFiltered(false);
    t.setFilter(eventTimerFilter(m_timerList->currentIndex()));
    t.setFiltered(true);
}

void EventFamily::Button54Click() {
    timing::event::Settings s;
    s.timerNo = form::value(m_timerNo);
    s.eventNo = form::value(m_eventNo);
    s.actionIndex = m_action->currentIndex();
    s.controlledModule = form::value(m_target);
    s.controlledChannel = form::value(m_channel);
    s.sceneOrIr = form::value(m_parameter);
    m_ctx.bus.send(timing::event::set(module(), s));
}

void EventFamily::Button45Click() {
    if (!timerChosen())
        return;
    m_sequencer.start(m_sequence);
    m_ctx.bus.send(
        timing::event::read(module(), m_timerList->currentIndex(), m_ctx.bus.state().EventIndex));
}

void EventFamily::Button46Click() {
    if (!timerChosen())
        return;
    m_sequencer.start(m_sequence);
    m_ctx.bus.state().DeletingEvents = 1;
    m_ctx.bus.send(
        timing::event::remove(module(), m_timerList->currentIndex(), m_ctx.bus.state().EventIndex));
}

void EventFamily::eventAck(const Reply&) {
    if (m_ctx.bus.state().DeletingEvents != 0 && m_sequencer.running(m_sequence)) {
        writeDeleteStep();
        return;
    }
    // A Set answered while some sequence runs is not recorded: it would land in the
    // sequence's current row, and taking it for a delete step would clear events nobody
    // asked to clear.
    if (m_sequencer.active())
        return;
    writeSetRow();
}

void EventFamily::eventRead(const Reply& r) {
    // After Cancel or the watchdog a late record belongs to no sequence.
    if (!m_sequencer.running(m_sequence))
        return;
    // Taken now: the next request of the sequence reuses the reply area.
    const QString action = timing::event::actionText(r[7], r[8]);
    const int address = r[9];
    const int channel = r[10] == 0xFF ? kNone : r[10] + 1;
    const int parameter = r[11];
    m_sequencer.record(
        m_sequence,
        [&, this](RecordTable& t) {
            t.setField(kTimer, m_timerList->currentIndex());
            t.setField(kEvent, m_ctx.bus.state().EventIndex + 1);
            t.setField(kAddress, address);
            t.setField(kChannel, channel);
            t.setField(kParameter, parameter);
            t.setField(kAction, action);
        },
        [this] { Button45Click(); });
}

void EventFamily::writeDeleteStep() {
    m_sequencer.record(
        m_sequence,
        [this](RecordTable& t) {
            t.setField(kTimer, m_timerList->currentIndex());
            t.setField(kEvent, m_ctx.bus.state().EventIndex + 1);
            t.setField(kAction, kInvalid);
            t.setField(kAddress, kNone);
            t.setField(kChannel, kNone);
            t.setField(kParameter, kNone);
        },
        [this] { Button46Click(); });
}

void EventFamily::writeSetRow() {
    RecordTable& t = m_ctx.records.events();
    const int timerNo = form::value(m_timerNo);
    const int eventNo = form::value(m_eventNo);
    t.first();
    while (!t.eof() && !(t.fieldInt(kTimer) == timerNo && t.fieldInt(kEvent) == eventNo))
        t.next();
    try {
        if (t.eof()) {
            t.append();
            t.setField(kTimer, timerNo);
            t.setField(kEvent, eventNo);
        }
        const QString action = m_action->currentText();
        t.setField(kAction, action);
        const bool invalid = action == kInvalid;
        t.setField(kAddress, invalid ? kNone : form::value(m_target));
        t.setField(kChannel, invalid ? kNone : form::value(m_channel));
        t.setField(kParameter, invalid ? kNone : form::value(m_parameter));
        t.post();
    } catch (...) {
        t.cancel();
        throw;
    }
    t.refresh();
}
