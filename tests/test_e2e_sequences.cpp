// End to end: the read-all and delete-all sequences of the timer tab against velm-sim, over
// loopback UDP (one nested chain of exchanges) and over the simulator's pseudo-terminal (one
// reply at a time), with the watchdog, Cancel and an error status ending them early.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "link/bus.h"
#include "link/bus_internals.h"
#include "protocol/sequence_engine.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/record_files.h"
#include "support/sim_process.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
constexpr int kTimerModule = 6; // the simulator's default timer module
// A whole timer sequence on the pty is 32 x (pause + block quiet): about 7 s. Generous.
constexpr int kSequenceMs = 30000;
constexpr int kWatchdogMs = 5000;
const QString kFinished = QStringLiteral("Finished！");
} // namespace

class TestE2eSequences : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readAllTimers_data() { links(); }
    void readAllTimers();
    void readAllTimersKeepsRowsPastTheLast_data() { links(); }
    void readAllTimersKeepsRowsPastTheLast();
    void deleteAllTimers_data() { links(); }
    void deleteAllTimers();
    void watchdogEndsSequence_data() { links(); }
    void watchdogEndsSequence();
    void cancelEndsSequence_data() { links(); }
    void cancelEndsSequence();
    void errorStatusEndsSequence_data() { links(); }
    void errorStatusEndsSequence();
    void readAllEventsOfOneTimer_data() { links(); }
    void readAllEventsOfOneTimer();
    void slowStepStillCounts_data() { links(); }
    void slowStepStillCounts();
    void setAnsweredLateOrNever_data();
    void setAnsweredLateOrNever();
    void readAllAfterTheCli_data();
    void readAllAfterTheCli();

private:
    static void links();
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& name) { find<QPushButton>(name)->click(); }
    QStringList rows(RecordStore::Table which) const;
    int orderAt(int row) const;
    void waitFinished();
    void setTimer3();
    void fillTimer3();
    QString linkState() const { return find<QLabel>(QStringLiteral("LinkStatePanel"))->text(); }
    bool processing() const { return m_env->window->sequences().keepGoing(); }

    std::unique_ptr<WindowFixture> m_env;
};

void TestE2eSequences::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eSequences::init() {
    QFETCH(bool, serial);
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->open(serial), qPrintable(m_env->error));
    find<QSpinBox>(QStringLiteral("SpinEdit30"))->setValue(kTimerModule);
}

void TestE2eSequences::cleanup() {
    m_env.reset();
}

QStringList TestE2eSequences::rows(RecordStore::Table which) const {
    return probe::tableRows(m_env->window->records().table(which));
}

int TestE2eSequences::orderAt(int row) const {
    return m_env->window->records().timers().valueAt(row, 0).toInt();
}

void TestE2eSequences::waitFinished() {
    QTRY_VERIFY_WITH_TIMEOUT(m_env->prompts.messages.contains(kFinished), kSequenceMs);
    QCOMPARE(m_env->prompts.messages, QStringList{kFinished});
    QVERIFY(!processing());
    QVERIFY(!m_env->window->sequences().running());
}

void TestE2eSequences::fillTimer3() {
    find<QSpinBox>(QStringLiteral("SpinEdit31"))->setValue(3);
    find<QComboBox>(QStringLiteral("ComboBox14"))->setCurrentIndex(4);
    find<QDateEdit>(QStringLiteral("DateTimePicker1"))->setDate(QDate(2014, 2, 24));
    find<QLineEdit>(QStringLiteral("MaskEdit1"))->setText(QStringLiteral("06:30:00"));
}

// Timer 3, "Week(repeat)", 2014-02-24 06:30:00, set on the module and acknowledged.
void TestE2eSequences::setTimer3() {
    fillTimer3();
    click(QStringLiteral("Button49"));
    QTRY_COMPARE_WITH_TIMEOUT(rows(RecordStore::Timers).size(), 1, kWatchdogMs);
}

void TestE2eSequences::readAllTimers() {
    setTimer3();
    click(QStringLiteral("Button44"));
    waitFinished();
    const QStringList got = rows(RecordStore::Timers);
    QCOMPARE(got.size(), 32);
    for (int i = 0; i < 32; ++i)
        QCOMPARE(orderAt(i), i + 1);
    QCOMPARE(got.at(0), QStringLiteral("1|------|invalid"));
    QCOMPARE(got.at(2), QStringLiteral("3|2014-02-24 06:30:00 Monday|Week(repeat)"));
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadTimers), 0);
}

