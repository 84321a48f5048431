// The record file under faults, through the real window: a run killed mid-sequence, bad
// files, a read-only file or folder, another program holding the file, and a row that cannot
// be written while a reply is handled.
#include "app/main_window.h"
#include "link/bus.h"
#include "records/database_file.h"
#include "records/record_store.h"
#include "records/records_backup.h"
#include "records/records_connection.h"
#include "records/records_export.h"
#include "records/records_import.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/disk_filler.h"
#include "support/file_lock_holder.h"
#include "support/read_only_mounts.h"
#include "support/record_files.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "support/without_root_override.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDateEdit>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>

#include <sys/stat.h>
#include <unistd.h>

#include <cstring>
#include <memory>
#include <optional>

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

// The child of the commit test: commits one after the other through the tool's own
// connection. Commit N marks every row there is with Timer_Mode N and adds kRowsPerCommit rows
// of 8 KB with Timer_Order N. SQLite keeps only a few pages in memory here, so that each
// commit spills into the file early and spends most of its time with the file half-written.
// Half-way through commit N the child says "writing N".
constexpr const char* kCommitChild = "--commit-child";
constexpr int kRowsPerCommit = 300;

int commitChild(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    RecordsConnection db(QString::fromLocal8Bit(argv[2]), RecordsConnection::Mode::Write);
    QSqlQuery small = db.prepare(QStringLiteral("PRAGMA cache_size=10"));
    db.run(small);
    QSqlQuery last = db.prepare(R"(SELECT coalesce(max("Timer_Order"), 0) FROM "Timer Records")");
    db.run(last);
    const int done = last.next() ? last.value(0).toInt() : 0;
    last.finish();
    const QString text(8000, u'x');
    for (int n = done + 1;; ++n) {
        db.begin();
        QSqlQuery mark = db.prepare(R"(UPDATE "Timer Records" SET "Timer_Mode" = ?)");
        mark.bindValue(0, QString::number(n));
        db.run(mark);
        QSqlQuery insert = db.prepare(
            R"(INSERT INTO "Timer Records" ("Timer_Order", "Time", "Timer_Mode") VALUES (?, ?, ?))");
        for (int i = 0; i < kRowsPerCommit; ++i) {
            insert.bindValue(0, n);
            insert.bindValue(1, text);
            insert.bindValue(2, QString::number(n));
            db.run(insert);
            if (i == kRowsPerCommit / 2)
                say(QByteArray("writing " + QByteArray::number(n) + "\n").constData());
        }
        db.commit();
    }
}

// The first value of `sql` read through the tool's own connection for reading (an export's),
// or the message it fails with.
QString viaTool(const QString& file, const QString& sql) {
    try {
        RecordsConnection db(file, RecordsConnection::Mode::Read);
        QSqlQuery q = db.prepare(sql);
        db.run(q);
        return q.next() ? q.value(0).toString() : QStringLiteral("(no row)");
    } catch (const RecordError& e) {
        return QString::fromStdString(e.what());
    }
}

