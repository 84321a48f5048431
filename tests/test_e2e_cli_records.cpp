// End to end: velm-cli export, import and backup on record database files, their exit codes
// and messages, and an import while the window has the same file open.
#include "app/main_window.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/read_only_mounts.h"
#include "support/record_files.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

// (A plain literal: moc misreads a raw string with a backslash before a quote.)
const QByteArray kScenes =
    "{\"format\": \"velm-records\", \"version\": 1, \"tables\": {\n"
    "  \"Scene Records\": [{\"Scene_No\": 4, \"Information\": \"Imported, \\\"new\\\"\",\n"
    "                     \"Module_Addr\": 2}],\n"
    "  \"Monitor Bind Records\": [{\"Order\": 7, \"Address\": 5, \"Channel\": 3}]}}";

} // namespace

class TestE2eCliRecords : public QObject {
    Q_OBJECT
private slots:
    void init();
    void exportImportBackup();
    void refusals_data();
    void refusals();
    void exportSaysWhatWasWritten();
    void importWhileTheWindowRuns();
    void databaseChoice_data();
    void databaseChoice();
    void faultsNamed_data();
    void faultsNamed();

private:
    Run cli(const QStringList& args,
            const QProcessEnvironment& env = QProcessEnvironment::systemEnvironment(),
            const QString& folder = QString()) const;
    QString path(const QString& name) const { return m_dir->filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    QStringList backups() const {
        return QDir(m_dir->path()).entryList({"VELM.mdb.backup-*"}, QDir::Files);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestE2eCliRecords::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(path("VELM.mdb"));
    QVERIFY(record_files::exec(path("VELM.mdb"),
                               "INSERT INTO \"Timer Records\" (Timer_Order, Time, Timer_Mode) "
                               "VALUES (3, '2014-02-24 06:30:00 Monday', 'Week(repeat)')"));
}

Run TestE2eCliRecords::cli(const QStringList& args, const QProcessEnvironment& env,
                           const QString& folder) const {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(args);
    p.setProcessEnvironment(env);
    p.setWorkingDirectory(folder.isEmpty() ? m_dir->path() : folder);
    p.start();
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestE2eCliRecords::exportImportBackup() {
    // The database is ./VELM.mdb unless --db says otherwise; no link is needed.
    const Run exported = cli({"export", "all.json", "--csv", "sheets"});
    QCOMPARE(exported.exitCode, 0);
    QCOMPARE(exported.out, QStringLiteral("exported 225 rows of 6 tables to all.json, and 6 "
                                          "CSV files to sheets\n"));
    QVERIFY(QFile::exists(path("sheets/Timer Records.csv")));

    schema::createDatabase(path("other.mdb"));
    const Run imported = cli({"--db", "other.mdb", "--json", "import", "all.json"});
    QCOMPARE(imported.exitCode, 0);
    const QJsonObject result = QJsonDocument::fromJson(imported.out.toUtf8()).object();
    QVERIFY(QFile::exists(result["backup"].toString()));
    QVERIFY(result["backup"].toString().contains(QStringLiteral("other.mdb.backup-")));
    const QJsonObject timers = result["tables"].toArray()[2].toObject();
    QCOMPARE(timers["table"].toString(), QStringLiteral("Timer Records"));
    QCOMPARE(timers["gains"].toInt(), 1);
    QCOMPARE(record_files::query(path("other.mdb"), "SELECT Time FROM \"Timer Records\""),
             QVariant("2014-02-24 06:30:00 Monday"));

    const Run again = cli({"--db", "other.mdb", "import", "all.json", "--tables",
                           "Timer Records,Scene Records", "--add"});
    QCOMPARE(again.exitCode, 0);
    QVERIFY2(again.out.contains(QRegularExpression("Timer Records +1 +0 +0 +0")),
             qPrintable(again.out));

    const Run backup = cli({"backup"});
    QCOMPARE(backup.exitCode, 0);
    QVERIFY(backup.out.startsWith(QStringLiteral("backup: ") + path("VELM.mdb.backup-")));
    QCOMPARE(backups().size(), 1);
}

void TestE2eCliRecords::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QByteArray>("file"); // written as in.json
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("not JSON") << QStringList{"import", "in.json"}
                              << QByteArray("{\n\"format\": \"velm-records\"\n\"version\": 1}") << 1
                              << "in.json: line 3: not JSON";
    QTest::newRow("chosen table missing")
        << QStringList{"import", "in.json", "--tables", "IR Records"} << kScenes << 1
        << "the file has no table \"IR Records\"; the record database";
    QTest::newRow("no such file") << QStringList{"import", "gone.json"} << QByteArray() << 1
                                  << "gone.json: no such file";
    QTest::newRow("database missing") << QStringList{"--db", "none.mdb", "import", "in.json"}
                                      << kScenes << 1 << "none.mdb does not exist";
    QTest::newRow("export without database")
        << QStringList{"--db", "none.mdb", "export", "out.json"} << QByteArray() << 1
        << "none.mdb does not exist";
    QTest::newRow("backup without database")
        << QStringList{"--db", "none.mdb", "backup"} << QByteArray() << 1 << "backup: Can not";
    QTest::newRow("import without file")
        << QStringList{"import"} << QByteArray() << 2 << "import: FILE is missing";
    QTest::newRow("empty file name")
        << QStringList{"import", ""} << QByteArray() << 2 << "import: FILE is empty";
    QTest::newRow("unknown table") << QStringList{"import", "in.json", "--tables", "Scenes"}
                                   << kScenes << 2 << "there is no table \"Scenes\"";
    QTest::newRow("--add on export")
        << QStringList{"export", "out.json", "--add"} << QByteArray() << 2 << "belong to import";
    QTest::newRow("CSV folder is a file") << QStringList{"export", "out.json", "--csv", "in.json"}
                                          << kScenes << 1 << "in.json is not a folder";
    // A name as long as the record's column holds, counted in characters.
    QTest::newRow("--name of 256 characters")
        << QStringList{"scene",
                       "set",
                       "1",
                       "1",
                       "On/Open",
                       "--name",
                       QString::fromUtf8("\xF0\x9F\x98\x80").repeated(255) + "x"}
        << QByteArray() << 2 << "--name takes at most 255 characters, not 256";
    // Names of any length come back cut to 60 characters.
    const QString longName(100000, u'x');
    const QString cut = QStringLiteral("\"%1…\"").arg(QString(60, u'x'));
    QTest::newRow("long table name in --tables")
        << QStringList{"import", "in.json", "--tables", longName} << kScenes << 2
        << "there is no table " + cut;
    QTest::newRow("long table name in the file")
        << QStringList{"import", "in.json"}
        << "{\"format\": \"velm-records\", \"version\": 1, \"tables\": {\"" + longName.toUtf8() +
               "\": []}}"
        << 1 << "unknown table " + cut + "; the record database ";
}

void TestE2eCliRecords::refusals() {
    QFETCH(QStringList, args);
    QFETCH(QByteArray, file);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    if (!file.isEmpty())
        write("in.json", file);
    const QByteArray before = record_files::bytes(path("VELM.mdb"));
    const Run r = cli(args);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.startsWith(QStringLiteral("velm-cli: ")) && r.err.contains(message),
             qPrintable(r.err));
    QCOMPARE(r.err.split(u'\n', Qt::SkipEmptyParts).size(), 1);
    QVERIFY(r.out.isEmpty());
    QCOMPARE(record_files::bytes(path("VELM.mdb")), before);
    QCOMPARE(backups(), QStringList());
    QVERIFY(!QFile::exists(path("out.json")) && !QFile::exists(path("none.mdb")));
}

// The JSON file is written, then the CSV files fail (their folder is read-only): the message
// says that the JSON file is there.
void TestE2eCliRecords::exportSaysWhatWasWritten() {
    QVERIFY(QDir().mkdir(path("sheets")));
    ReadOnlyMounts mounts;
    if (!mounts.readOnly(path("sheets")))
        QSKIP(qPrintable(mounts.errorString()));
    const Run r = cli({"export", "all.json", "--csv", "sheets"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(path("sheets/Scene Records.csv") +
                            " can not be written: the disk is read-only; the JSON file " +
                            path("all.json") + " was written, no CSV file was"),
             qPrintable(r.err));
    QVERIFY(QFile::exists(path("all.json")));
    QCOMPARE(QDir(path("sheets")).entryList(QDir::Files), QStringList());
}

void TestE2eCliRecords::importWhileTheWindowRuns() {
    write("in.json", kScenes);
    ScriptedPrompts prompts;
    TForm1 window(prompts, path("VELM.mdb"));
    RecordTable& scenes = window.records().scenes();
    RecordTable& monitor = window.records().monitor();
    auto addScene = [&](int no, const QString& name) {
        scenes.append();
        scenes.setField(QStringLiteral("Scene_No"), no);
        scenes.setField(QStringLiteral("Information"), name);
        scenes.setField(QStringLiteral("Module_Addr"), 1);
        scenes.post();
    };
    addScene(1, QStringLiteral("before"));

    QCOMPARE(cli({"import", "in.json", "--add"}).exitCode, 0);
    // The grid shows what velm-cli wrote within a second, without a refresh.
    QTRY_COMPARE_WITH_TIMEOUT(scenes.rowCount(), 2, 5000);
    // The window goes on writing before it looks at the file again.
    addScene(2, QStringLiteral("between"));
    monitor.setCell(9, monitor.columns().indexOf(QStringLiteral("Address")), 8);

    scenes.refresh();
    monitor.refresh();
    QCOMPARE(scenes.model()->rowCount(), 3);
    QCOMPARE(probe::tableRows(scenes),
             (QStringList{"1|before|1||||||||", "4|Imported, \"new\"|2||||||||",
                          "2|between|1||||||||"}));
    QCOMPARE(probe::tableRows(monitor)[6], QStringLiteral("7|2|3|Light|5|3"));
    QCOMPARE(probe::tableRows(monitor)[9], QStringLiteral("10|3|2|Light|8|0"));
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join(u'|')));
}

