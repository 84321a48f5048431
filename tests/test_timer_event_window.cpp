// The clock, timer and event groups on the real main window: replies fed through the serial
// intake become control texts and record rows, and sequences step, end and ignore what does
// not belong to them.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "link/frames.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QLineEdit>
#include <QLocale>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestTimerEventWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void clockReadBack();
    void weekdayFollowsDatePicker();
    void unconvertibleTimeSendsNothing();
    void timerSetAckWritesRow_data();
    void timerSetAckWritesRow();
    void eventSetAckWritesRow_data();
    void eventSetAckWritesRow();
    void eventSetUnderTimerFilterAppends();
    void timerReadStepsOverwriteInOrder();
    void timerDeleteStepsContinueWithDelete();
    void eventReadSequenceEnds();
    void eventSequenceNeedsTimer();
    void setAckDuringSequenceChangesNothing_data();
    void setAckDuringSequenceChangesNothing();
    void lateReadReplyIsDropped_data();
    void lateReadReplyIsDropped();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& button) { find<QPushButton>(button)->click(); }
    void reply(quint8 sub, const QByteArray& data, quint8 status = 1);
    QStringList rows(RecordStore::Table table) const;
    void addTimerRows(int count);
    QStringList sendLines() const { return m_env->logLines(QStringLiteral("Send")); }
    bool processing() const { return m_env->window->sequences().keepGoing(); }

    std::unique_ptr<WindowFixture> m_env;
};

namespace {
QByteArray bytes(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
// A timer record: mode, then seconds .. year of 2014-02-24 12:34:56, a Monday.
QByteArray timerRecord(int mode) {
    return QByteArray(1, char(mode)) + bytes("56 34 12 24 01 02 14");
}
} // namespace

void TestTimerEventWindow::init() {
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));
}

void TestTimerEventWindow::cleanup() {
    m_env.reset();
}

void TestTimerEventWindow::reply(quint8 sub, const QByteArray& data, quint8 status) {
    m_env->reply(1, 0x84, sub, data, status);
}

QStringList TestTimerEventWindow::rows(RecordStore::Table which) const {
    return probe::tableRows(m_env->window->records().table(which));
}

void TestTimerEventWindow::addTimerRows(int count) {
    RecordTable& t = m_env->window->records().timers();
    for (int i = 0; i < count; ++i) {
        t.append();
        t.setField(QStringLiteral("Timer_Order"), 100 + i);
        t.setField(QStringLiteral("Time"), QStringLiteral("old"));
        t.setField(QStringLiteral("Timer_Mode"), QStringLiteral("Once"));
        t.post();
    }
    t.first();
}

void TestTimerEventWindow::clockReadBack() {
    reply(0x01, bytes("12 34 21 24 01 02 14"));
    QCOMPARE(find<QLineEdit>("Edit38")->text(), QStringLiteral("2014-02-24"));
    QCOMPARE(find<QLineEdit>("Edit37")->text(), QStringLiteral("Monday"));
    QCOMPARE(find<QLineEdit>("Edit39")->text(), QStringLiteral("21:34:12"));

    // Weekday 7 has no name: the field keeps what it showed.
    reply(0x01, bytes("00 00 08 01 07 03 15"));
    QCOMPARE(find<QLineEdit>("Edit38")->text(), QStringLiteral("2015-03-01"));
    QCOMPARE(find<QLineEdit>("Edit37")->text(), QStringLiteral("Monday"));
    QCOMPARE(find<QLineEdit>("Edit39")->text(), QStringLiteral("08:00:00"));
}

void TestTimerEventWindow::weekdayFollowsDatePicker() {
    find<QDateEdit>("DateTimePicker1")->setDate(QDate(2014, 2, 23));
    find<QDateEdit>("DateTimePicker2")->setDate(QDate(2014, 3, 1));
    QCOMPARE(find<QLineEdit>("Edit19")->text(), QStringLiteral("Sunday"));
    QCOMPARE(find<QLineEdit>("Edit20")->text(), QStringLiteral("Saturday"));
}

