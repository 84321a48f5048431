// The sequence engine over a bus with no window, its replies fed as serial blocks: the rows a
// run writes and where, how it ends (as a value), which replies answer a step, and who owns an
// acknowledgement.
#include "link/bus.h"
#include "link/frames.h"
#include "link/reply_ownership.h"
#include "protocol/sequence_engine.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "support/link_probe.h"
#include "support/table_rows.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <optional>

namespace {
const QString kOrder = QStringLiteral("Timer_Order");
const QString kMode = QStringLiteral("Timer_Mode");
constexpr int kModule = 6;
// One timer record: mode "Once", 2014-02-24 12:34:56, a Monday.
const QByteArray kTimerData = bytesOf("00 56 34 12 24 01 02 14");
} // namespace

class TestSequenceEngine : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsOverwriteRowsInOrderThenEnd();
    void endsAsAValue_data();
    void endsAsAValue();
    void slotSequenceSkipsMissingSlots();
    void acknowledgement_data();
    void acknowledgement();
    void watchdogWaitsFiveSecondsAfterEachAnswer();

private:
    // A reply of `module` as the serial intake takes it.
    void reply(int module, quint8 command, quint8 sub, quint8 status, const QByteArray& data) {
        QByteArray body;
        body.append(char(module)).append(char(command)).append(char(sub)).append(char(status));
        const QByteArray frame = frames::busReply(body + data);
        m_bus->takeSerialBlock(reinterpret_cast<const quint8*>(frame.constData()),
                               quint16(frame.size()));
    }
    void timerReply(int module = kModule, quint8 status = 1) {
        reply(module, 0x84, 0x03, status, kTimerData);
    }
    int requests() const { return int(m_probe->log.count(QStringLiteral("Send ：X"))); }
    void startTimers() {
        m_engine->start(SequenceKind::ReadTimers, m_timers, [] { return SequenceTarget{kModule}; });
    }

    std::unique_ptr<QTemporaryDir> m_dir;
    PlainLinkSettings m_settings;
    FakeProcessing m_dialog;
    std::unique_ptr<Bus> m_bus;
    std::unique_ptr<LinkProbe> m_probe;
    std::unique_ptr<SequenceEngine> m_engine;
    std::optional<SequenceResult> m_result;
    RecordTable m_timers{QStringLiteral("Timer Records")};
    RecordTable m_monitor{QStringLiteral("Monitor Bind Records")};
};

void TestSequenceEngine::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    const QString file = m_dir->filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    m_timers.open(file);
    m_monitor.open(file);
    m_dialog.visible = false;
    m_bus = std::make_unique<Bus>(m_settings);
    m_probe = std::make_unique<LinkProbe>(*m_bus);
    m_engine = std::make_unique<SequenceEngine>(*m_bus);
    m_engine->setOwner(&m_dialog);
    m_engine->setPauseMs(0);
    m_result.reset();
    connect(m_engine.get(), &SequenceEngine::ended, this,
            [this](const SequenceResult& r) { m_result = r; });
}

void TestSequenceEngine::cleanup() {
    m_engine.reset();
    m_probe.reset();
    m_bus.reset();
    m_timers.close();
    m_monitor.close();
    m_dir.reset();
}

void TestSequenceEngine::readsOverwriteRowsInOrderThenEnd() {
    for (int i = 0; i < 2; ++i) {
        m_timers.append();
        m_timers.setField(kOrder, 100 + i);
        m_timers.setField(kMode, QStringLiteral("old"));
        m_timers.post();
    }
    m_timers.last(); // the sequence must not care where the cursor stood
    startTimers();
    QVERIFY(m_engine->running(SequenceKind::ReadTimers));
    QVERIFY(m_dialog.visible);
    QCOMPARE(requests(), 1);
    for (int i = 0; i < 32; ++i)
        timerReply();

    // Two rows overwritten from the first, thirty more appended past the end.
    const QStringList rows = probe::tableRows(m_timers);
    QCOMPARE(rows.size(), 32);
    QCOMPARE(rows.first(), QStringLiteral("1|2014-02-24 12:34:56 Monday|Once"));
    QCOMPARE(rows.last(), QStringLiteral("32|2014-02-24 12:34:56 Monday|Once"));
    QCOMPARE(requests(), 32);
    QVERIFY(m_result && m_result->end == SequenceEnd::Finished);
    QCOMPARE(m_result->rows, 32);
    QCOMPARE(m_result->step, 32);
    QVERIFY(m_probe->messages.isEmpty()); // the window, not the engine, says "Finished！"
    QVERIFY(!m_dialog.visible);
    QVERIFY(!m_bus->sequenceRunning());
    QCOMPARE(m_engine->position(SequenceKind::ReadTimers), 0);
}