void TestE2eCliRecords::databaseChoice_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("velmDb");
    QTest::addColumn<bool>("local"); // a VELM.mdb in the working folder
    QTest::addColumn<QString>("xdgDataHome");
    QTest::addColumn<QString>("chosen"); // below the test's folder
    const QStringList backup{"backup"};
    QTest::newRow("--db first") << QStringList{"--db", "given.mdb", "backup"} << "env.mdb" << true
                                << "xdg"
                                << "work/given.mdb";
    QTest::newRow("then $VELM_DB") << backup << "env.mdb" << true << "xdg"
                                   << "work/env.mdb";
    QTest::newRow("then ./VELM.mdb") << backup << "" << true << "xdg"
                                     << "work/VELM.mdb";
    QTest::newRow("then the per-user file") << backup << "" << false << "xdg"
                                            << "xdg/velm/VELM.mdb";
    QTest::newRow("per-user without XDG_DATA_HOME") << backup << "" << false << ""
                                                    << "home/.local/share/velm/VELM.mdb";
    QTest::newRow("per-user, relative XDG_DATA_HOME ignored") << backup << "" << false << "rel"
                                                              << "home/.local/share/velm/VELM.mdb";
}

void TestE2eCliRecords::databaseChoice() {
    QFETCH(QStringList, args);
    QFETCH(QString, velmDb);
    QFETCH(bool, local);
    QFETCH(QString, xdgDataHome);
    QFETCH(QString, chosen);
    // The menu entry's launcher starts the window in the per-user folder; velm-cli in the
    // home folder must find the same records.
    QVERIFY(QDir(m_dir->path()).mkpath(QStringLiteral("work")));
    QVERIFY(QDir().mkpath(QFileInfo(path(chosen)).path()));
    schema::createDatabase(path(chosen));
    if (local && !QFile::exists(path("work/VELM.mdb")))
        schema::createDatabase(path("work/VELM.mdb"));
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("HOME"), path("home"));
    env.remove(QStringLiteral("VELM_DB"));
    env.remove(QStringLiteral("XDG_DATA_HOME"));
    if (!velmDb.isEmpty())
        env.insert(QStringLiteral("VELM_DB"), velmDb);
    if (xdgDataHome == QLatin1String("xdg"))
        env.insert(QStringLiteral("XDG_DATA_HOME"), path(xdgDataHome));
    else if (!xdgDataHome.isEmpty())
        env.insert(QStringLiteral("XDG_DATA_HOME"), xdgDataHome);

    const Run r = cli(args, env, path("work"));
    QCOMPARE(r.exitCode, 0);
    QVERIFY2(r.out.startsWith(QStringLiteral("backup: ") + path(chosen) + ".backup-"),
             qPrintable(r.out + r.err));
    const Run help = cli(QStringList{"--help"} + args.mid(0, args.size() - 1), env, path("work"));
    QVERIFY2(help.out.contains(QStringLiteral("Record database: ") + path(chosen) + " ("),
             qPrintable(help.out));
}