void TestTimerEventWindow::unconvertibleTimeSendsNothing() {
    find<QLineEdit>("MaskEdit2")->setText(QStringLiteral("1"));
    click("Button43");
    find<QLineEdit>("MaskEdit1")->setText(QStringLiteral("12:3"));
    click("Button49");
    QCOMPARE(m_env->prompts.messages.size(), 2);
    QVERIFY(sendLines().isEmpty());

    find<QLineEdit>("MaskEdit2")->setText(QStringLiteral("12:12:12"));
    find<QDateEdit>("DateTimePicker2")->setDate(QDate(2014, 2, 24));
    click("Button43");
    QCOMPARE(sendLines(), QStringList{"Send ：55 AA 0F 01 04 00 12 12 12 24 01 02 14 54 2E "});
}

void TestTimerEventWindow::timerSetAckWritesRow_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<bool>("existing"); // a row for the timer is there already
    QTest::addColumn<QString>("modeText");
    QTest::newRow("Mouth(repeat), new row") << 5 << false << "Mouth(repeat)";
    QTest::newRow("Once, overwrites its row") << 0 << true << "Once";
    QTest::newRow("Invalid") << 7 << false << "Invalid";
}

void TestTimerEventWindow::timerSetAckWritesRow() {
    QFETCH(int, mode);
    QFETCH(bool, existing);
    QFETCH(QString, modeText);
    addTimerRows(2); // timers 100 and 101
    find<QSpinBox>("SpinEdit31")->setValue(existing ? 33 : 7);
    if (existing) {
        RecordTable& t = m_env->window->records().timers();
        t.first();
        t.next();
        t.setField(QStringLiteral("Timer_Order"), 33);
        t.post();
    }
    find<QComboBox>("ComboBox14")->setCurrentIndex(mode);
    const QDate date(2014, 2, 24);
    find<QDateEdit>("DateTimePicker1")->setDate(date);
    find<QLineEdit>("MaskEdit1")->setText(QStringLiteral("06:30:00"));

    click("Button49");
    reply(0x02, {});
    const QString time = modeText == "Invalid"
                             ? QStringLiteral("------")
                             : QLocale::system().toString(date, QLocale::ShortFormat) +
                                   QStringLiteral(" 06:30:00 Monday");
    const QStringList got = rows(RecordStore::Timers);
    const int order = existing ? 33 : 7;
    QCOMPARE(got.size(), existing ? 2 : 3);
    QCOMPARE(got.at(existing ? 1 : 2), QStringLiteral("%1|%2|%3").arg(order).arg(time, modeText));
    QCOMPARE(got.at(0), QStringLiteral("100|old|Once"));
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestTimerEventWindow::eventSetAckWritesRow_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("row");
    // The row holds the spin values even where the request sent fixed bytes.
    QTest::newRow("Scene Control") << 6 << "2|3|5|4|7|Scene Control";
    QTest::newRow("IR Control") << 7 << "2|3|5|4|7|IR Control";
    QTest::newRow("Invalid") << 8 << "2|3|255|255|255|Invalid";
}

void TestTimerEventWindow::eventSetAckWritesRow() {
    QFETCH(int, action);
    QFETCH(QString, row);
    find<QSpinBox>("SpinEdit36")->setValue(2);
    find<QSpinBox>("SpinEdit32")->setValue(3);
    find<QSpinBox>("SpinEdit33")->setValue(5);
    find<QSpinBox>("SpinEdit34")->setValue(4);
    find<QSpinBox>("SpinEdit35")->setValue(7);
    find<QComboBox>("ComboBox17")->setCurrentIndex(action);
    click("Button54");
    reply(0x04, {});
    QCOMPARE(rows(RecordStore::Events), QStringList{row});
    // The same event again is written over, not added.
    click("Button54");
    reply(0x04, {});
    QCOMPARE(rows(RecordStore::Events), QStringList{row});
}

