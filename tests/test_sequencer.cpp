// The sequence mechanism with a small stand-in family and no window: start, step, end, the
// three resets, the slot-by-slot variant with its skipped slots, and the acknowledgement rule.
#include "link/bus.h"
#include "protocol/sequencer.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "support/link_probe.h"
#include "support/window_probe.h"

#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString kOrder = QStringLiteral("Timer_Order");
const QString kMode = QStringLiteral("Timer_Mode");

// A family as the timer family is built: its index and deleting flag in the run state, its
// requests remembered instead of sent.
struct FakeFamily {
    SequenceFamily sequence;
    QList<int> requests; // the index of every request the sequence asked for
    int setRows = 0;
    int deleteSteps = 0;

    FakeFamily(const char* name, qint32& index, quint8& deleting, RecordTable& table, int limit) {
        sequence.name = name;
        sequence.index = &index;
        sequence.deleting = &deleting;
        sequence.table = &table;
        sequence.limit = [limit] { return limit; };
        sequence.pauseMs = 0;
        sequence.nextStep = [this] { requests << *sequence.index; };
    }
};
} // namespace

class TestSequencer : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readsOverwriteRowsInOrderThenEnd();
    void resetsEndEveryFamily_data();
    void resetsEndEveryFamily();
    void slotSequenceSkipsMissingSlots();
    void slotSequenceEndsWhenItsLimitGoes();
    void acknowledgement_data();
    void acknowledgement();

private:
    void addRows(RecordTable& t, int count);
    // One read reply of the family: its index becomes the row's order.
    void readReply(FakeFamily& f);

    std::unique_ptr<QTemporaryDir> m_dir;
    PlainLinkSettings m_settings;
    FakeProcessing m_dialog;
    std::unique_ptr<Bus> m_bus;
    std::unique_ptr<LinkProbe> m_probe;
    std::unique_ptr<Sequencer> m_sequencer;
    RecordTable m_timers{QStringLiteral("Timer Records")};
    RecordTable m_monitor{QStringLiteral("Monitor Bind Records")};
};

void TestSequencer::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    const QString file = m_dir->filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    m_timers.open(file);
    m_monitor.open(file);
    m_dialog.visible = false;
    m_bus = std::make_unique<Bus>(m_settings);
    m_bus->setProcessingView(&m_dialog);
    m_probe = std::make_unique<LinkProbe>(*m_bus);
    m_sequencer = std::make_unique<Sequencer>(m_bus.get());
}

void TestSequencer::cleanup() {
    m_sequencer.reset();
    m_probe.reset();
    m_bus.reset();
    m_timers.close();
    m_monitor.close();
    m_dir.reset();
}

void TestSequencer::addRows(RecordTable& t, int count) {
    for (int i = 0; i < count; ++i) {
        t.append();
        t.setField(kOrder, 100 + i);
        t.setField(kMode, QStringLiteral("old"));
        t.post();
    }
    t.last(); // the sequence must not care where the cursor stood
}

void TestSequencer::readReply(FakeFamily& f) {
    const int order = *f.sequence.index + 1;
    m_sequencer->record(f.sequence, [order](RecordTable& t) {
        t.setField(kOrder, order);
        t.setField(kMode, QStringLiteral("read"));
    });
}

void TestSequencer::readsOverwriteRowsInOrderThenEnd() {
    RunState& state = m_bus->state();
    FakeFamily timers("timers", state.TimerIndex, state.DeletingTimers, m_timers, 3);
    addRows(m_timers, 2);
    m_sequencer->start(timers.sequence);
    QVERIFY(m_sequencer->running(timers.sequence));
    QVERIFY(m_dialog.visible);
    QVERIFY(m_bus->readTimer().isActive());
    QCOMPARE(m_timers.currentRow(), 0);

    for (int i = 0; i < 4; ++i)
        readReply(timers);

    // Two rows overwritten from the first, two more appended past the end.
    QCOMPARE(probe::tableRows(m_timers), (QStringList{"1||read", "2||read", "3||read", "4||read"}));
    QCOMPARE(timers.requests, (QList<int>{1, 2, 3}));
    QCOMPARE(m_probe->messages, QStringList{"Finished！"});
    QVERIFY(!m_dialog.visible);
    QVERIFY(!m_bus->readTimer().isActive());
    QCOMPARE(state.TimerIndex, 0);
    QVERIFY(!m_sequencer->running(timers.sequence));
}

