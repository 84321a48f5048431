// The walk test end to end: the window's dialog against velm-sim driven by key events to its
// window, with one channel that does not switch; the results in the installation report;
// Esc switching back off and a continued run; velm-cli walk --auto into a site.
#include "app/identify_dialog.h"
#include "app/walk_test_dialog.h"
#include "support/build_paths.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QSpinBox>
#include <QTableWidget>
#include <QTest>

namespace {
constexpr int kStepMs = 10000;
constexpr int kStuckChannel = 3;

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

Run runProgram(const QString& program, const QStringList& args) {
    QProcess p;
    p.setProcessChannelMode(QProcess::SeparateChannels);
    p.setStandardInputFile(QProcess::nullDevice());
    p.start(program, args);
    if (!p.waitForFinished(60000))
        return {};
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput()),
            QString::fromUtf8(p.readAllStandardError())};
}
Run cli(const QStringList& args) {
    return runProgram(buildpaths::bin("velm-cli"), args);
}
} // namespace

class TestE2eWalkTest : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void walkByKeysFindsTheStuckChannelAndReportsIt();
    void escSwitchesBackOffAndContinueGoesOn();
    void identifySwitchesChannelOneTwiceAndBack_data();
    void identifySwitchesChannelOneTwiceAndBack();
    void scriptStopsAtAnExpectedTypeThatDiffers();
    void cliWalkAutoRecordsWhatAnsweredIntoTheSite_data();
    void cliWalkAutoRecordsWhatAnsweredIntoTheSite();

private:
    WalkTestDialog* openDialog();
    QString current() const { return m_dialog->findChild<QLabel*>("WalkCurrent")->text(); }
    bool waitAsked() {
        return QTest::qWaitFor([this] { return current().contains("is it working"); }, kStepMs);
    }
    // The key goes where the window system sends it: to the widget with focus in the dialog.
    void key(Qt::Key k) {
        QWidget* target = QApplication::focusWidget();
        if (!target || target->window() != m_dialog)
            target = m_dialog;
        QTest::keyClick(target, k);
    }
    int lightState(int module, int channel) {
        return SimProcess::module(m_env->sim.dump(), module)["states"]
            .toArray()
            .at(channel - 1)
            .toInt();
    }
    QStringList results() const;

    std::unique_ptr<WindowFixture> m_env;
    WalkTestDialog* m_dialog = nullptr;
};

void TestE2eWalkTest::init() {
    m_env = std::make_unique<WindowFixture>();
}

void TestE2eWalkTest::cleanup() {
    m_dialog = nullptr;
    m_env.reset();
}

WalkTestDialog* TestE2eWalkTest::openDialog() {
    m_env->find<QMenuBar>("MainMenu")->findChild<QAction*>("WalkTestAction")->trigger();
    m_dialog = m_env->window->findChild<WalkTestDialog*>("WalkTestDialog");
    return m_dialog;
}

QStringList TestE2eWalkTest::results() const {
    auto* table = m_dialog->findChild<QTableWidget*>("WalkTable");
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r)
        out << table->item(r, 0)->text() + ": " + table->item(r, 1)->text();
    return out;
}