void TestTimerEventWindow::eventSetUnderTimerFilterAppends() {
    find<QComboBox>("ComboBox17")->setCurrentIndex(0);
    for (int timer : {3, 5}) {
        find<QSpinBox>("SpinEdit36")->setValue(timer);
        click("Button54");
        reply(0x04, {});
    }
    QCOMPARE(rows(RecordStore::Events).size(), 2);

    find<QComboBox>("ComboBox18")->setCurrentIndex(3); // "Timer3"
    QCOMPARE(rows(RecordStore::Events), QStringList{"3|1|1|1|0|Light On"});
    // Timer 5's row is hidden by the filter, so the acknowledgement adds another.
    click("Button54");
    reply(0x04, {});
    find<QComboBox>("ComboBox18")->setCurrentIndex(0);
    QCOMPARE(rows(RecordStore::Events).size(), 3);
}

void TestTimerEventWindow::timerReadStepsOverwriteInOrder() {
    addTimerRows(3);
    click("Button44");
    QVERIFY(processing());
    reply(0x03, timerRecord(5));
    reply(0x03, timerRecord(0xFF));
    reply(0x03, timerRecord(0x07)); // unknown mode: the row keeps "Once"
    reply(0x03, timerRecord(0));    // past the last row: a new one
    QCOMPARE(
        rows(RecordStore::Timers),
        (QStringList{"1|2014-02-24 12:34:56 Monday|Month(repeat)", "2|------|invalid",
                     "3|2014-02-24 12:34:56 Monday|Once", "4|2014-02-24 12:34:56 Monday|Once"}));
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadTimers), 4);
    QCOMPARE(sendLines().size(), 5);
    QCOMPARE(sendLines().last(), QStringLiteral("Send ：55 AA 09 01 04 03 04 54 BE "));
    QVERIFY(processing());
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestTimerEventWindow::timerDeleteStepsContinueWithDelete() {
    addTimerRows(1);
    click("Button47");
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteTimers), true);
    reply(0x02, {});
    reply(0x02, {});
    QCOMPARE(rows(RecordStore::Timers), (QStringList{"1|------|Invalid", "2|------|Invalid"}));
    QCOMPARE(sendLines().size(), 3);
    QVERIFY(sendLines().last().startsWith(QStringLiteral("Send ：55 AA 11 01 04 02 02 FF 01 ")));
    // An error status ends the sequence: no row, no further request.
    reply(0x02, {}, 7);
    QCOMPARE(rows(RecordStore::Timers).size(), 2);
    QCOMPARE(sendLines().size(), 3);
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteTimers), false);
}

void TestTimerEventWindow::eventReadSequenceEnds() {
    find<QComboBox>("ComboBox18")->setCurrentIndex(32);
    click("Button45");
    for (int i = 0; i < 16; ++i)
        reply(0x05, bytes("02 02 05 03 09"));
    const QStringList got = rows(RecordStore::Events);
    QCOMPARE(got.size(), 16);
    QCOMPARE(got.first(), QStringLiteral("32|1|5|4|9|Light Off"));
    QCOMPARE(got.last(), QStringLiteral("32|16|5|4|9|Light Off"));
    QCOMPARE(sendLines().size(), 16);
    QCOMPARE(m_env->prompts.messages, QStringList{"Finished！"});
    QVERIFY(!processing());
    QVERIFY(!m_env->window->sequences().running());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadEvents), 0);
    // Channel FF reads as 255, channel 0 as 1.
    click("Button45");
    reply(0x05, bytes("00 04 FF FF 07"));
    reply(0x05, bytes("03 04 05 00 07"));
    QCOMPARE(rows(RecordStore::Events).mid(0, 2),
             (QStringList{"32|1|255|255|7|Scene Control", "32|2|5|1|7|IR Control"}));
}

void TestTimerEventWindow::eventSequenceNeedsTimer() {
    click("Button45");
    click("Button46");
    QCOMPARE(m_env->prompts.messages,
             (QStringList{"Please select timer!", "Please select timer!"}));
    QVERIFY(sendLines().isEmpty());
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteEvents), false);
}