void TestSequencer::resetsEndEveryFamily_data() {
    QTest::addColumn<QString>("reset");
    QTest::newRow("watchdog") << "watchdog";
    QTest::newRow("Cancel") << "cancel";
    QTest::newRow("error reply") << "error";
}

void TestSequencer::resetsEndEveryFamily() {
    QFETCH(QString, reset);
    RunState& state = m_bus->state();
    FakeFamily timers("timers", state.TimerIndex, state.DeletingTimers, m_timers, 31);
    FakeFamily events("events", state.EventIndex, state.DeletingEvents, m_timers, 15);
    state.DeletingTimers = 1;
    m_sequencer->start(timers.sequence);
    readReply(timers);
    // A click of another family's sequence button joins the running sequence.
    m_sequencer->start(events.sequence);
    QVERIFY(m_sequencer->running(events.sequence));
    readReply(events);

    if (reset == "watchdog")
        m_bus->readTimerTimer();
    else if (reset == "cancel")
        m_bus->cancelSequence();
    else
        m_bus->errorReplyReset();

    QVERIFY(!m_sequencer->active());
    QVERIFY(!m_sequencer->running(timers.sequence));
    QVERIFY(!m_sequencer->running(events.sequence));
    QVERIFY(!m_dialog.visible);
    QCOMPARE(state.TimerIndex, 0);
    QCOMPARE(state.EventIndex, 0);
    QCOMPARE(state.DeletingTimers, quint8(0));
    QCOMPARE(m_probe->messages, reset == "watchdog" ? QStringList{"Timeout！"} : QStringList{});

    // The next click starts afresh from the first row.
    m_sequencer->start(timers.sequence);
    QCOMPARE(m_timers.currentRow(), 0);
    QCOMPARE(state.TimerIndex, 0);
    QVERIFY(m_dialog.visible);
}

void TestSequencer::slotSequenceSkipsMissingSlots() {
    RunState& state = m_bus->state();
    quint8 noDeleting = 0;
    FakeFamily monitor("monitor", state.MonitorBindIndex, noDeleting, m_monitor, 96);
    SequenceFamily& s = monitor.sequence;
    s.deleting = nullptr;
    s.firstIndex = [] { return 65; };
    s.fixedRows = true;
    s.seekRow = [this, &state] {
        return m_monitor.locate(QStringLiteral("Order"), state.MonitorBindIndex);
    };
    // Slots 70..72 have lost their rows.
    for (int order : {70, 71, 72}) {
        QVERIFY(m_monitor.locate(QStringLiteral("Order"), order));
        m_monitor.deleteCurrent();
    }
    m_monitor.first();
    // What the family's button does: seek, then send for the slot it stands on.
    s.nextStep = [&] {
        if (m_sequencer->seek(s))
            monitor.requests << state.MonitorBindIndex;
    };

    m_sequencer->start(s);
    QCOMPARE(state.MonitorBindIndex, 65);
    QCOMPARE(m_monitor.currentRow(), 0); // not moved at start
    s.nextStep();
    while (m_sequencer->running(s)) {
        QCOMPARE(m_monitor.fieldInt(QStringLiteral("Order")), state.MonitorBindIndex);
        m_sequencer->record(s, [](RecordTable& t) { t.setField(QStringLiteral("Address"), 9); });
    }

    QList<int> expected;
    for (int order = 65; order <= 96; ++order)
        if (order < 70 || order > 72)
            expected << order;
    QCOMPARE(monitor.requests, expected);
    QCOMPARE(m_monitor.rowCount(), schema::monitorSlotCount - 3);
    QCOMPARE(m_probe->messages, QStringList{"Finished！"});
    QCOMPARE(state.MonitorBindIndex, 0);
}