template <class F> QString errorOf(F&& work) {
    try {
        work();
    } catch (const RecordError& e) {
        return QString::fromStdString(e.what());
    }
    return QString();
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
    void fullDiskNamesTheRowNotStored_data();
    void fullDiskNamesTheRowNotStored();
    void leftoverJournal_data();
    void leftoverJournal();
    void killedCommitRollsBackFromTheJournal();
    void heldFileOneWait_data();
    void heldFileOneWait();
    void lookingAtTheFileKeepsTheWriteLock_data();
    void lookingAtTheFileKeepsTheWriteLock();
    void damageWhileAnotherProgramWrites();

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
    const QString empty = "VELM.mdb is empty: velm-initdb FILE makes a record database";
    QTest::newRow("text file") << "text" << kAllMissing << notDb << "DeleteAll4" << notDb;
    QTest::newRow("zero bytes") << "empty" << kAllMissing << empty << "DeleteAll4" << empty;
    // Where the file belongs stands something else, or nothing that may be read.
    for (const auto& [kind, why] : {std::pair{"folder", "VELM.mdb is a folder, not a"},
                                    std::pair{"FIFO", "VELM.mdb is a FIFO (named pipe), not a"},
                                    std::pair{"symlink loop", "VELM.mdb is a symbolic link loop"},
                                    std::pair{"no read permission", "permission denied"}})
        QTest::newRow(kind) << kind << kAllMissing << why << "DeleteAll4" << why;
    QTest::newRow("SQLite without tables")
        << "no tables" << kAllMissing << noTable << "DeleteAll4" << noTable;
    QTest::newRow("a table missing a column")
        << "no column" << QStringList{"Can not find Event Records database"}
        << "has no column Action"
        << "DeleteAll4"
        << "has no column Action";
    // A read-only mount: the message names the disk, the cause.
    QTest::newRow("read-only file") << "read-only file" << QStringList() << QString() << "MenuItem2"
                                    << "VELM.mdb can not be written: the disk is read-only";
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
    } else if (kind == "folder") {
        QVERIFY(QDir().mkdir(file));
    } else if (kind == "FIFO") {
        QCOMPARE(::mkfifo(QFile::encodeName(file).constData(), 0600), 0);
    } else if (kind == "symlink loop") {
        QCOMPARE(::symlink("VELM.mdb", QFile::encodeName(file).constData()), 0);
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
    std::optional<WithoutRootOverride> plain;
    if (kind == "no read permission") {
        QVERIFY(QFile::setPermissions(file, QFileDevice::WriteOwner));
        if (!plain.emplace().ok())
            QSKIP(qPrintable(plain->errorString()));
    }
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
    plain.reset();
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

// The disk has room for the restore point a read-all makes first, and none for the first
// row: the window's box and velm-cli's last line name the module and the row not stored.
void TestE2eRecordFaults::fullDiskNamesTheRowNotStored_data() {
    QTest::addColumn<bool>("window");
    QTest::newRow("window") << true;
    QTest::newRow("velm-cli") << false;
}

void TestE2eRecordFaults::fullDiskNamesTheRowNotStored() {
    QFETCH(bool, window);
    QTemporaryDir dir;
    const QString folder = dir.filePath(QStringLiteral("disk"));
    QVERIFY(QDir().mkdir(folder));
    ReadOnlyMounts mounts;
    if (!mounts.smallDisk(folder, 1024))
        QSKIP(qPrintable(mounts.errorString()));
    const QString file = QDir(folder).filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    fillDisk(folder, QFileInfo(file).size() + 4096);
    const QString expected =
        QStringLiteral("Module %1: timer 1 was not stored: ").arg(kTimerModule);
    const auto named = [&expected](const QString& text) {
        return text.contains(expected) && text.contains(QLatin1String("disk full"));
    };

    if (window) {
        ScriptedPrompts prompts;
        TForm1 form(prompts, file);
        useSimulator(form, m_sim.udpPort());
        QCOMPARE(prompts.messages, QStringList());
        probe::control<QPushButton>(&form, "Button44")->click();
        QTRY_VERIFY_WITH_TIMEOUT(!prompts.details.isEmpty(), 10000);
        QCOMPARE(prompts.messages[0], QStringLiteral("Communication Error！"));
        QVERIFY2(named(prompts.details[0]), qPrintable(prompts.details[0]));
    } else {
        QProcess cli;
        cli.start(buildpaths::bin("velm-cli"),
                  {"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim.udpPort()), "--db", file,
                   "timers", "read", QString::number(kTimerModule)});
        QVERIFY(cli.waitForFinished(60000));
        QCOMPARE(cli.exitCode(), 1);
        const QString err = QString::fromUtf8(cli.readAllStandardError());
        QVERIFY2(named(err), qPrintable(err));
    }
    QFile::remove(QDir(folder).filePath(QStringLiteral("filler")));
    QCOMPARE(record_files::queryCopyAlone(file, R"(SELECT COUNT(*) FROM "Timer Records")").toInt(),
             0);
}

// A journal that a write cut short left beside the file. When the tool may write the file, any
// open rolls it back, also those of the commands that only read (export, audit); when it may
// not, every one of them says what the file needs, and nothing changes until it gets it.
void TestE2eRecordFaults::leftoverJournal_data() {
    QTest::addColumn<QString>("kind");
    QTest::newRow("writable") << "writable";
    QTest::newRow("read-only file") << "read-only file";
    QTest::newRow("read-only folder") << "read-only folder";
}

void TestE2eRecordFaults::leftoverJournal() {
    QFETCH(QString, kind);
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    QVERIFY(record_files::leaveUnfinishedWrite(file));
    const QByteArray image = record_files::bytes(file);
    ReadOnlyMounts mounts;
    if (kind == "read-only file" && !mounts.readOnly(file))
        QSKIP(qPrintable(mounts.errorString()));
    if (kind == "read-only folder" && !(mounts.readOnly(dir.path()) && mounts.writable(file)))
        QSKIP(qPrintable(mounts.errorString()));
    const bool writable = kind == "writable";
    const QString unfinished = file + " has an unfinished write (" + file +
                               "-journal): open it once with write permission to roll it back";
    const QString count = QStringLiteral(R"(SELECT count(*) FROM "Timer Records")");

    QCOMPARE(viaTool(file, count), writable ? QStringLiteral("0") : unfinished);
    RecordTable audit(QStringLiteral("Timer Records"));
    const QString auditError = errorOf([&] { audit.open(file, RecordTable::OpenMode::ReadOnly); });
    QVERIFY2(writable ? auditError.isEmpty() : auditError.endsWith(unfinished),
             qPrintable(auditError));
    audit.close();
    if (kind == "read-only file")
        QVERIFY(errorOf([&] { records_backup::backUp(file); }).endsWith(unfinished));
    ScriptedPrompts prompts;
    TForm1(prompts, file).close();
    QCOMPARE(prompts.messages, writable ? QStringList() : kAllMissing);
    for (const QString& detail : std::as_const(prompts.details))
        QVERIFY2(detail.endsWith(unfinished), qPrintable(detail));
    if (writable) {
        QCOMPARE(record_files::sideFiles(file), QStringList());
        QCOMPARE(record_files::queryCopyAlone(file, "PRAGMA integrity_check").toString(), "ok");
        return;
    }
    QCOMPARE(record_files::bytes(file), image);
    QCOMPARE(record_files::sideFiles(file), QStringList{"-journal"});
    // As the message says: once the file may be written, the next open rolls it back.
    mounts.release();
    QCOMPARE(viaTool(file, count), QStringLiteral("0"));
    QCOMPARE(record_files::sideFiles(file), QStringList());
}

// A program committing through the tool's own connection is killed (SIGKILL) in the middle of
// a commit. The journal it leaves belongs to the file: a copy of the file alone holds half a
// commit, while the file with its journal opens through the tool's connection for reading,
// passes SQLite's integrity check and holds whole commits only; a backup made then is one
// consistent file on its own.
void TestE2eRecordFaults::killedCommitRollsBackFromTheJournal() {
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    const QString commits = QStringLiteral(
        R"(SELECT count(*) || ' rows, ' || count(DISTINCT "Timer_Order") || ' commits, the last '
                  || max("Timer_Order") || ', marked ' || group_concat(DISTINCT "Timer_Mode")
           FROM "Timer Records")");
    // The journal undoes a commit once the commit has begun to write into the file (before
    // that its header is blank and it undoes nothing).
    auto journalUndoes = [&] {
        const QByteArray journal = record_files::bytes(file + QStringLiteral("-journal"));
        return !journal.isEmpty() && journal != "(unreadable)" && journal[0] != 0;
    };
    // Killed once it says it is half-way through its third commit; should that commit end
    // before the kill lands (no journal then), the next try kills again.
    int committed = 0;
    for (int attempt = 0; attempt < 5 && !journalUndoes(); ++attempt) {
        QProcess child;
        child.start(QCoreApplication::applicationFilePath(),
                    {QLatin1StringView(kCommitChild), file});
        const int third = committed + 3;
        while (committed < third - 1) {
            QVERIFY2(child.canReadLine() || child.waitForReadyRead(60000),
                     qPrintable(QString::fromLocal8Bit(child.readAllStandardError())));
            const QByteArray line = child.readLine().trimmed();
            if (line.startsWith("writing "))
                committed = line.mid(8).toInt() - 1;
        }
        child.kill();
        QVERIFY(child.waitForFinished(10000));
    }
    QVERIFY(journalUndoes());
    const QString alone = record_files::queryCopyAlone(file, commits).toString();
    QCOMPARE(viaTool(file, "PRAGMA integrity_check"), QStringLiteral("ok"));
    const QString held = viaTool(file, commits);
    // The commit cut short is all there (it had ended in the file) or not at all.
    QStringList whole;
    for (int n : {committed, committed + 1})
        whole << QStringLiteral("%1 rows, %2 commits, the last %2, marked %2")
                     .arg(n * kRowsPerCommit)
                     .arg(n);
    QVERIFY2(whole.contains(held), qPrintable(held));
    // A copy of the file alone, made before, holds half of it: the journal belongs to the file.
    QVERIFY2(!whole.contains(alone), qPrintable(alone));
    QCOMPARE(record_files::sideFiles(file), QStringList());

    const QString backup = records_backup::backUp(file);
    QCOMPARE(record_files::queryCopyAlone(backup, "PRAGMA integrity_check").toString(), "ok");
    QCOMPARE(record_files::queryCopyAlone(backup, commits).toString(), held);
}

void TestE2eRecordFaults::heldFileOneWait_data() {
    QTest::addColumn<QString>("operation");
    QTest::addColumn<bool>("committing"); // the other program's lock: Exclusive, else Reserved
    QTest::newRow("export") << "export" << true;
    QTest::newRow("import") << "import" << false;
    QTest::newRow("backup") << "backup" << true;
}

// Another program holding the file: every operation waits as long as the README says (a
// quarter of a second; generous margins here), then names the cause.
void TestE2eRecordFaults::heldFileOneWait() {
    QFETCH(QString, operation);
    QFETCH(bool, committing);
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    const RecordsFile records =
        RecordsFile::parse(R"({"format": "velm-records", "version": 1, "tables": {}})");
    FileLockHolder holder;
    QVERIFY2(holder.hold(file, committing ? FileLockHolder::Lock::Exclusive
                                          : FileLockHolder::Lock::Reserved),
             qPrintable(holder.errorString()));
    QElapsedTimer clock;
    clock.start();
    QString error;
    try {
        if (operation == "export")
            records_export::read(file);
        else if (operation == "import")
            records_import::run(records, file, {});
        else
            records_backup::backUp(file);
    } catch (const RecordError& e) {
        error = QString::fromStdString(e.what());
    }
    const qint64 waited = clock.elapsed();
    QVERIFY2(error.contains("another program holds"), qPrintable(error));
    QVERIFY2(waited >= 200 && waited < 900, qPrintable(QString::number(waited)));
}

void TestE2eRecordFaults::lookingAtTheFileKeepsTheWriteLock_data() {
    QTest::addColumn<QString>("look");
    QTest::newRow("its kind") << "kind";
    QTest::newRow("why it can not be read") << "problem";
    QTest::newRow("all its bytes") << "bytes";
    QTest::newRow("a backup") << "backup";
}

// While this program writes the file, a look at it of any kind leaves the write lock in force:
// another program still can not write.
void TestE2eRecordFaults::lookingAtTheFileKeepsTheWriteLock() {
    QFETCH(QString, look);
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    RecordsConnection writer(file, RecordsConnection::Mode::Write);
    writer.begin();
    if (look == "kind")
        QCOMPARE(database_file::fileKind(file), database_file::FileKind::Sqlite);
    else if (look == "problem")
        QCOMPARE(database_file::readProblem(file), QString());
    else if (look == "bytes")
        QVERIFY(!database_file::readBytes(file, -1, nullptr).isEmpty());
    else
        QFile::remove(records_backup::backUp(file));
    FileLockHolder other;
    const bool took = other.hold(file, FileLockHolder::Lock::Reserved);
    other.release();
    QVERIFY2(!took, "another program took the write lock");
    QVERIFY2(other.errorString().contains("locked"), qPrintable(other.errorString()));
    QCOMPARE(writer.rollback(), QString());
}

// What one program finds in a file another program is writing is no damage of the file: it
// is named as the other program holding it; the same finding with no writer is damage.
void TestE2eRecordFaults::damageWhileAnotherProgramWrites() {
    QTemporaryDir dir;
    const QString file = makeDatabase(dir);
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.size() >= 3 * 4096);
        f.seek(2 * 4096);
        f.write(QByteArray(4096, '\x55'));
    }
    RecordTable table(QStringLiteral("Timer Records"));
    table.open(file);
    FileLockHolder other;
    QVERIFY2(other.hold(file, FileLockHolder::Lock::Reserved), qPrintable(other.errorString()));
    QVERIFY2(table.damage().contains("another program holds"), qPrintable(table.damage()));
    other.release();
    QVERIFY2(table.damage().contains("is damaged ("), qPrintable(table.damage()));
}

int main(int argc, char** argv) {
    if (const int rc = FileLockHolder::runChildIfAsked(argc, argv); rc >= 0)
        return rc;
    if (argc == 4 && std::strcmp(argv[1], kCrashChild) == 0)
        return crashChild(argc, argv);
    if (argc == 3 && std::strcmp(argv[1], kCommitChild) == 0)
        return commitChild(argc, argv);
    QApplication app(argc, argv);
    TestE2eRecordFaults test;
    QTEST_SET_MAIN_SOURCE_PATH
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_record_faults.moc"