void TestE2eCliRecords::faultsNamed_data() {
    QTest::addColumn<QString>("fault");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("./VELM.mdb a dangling link")
        << "dangling" << QStringList{"backup"} << "VELM.mdb is a symbolic link to a missing file";
    QTest::newRow("./VELM.mdb a link loop")
        << "loop" << QStringList{"timers", "read", "6", "--udp", "127.0.0.1:9"}
        << "VELM.mdb is a symbolic link loop";
    QTest::newRow("a page overwritten")
        << "damaged" << QStringList{"backup"} << "VELM.mdb is damaged (";
    // A read-all stores nothing into a damaged file (nothing is sent either: port 9 discards).
    for (const QStringList& read :
         {QStringList{"timers", "read", "6"}, QStringList{"bindings", "read", "1"},
          QStringList{"monitor-bindings", "read", "light"}})
        QTest::addRow("%s read on a page overwritten", qPrintable(read.first()))
            << "damaged" << (read + QStringList{"--udp", "127.0.0.1:9"}) << "VELM.mdb is damaged (";
    QTest::newRow("write-protected export target")
        << "write-protected" << QStringList{"export", "out.json"}
        << "out.json is write-protected (no write permission): not replaced";
    QTest::newRow("backup on a read-only disk")
        << "read-only" << QStringList{"backup"}
        << "its folder can not be written: the disk is read-only";
    QTest::newRow("import on a read-only disk")
        << "read-only" << QStringList{"import", "in.json"}
        << "VELM.mdb can not be written: the disk is read-only";
    QTest::newRow("a CSV file imported") << "csv" << QStringList{"import", "Timer Records.csv"}
                                         << "only the JSON export can be imported";
}