void TestSequencer::slotSequenceEndsWhenItsLimitGoes() {
    RunState& state = m_bus->state();
    int limit = 64;
    quint8 noDeleting = 0;
    FakeFamily monitor("monitor", state.MonitorBindIndex, noDeleting, m_monitor, 0);
    SequenceFamily& s = monitor.sequence;
    s.firstIndex = [] { return 1; };
    s.limit = [&limit] { return limit; };
    s.fixedRows = true;
    s.seekRow = [this, &state] {
        return m_monitor.locate(QStringLiteral("Order"), state.MonitorBindIndex);
    };
    m_sequencer->start(s);
    QVERIFY(m_sequencer->seek(s));
    m_sequencer->record(s, [](RecordTable&) {});
    // The device type is switched to "All", which has no slots: the next step ends it.
    limit = 0;
    m_sequencer->record(s, [](RecordTable&) {});
    QVERIFY(!m_sequencer->active());
    QCOMPARE(monitor.requests, QList<int>{2});
    QCOMPARE(m_probe->messages, QStringList{"Finished！"});
}

void TestSequencer::acknowledgement_data() {
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("setRows");
    QTest::addColumn<int>("deleteSteps");
    QTest::newRow("Set answered") << "set" << 1 << 0;
    QTest::newRow("answer without a Set") << "stray" << 0 << 0;
    QTest::newRow("second answer to one Set") << "twice" << 1 << 0;
    QTest::newRow("answer after the Set's wait") << "late set" << 0 << 0;
    QTest::newRow("delete step") << "delete" << 0 << 1;
    QTest::newRow("late delete answer after Cancel") << "late delete" << 0 << 0;
    QTest::newRow("Set answered while another family's sequence runs") << "other runs" << 1 << 0;
    QTest::newRow("Set answered while its own read-all runs") << "own read runs" << 1 << 0;
}

void TestSequencer::acknowledgement() {
    QFETCH(QString, story);
    QFETCH(int, setRows);
    QFETCH(int, deleteSteps);
    RunState& state = m_bus->state();
    FakeFamily timers("timers", state.TimerIndex, state.DeletingTimers, m_timers, 31);
    FakeFamily events("events", state.EventIndex, state.DeletingEvents, m_timers, 15);
    ReplyOwnership& owner = m_bus->ownership();
    const int key = ReplyOwnership::key(0x84, 0x02);
    // What the dispatcher does with one acknowledgement of the pair.
    auto ack = [&] {
        const Reply reply{m_bus->buffer(), false, owner.answer(key, 6, m_sequencer->active())};
        m_sequencer->acknowledge(
            timers.sequence, reply, [&] { ++timers.deleteSteps; }, [&] { ++timers.setRows; });
    };

    if (story == "set" || story == "twice") {
        owner.expectSet(key, 6, 1000);
        // Another module's answer with the same bytes neither records nor ends the Set.
        QCOMPARE(owner.answer(key, 7, false), Awaiting::None);
        ack();
        if (story == "twice")
            ack();
    } else if (story == "stray") {
        ack();
    } else if (story == "late set") {
        owner.expectSet(key, 6, 0);
        QTest::qWait(5);
        ack();
    } else if (story == "delete" || story == "late delete") {
        m_sequencer->start(timers.sequence);
        state.DeletingTimers = 1;
        owner.expectStep(key, 6);
        if (story == "late delete")
            m_bus->cancelSequence();
        ack();
    } else if (story == "other runs" || story == "own read runs") {
        addRows(m_timers, 2);
        FakeFamily& running = story == "other runs" ? events : timers;
        m_sequencer->start(running.sequence);
        readReply(running);
        owner.expectSet(key, 6, 1000);
        // The Set's row lands elsewhere in the timers' table; a timer read-all running
        // meanwhile stands where it stood.
        auto recordElsewhere = [&] {
            ++timers.setRows;
            if (&running == &timers)
                m_timers.first();
        };
        const Reply reply{m_bus->buffer(), false, owner.answer(key, 6, m_sequencer->active())};
        m_sequencer->acknowledge(
            timers.sequence, reply, [] {}, recordElsewhere);
        QCOMPARE(m_timers.currentRow(), 1);
        QVERIFY(m_sequencer->running(running.sequence));
        QCOMPARE(running.requests, QList<int>{1});
        // Its answer was used up: a second one is not recorded.
        ack();
    }
    QCOMPARE(timers.setRows, setRows);
    QCOMPARE(timers.deleteSteps, deleteSteps);
}

QTEST_MAIN(TestSequencer)
#include "test_sequencer.moc"