void TestE2eSequences::readAllTimersKeepsRowsPastTheLast() {
    RecordTable& t = m_env->window->records().timers();
    for (int i = 0; i < 40; ++i) {
        t.append();
        t.setField(QStringLiteral("Timer_Order"), 100 + i);
        t.setField(QStringLiteral("Time"), QStringLiteral("kept"));
        t.post();
    }
    t.last(); // the sequence starts from the first row wherever the cursor stood
    click(QStringLiteral("Button44"));
    waitFinished();
    QCOMPARE(t.rowCount(), 40);
    for (int i = 0; i < 32; ++i)
        QCOMPARE(orderAt(i), i + 1);
    for (int i = 32; i < 40; ++i) {
        QCOMPARE(orderAt(i), 100 + i);
        QCOMPARE(t.valueAt(i, 1).toString(), QStringLiteral("kept"));
    }
}

void TestE2eSequences::deleteAllTimers() {
    setTimer3();
    QCOMPARE(SimProcess::module(m_env->sim.dump(), kTimerModule)["timers"].toArray().size(), 1);
    click(QStringLiteral("Button47"));
    waitFinished();
    const QStringList got = rows(RecordStore::Timers);
    QCOMPARE(got.size(), 32);
    for (int i = 0; i < 32; ++i)
        QCOMPARE(got.at(i), QStringLiteral("%1|------|Invalid").arg(i + 1));
    QCOMPARE(SimProcess::module(m_env->sim.dump(), kTimerModule)["timers"].toArray().size(), 0);
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteTimers), false);
}

void TestE2eSequences::watchdogEndsSequence() {
    QCOMPARE(m_env->sim.command(QStringLiteral("drop 1")), QStringLiteral("ok"));
    click(QStringLiteral("Button44"));
    QTRY_VERIFY_WITH_TIMEOUT(m_env->prompts.messages.contains(QStringLiteral("Timeout！")),
                             kWatchdogMs * 3);
    QCOMPARE(m_env->prompts.messages, QStringList{QStringLiteral("Timeout！")});
    QVERIFY(!processing());
    QVERIFY(rows(RecordStore::Timers).isEmpty());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadTimers), 0);

    // The next click is a new sequence from timer 1.
    m_env->prompts.messages.clear();
    click(QStringLiteral("Button44"));
    waitFinished();
    QCOMPARE(rows(RecordStore::Timers).size(), 32);
    QCOMPARE(orderAt(0), 1);
}

void TestE2eSequences::cancelEndsSequence() {
    TForm2& dialog = m_env->window->processingDialog();
    // In network mode the click runs the whole chain; Cancel comes during one of its pauses.
    QTimer::singleShot(600, &dialog, [&dialog] {
        dialog.findChild<QPushButton*>(QStringLiteral("Button1"))->click();
    });
    click(QStringLiteral("Button44"));
    QTRY_VERIFY_WITH_TIMEOUT(!processing(), kSequenceMs);
    const int written = int(rows(RecordStore::Timers).size());
    QVERIFY2(written >= 1 && written < 32, qPrintable(QString::number(written)));
    // A reply still on its way is dropped: nothing more is written or sent.
    QTest::qWait(800);
    QCOMPARE(int(rows(RecordStore::Timers).size()), written);
    QVERIFY(m_env->prompts.messages.isEmpty());
    QVERIFY(!m_env->window->sequences().running());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadTimers), 0);
    // The state area says how far it came and which rows were not read.
    QVERIFY2(linkState().contains(
                 QStringLiteral("Read of timers cancelled after %1 of 32: timers %2–32 not read")
                     .arg(written)
                     .arg(written + 1)),
             qPrintable(linkState()));
}

void TestE2eSequences::errorStatusEndsSequence() {
    QCOMPARE(m_env->sim.command(QStringLiteral("error 4")), QStringLiteral("ok"));
    click(QStringLiteral("Button47"));
    QTRY_VERIFY_WITH_TIMEOUT(!processing(), kWatchdogMs);
    QTest::qWait(500);
    QVERIFY(rows(RecordStore::Timers).isEmpty());
    QVERIFY(m_env->prompts.messages.isEmpty());
    QVERIFY(!m_env->window->sequences().running());
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteTimers), false);
    // Who refused what, and what was left undone.
    QVERIFY2(linkState().contains(QRegularExpression(
                 QStringLiteral("Module \\d+ refused .+: Memory Error! Delete of timers refused "
                                "after 0 of 32: timers 1–32 not deleted."))),
             qPrintable(linkState()));
}

