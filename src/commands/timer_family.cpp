#include "commands/timer_family.h"

#include "link/bus.h"
#include "protocol/timer_rows.h"
#include "records/record_store.h"
#include "widgets/click_guard.h"
#include "widgets/field_width.h"
#include "widgets/form_builder.h"
#include "widgets/prompt_service.h"
#include "widgets/record_grid.h"

#include <QComboBox>
#include <QDateEdit>
#include <QDateTime>
#include <QGridLayout>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QSpinBox>
#include <QVBoxLayout>

namespace {
QDateEdit* datePicker(QWidget* parent, const QString& name) {
    auto* picker = new QDateEdit(parent);
    picker->setObjectName(name);
    picker->setDisplayFormat(QStringLiteral("yyyy-MM-dd"));
    picker->setCalendarPopup(true);
    return picker;
}

QLineEdit* timeEdit(QWidget* parent, const QString& name) {
    auto* edit = form::edit(parent, name, 8);
    edit->setInputMask(QStringLiteral("90:00:00;_"));
    return edit;
}

QLineEdit* readOnly(QLineEdit* edit) {
    edit->setReadOnly(true);
    return edit;
}

// A row of fields that share one caption.
QWidget* fieldRow(QWidget* parent, std::initializer_list<QWidget*> fields) {
    auto* box = new QWidget(parent);
    auto* row = new QHBoxLayout(box);
    row->setContentsMargins(0, 0, 0, 0);
    for (QWidget* f : fields) {
        f->setParent(box);
        row->addWidget(f);
    }
    return box;
}
} // namespace

TimerFamily::TimerFamily(FamilyContext& ctx, SequenceEngine& sequences)
    : m_ctx(ctx), m_sequences(sequences) {
    QWidget* page = ctx.page(QStringLiteral("TabSheet7"));
    auto* column = new QWidget(page);
    column->setObjectName(QStringLiteral("TimerColumn"));
    auto* stack = new QVBoxLayout(column);
    stack->setContentsMargins(0, 0, 0, 0);
    stack->addWidget(buildClockGroup(column));
    stack->addWidget(buildTimerGroup(column), 1);
    page->layout()->addWidget(column);

    connectControls();
    registerReplies();
}

QGroupBox* TimerFamily::buildClockGroup(QWidget* parent) {
    auto* group =
        form::group(parent, QStringLiteral("GroupBox14"), QStringLiteral("Sytem Time Settings"));
    m_module = form::spin(group, QStringLiteral("SpinEdit30"), 0, 33, 1);
    m_clockDate = datePicker(group, QStringLiteral("DateTimePicker2"));
    m_clockTime = timeEdit(group, QStringLiteral("MaskEdit2"));
    m_clockWeekday = readOnly(form::edit(group, QStringLiteral("Edit20")));
    m_readDate = readOnly(form::edit(group, QStringLiteral("Edit38")));
    m_readWeekday = form::edit(group, QStringLiteral("Edit37"));
    m_readTime = readOnly(form::edit(group, QStringLiteral("Edit39")));
    auto* set = form::button(group, QStringLiteral("Button43"), QStringLiteral("Set"));
    auto* read = form::button(group, QStringLiteral("Button42"), QStringLiteral("Read"));
    // Not in the original window: "Time(set)" holds the moment the tool started, and a clock set
    // an hour later would be an hour wrong.
    auto* now = form::button(group, QStringLiteral("ButtonClockNow"), QStringLiteral("Now"));
    now->setToolTip(QStringLiteral("Put this computer's date and time into \"Time(set)\""));
    form::keepWidth(m_clockDate);
    for (QLineEdit* e : {m_clockTime, m_readTime})
        form::fitWidth(e, QStringLiteral("88:88:88"));
    for (QLineEdit* e : {m_clockWeekday, m_readWeekday})
        form::fitWidth(e, QStringLiteral("Wednesday"));
    form::fitWidth(m_readDate, QStringLiteral("8888-88-88"));

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(3, 1); // room to spare goes beside the fields, not into them
    form::row(grid, 0, 0, QStringLiteral("LabelSpinEdit30"), QStringLiteral("Module Addr. :"),
              m_module);
    form::row(grid, 1, 0, QStringLiteral("LabelDateTimePicker2"), QStringLiteral("Time(set) :"),
              fieldRow(group, {m_clockDate, m_clockTime, m_clockWeekday, now}));
    grid->addWidget(set, 1, 2);
    form::row(grid, 2, 0, QStringLiteral("LabelEdit38"), QStringLiteral("Time(Read) :"),
              fieldRow(group, {m_readDate, m_readWeekday, m_readTime}));
    grid->addWidget(read, 2, 2);

    connect(set, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button43Click(); }); });
    connect(read, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button42Click(); }); });
    connect(now, &QPushButton::clicked, this,
            [this] { setClockFields(QDateTime::currentDateTime()); });
    return group;
}