void TestSequenceEngine::endsAsAValue_data() {
    QTest::addColumn<QString>("what");
    QTest::addColumn<int>("end"); // -1: still running
    QTest::addColumn<int>("status");
    QTest::newRow("watchdog") << "watchdog" << int(SequenceEnd::TimedOut) << 0;
    QTest::newRow("Cancel") << "cancel" << int(SequenceEnd::Cancelled) << 0;
    QTest::newRow("error reply of the module asked") << "refused" << int(SequenceEnd::Refused) << 5;
    // Whatever does not answer the outstanding step changes nothing.
    QTest::newRow("error reply of another module") << "stranger's error" << -1 << 0;
    QTest::newRow("error reply to another command") << "other command's error" << -1 << 0;
    QTest::newRow("another module's record") << "stranger's record" << -1 << 0;
    QTest::newRow("another command's success") << "other command" << -1 << 0;
}

void TestSequenceEngine::endsAsAValue() {
    QFETCH(QString, what);
    QFETCH(int, end);
    QFETCH(int, status);
    startTimers();
    timerReply(); // timer 1 stored, timer 2 asked for
    const QStringList rows = probe::tableRows(m_timers);
    if (what == "watchdog")
        m_engine->watchdogExpired();
    else if (what == "cancel")
        m_engine->cancel();
    else if (what == "refused")
        timerReply(kModule, 5);
    else if (what == "stranger's error")
        timerReply(kModule + 1, 5);
    else if (what == "other command's error")
        reply(kModule, 0x84, 0x01, 5, {});
    else if (what == "stranger's record")
        timerReply(kModule + 1);
    else
        reply(kModule, 0x84, 0x01, 1, bytesOf("00 30 12 24 01 02 14"));

    QCOMPARE(probe::tableRows(m_timers), rows);
    if (end < 0) {
        QVERIFY(!m_result);
        QVERIFY(m_engine->running());
        QVERIFY(m_dialog.visible);
        QCOMPARE(m_engine->position(SequenceKind::ReadTimers), 1);
        timerReply(); // the awaited answer still counts
        QCOMPARE(probe::tableRows(m_timers).size(), 2);
        return;
    }
    QVERIFY(m_result);
    QCOMPARE(int(m_result->end), end);
    QCOMPARE(int(m_result->status), status);
    QCOMPARE(m_result->step, 2);
    QCOMPARE(m_result->rows, 1);
    QVERIFY(!m_engine->running());
    QVERIFY(!m_dialog.visible);
    QCOMPARE(m_engine->position(SequenceKind::ReadTimers), 0);
    // A late answer after the end writes nothing; the next run starts afresh on the first row.
    timerReply();
    QCOMPARE(probe::tableRows(m_timers), rows);
    startTimers();
    QCOMPARE(m_timers.currentRow(), 0);
    QVERIFY(m_dialog.visible);
}

