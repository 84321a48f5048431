// Sites end to end: a site made and used by velm-cli against velm-sim (its link, an option that
// overrides it, its history, its scan marks, its report), and the window opening it, saving
// the link that opened into it, writing its history.
#include "app/link_panel.h"
#include "app/scan_dialog.h"
#include "app/site_dialog.h"
#include "app/site_menu.h"
#include "records/record_table.h"
#include "records/site_folder.h"
#include "records/site_history.h"
#include "support/build_paths.h"
#include "support/window_fixture.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QProcess>
#include <QSpinBox>
#include <QTest>

#include <sys/stat.h>

namespace {
struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
    QJsonArray rows() const { return QJsonDocument::fromJson(out).array(); }
};
} // namespace

class TestE2eSites : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void init();
    void cleanup();
    void cliUsesTheSitesLinkUnderOptionsGiven();
    void cliHistoryLines();
    void scanMarksTheFourCases_data();
    void scanMarksTheFourCases();
    void reportTakesTheSitesNamesAndHistory();
    void windowOpensTheSiteAndSavesTheLink_data();
    void windowOpensTheSiteAndSavesTheLink();
    void windowWritesItsHistory();
    void openingIsRefusedWhileAJobRuns();
    // VELM_SCREENSHOTS=DIR: the site dialog and a marked scan, for the README.
    void screenshots();

private:
    Run cli(const QStringList& args);
    QString siteDir() const { return m_dir->filePath(QStringLiteral("site")); }
    SiteFolder site() const { return SiteFolder::open(siteDir()); }
    void makeSite(const QList<ExpectedModule>& modules = {});

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
};

void TestE2eSites::initTestCase() {
    // The recent sites list goes into a folder of the test's own.
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

void TestE2eSites::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    m_sim = std::make_unique<SimProcess>();
    QVERIFY2(m_sim->start({"--light", "1,2", "--curtain", "3"}), qPrintable(m_sim->errorString()));
}

void TestE2eSites::cleanup() {
    m_sim.reset();
    m_dir.reset();
}