QGroupBox* TimerFamily::buildTimerGroup(QWidget* parent) {
    auto* group =
        form::group(parent, QStringLiteral("GroupBox16"), QStringLiteral("Timer Settings"));
    m_timerNo = form::spin(group, QStringLiteral("SpinEdit31"), 1, 33, 1);
    m_mode = form::combo(group, QStringLiteral("ComboBox14"), timing::timer::modeItems());
    m_timerDate = datePicker(group, QStringLiteral("DateTimePicker1"));
    m_timerTime = timeEdit(group, QStringLiteral("MaskEdit1"));
    m_timerWeekday = readOnly(form::edit(group, QStringLiteral("Edit19")));
    auto* set = form::button(group, QStringLiteral("Button49"), QStringLiteral("Set"));
    auto* readAll =
        form::button(group, QStringLiteral("Button44"), QStringLiteral("Read All Timers"));
    auto* deleteAll =
        form::button(group, QStringLiteral("Button47"), QStringLiteral("Delete All Timers"));
    form::keepWidth(m_timerDate);
    form::fitWidth(m_timerTime, QStringLiteral("88:88:88"));
    form::fitWidth(m_timerWeekday, QStringLiteral("Wednesday"));

    auto* grid = new QGridLayout(group);
    grid->setColumnStretch(2, 1); // room to spare goes to the grid, not into the fields
    form::row(grid, 0, 0, QStringLiteral("LabelSpinEdit31"), QStringLiteral("Timer No. :"),
              m_timerNo);
    form::row(grid, 1, 0, QStringLiteral("LabelComboBox14"), QStringLiteral("Timer Mode :"),
              m_mode);
    form::row(grid, 2, 0, QStringLiteral("LabelDateTimePicker1"), QStringLiteral("Time :"),
              fieldRow(group, {m_timerDate, m_timerTime, m_timerWeekday}));
    grid->addWidget(fieldRow(group, {set, readAll, deleteAll}), 3, 0, 1, 2);
    grid->addWidget(
        new RecordGrid(m_ctx.records.timers(), RecordStore::Timers, m_ctx.prompts, group), 4, 0, 1,
        3);
    grid->setRowStretch(4, 1);

    connect(set, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button49Click(); }); });
    connect(readAll, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button44Click(); }); });
    connect(deleteAll, &QPushButton::clicked, this,
            [this] { runClick(m_ctx.prompts, [this] { Button47Click(); }); });
    return group;
}

void TimerFamily::connectControls() {
    connect(m_clockDate, &QDateEdit::dateChanged, this, &TimerFamily::DateTimePicker2Change);
    connect(m_timerDate, &QDateEdit::dateChanged, this, &TimerFamily::DateTimePicker1Change);
}

void TimerFamily::registerReplies() {
    Bus& bus = m_ctx.bus;
    bus.registerReply(this, 0x84, 0x01, [this](const Reply& r) { clockReply(r); });
    const auto setRow = [this] {
        return SequenceEngine::SetRow{module(),
                                      QStringLiteral("timer %1").arg(form::value(m_timerNo))};
    };
    m_sequences.storeOnSetAck(this, 0x84, 0x02, m_ctx.records.timers(), setRow, [this] {
        timing::timer::storeSetRow(m_ctx.records.timers(), form::value(m_timerNo),
                                   m_mode->currentText(), setTimeText());
    });
}

void TimerFamily::initialiseClockFields(const QDateTime& now) {
    setClockFields(now);
    m_timerDate->setDate(now.date());
    m_timerWeekday->setText(m_clockWeekday->text());
    m_timerTime->setText(m_clockTime->text());
}

void TimerFamily::setClockFields(const QDateTime& now) {
    m_clockDate->setDate(now.date());
    m_clockWeekday->setText(timing::weekdayName(timing::weekdayOf(now.date())));
    m_clockTime->setText(now.toString(QStringLiteral("hh:mm:ss")));
}

int TimerFamily::module() const {
    return form::value(m_module);
}

void TimerFamily::DateTimePicker1Change() {
    m_timerWeekday->setText(timing::weekdayName(timing::weekdayOf(m_timerDate->date())));
}

void TimerFamily::DateTimePicker2Change() {
    m_clockWeekday->setText(timing::weekdayName(timing::weekdayOf(m_clockDate->date())));
}

void TimerFamily::Button43Click() {
    const QString text = m_clockTime->text();
    const auto request = timing::clock::setTime(module(), m_clockDate->date(), text);
    if (!request) {
        m_ctx.prompts.message(timing::conversionError(text));
        return;
    }
    m_ctx.bus.send(*request);
}

void TimerFamily::Button42Click() {
    m_ctx.bus.send(timing::clock::read(module()));
}

void TimerFamily::Button49Click() {
    const QString text = m_timerTime->text();
    const auto request = timing::timer::set(module(), form::value(m_timerNo),
                                            m_mode->currentIndex(), m_timerDate->date(), text);
    if (!request) {
        m_ctx.prompts.message(timing::conversionError(text));
        return;
    }
    m_ctx.bus.sendSet(*request);
}

void TimerFamily::Button44Click() {
    m_sequences.start(SequenceKind::ReadTimers, m_ctx.records.timers(),
                      [this] { return SequenceTarget{module()}; });
}

void TimerFamily::Button47Click() {
    m_sequences.start(SequenceKind::DeleteTimers, m_ctx.records.timers(),
                      [this] { return SequenceTarget{module()}; });
}

void TimerFamily::clockReply(const Reply& r) {
    m_readDate->setText(timing::clock::dateText(r[10], r[12], r[13]));
    const QString weekday = timing::weekdayName(r[11]);
    if (!weekday.isEmpty())
        m_readWeekday->setText(weekday);
    m_readTime->setText(timing::clock::timeText(r[9], r[8], r[7]));
}

QString TimerFamily::setTimeText() const {
    return timing::timer::setTimeText(m_timerDate->date(), m_timerTime->text(),
                                      m_timerWeekday->text());
}

#include "moc_timer_family.cpp"
