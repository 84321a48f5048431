// End to end: velm-cli replace against velm-sim over loopback UDP and its pseudo-terminal.
// A spare at another address takes the failed module's address, gets its records and agrees
// in the audit, with the learned IR codes to do by hand; a spare of another type and two
// modules answering the address Read stop before anything is written. The window's wizard
// runs the same job, driven by keys to its window and a real "Are you sure?" box.
#include "app/message_prompts.h"
#include "app/replace_dialog.h"
#include "link/frame_tap.h"
#include "protocol/frame_decoder.h"
#include "protocol/module_admin_requests.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/sim_process.h"
#include "support/window_fixture.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QDate>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QListWidget>
#include <QMenuBar>
#include <QMessageBox>
#include <QProcess>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {
constexpr int kFailed = 9;
constexpr int kSpare = 12;
} // namespace

class TestE2eReplace : public QObject {
    Q_OBJECT
private slots:
    void replaceOverBothLinks_data();
    void replaceOverBothLinks();
    void cliIntoTheSiteAndItsReport_data();
    void cliIntoTheSiteAndItsReport();
    void wizardByKeys_data();
    void wizardByKeys();

private:
    void seedRecords(const QString& db);
};

void TestE2eReplace::seedRecords(const QString& db) {
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("r"));
        c.setDatabaseName(db);
        QVERIFY(c.open());
        QSqlQuery q(c);
        for (int ch = 1; ch <= 6; ++ch)
            QVERIFY(q.exec(QStringLiteral("INSERT INTO \"Bind Records\" VALUES (NULL, %1, %2, "
                                          "'NC', %3, 2, %4, 'Light On', 0)")
                               .arg(kFailed)
                               .arg(ch)
                               .arg(ch * 3)
                               .arg(ch)));
        QVERIFY(q.exec(QStringLiteral("INSERT INTO \"IR Records\" VALUES (NULL, %1, 3, 'TV on')")
                           .arg(kFailed)));
        QVERIFY(q.exec(
            QStringLiteral("INSERT INTO \"IR Records\" VALUES (NULL, %1, 5, 'Fan')").arg(kFailed)));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("r"));
}

void TestE2eReplace::replaceOverBothLinks_data() {
    QTest::addColumn<bool>("serial");
    QTest::addColumn<int>("failed");
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("lastStep");   // the last step line's name
    QTest::addColumn<QString>("says");       // in the summary
    QTest::addColumn<QList<int>>("present"); // module addresses afterwards
    const QString spare = QString::number(kSpare);
    for (const bool serial : {false, true}) {
        const char* link = serial ? "pty: " : "udp: ";
        QTest::newRow(QByteArray(link).append("spare elsewhere takes the address").constData())
            << serial << kFailed << QStringList{"--input", spare, "--bench", spare} << 0 << "audit"
            << QStringLiteral("Module %1 replaced").arg(kFailed) << QList<int>{kFailed};
        QTest::newRow(QByteArray(link).append("wrong type stopped before any Set").constData())
            << serial << kFailed << QStringList{"--light", spare, "--bench", spare} << 1
            << "type check"
            << "the spare is 0108 (light), module 9 is input. Nothing was written"
            << QList<int>{kSpare};
        QTest::newRow(QByteArray(link).append("two modules answering").constData())
            << serial << kFailed
            << QStringList{"--input", spare, "--light", "13", "--bench", spare + ",13"} << 1
            << "address Read"
            << "2 modules answered: disconnect all but the spare" << QList<int>{kSpare, 13};
        // The address is set and read back; with no records, nothing may read as audited.
        QTest::newRow(QByteArray(link).append("no records: nothing to push or check").constData())
            << serial << kFailed + 1 << QStringList{"--input", spare, "--bench", spare} << 0
            << "push"
            << "Module 10 replaced: the spare (type 040" << QList<int>{kFailed + 1};
    }
}

