#include "commands/event_family.h"

#include "link/bus.h"
#include "protocol/action_codes.h"
#include "protocol/timer_rows.h"
#include "records/filters.h"
#include "records/record_store.h"
#include "widgets/click_guard.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QComboBox>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLayout>
#include <QPushButton>
#include <QSpinBox>

namespace {

QStringList timerItems() {
    QStringList items{QStringLiteral("All")};
    for (int i = 1; i <= timing::timer::kCount; ++i)
        items << QStringLiteral("Timer%1").arg(i);
    return items;
}
} // namespace

EventFamily::EventFamily(FamilyContext& ctx, SequenceEngine& sequences)
    : m_ctx(ctx), m_sequences(sequences) {
    QWidget* page = ctx.page(QStringLiteral("TabSheet7"));
    m_module = page->findChild<QSpinBox*>(QStringLiteral("SpinEdit30"));
    page->layout()->addWidget(buildGroup(page));

    const auto setRow = [this] {
        const timing::event::Settings s = settings();
        return SequenceEngine::SetRow{
            module(), QStringLiteral("event %1 of timer %2").arg(s.eventNo).arg(s.timerNo)};
    };
    sequences.storeOnSetAck(this, 0x84, 0x04, ctx.records.events(), setRow, [this] {
        timing::event::storeSetRow(m_ctx.records.events(), settings());
    });
}

QGroupBox* EventFamily::buildGroup(QWidget* parent) {
    auto* group =
        form::group(parent, QStringLiteral("GroupBox17"), QStringLiteral("Event Settings"));
    m_timerNo = form::spin(group, QStringLiteral("SpinEdit36"), 1, 33, 1);
    m_eventNo = form::spin(group, QStringLiteral("SpinEdit32"), 1, 33, 1);
    m_target = form::spin(group, QStringLiteral("SpinEdit33"), 1, 33, 1);
    m_channel = form::spin(group, QStringLiteral("SpinEdit34"), 1, 33, 1);
    m_action = form::combo(group, QStringLiteral("ComboBox17"), actions::eventItems());
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
    connect(m_timerList, &QComboBox::currentIndexChanged, this, &EventFamily::ComboBox18Change);
    return group;
}

int EventFamily::module() const {
    return m_module ? form::value(m_module) : 0;
}

void EventFamily::ComboBox18Change() {
    applyRecordFilter(m_ctx.records.events(), eventTimerFilter(m_timerList->currentIndex()),
                      m_ctx.prompts);
}

timing::event::Settings EventFamily::settings() const {
    timing::event::Settings s;
    s.timerNo = form::value(m_timerNo);
    s.eventNo = form::value(m_eventNo);
    s.actionIndex = m_action->currentIndex();
    s.controlledModule = form::value(m_target);
    s.controlledChannel = form::value(m_channel);
    s.sceneOrIr = form::value(m_parameter);
    return s;
}

void EventFamily::Button54Click() {
    m_ctx.bus.sendSet(timing::event::set(module(), settings()));
}

void EventFamily::Button45Click() {
    startSequence(SequenceKind::ReadEvents);
}

void EventFamily::Button46Click() {
    startSequence(SequenceKind::DeleteEvents);
}

void EventFamily::startSequence(SequenceKind kind) {
    if (m_timerList->currentIndex() <= 0) {
        m_ctx.prompts.message(QStringLiteral("Please select timer!"));
        return;
    }
    m_sequences.start(kind, m_ctx.records.events(), [this] {
        return SequenceTarget{module(), m_timerList->currentIndex()};
    });
}

#include "moc_event_family.cpp"
