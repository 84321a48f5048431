// End to end: velm-cli's scan, push and audit against velm-sim over loopback UDP and over its
// pseudo-terminal. A push fills a fresh simulator with an input module's 14 bindings and a
// light module's scenes and its audit agrees; a record changed afterwards is reported, and
// only that one; a module that stops answering mid-push leaves a clear partial report.
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/sim_process.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
constexpr int kInput = 9;
constexpr int kLight = 2;
constexpr int kScenes = 10;
const QStringList kTargets = {"Off/Close", "On/Open", "No Change"};

struct Run {
    int exitCode = -1;
    QJsonObject json;
    QString err;
};
} // namespace

class TestE2eJobs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scanFindsExactlyTheModules_data() { links(); }
    void scanFindsExactlyTheModules();
    void pushThenAuditAgree_data() { links(); }
    void pushThenAuditAgree();
    void auditReportsExactlyTheChangedRecord_data();
    void auditReportsExactlyTheChangedRecord();
    void moduleStoppingMidPushGivesAPartialReport_data() { links(); }
    void moduleStoppingMidPushGivesAPartialReport();

private:
    static void links();
    void startSim();
    Run cli(const QStringList& args);
    void exec(const QString& sql);
    void seedRecords();
    QString db() const { return m_dir->filePath(QStringLiteral("VELM.mdb")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    QStringList m_link;
    bool m_serial = false;
};

void TestE2eJobs::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eJobs::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
    m_sim = std::make_unique<SimProcess>();
    m_serial = QByteArray(QTest::currentDataTag()).startsWith("pty");
}

void TestE2eJobs::cleanup() {
    m_sim.reset();
    m_dir.reset();
}

void TestE2eJobs::startSim() {
    QStringList args{"--light", "2", "--curtain", "7", "--input", "9", "--timer", "30"};
    if (m_serial)
        args << QStringList{"--no-udp", "--serial", "--baud", "0"};
    QVERIFY2(m_sim->start(args), qPrintable(m_sim->errorString()));
    m_link = m_serial ? QStringList{"--serial", m_sim->serialPath()}
                      : QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())};
}

Run TestE2eJobs::cli(const QStringList& args) {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(m_link + QStringList{"--db", db(), "--json", "--timeout", "400"} + args);
    p.start();
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    const QJsonDocument doc = QJsonDocument::fromJson(p.readAllStandardOutput());
    r.json = doc.isArray() ? QJsonObject{{"rows", doc.array()}} : doc.object();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestE2eJobs::exec(const QString& sql) {
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("t"));
        c.setDatabaseName(db());
        QVERIFY(c.open());
        QSqlQuery q(c);
        QVERIFY2(q.exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("t"));
}

void TestE2eJobs::seedRecords() {
    // Fourteen bindings of every kind, one of them empty, and ten light scenes.
    const char* const actions[] = {"Light On",      "Light Off",     "Light Toggle",
                                   "Curtain Open",  "Curtain Close", "Curtain Stop",
                                   "Scene Control", "IR Control",    "Alarm"};
    for (int ch = 1; ch <= 14; ++ch) {
        if (ch == 14) {
            exec(QStringLiteral("INSERT INTO \"Bind Records\" VALUES (NULL, %1, 14, '------', "
                                "255, 255, 255, 'Invalid', 255)")
                     .arg(kInput));
            continue;
        }
        exec(QStringLiteral("INSERT INTO \"Bind Records\" VALUES (NULL, %1, %2, '%3', %4, %5, "
                            "%6, '%7', %8)")
                 .arg(kInput)
                 .arg(ch)
                 .arg(QStringList{"NC", "NO", "NC/NO"}.at(ch % 3))
                 .arg(ch * 4)
                 .arg(ch % 2 ? 2 : 7)
                 .arg(1 + ch % 4)
                 .arg(QLatin1String(actions[ch % 9]))
                 .arg(ch));
    }
    for (int s = 0; s < kScenes; ++s) {
        QStringList chs;
        for (int c = 0; c < 8; ++c)
            chs << QStringLiteral("'%1'").arg(kTargets.at((s + c) % 3));
        exec(QStringLiteral("INSERT INTO \"Scene Records\" VALUES (NULL, %1, 'scene %1', %2, %3)")
                 .arg(s * 3)
                 .arg(kLight)
                 .arg(chs.join(',')));
    }
}

void TestE2eJobs::scanFindsExactlyTheModules() {
    startSim();
    const Run r = cli({"scan"});
    QCOMPARE(r.exitCode, 0);
    QStringList got;
    for (const QJsonValue& m : r.json["rows"].toArray())
        got << QStringLiteral("%1 %2").arg(m["address"].toInt()).arg(m["type"].toString());
    QCOMPARE(got, (QStringList{"2 0108", "7 0204", "9 040E", "30 0520", "255 0A01"}));
}