void TestTimerEventWindow::setAckDuringSequenceChangesNothing_data() {
    QTest::addColumn<QString>("button"); // the sequence that runs
    QTest::addColumn<int>("ackSub");     // the Set acknowledgement that comes in
    QTest::newRow("timer Set during Read All Timers") << "Button44" << 0x02;
    QTest::newRow("event Set during Read All Timers") << "Button44" << 0x04;
    QTest::newRow("timer Set during Read All Events") << "Button45" << 0x02;
    QTest::newRow("event Set during Read All Events") << "Button45" << 0x04;
    QTest::newRow("timer Set during Delete All Events") << "Button46" << 0x02;
}

void TestTimerEventWindow::setAckDuringSequenceChangesNothing() {
    QFETCH(QString, button);
    QFETCH(int, ackSub);
    addTimerRows(3);
    find<QComboBox>("ComboBox18")->setCurrentIndex(1);
    click(button);
    // One step, so that the cursor stands on the second row.
    if (button == "Button44")
        reply(0x03, timerRecord(1));
    else if (button == "Button45")
        reply(0x05, bytes("02 01 01 00 00"));
    else
        reply(0x04, {});
    const QStringList timersBefore = rows(RecordStore::Timers);
    const QStringList eventsBefore = rows(RecordStore::Events);
    const int timerRow = m_env->window->records().timers().currentRow();
    const int eventRow = m_env->window->records().events().currentRow();
    SequenceEngine& engine = m_env->window->sequences();
    const int timerAt = engine.position(SequenceKind::ReadTimers);
    const int eventAt = engine.position(SequenceKind::ReadEvents);
    const bool deleting = engine.running(SequenceKind::DeleteTimers);
    const int sent = sendLines().size();

    reply(quint8(ackSub), {});

    QCOMPARE(rows(RecordStore::Timers), timersBefore);
    QCOMPARE(rows(RecordStore::Events), eventsBefore);
    QCOMPARE(m_env->window->records().timers().currentRow(), timerRow);
    QCOMPARE(m_env->window->records().events().currentRow(), eventRow);
    QCOMPARE(engine.position(SequenceKind::ReadTimers), timerAt);
    QCOMPARE(engine.position(SequenceKind::ReadEvents), eventAt);
    QCOMPARE(engine.running(SequenceKind::DeleteTimers), deleting);
    QCOMPARE(sendLines().size(), sent);
    QVERIFY(processing());
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestTimerEventWindow::lateReadReplyIsDropped_data() {
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("sub");
    QTest::newRow("timer record after Cancel") << "cancel" << 0x03;
    QTest::newRow("event record after Cancel") << "cancel" << 0x05;
    QTest::newRow("timer record after the watchdog") << "watchdog" << 0x03;
    QTest::newRow("event record after an error reply") << "error" << 0x05;
}

void TestTimerEventWindow::lateReadReplyIsDropped() {
    QFETCH(QString, ending);
    QFETCH(int, sub);
    addTimerRows(2);
    find<QComboBox>("ComboBox18")->setCurrentIndex(4);
    click(sub == 0x03 ? "Button44" : "Button45");
    QVERIFY(processing());
    if (ending == "cancel")
        m_env->window->processingDialog().findChild<QPushButton*>("Button1")->click();
    else if (ending == "watchdog")
        m_env->window->sequences().watchdogExpired();
    else
        reply(quint8(sub), {}, 4);
    QVERIFY(!processing());
    m_env->prompts.messages.clear();
    const QStringList timersBefore = rows(RecordStore::Timers);

    reply(quint8(sub), sub == 0x03 ? timerRecord(1) : bytes("02 01 01 00 00"));

    QCOMPARE(rows(RecordStore::Timers), timersBefore);
    QVERIFY(rows(RecordStore::Events).isEmpty());
    QVERIFY(m_env->prompts.messages.isEmpty());
    QCOMPARE(sendLines().size(), 1);
    // The next click starts afresh at index 0.
    click(sub == 0x03 ? "Button44" : "Button45");
    QVERIFY(processing());
    QVERIFY(sendLines().last().contains(sub == 0x03 ? QStringLiteral("01 04 03 00 ")
                                                    : QStringLiteral("01 04 05 03 00 ")));
}

QTEST_MAIN(TestTimerEventWindow)
#include "test_timer_event_window.moc"