// The README's installation: light 1 (channel 3 does not switch), curtain 3 and a scene.
// The test plays the technician: it answers by what the simulator's load shows.
void TestE2eWalkTest::walkByKeysFindsTheStuckChannelAndReportsIt() {
    QVERIFY2(m_env->open(false, {"--stuck", QStringLiteral("1:%1").arg(kStuckChannel)}),
             qPrintable(m_env->error));
    const QString udp = QStringLiteral("127.0.0.1:%1").arg(m_env->sim.udpPort());
    const Run scene = cli( {"--udp", udp, "--db", m_env->databaseFile(), "scene",
                                              "set", "1", "2", "on", "on", "--name", "Night"});
    QCOMPARE(scene.exitCode, 0);
    QVERIFY(openDialog());
    m_dialog->findChild<QLineEdit*>("WalkModules")->setText("1, 3");
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("WalkStart"), Qt::LeftButton);

    for (int ch = 1; ch <= 8; ++ch) {
        QVERIFY2(waitAsked(), qPrintable(current()));
        QVERIFY(current().startsWith(QStringLiteral("Light 1, channel %1").arg(ch)));
        const bool on = lightState(1, ch) == 1;
        QCOMPARE(on, ch != kStuckChannel);
        if (!on) {
            key(Qt::Key_N);
            QTest::keyClicks(QApplication::focusWidget(), "no click");
            key(Qt::Key_Return);
            key(Qt::Key_D);
        } else {
            key(Qt::Key_Return);
        }
    }
    for (int ch = 1; ch <= 4; ++ch) {
        QVERIFY2(waitAsked(), qPrintable(current()));
        QVERIFY(current().startsWith(QStringLiteral("Curtain 3, channel %1").arg(ch)));
        key(Qt::Key_Return);
    }
    QVERIFY2(waitAsked(), qPrintable(current()));
    QVERIFY(current().contains("Scene 2 (Night)"));
    QVERIFY(current().contains("every module holding scene 2 acts"));
    key(Qt::Key_S);
    QVERIFY(QTest::qWaitFor([this] { return current() == "Every output was tested."; }, kStepMs));

    probe::screenshot(m_dialog, QStringLiteral("walk_test_dialog"));
    const QStringList r = results();
    QCOMPARE(r.size(), 13);
    QCOMPARE(r.at(2), QStringLiteral("Light 1, channel 3: does not work"));
    QCOMPARE(r.filter(": works").size(), 11);
    QCOMPARE(r.last(), QStringLiteral("Scene 2 (Night): skipped"));
    // Every light was switched off again after its answer; the scene called last switched
    // on what it holds (channels 1 and 2) and stays so.
    QCOMPARE(SimProcess::module(m_env->sim.dump(), 1)["states"].toArray(),
             QJsonArray({1, 1, 0, 0, 0, 0, 0, 0}));

    const QString pdf = m_env->dir.filePath("report.pdf");
    QCOMPARE(cli( {"--db", m_env->databaseFile(), "report", "--pdf", pdf})
                 .exitCode,
             0);
    if (const QString shots = qEnvironmentVariable("VELM_SCREENSHOT_DIR"); !shots.isEmpty())
        QFile::copy(pdf, shots + "/walk_test_report.pdf");
    const Run text = runProgram("pdftotext", {"-layout", pdf, "-"});
    const QString walk = text.out.mid(text.out.indexOf("Walk test"));
    QVERIFY2(!walk.isEmpty() && text.out.contains("Walk test"), qPrintable(text.out.left(400)));
    // Failures first: channel 3 leads module 1's table, with its note.
    const QRegularExpression failureFirst(
        "Module 1\\s+1 of 8 output\\(s\\) failed\\.[\\s\\S]*?channel 3\\s+does not work\\s+no click");
    QVERIFY2(failureFirst.match(walk).hasMatch(), qPrintable(walk.left(800)));
    QVERIFY(walk.indexOf("channel 3") < walk.indexOf("channel 1 "));
    QVERIFY(walk.contains("Scenes (called on the whole bus)"));
}