void TestE2eJobs::pushThenAuditAgree() {
    startSim();
    seedRecords();
    const Run bindings = cli({"push", QString::number(kInput)});
    QVERIFY2(bindings.exitCode == 0, qPrintable(bindings.err));
    QCOMPARE(bindings.json["written"].toArray().size(), 14);
    const QJsonObject audit = bindings.json["audit"].toObject();
    QCOMPARE(audit["same"].toBool(), true);
    QCOMPARE(audit["items"].toArray().size(), 14);

    const Run scenes = cli({"push", QString::number(kLight)});
    QVERIFY2(scenes.exitCode == 0, qPrintable(scenes.err));
    QCOMPARE(scenes.json["written"].toArray().size(), kScenes);
    // Scenes cannot be read back over the bus: the simulator shows what the module took.
    const QJsonObject held = SimProcess::module(m_sim->dump(), kLight)["scenes"].toObject();
    QCOMPARE(held.size(), kScenes);
    const QJsonArray scene9 = held["9"].toArray(); // scene 9 is the fourth: targets 0, 1, FF...
    QCOMPARE(scene9.size(), 8);
    QCOMPARE(scene9.at(0).toInt(), 0);
    QCOMPARE(scene9.at(1).toInt(), 1);
    QCOMPARE(scene9.at(2).toInt(), 255);
    QVERIFY(
        scenes.json["audit"].toObject()["notes"].toArray().at(0).toString().contains("no read"));

    // Nothing was written into the record tables: the audit of module 9 still agrees.
    const Run again = cli({"audit", QString::number(kInput)});
    QCOMPARE(again.exitCode, 0);
}

void TestE2eJobs::auditReportsExactlyTheChangedRecord_data() {
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("change");
    QTest::addColumn<QString>("result");
    for (bool serial : {false, true}) {
        const char* link = serial ? "pty" : "udp";
        QTest::addRow("%s delay", link)
            << serial << "UPDATE \"Bind Records\" SET Trigger_Delay = 59 WHERE Input_Channel = 5"
            << "different";
        QTest::addRow("%s removed", link)
            << serial << "DELETE FROM \"Bind Records\" WHERE Input_Channel = 5"
            << "module-only";
        QTest::addRow("%s cleared", link)
            << serial
            << "UPDATE \"Bind Records\" SET Action = 'Light On', Trigger_Mode = 'NO' WHERE "
               "Input_Channel = 14"
            << "records-only";
    }
}

void TestE2eJobs::auditReportsExactlyTheChangedRecord() {
    QFETCH(QString, change);
    QFETCH(QString, result);
    startSim();
    seedRecords();
    QCOMPARE(cli({"push", QString::number(kInput)}).exitCode, 0);
    exec(change);
    const Run r = cli({"audit", QString::number(kInput)});
    QCOMPARE(r.exitCode, 1);
    QStringList odd;
    for (const QJsonValue& i : r.json["items"].toArray())
        if (i["result"].toString() != "same")
            odd << i["record"].toString() + ' ' + i["result"].toString();
    const QString record = result == "records-only" ? "Binding 14" : "Binding 5";
    QCOMPARE(odd, QStringList{record + ' ' + result});
}

void TestE2eJobs::moduleStoppingMidPushGivesAPartialReport() {
    startSim();
    seedRecords();
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(m_link + QStringList{"--db", db(), "--json", "--timeout", "400", "push", "9"});
    p.start();
    // Once a few bindings are in, the module stops answering.
    QTRY_VERIFY_WITH_TIMEOUT(
        SimProcess::module(m_sim->dump(), kInput)["inputs"].toArray().size() >= 3, 20000);
    QCOMPARE(m_sim->command(QStringLiteral("drop 100")), QStringLiteral("ok"));
    QVERIFY(p.waitForFinished(30000));
    QCOMPARE(p.exitCode(), 1);
    const QJsonObject r = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    const int written = int(r["written"].toArray().size());
    QVERIFY2(written >= 3 && written < 14, qPrintable(QString::number(written)));
    QCOMPARE(written + r["notWritten"].toArray().size(), 14);
    QCOMPARE(r["notWritten"].toArray().at(0).toString(),
             QStringLiteral("Binding %1").arg(written + 1));
    QVERIFY2(r["failure"].toString().contains("did not answer"),
             qPrintable(r["failure"].toString()));
    QVERIFY(!r.contains("audit"));
}

QTEST_MAIN(TestE2eJobs)
#include "test_e2e_jobs.moc"
