// The record file under faults, through the real window: a run killed mid-sequence, bad
// files, a read-only file or folder, another program holding the file, and a row that cannot
// be written while a reply is handled.
#include "app/main_window.h"
#include "link/bus.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/file_lock_holder.h"
#include "support/read_only_mounts.h"
#include "support/record_files.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QFile>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <unistd.h>

#include <cstring>
#include <memory>

namespace {

constexpr int kTimerModule = 6; // the simulator's default timer module
constexpr const char* kCrashChild = "--crash-child";
const QString kFinished = QStringLiteral("Finished！");

const QStringList kAllMissing = {
    "Can not find Scene Records database", "Can not find IR Records database",
    "Can not find Timer Records database", "Can not find Event Records database",
    "Can not find Bind Records database",  "Can not find Monitor Bind Records database"};

// Network mode against the simulator on loopback, timer tab on the timer module.
void useSimulator(TForm1& window, quint16 simPort) {
    probe::control<QLineEdit>(&window, "Edit4")->setText(QStringLiteral("127.0.0.1"));
    probe::control<QLineEdit>(&window, "Edit5")->setText(QString::number(simPort));
    probe::control<QLineEdit>(&window, "Edit6")
        ->setText(QString::number(SimProcess::freeUdpPort()));
    probe::control<QRadioButton>(&window, "RadioButton1")->setChecked(true);
    probe::control<QPushButton>(&window, "Button32")->click();
    probe::control<QSpinBox>(&window, "SpinEdit30")->setValue(kTimerModule);
}

void say(const char* line) {
    // Unbuffered: whatever was said before a kill must reach the test.
    const ssize_t written = ::write(STDOUT_FILENO, line, std::strlen(line));
    (void)written;
}

// The child of the crash test: "Read All Timers" against the simulator, saying "reply" when a
// reply arrives (its row is written next) and "send" for every request (so the row of the
// reply before it has been posted).
int crashChild(int argc, char** argv) {
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    ScriptedPrompts prompts;
    TForm1 window(prompts, QString::fromLocal8Bit(argv[2]) + QStringLiteral("/VELM.mdb"));
    if (!prompts.messages.isEmpty())
        return 2;
    useSimulator(window, quint16(QString::fromLatin1(argv[3]).toUInt()));
    QObject::connect(&window.bus(), &Bus::logLine, [](const QString& line) {
        if (line.startsWith(QLatin1String("Read")))
            say("reply\n");
        else if (line.startsWith(QLatin1String("Send")))
            say("send\n");
    });
    probe::control<QPushButton>(&window, "Button44")->click();
    QElapsedTimer clock;
    clock.start();
    while (!prompts.messages.contains(kFinished) && clock.elapsed() < 30000)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
    say("finished\n");
    return 0;
}

QString missingActionColumn() {
    return QStringLiteral(R"(ALTER TABLE "Event Records" DROP COLUMN "Action")");
}

} // namespace

class TestE2eRecordFaults : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void killedMidSequenceKeepsEveryPostedRow_data();
    void killedMidSequenceKeepsEveryPostedRow();
    void badFiles_data();
    void badFiles();
    void rowLostInAReplySaysWhy();

private:
    QString makeDatabase(const QTemporaryDir& dir);
    SimProcess m_sim;
};

void TestE2eRecordFaults::initTestCase() {
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
}

QString TestE2eRecordFaults::makeDatabase(const QTemporaryDir& dir) {
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    // Three monitor slots bound, so that clearing them is a real change.
    record_files::query(file, R"(UPDATE "Monitor Bind Records" SET "Address" = 5
                                 WHERE "Order" <= 3)");
    return file;
}

// The tool is killed (SIGKILL) at several moments of a read-all sequence: right after a reply
// arrived (inside the row's commit), a little later, or in the pause before the next request.
void TestE2eRecordFaults::killedMidSequenceKeepsEveryPostedRow_data() {
    QTest::addColumn<int>("reply");
    QTest::addColumn<int>("delayMs");
    QTest::newRow("at the first reply") << 1 << 0;
    QTest::newRow("5 ms after reply 6") << 6 << 5;
    QTest::newRow("15 ms after reply 13") << 13 << 15;
    QTest::newRow("in the pause after reply 21") << 21 << 60;
}