void TestE2eWalkTest::escSwitchesBackOffAndContinueGoesOn() {
    QVERIFY2(m_env->open(false), qPrintable(m_env->error));
    QVERIFY(openDialog());
    m_dialog->findChild<QLineEdit*>("WalkModules")->setText("1");
    QTest::mouseClick(m_dialog->findChild<QPushButton*>("WalkStart"), Qt::LeftButton);
    QVERIFY(waitAsked());
    key(Qt::Key_Return);
    QVERIFY(QTest::qWaitFor([this] { return current().startsWith("Light 1, channel 2"); },
                            kStepMs));
    QCOMPARE(lightState(1, 2), 1);
    key(Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([this] { return current().startsWith("Stopped."); }, kStepMs));
    QCOMPARE(lightState(1, 2), 0);
    QVERIFY(m_dialog->isVisible()); // Esc stopped the walk; it did not close the dialog
    QCOMPARE(m_env->window->bus().runningJob(), QString());

    QTest::mouseClick(m_dialog->findChild<QPushButton*>("WalkContinue"), Qt::LeftButton);
    QVERIFY(waitAsked());
    // Channel 1 keeps its answer; the run goes on at the first untested output.
    QVERIFY2(current().startsWith("Light 1, channel 2"), qPrintable(current()));
    QCOMPARE(results(), QStringList{"Light 1, channel 1: works"});
    key(Qt::Key_D);
    QVERIFY(QTest::qWaitFor([this] { return current().startsWith("Light 1, channel 3"); },
                            kStepMs));
    key(Qt::Key_Escape);
    QVERIFY(QTest::qWaitFor([this] { return current().startsWith("Stopped."); }, kStepMs));

    const QStringList files = QDir(m_env->dir.path()).entryList({"VELM.mdb.walk-*.json"});
    QCOMPARE(files.size(), 1); // a continued run stays one run
    QFile f(m_env->dir.filePath(files.first()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonArray outputs = QJsonDocument::fromJson(f.readAll())["outputs"].toArray();
    QCOMPARE(outputs.at(0)["result"].toString(), "works");
    QCOMPARE(outputs.at(1)["result"].toString(), "does-not");
    QCOMPARE(outputs.at(2)["result"].toString(), "untested");
    QVERIFY(!outputs.at(2)["leftOn"].toBool());
}

void TestE2eWalkTest::cliWalkAutoRecordsWhatAnsweredIntoTheSite_data() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eWalkTest::cliWalkAutoRecordsWhatAnsweredIntoTheSite() {
    QFETCH(bool, serial);
    SimProcess& sim = m_env->sim;
    QStringList simArgs{"--light", "1", "--curtain", "3"};
    if (serial)
        simArgs << "--no-udp" << "--serial" << "--baud" << "0";
    QVERIFY2(sim.start(simArgs), qPrintable(sim.errorString()));
    const QStringList link = serial ? QStringList{"--serial", sim.serialPath()}
                                    : QStringList{"--local-port", "0", "--udp",
                                                  QStringLiteral("127.0.0.1:%1").arg(sim.udpPort())};
    const QString site = m_env->dir.filePath("site");
    QCOMPARE(cli( {"site", "new", site, "--technician", "Ann"}).exitCode, 0);

    // Without a terminal to answer on, only --auto runs; the other sends nothing.
    const Run refused = cli( link + QStringList{"--site-dir", site, "walk", "1"});
    QCOMPARE(refused.exitCode, 2);
    QVERIFY(!QDir(site + "/walk").exists());

    // Module 9 is silent: the walk says so and goes on with the others.
    const Run run = cli( link + QStringList{"--site-dir", site, "walk", "1", "9",
                                                              "3", "--auto"});
    QVERIFY2(run.exitCode == 0, qPrintable(run.out + run.err));
    QVERIFY(run.out.contains("Module 9: no answer to its type read; not walked"));
    const QStringList files = QDir(site + "/walk").entryList({"*.json"});
    QCOMPARE(files.size(), 1);
    QVERIFY(QRegularExpression("^\\d{8}-\\d{6}\\.json$").match(files.first()).hasMatch());
    const Run history = cli( {"--site-dir", site, "history", "--json"});
    const QJsonArray lines = QJsonDocument::fromJson(history.out.toUtf8()).array();
    QCOMPARE(lines.size(), 12);
    QCOMPARE(lines.at(0)["action"].toString(), "walk");
    QCOMPARE(lines.at(0)["detail"].toString(), "Light 1, channel 1: answered");
    QCOMPARE(lines.at(0)["technician"].toString(), "Ann");
    QCOMPARE(lines.at(11)["detail"].toString(), "Curtain 3, channel 4: answered");
}

void TestE2eWalkTest::identifySwitchesChannelOneTwiceAndBack_data() {
    QTest::addColumn<bool>("wasOn");
    QTest::newRow("off") << false;
    QTest::newRow("on") << true;
}

// Over the pseudo-terminal, so the frames stand in the simulator's log in the short layout.
void TestE2eWalkTest::identifySwitchesChannelOneTwiceAndBack() {
    QFETCH(bool, wasOn);
    QVERIFY2(m_env->open(true), qPrintable(m_env->error));
    if (wasOn) { // the light tab's "On" for module 2, channel 1
        m_env->find<QSpinBox>("SpinEdit2")->setValue(2);
        m_env->find<QSpinBox>("SpinEdit3")->setValue(1);
        m_env->find<QPushButton>("Button2")->click();
        QVERIFY(QTest::qWaitFor([this] { return lightState(2, 1) == 1; }, kStepMs));
        QTest::qWait(300); // its acknowledgement in
    }
    m_env->sim.output(); // what came before
    m_env->find<QMenuBar>("MainMenu")->findChild<QAction*>("IdentifyModuleAction")->trigger();
    auto* dialog = m_env->window->findChild<IdentifyDialog*>("IdentifyDialog");
    QVERIFY(dialog);
    dialog->identify(2);
    QVERIFY(QTest::qWaitFor([dialog] { return !dialog->running(); }, kStepMs));
    QVERIFY2(dialog->summary()->text().contains("channel 1 switched over twice"),
             qPrintable(dialog->summary()->text()));
    QStringList frames;
    for (const QString& line : m_env->sim.output())
        if (line.startsWith("rx serial "))
            frames << line.mid(10, line.size() - 16).trimmed(); // without the checksum
    frames = frames.mid(frames.indexOf("55 AA 08 02 00 09")); // the tab's "On" before it
    const QString on = "55 AA 0A 02 02 01 00 FF";
    const QString off = "55 AA 0A 02 02 02 00 FF";
    QCOMPARE(frames, (QStringList{"55 AA 08 02 00 09", "55 AA 08 02 00 06", "55 AA 08 02 00 08",
                                  wasOn ? off : on, wasOn ? on : off, wasOn ? off : on,
                                  wasOn ? on : off}));
    QCOMPARE(lightState(2, 1), wasOn ? 1 : 0);
    QCOMPARE(SimProcess::module(m_env->sim.dump(), 2)["tests"].toInt(), 1);
}

// A script meant for a light module at 3 stops before its first write reaches the curtain
// module that answers there.
void TestE2eWalkTest::scriptStopsAtAnExpectedTypeThatDiffers() {
    QVERIFY2(m_env->sim.start({"--light", "1", "--curtain", "3"}),
             qPrintable(m_env->sim.errorString()));
    const QString script = m_env->dir.filePath("light3.velm");
    QFile f(script);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("expect type 1 light\nexpect type 1 0108\nexpect type 3 light\nscene set 3 4 on\n");
    f.close();
    const QStringList link{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_env->sim.udpPort()),
                           "--db", m_env->databaseFile()};
    const Run r = cli(link + QStringList{"run", script});
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("line 3 (expect type 3 light): module 3 is of type 0204 (curtain), "
                            "not light"),
             qPrintable(r.err));
    const QJsonValue scenes = SimProcess::module(m_env->sim.dump(), 3)["scenes"];
    QVERIFY(scenes.toObject().isEmpty() && scenes.toArray().isEmpty());
    QCOMPARE(cli(link + QStringList{"expect", "type", "3", "curtain"}).exitCode, 0);
    QCOMPARE(cli(link + QStringList{"expect", "type", "3", "dimmer"}).exitCode, 2);
}

QTEST_MAIN(TestE2eWalkTest)
#include "test_e2e_walk_test.moc"