Run TestE2eSites::cli(const QStringList& args) {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(args);
    p.start();
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestE2eSites::makeSite(const QList<ExpectedModule>& modules) {
    Run r = cli({"site", "new", siteDir(), "--name", "Villa Rosa", "--technician", "Ann"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    // Any free local port: tests run side by side, and 2002 may be another test's.
    r = cli({"--site-dir", siteDir(), "site", "set", "--local-port", "0", "--udp",
             QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    SiteFolder s = site();
    s.settings().modules = modules;
    s.save();
}

void TestE2eSites::cliUsesTheSitesLinkUnderOptionsGiven() {
    makeSite();
    Run r = cli({"--site-dir", siteDir(), "--json", "--wait", "300", "scan", "1", "3"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(r.rows().size(), 3); // a range asked leaves the bus switch out
    // Another subnet given on the command line wins: the simulator's modules stay silent.
    r = cli({"--site-dir", siteDir(), "--subnet", "9", "--json", "--timeout", "300", "module",
             "type", "1"});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("did not answer"), qPrintable(r.err));
    r = cli({"--site-dir", siteDir(), "--db", m_dir->filePath("x.mdb"), "history"});
    QCOMPARE(r.exitCode, 2);
    r = cli({"--site-dir", m_dir->path(), "history"});
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.contains("no site there"), qPrintable(r.err));
}

void TestE2eSites::cliHistoryLines() {
    makeSite();
    const QStringList opts{"--site-dir", siteDir(), "--timeout", "300"};
    QCOMPARE(cli(opts + QStringList{"timers", "set", "6", "1", "day", "2024-05-01", "07:30:00"})
                 .exitCode,
             1); // no timer module at 6 in this installation
    QCOMPARE(cli(opts + QStringList{"scene", "set", "1", "4", "on", "off"}).exitCode, 0);
    QCOMPARE(cli(opts + QStringList{"light", "status", "1"}).exitCode, 0); // reads only
    QCOMPARE(cli(opts + QStringList{"bus-switch", "password", "n3wPass"}).exitCode, 0);
    const Run r = cli({"--site-dir", siteDir(), "--json", "history"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QJsonArray rows = r.rows();
    QCOMPARE(rows.size(), 3);
    QCOMPARE(rows[0]["module"].toInt(), 6);
    QVERIFY(rows[0]["outcome"].toString().startsWith("error: module 6"));
    QCOMPARE(rows[1]["action"].toString(), QStringLiteral("set"));
    QCOMPARE(rows[1]["outcome"].toString(), QStringLiteral("ok"));
    QCOMPARE(rows[1]["technician"].toString(), QStringLiteral("Ann"));
    QCOMPARE(rows[1]["program"].toString(), QStringLiteral("velm-cli"));
    QVERIFY(QDateTime::fromString(rows[1]["time"].toString(), Qt::ISODate).isValid());
    QCOMPARE(rows[2]["module"].toInt(), 255);
    QFile f(site().historyFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QVERIFY(!f.readAll().contains("n3wPass"));
    QCOMPARE(cli({"--site-dir", siteDir(), "--json", "history", "--since", "2999-01-01"}).out,
             QByteArray("[]\n"));
}

void TestE2eSites::scanMarksTheFourCases_data() {
    QTest::addColumn<int>("address");
    QTest::addColumn<QString>("mark");
    QTest::addColumn<QString>("name");
    QTest::newRow("expected, type as expected") << 1 << "expected" << "Hall";
    QTest::newRow("expected, another type") << 2 << "type-differs" << "Porch";
    QTest::newRow("answered, not expected") << 3 << "unexpected" << "";
    QTest::newRow("expected, silent") << 9 << "silent" << "Garage";
}

void TestE2eSites::scanMarksTheFourCases() {
    QFETCH(int, address);
    QFETCH(QString, mark);
    QFETCH(QString, name);
    makeSite({{1, "0108", "Hall", "Ground floor"},
              {2, "0204", "Porch", "Outside"},
              {9, "", "Garage", "Garage"},
              {20, "", "Attic", "Attic"}}); // outside the range asked: neither
    const Run r = cli({"--site-dir", siteDir(), "--json", "--wait", "300", "scan", "1", "10"});
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QJsonObject row;
    for (const QJsonValue& v : r.rows())
        if (v["address"].toInt() == address)
            row = v.toObject();
    QCOMPARE(row["site"].toString(), mark);
    QCOMPARE(row["name"].toString(), name);
    QCOMPARE(r.rows().size(), 4);
}

void TestE2eSites::reportTakesTheSitesNamesAndHistory() {
    makeSite({{1, "0108", "Hall lights", "Ground floor"}});
    QCOMPARE(cli({"--site-dir", siteDir(), "scene", "set", "1", "4", "on"}).exitCode, 0);
    for (const QString& cover : {QString(), QStringLiteral("Given Site")}) {
        const QString html = m_dir->filePath("r.html");
        QStringList args{"--site-dir", siteDir(), "report", "--html", html};
        if (!cover.isEmpty())
            args << "--site" << cover;
        const Run r = cli(args);
        QVERIFY2(r.exitCode == 0, qPrintable(r.err));
        QFile f(html);
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QString text = QString::fromUtf8(f.readAll());
        QVERIFY(text.contains(cover.isEmpty() ? "Installation report: Villa Rosa"
                                              : "Installation report: Given Site"));
        QVERIFY(text.contains("<td>Ann</td>"));
        QVERIFY(text.contains("<td>Hall lights</td><td>Ground floor</td>"));
        QVERIFY(text.contains("<h2>History</h2>"));
        QVERIFY(text.contains("scene set 1 4 on"));
    }
}

void TestE2eSites::windowOpensTheSiteAndSavesTheLink_data() {
    QTest::addColumn<bool>("remember");
    QTest::newRow("password remembered") << true;
    QTest::newRow("password not remembered") << false;
}

void TestE2eSites::windowOpensTheSiteAndSavesTheLink() {
    QFETCH(bool, remember);
    makeSite();
    // A row only the site's record file holds.
    {
        RecordTable t(QStringLiteral("Scene Records"));
        t.open(site().recordFile());
        t.append();
        t.setField(QStringLiteral("Module_Addr"), 1);
        t.post();
    }
    SiteFolder s = site();
    s.settings().rememberPassword = remember;
    s.settings().password = remember ? QStringLiteral("418273") : QString();
    s.settings().link.network = false; // the window opens the network link below
    s.save();
    for (int start = 0; start < 2; ++start) {
        WindowFixture env;
        QVERIFY2(env.openWindow(), qPrintable(env.error));
        QVERIFY(env.window->siteMenu().openSite(siteDir()));
        QCOMPARE(env.prompts.messages, QStringList());
        QCOMPARE(env.window->records().scenes().rowCount(), 1);
        QCOMPARE(env.find<QLineEdit>("Edit4")->text(), QStringLiteral("127.0.0.1"));
        QCOMPARE(env.find<QLineEdit>("Edit5")->text(), QString::number(m_sim->udpPort()));
        QVERIFY(env.find<QLabel>("LinkStatePanel")->text().contains("Villa Rosa"));
        QCOMPARE(env.window->windowTitle(), QString::fromLatin1(TForm1::kCaption));
        if (start == 1) {
            // Reopened: the band as the link was opened, the password only when remembered.
            QVERIFY(env.find<QRadioButton>("RadioButton1")->isChecked());
            QCOMPARE(env.find<QLineEdit>("Edit18")->text(),
                     remember ? QStringLiteral("4182") : QStringLiteral("418273"));
            break;
        }
        env.find<QLineEdit>("Edit6")->setText(QString::number(SimProcess::freeUdpPort()));
        env.find<QLineEdit>("Edit18")->setText(QStringLiteral("4182"));
        env.find<QRadioButton>("RadioButton1")->setChecked(true);
        env.find<QPushButton>("Button32")->click();
        QCOMPARE(env.find<QPushButton>("Button32")->text(), QStringLiteral("Close"));
        QFile f(site().siteFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll().contains("\"4182\""), remember);
        QVERIFY(site().settings().link.network);
        struct stat st {};
        QCOMPARE(::stat(QFile::encodeName(site().siteFile()).constData(), &st), 0);
        if (remember)
            QCOMPARE(st.st_mode & 0777, mode_t(0600));
    }
    QCOMPARE(SiteMenu::recentSites().value(0), site().dir());
}

void TestE2eSites::windowWritesItsHistory() {
    makeSite();
    WindowFixture env;
    QVERIFY2(env.openWindow(), qPrintable(env.error));
    QVERIFY(env.window->siteMenu().openSite(siteDir()));
    // An input binding Set: answered, then refused.
    env.find<QSpinBox>("SpinEdit15")->setValue(3);
    for (quint8 status : {quint8(1), quint8(2)}) {
        env.find<QPushButton>("Button35")->click();
        env.reply(3, 0x80, 0x01, {}, status);
    }
    // Delete All Control Data of module 4 to its end.
    env.find<QSpinBox>("SpinEdit37")->setValue(4);
    env.find<QPushButton>("Button48")->click();
    for (int i = 0; i < 14; ++i)
        env.reply(4, 0x80, 0x01);
    const QList<HistoryEntry> lines = site_history::read(site().historyFile()).entries;
    QCOMPARE(lines.size(), 3);
    QCOMPARE(lines[0].module, 3);
    QCOMPARE(lines[0].action, QStringLiteral("set"));
    QCOMPARE(lines[0].outcome, QStringLiteral("ok"));
    QCOMPARE(lines[0].program, QStringLiteral("window"));
    QVERIFY(lines[1].outcome.startsWith("error: "));
    QCOMPARE(lines[2].module, 4);
    QCOMPARE(lines[2].action, QStringLiteral("delete-all"));
    QCOMPARE(lines[2].outcome, QStringLiteral("ok"));
}

void TestE2eSites::openingIsRefusedWhileAJobRuns() {
    makeSite();
    WindowFixture env;
    QVERIFY2(env.openWindow(), qPrintable(env.error));
    env.window->bus().setRunningJob(QStringLiteral("Scan Subnet"));
    QVERIFY(!env.window->siteMenu().openSite(siteDir()));
    QCOMPARE(env.prompts.messages, QStringList{"A sequence or job is running"});
    QCOMPARE(env.window->recordFile(), env.databaseFile());
    env.window->bus().setRunningJob(QString());
}

void TestE2eSites::screenshots() {
    const QString out = qEnvironmentVariable("VELM_SCREENSHOTS");
    if (out.isEmpty())
        QSKIP("VELM_SCREENSHOTS not set");
    makeSite({{1, "0108", "Hall lights", "Ground floor"},
              {2, "0204", "Porch lights", "Outside"},
              {3, "0204", "Living curtains", "Living room"},
              {9, "", "Garage input", "Garage"}});
    SiteFolder s = site();
    s.settings().address = QStringLiteral("Via Roma 12, Lugano");
    s.settings().notes = QStringLiteral("Gateway in the cellar, left of the fuse box.");
    s.save();
    WindowFixture env;
    QVERIFY2(env.openWindow(), qPrintable(env.error));
    QVERIFY(env.window->siteMenu().openSite(siteDir()));
    env.window->show();
    env.find<QLineEdit>("Edit6")->setText(QString::number(SimProcess::freeUdpPort()));
    env.find<QRadioButton>("RadioButton1")->setChecked(true);
    env.find<QPushButton>("Button32")->click();
    SiteDialog dialog(QStringLiteral("Site Details"), site().dir(), site().settings(),
                      env.window.get());
    dialog.show();
    QVERIFY(QTest::qWaitForWindowExposed(&dialog));
    dialog.grab().save(QDir(out).filePath("site_dialog.png"));
    dialog.close();
    ScanDialog* scan = env.window->findChild<ScanDialog*>();
    QVERIFY(scan);
    scan->findChild<QSpinBox*>("ScanLast")->setValue(10);
    scan->show();
    QVERIFY(QTest::qWaitForWindowExposed(scan));
    scan->findChild<QPushButton*>("ScanStart")->click();
    QTRY_VERIFY_WITH_TIMEOUT(!scan->running(), 20000);
    scan->resize(900, 420);
    QTest::qWait(200);
    scan->grab().save(QDir(out).filePath("scan_site.png"));
}

QTEST_MAIN(TestE2eSites)
#include "test_e2e_sites.moc"