void TestE2eRecordFaults::killedMidSequenceKeepsEveryPostedRow() {
    QFETCH(int, reply);
    QFETCH(int, delayMs);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);

    QProcess child;
    child.start(QCoreApplication::applicationFilePath(),
                {QLatin1StringView(kCrashChild), dir.path(), QString::number(m_sim.udpPort())});
    int replies = 0, posted = 0;
    bool finished = false, waitingPost = false;
    auto take = [&](const QByteArray& line) {
        if (line == "reply\n") {
            ++replies;
            waitingPost = true;
        } else if (line == "send\n" && waitingPost) {
            ++posted;
            waitingPost = false;
        } else if (line == "finished\n") {
            finished = true;
        }
    };
    QElapsedTimer clock;
    clock.start();
    while (replies < reply && !finished && clock.elapsed() < 60000) {
        if (!child.canReadLine() && !child.waitForReadyRead(1000))
            QVERIFY2(child.state() == QProcess::Running, "the child ended before the kill");
        while (replies < reply && child.canReadLine())
            take(child.readLine());
    }
    QCOMPARE(replies, reply);
    if (delayMs > 0)
        QThread::msleep(delayMs);
    child.kill();
    QVERIFY(child.waitForFinished(10000));
    while (child.canReadLine()) // what it said before it died
        take(child.readLine());
    QVERIFY2(!finished, "the sequence ended before the kill");

    // Nothing beside the file but, when the kill cut a commit short, its journal.
    const QStringList side = record_files::sideFiles(file);
    QVERIFY2(side.isEmpty() || side == QStringList{"-journal"}, qPrintable(side.join(' ')));
    const QString count = QStringLiteral(R"(SELECT COUNT(*) FROM "Timer Records")");
    const QString orders = QStringLiteral(
        R"(SELECT group_concat("Timer_Order") FROM (SELECT "Timer_Order" FROM "Timer Records"
           ORDER BY "id"))");
    // A copy of the file alone, as a technician would make it, holds every posted row (and the
    // row being posted at the kill, or not), each whole and in order. With a journal beside it
    // the file may hold half a commit; the next open rolls that back first.
    int rows = -1;
    if (side.isEmpty()) {
        QCOMPARE(record_files::queryCopyAlone(file, "PRAGMA integrity_check").toString(), "ok");
        rows = record_files::queryCopyAlone(file, count).toInt();
    }
    QCOMPARE(record_files::query(file, "PRAGMA integrity_check").toString(), QStringLiteral("ok"));
    if (rows < 0)
        rows = record_files::queryCopyAlone(file, count).toInt();
    QCOMPARE(record_files::query(file, count).toInt(), rows);
    QVERIFY2(
        rows >= posted && rows <= replies,
        qPrintable(
            QStringLiteral("%1 rows, %2 posted, %3 replies").arg(rows).arg(posted).arg(replies)));
    QStringList expected;
    for (int i = 1; i <= rows; ++i)
        expected << QString::number(i);
    QCOMPARE(record_files::queryCopyAlone(file, orders).toString(), expected.join(','));
    // A commit cut short before it touched the file leaves a journal without its header,
    // which SQLite ignores; the next commit takes it away.
    RecordTable timers(QStringLiteral("Timer Records"));
    timers.open(file);
    timers.append();
    timers.setField(QStringLiteral("Timer_Order"), 99);
    timers.post();
    timers.close();
    QCOMPARE(record_files::sideFiles(file), QStringList());
    QCOMPARE(record_files::queryCopyAlone(file, count).toInt(), rows + 1);
}

// Each bad file: what the window shows at start-up (message, and the cause as its detail),
// what a write says, that the file's bytes stay as they were, that nothing is left beside it,
// and, where the file is sound, that a later run may write again.
void TestE2eRecordFaults::badFiles_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QStringList>("messages");
    QTest::addColumn<QString>("cause");      // in every start-up detail
    QTest::addColumn<QString>("write");      // the grid's "Delete All" that is tried
    QTest::addColumn<QString>("writeCause"); // in the message it gives
    const QString notDb = "VELM.mdb is not a record database";
    const QString noTable = "VELM.mdb has no table";
    const QString held = "another program holds";
    QTest::newRow("text file") << "text" << kAllMissing << notDb << "DeleteAll4" << notDb;
    QTest::newRow("zero bytes") << "empty" << kAllMissing << noTable << "DeleteAll4" << noTable;
    QTest::newRow("SQLite without tables")
        << "no tables" << kAllMissing << noTable << "DeleteAll4" << noTable;
    QTest::newRow("a table missing a column")
        << "no column" << QStringList{"Can not find Event Records database"}
        << "has no column Action"
        << "DeleteAll4"
        << "has no column Action";
    QTest::newRow("read-only file") << "read-only file" << QStringList() << QString() << "MenuItem2"
                                    << "VELM.mdb is read-only";
    QTest::newRow("read-only folder")
        << "read-only folder" << QStringList() << QString() << "MenuItem2"
        << "the folder of";
    QTest::newRow("held while another program writes")
        << "reserved" << QStringList() << QString() << "MenuItem2" << held;
    QTest::newRow("held while another program commits")
        << "exclusive" << kAllMissing << held << "DeleteAll4" << held;
}