void TestE2eReplace::replaceOverBothLinks() {
    QFETCH(bool, serial);
    QFETCH(int, failed);
    QFETCH(QStringList, sim);
    QFETCH(int, exitCode);
    QFETCH(QString, lastStep);
    QFETCH(QString, says);
    QFETCH(QList<int>, present);
    QTemporaryDir dir;
    const QString db = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(db);
    seedRecords(db);
    SimProcess velmSim;
    if (serial)
        sim << QStringList{"--no-udp", "--serial", "--baud", "0"};
    QVERIFY2(velmSim.start(sim), qPrintable(velmSim.errorString()));
    const QStringList link =
        serial ? QStringList{"--serial", velmSim.serialPath()}
               : QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(velmSim.udpPort())};

    QProcess p;
    p.start(buildpaths::bin("velm-cli"),
            link + QStringList{"--db", db, "--json", "--timeout", "500", "replace",
                               QString::number(failed), "--type", "input"});
    QVERIFY(p.waitForFinished(60000));
    const QByteArray err = p.readAllStandardError();
    const QJsonObject out = QJsonDocument::fromJson(p.readAllStandardOutput()).object();
    QVERIFY2(p.exitCode() == exitCode, err.constData() + QJsonDocument(out).toJson());
    const QJsonArray steps = out["steps"].toArray();
    QVERIFY(!steps.isEmpty());
    QCOMPARE(steps.last().toObject()["step"].toString(), lastStep);
    QVERIFY2(out["summary"].toString().contains(says), qPrintable(out["summary"].toString()));
    // Nothing but the spare's own address Set changes where the modules answer.
    const QJsonObject dump = velmSim.dump();
    for (const int address : {kFailed, kFailed + 1, kSpare, 13}) {
        const bool here = !SimProcess::module(dump, address).isEmpty();
        QVERIFY2(here == present.contains(address), qPrintable(QString::number(address)));
    }
    const QJsonArray byHand = out["byHand"].toArray();
    if (exitCode != 0) {
        QVERIFY(byHand.isEmpty());
        return;
    }
    for (const QJsonValue& s : steps)
        QVERIFY2(s.toObject()["ok"].toBool(), qPrintable(s.toObject()["detail"].toString()));
    QVERIFY(out["summary"].toString().contains("type 040"));
    if (failed != kFailed) {
        const QString nothing =
            QStringLiteral("no records for module %1: nothing to push or check");
        QCOMPARE(steps.last().toObject()["detail"].toString(), nothing.arg(failed));
        QVERIFY(out["summary"].toString().endsWith(nothing.arg(failed) + '.'));
        QVERIFY(byHand.isEmpty());
        return;
    }
    QCOMPARE(byHand.toVariantList(),
             QVariantList({"learn IR code 3 again (TV on)", "learn IR code 5 again (Fan)"}));
    QVERIFY(steps.at(steps.size() - 2).toObject()["detail"].toString().contains("6 record(s)"));
    QVERIFY(steps.last().toObject()["detail"].toString().contains("agree"));
}

void TestE2eReplace::cliIntoTheSiteAndItsReport_data() {
    QTest::addColumn<QStringList>("sim");
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("line"); // a step's line in the history and the report
    const QString spare = QString::number(kSpare);
    QTest::newRow("a timer spare gets its clock")
        << QStringList{"--timer", spare, "--bench", spare} << QStringList{"--type", "timer"}
        << "clock set: clock set to " + QDate::currentDate().toString("yyyy-MM-dd");
    QTest::newRow("--yes goes past a wrong type")
        << QStringList{"--light", spare, "--bench", spare}
        << QStringList{"--type", "timer", "--yes"} << "type check: type 0108, version";
}