void TestSequenceEngine::slotSequenceSkipsMissingSlots() {
    // Slots 70..72 have lost their rows.
    for (int order : {70, 71, 72}) {
        QVERIFY(m_monitor.locate(QStringLiteral("Order"), order));
        m_monitor.deleteCurrent();
    }
    SequenceTarget curtains;
    curtains.deviceType = QStringLiteral("Curtain"); // slots 65..96
    m_engine->start(SequenceKind::ReadMonitorSlots, m_monitor, [curtains] { return curtains; });
    // A module's answer with the same bytes is not the bus switch's.
    reply(5, 0x80, 0x10, 1, bytesOf("09 00"));
    QCOMPARE(m_engine->position(SequenceKind::ReadMonitorSlots), 65);
    while (m_engine->running()) {
        QCOMPARE(m_monitor.fieldInt(QStringLiteral("Order")), m_engine->position(SequenceKind::ReadMonitorSlots));
        reply(0xFF, 0x80, 0x10, 1, bytesOf("09 00"));
    }
    QCOMPARE(requests(), 32 - 3);
    QVERIFY(m_result && m_result->end == SequenceEnd::Finished);
    QCOMPARE(m_result->rows, 29);
    QCOMPARE(m_monitor.rowCount(), schema::monitorSlotCount - 3);
    QVERIFY(m_monitor.locate(QStringLiteral("Order"), 65));
    QCOMPARE(m_monitor.fieldInt(QStringLiteral("Address")), 9);
    QCOMPARE(m_engine->position(SequenceKind::ReadMonitorSlots), 0);
}

void TestSequenceEngine::acknowledgement_data() {
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("answers"); // what the acknowledgement of module 6 answers
    QTest::addColumn<bool>("late");
    QTest::newRow("Set answered") << "set" << int(Awaiting::Set) << false;
    QTest::newRow("answer without a Set") << "stray" << int(Awaiting::None) << false;
    QTest::newRow("second answer to one Set") << "twice" << int(Awaiting::None) << false;
    QTest::newRow("answer after the Set's wait") << "late" << int(Awaiting::Set) << true;
    QTest::newRow("Set to every module") << "any" << int(Awaiting::Set) << false;
    QTest::newRow("next request of the pair") << "next" << int(Awaiting::None) << false;
    QTest::newRow("a job started") << "job" << int(Awaiting::None) << false;
    QTest::newRow("Cancel") << "cancel" << int(Awaiting::None) << false;
}

void TestSequenceEngine::acknowledgement() {
    QFETCH(QString, story);
    QFETCH(int, answers);
    QFETCH(bool, late);
    ReplyOwnership owner;
    const int key = ReplyOwnership::key(0x84, 0x02);
    const quint64 ticket = owner.expectSet(key, story == "any" ? 0xFF : kModule);
    // Another module's answer with the same bytes neither records nor ends the Set.
    if (story != "any")
        QVERIFY(!owner.wouldAnswer(key, kModule + 1));
    if (story == "stray")
        owner.endAll();
    else if (story == "twice")
        owner.answer(key, kModule);
    else if (story == "late")
        QVERIFY(owner.endWait(ticket));
    else if (story == "next")
        owner.endPair(key);
    else if (story == "job")
        owner.setJob(QStringLiteral("Scan Subnet")), owner.setJob(QString());
    else if (story == "cancel")
        owner.endAll();
    bool wasLate = false;
    QCOMPARE(int(owner.answer(key, kModule, &wasLate)), answers);
    QCOMPARE(wasLate, late);
}

// Unanswered, a step ends the sequence 5000 ms after the last answered one (never early), with
// "Timeout！" for the window's box and the dialog hidden.
void TestSequenceEngine::watchdogWaitsFiveSecondsAfterEachAnswer() {
    QStringList messages;
    connect(m_engine.get(), &SequenceEngine::message, this,
            [&messages](const QString& text) { messages << text; });
    startTimers();
    QTest::qWait(1500);
    QElapsedTimer clock;
    clock.start();
    timerReply(); // the count starts anew
    QTRY_VERIFY_WITH_TIMEOUT(m_result.has_value(), 15000);
    QVERIFY2(clock.elapsed() >= 4900, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(int(m_result->end), int(SequenceEnd::TimedOut));
    QCOMPARE(messages, QStringList{QStringLiteral("Timeout！")});
    QVERIFY(!m_dialog.visible);
    QVERIFY(!m_bus->sequenceRunning());
}

QTEST_MAIN(TestSequenceEngine)
#include "test_sequence_engine.moc"