// Each fault is named as what it is, with exit status 1, and no other file is written instead.
void TestE2eCliRecords::faultsNamed() {
    QFETCH(QString, fault);
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.remove(QStringLiteral("VELM_DB"));
    env.insert(QStringLiteral("XDG_DATA_HOME"), path("xdg"));
    const QString perUser = path("xdg/velm/VELM.mdb");
    QVERIFY(QDir().mkpath(QFileInfo(perUser).path()));
    schema::createDatabase(perUser);
    const QString local = path("VELM.mdb");
    ReadOnlyMounts mounts;
    if (fault == "dangling" || fault == "loop") {
        QVERIFY(QFile::remove(local));
        QVERIFY(QFile::link(fault == "loop" ? local : path("stick/VELM.mdb"), local));
    } else if (fault == "damaged") {
        QFile f(local);
        QVERIFY(f.open(QIODevice::ReadWrite));
        QVERIFY(f.size() >= 3 * 4096);
        f.seek(2 * 4096);
        f.write(QByteArray(4096, '\x55'));
    } else if (fault == "write-protected") {
        write("out.json", "keep");
        QVERIFY(QFile::setPermissions(path("out.json"), QFile::ReadOwner | QFile::ReadGroup));
    } else if (fault == "read-only") {
        write("in.json", kScenes);
        if (!mounts.readOnly(m_dir->path()))
            QSKIP(qPrintable(mounts.errorString()));
    } else if (fault == "csv") {
        QCOMPARE(cli({"export", "all.json", "--csv", "."}, env, m_dir->path()).exitCode, 0);
    }
    const Run r = cli(args, env, m_dir->path());
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QCOMPARE(QDir(QFileInfo(perUser).path()).entryList(QDir::Files), QStringList{"VELM.mdb"});
    if (fault == "damaged" && args.first() == "backup")
        QVERIFY2(r.err.contains("holds the same damage") && backups().size() == 1,
                 qPrintable(r.err));
    if (fault == "write-protected")
        QCOMPARE(record_files::bytes(path("out.json")), QByteArray("keep"));
}

QTEST_MAIN(TestE2eCliRecords)
#include "test_e2e_cli_records.moc"