void TestE2eReplace::cliIntoTheSiteAndItsReport() {
    QFETCH(QStringList, sim);
    QFETCH(QStringList, args);
    QFETCH(QString, line);
    QTemporaryDir dir;
    const QString site = dir.filePath("site");
    const auto cli = [](const QStringList& a) {
        QProcess p;
        p.setStandardInputFile(QProcess::nullDevice());
        p.start(buildpaths::bin("velm-cli"), a);
        p.waitForFinished(60000);
        return std::pair{p.exitCode(), QString::fromUtf8(p.readAll())};
    };
    QCOMPARE(cli({"site", "new", site, "--technician", "Ann"}).first, 0);
    SimProcess velmSim;
    QVERIFY2(velmSim.start(sim), qPrintable(velmSim.errorString()));
    const auto run = cli(QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(velmSim.udpPort()),
                                     "--local-port", "0", "--site-dir", site, "--timeout", "500",
                                     "replace", QString::number(kFailed)} +
                         args);
    QVERIFY2(run.first == 0, qPrintable(run.second));
    QVERIFY(!SimProcess::module(velmSim.dump(), kFailed).isEmpty());

    const auto history = cli({"--site-dir", site, "history", "--json"});
    QStringList details;
    for (const QJsonValue& v : QJsonDocument::fromJson(history.second.toUtf8()).array()) {
        QCOMPARE(v["action"].toString(), "replace");
        QCOMPARE(v["module"].toInt(), kFailed);
        details << v["detail"].toString();
    }
    QVERIFY2(
        details.first().startsWith("address Read: the spare answers at 12") &&
            details.last() == "push: no records for module 9: nothing to push or check" &&
            !details.filter(QRegularExpression("^" + QRegularExpression::escape(line))).isEmpty(),
        qPrintable(details.join('|')));
    const QString html = dir.filePath("report.html");
    QCOMPARE(cli({"--site-dir", site, "report", "--html", html}).first, 0);
    QFile f(html);
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QString report = QString::fromUtf8(f.readAll());
    QVERIFY(report.contains("<h2>Replacements</h2>"));
    QVERIFY2(report.contains(line.toHtmlEscaped()), qPrintable(line));
}

void TestE2eReplace::wizardByKeys_data() {
    QTest::addColumn<QString>("spare"); // the simulator's family switch for the spare
    QTest::addColumn<int>("failed");
    QTest::addColumn<QString>("from"); // typed into the spare's address; empty: left at "any"
    QTest::addColumn<int>("answer");   // to "Are you sure?": a key, 0 when it is not asked
    QTest::addColumn<QString>("says");
    QTest::addColumn<bool>("setSent");
    QTest::newRow("spare elsewhere takes the address")
        << "--input" << kFailed << "" << 0 << QStringLiteral("Module %1 replaced").arg(kFailed)
        << true;
    QTest::newRow("wrong type: No stops before any Set")
        << "--light" << kFailed << "" << int(Qt::Key_Escape) << "Nothing was written to the spare"
        << false;
    // Past the check on the technician's word: the light module takes the address, then
    // refuses the input module's bindings, and the wizard says what it already holds.
    QTest::newRow("wrong type: Yes goes on")
        << "--light" << kFailed << "" << int(Qt::Key_Space)
        << QStringLiteral("Already written: address %1").arg(kFailed) << true;
    QTest::newRow("spare not at the address given: stopped, both named")
        << "--input" << kFailed << "20" << 0
        << QStringLiteral("the spare answers at %1, not at 20 as given. Nothing was written")
               .arg(kSpare)
        << false;
    QTest::newRow("no records: nothing to push or check")
        << "--input" << kFailed + 1 << QString::number(kSpare) << 0
        << QStringLiteral("; no records for module %1: nothing to push or check.").arg(kFailed + 1)
        << true;
}