void TestE2eRecordFaults::badFiles() {
    QFETCH(QString, kind);
    QFETCH(QStringList, messages);
    QFETCH(QString, cause);
    QFETCH(QString, write);
    QFETCH(QString, writeCause);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    ReadOnlyMounts mounts;
    FileLockHolder holder;
    if (kind == "text" || kind == "empty") {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kind == "text" ? "Scene No.;Scene Name\r\n1;Living room\r\n" : "");
    } else if (kind == "no tables") {
        QVERIFY(record_files::query(file, "PRAGMA user_version = 7").isNull());
        QVERIFY(QFile::exists(file));
    } else {
        makeDatabase(dir);
        if (kind == "no column")
            record_files::query(file, missingActionColumn());
    }
    const bool sound = kind.startsWith("read-only") || kind == "reserved" || kind == "exclusive";
    if (kind == "read-only file" && !mounts.readOnly(file))
        QSKIP(qPrintable(mounts.errorString()));
    if (kind == "read-only folder" && !(mounts.readOnly(dir.path()) && mounts.writable(file)))
        QSKIP(qPrintable(mounts.errorString()));
    if (kind == "reserved" || kind == "exclusive")
        QVERIFY2(holder.hold(file, kind == "reserved" ? FileLockHolder::Lock::Reserved
                                                      : FileLockHolder::Lock::Exclusive),
                 qPrintable(holder.errorString()));
    const QByteArray before = record_files::bytes(file);
    {
        ScriptedPrompts prompts;
        QElapsedTimer clock;
        clock.start();
        TForm1 window(prompts, file);
        // Six quarter-second waits at most (never five seconds each), however slow the build.
        QVERIFY2(clock.elapsed() < 10000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(prompts.messages, messages);
        for (const QString& detail : std::as_const(prompts.details))
            QVERIFY2(detail.contains(cause) && detail.contains(file), qPrintable(detail));
        const int monitorRows = window.records().monitor().rowCount();
        QCOMPARE(monitorRows, messages.contains(kAllMissing.last()) ? 0 : 224);

        prompts.clear();
        clock.start();
        probe::control<QAction>(&window, write)->trigger();
        QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY2(prompts.messages[0].contains(writeCause), qPrintable(prompts.messages[0]));
        QCOMPARE(window.records().monitor().rowCount(), monitorRows);
        if (monitorRows > 0)
            QCOMPARE(window.records().monitor().valueAt(0, 4).toInt(), 5);
    }
    QCOMPARE(record_files::bytes(file), before);
    QCOMPARE(record_files::sideFiles(file), QStringList());
    if (!sound)
        return;

    // Once the file may be written and nobody holds it, the next run writes as usual.
    mounts.release();
    holder.release();
    ScriptedPrompts prompts;
    TForm1 window(prompts, file);
    QCOMPARE(prompts.messages, QStringList());
    probe::control<QAction>(&window, "MenuItem2")->trigger();
    QCOMPARE(prompts.messages, QStringList());
    QCOMPARE(record_files::queryCopyAlone(
                 file, R"(SELECT COUNT(*) FROM "Monitor Bind Records" WHERE "Address" <> 0)")
                 .toInt(),
             0);
}

// The module takes the setting; the tool cannot write its row because another program holds
// the file. The box keeps its own text and says why as its detail, quickly.
void TestE2eRecordFaults::rowLostInAReplySaysWhy() {
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    ScriptedPrompts prompts;
    TForm1 window(prompts, file);
    useSimulator(window, m_sim.udpPort());
    QCOMPARE(prompts.messages, QStringList());
    FileLockHolder holder;
    QVERIFY2(holder.hold(file, FileLockHolder::Lock::Reserved), qPrintable(holder.errorString()));

    probe::control<QSpinBox>(&window, "SpinEdit31")->setValue(3);
    probe::control<QComboBox>(&window, "ComboBox14")->setCurrentIndex(4);
    QElapsedTimer clock;
    clock.start();
    probe::control<QPushButton>(&window, "Button49")->click();
    QTRY_COMPARE_WITH_TIMEOUT(prompts.messages.size(), 1, 5000);
    QVERIFY2(clock.elapsed() < 4000, qPrintable(QString::number(clock.elapsed())));
    QCOMPARE(prompts.messages[0], QStringLiteral("Communication Error！"));
    QVERIFY2(prompts.details[0].contains("another program holds") &&
                 prompts.details[0].contains(file),
             qPrintable(prompts.details[0]));
    QCOMPARE(window.records().timers().rowCount(), 0);

    holder.release();
    prompts.clear();
    probe::control<QPushButton>(&window, "Button49")->click();
    QTRY_COMPARE_WITH_TIMEOUT(window.records().timers().rowCount(), 1, 5000);
    QCOMPARE(prompts.messages, QStringList());
    QCOMPARE(
        record_files::queryCopyAlone(file, R"(SELECT "Timer_Order" FROM "Timer Records")").toInt(),
        3);
}

int main(int argc, char** argv) {
    if (const int rc = FileLockHolder::runChildIfAsked(argc, argv); rc >= 0)
        return rc;
    if (argc == 4 && std::strcmp(argv[1], kCrashChild) == 0)
        return crashChild(argc, argv);
    QApplication app(argc, argv);
    TestE2eRecordFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_record_faults.moc"