void TestE2eSequences::readAllEventsOfOneTimer() {
    find<QSpinBox>(QStringLiteral("SpinEdit36"))->setValue(3);
    find<QSpinBox>(QStringLiteral("SpinEdit32"))->setValue(2);
    find<QSpinBox>(QStringLiteral("SpinEdit33"))->setValue(5);
    find<QSpinBox>(QStringLiteral("SpinEdit34"))->setValue(4);
    find<QComboBox>(QStringLiteral("ComboBox17"))->setCurrentIndex(1); // "Light Off"
    click(QStringLiteral("Button54"));
    QTRY_COMPARE_WITH_TIMEOUT(rows(RecordStore::Events).size(), 1, kWatchdogMs);

    find<QComboBox>(QStringLiteral("ComboBox18"))->setCurrentIndex(3);
    click(QStringLiteral("Button45"));
    waitFinished();
    const QStringList got = rows(RecordStore::Events);
    QCOMPARE(got.size(), 16);
    QCOMPARE(got.at(0), QStringLiteral("3|1|255|255|255|Invalid"));
    QCOMPARE(got.at(1), QStringLiteral("3|2|5|4|0|Light Off"));
    QCOMPARE(got.at(15), QStringLiteral("3|16|255|255|255|Invalid"));
}

// A step answered after the reply wait but within the watchdog still makes its row: the
// sequence goes on from it, with no "Timeout！" and nothing read twice.
void TestE2eSequences::slowStepStillCounts() {
    QCOMPARE(m_env->sim.command(QStringLiteral("delay 1300")), QStringLiteral("ok"));
    click(QStringLiteral("Button44"));
    QTRY_COMPARE_WITH_TIMEOUT(rows(RecordStore::Timers).size(), 1, kWatchdogMs);
    QCOMPARE(m_env->sim.command(QStringLiteral("delay 0")), QStringLiteral("ok"));
    waitFinished();
    QCOMPARE(rows(RecordStore::Timers).size(), 32);
    QCOMPARE(orderAt(31), 32);
}

void TestE2eSequences::setAnsweredLateOrNever_data() {
    QTest::addColumn<bool>("serial");
    QTest::addColumn<bool>("late");
    for (const bool serial : {false, true}) {
        const char* link = serial ? "pty" : "udp";
        QTest::addRow("%s, answered after 1300 ms", link) << serial << true;
        QTest::addRow("%s, never answered", link) << serial << false;
    }
}

// A module that takes a Set but answers after the 1000 ms wait has changed: its late answer
// records the row, and the link area says what happened until the next Set's outcome.
void TestE2eSequences::setAnsweredLateOrNever() {
    QFETCH(bool, late);
    const QString waiting =
        QStringLiteral("Module 6 did not answer within 1000 ms: nothing recorded yet.");
    const QString recorded = QStringLiteral("Module 6 answered after the wait: recorded.");
    QCOMPARE(m_env->sim.command(late ? QStringLiteral("delay 1300") : QStringLiteral("drop 1")),
             QStringLiteral("ok"));
    fillTimer3();
    click(QStringLiteral("Button49"));
    QTRY_VERIFY_WITH_TIMEOUT(linkState().contains(waiting), 3000);
    QVERIFY(rows(RecordStore::Timers).isEmpty());
    if (late) {
        QTRY_VERIFY_WITH_TIMEOUT(linkState().contains(recorded), 3000);
        const QStringList got = rows(RecordStore::Timers);
        QCOMPARE(got.size(), 1);
        QVERIFY2(got.at(0).startsWith("3|") && got.at(0).endsWith("|Week(repeat)"),
                 qPrintable(got.at(0)));
        QVERIFY(!linkState().contains(waiting));
    } else {
        QTest::qWait(800);
        QVERIFY(rows(RecordStore::Timers).isEmpty());
        QVERIFY(linkState().contains(waiting));
    }
    // Other requests leave the outcome standing.
    click(QStringLiteral("Button42"));
    QVERIFY(linkState().contains(late ? recorded : waiting));
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestE2eSequences::readAllAfterTheCli_data() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
}

// velm-cli reads the timers into the window's file; the window's own read-all then starts
// from the file's first row, so the file holds the 32 timers once, and the grid shows them.
void TestE2eSequences::readAllAfterTheCli() {
    QProcess cli;
    cli.start(buildpaths::bin("velm-cli"),
              {"--udp", QStringLiteral("127.0.0.1:%1").arg(m_env->sim.udpPort()), "--db",
               m_env->databaseFile(), "timers", "read", QString::number(kTimerModule)});
    QVERIFY(cli.waitForFinished(kSequenceMs));
    QCOMPARE(cli.exitCode(), 0);
    click(QStringLiteral("Button44"));
    waitFinished();
    QCOMPARE(rows(RecordStore::Timers).size(), 32);
    QCOMPARE(orderAt(0), 1);
    QCOMPARE(record_files::query(m_env->databaseFile(), "SELECT count(*) FROM \"Timer Records\"")
                 .toInt(),
             32);
}

QTEST_MAIN(TestE2eSequences)
#include "test_e2e_sequences.moc"