void TestE2eReplace::wizardByKeys() {
    QFETCH(QString, spare);
    QFETCH(int, failed);
    QFETCH(QString, from);
    QFETCH(int, answer);
    QFETCH(QString, says);
    QFETCH(bool, setSent);
    WindowFixture env;
    MessagePrompts boxes;
    env.windowPrompts = &boxes;
    seedRecords(env.databaseFile());
    const QString at = QString::number(kSpare);
    QVERIFY2(env.open(false, {spare, at, "--bench", at}), qPrintable(env.error));
    boxes.setParent(env.window.get());
    // Every request that leaves, as the bus monitor reads it.
    QList<framedecoder::DecodedFrame> sent;
    QObject::connect(&env.window->bus().tap(), &FrameTap::frame, env.window.get(),
                     [&sent](const TappedFrame& f) {
                         if (f.direction == TappedFrame::Direction::Sent)
                             sent << framedecoder::decode(f.bytes, framedecoder::hintsOf(f));
                     });
    env.find<QMenuBar>("MainMenu")->findChild<QAction*>("ReplaceModuleAction")->trigger();
    auto* wizard = env.window->findChild<ReplaceDialog*>("ReplaceDialog");
    QVERIFY(wizard && wizard->isVisible());
    wizard->findChild<QSpinBox*>("ReplaceFailed")->setValue(failed);
    wizard->findChild<QComboBox*>("ReplaceType")->setCurrentText("input");
    if (!from.isEmpty()) {
        auto* field = wizard->findChild<QSpinBox*>("ReplaceFrom");
        field->setFocus();
        field->selectAll();
        QTest::keyClicks(field, from);
        QCOMPARE(field->value(), from.toInt());
    }

    // The box is answered by a key as the technician would: Esc says No; Yes is reached with
    // Tab and pressed with Space.
    QString asked;
    QTimer answerer;
    answerer.setInterval(50);
    answerer.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        // Keys go to the box once it is the active window with its focus, as a person's would.
        if (!box || !box->isActiveWindow() || !box->isAncestorOf(QApplication::focusWidget()))
            return;
        answerer.stop();
        asked = box->text();
        QAbstractButton* yes = box->button(QMessageBox::Yes);
        if (answer == Qt::Key_Space)
            for (int tab = 0; tab < 6 && QApplication::focusWidget() != yes; ++tab)
                QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QWidget* target = QApplication::focusWidget();
        QTest::keyClick(target, Qt::Key(answer));
        if (box->isVisible()) // a key that did nothing must not hang the test
            box->done(QMessageBox::No);
    });
    answerer.start();
    QWidget* target = QApplication::focusWidget();
    QTest::keyClick(target && target->window() == wizard ? target : wizard, Qt::Key_Return);
    QTRY_VERIFY_WITH_TIMEOUT(!wizard->running() &&
                                 !wizard->findChild<QLabel*>("ReplaceSummary")->text().isEmpty(),
                             30000);
    answerer.stop();
    const QString summary = wizard->findChild<QLabel*>("ReplaceSummary")->text();
    QVERIFY2(summary.contains(says), qPrintable(summary));
    if (!answer && setSent && failed == kFailed)
        probe::screenshot(wizard, QStringLiteral("replace_wizard"));
    QVERIFY2(wizard->findChild<QLabel*>("ReplaceSpare")->text().contains(at),
             qPrintable(wizard->findChild<QLabel*>("ReplaceSpare")->text()));
    QCOMPARE(asked.contains("Are you sure?"), answer != 0);
    if (answer != 0)
        QVERIFY2(asked.contains("0108 (light)") && asked.contains("module 9 is input"),
                 qPrintable(asked));
    const Request set = moduleadmin::setAddress(failed);
    const bool anySet = std::any_of(sent.begin(), sent.end(), [&](const auto& d) {
        return d.module == set.module && d.command == set.command && d.subCommand == set.subCommand;
    });
    QCOMPARE(anySet, setSent);
    const QJsonObject dump = env.sim.dump();
    QCOMPARE(SimProcess::module(dump, failed).isEmpty(), !setSent);
    QStringList closing;
    auto* list = wizard->findChild<QListWidget*>("ReplaceClosing");
    for (int i = 0; i < list->count(); ++i)
        closing << list->item(i)->text();
    if (setSent && failed == kFailed)
        QVERIFY2(closing.contains("learn IR code 3 again (TV on)") &&
                     closing.contains("learn IR code 5 again (Fan)"),
                 qPrintable(closing.join('|')));
    else
        QVERIFY2(closing.isEmpty(), qPrintable(closing.join('|')));
}

QTEST_MAIN(TestE2eReplace)
#include "test_e2e_replace.moc"
