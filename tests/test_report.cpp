// The installation report: the README's commissioning example against velm-sim, from the
// records alone and live (in a network namespace of its own, for the bus switch's broadcast
// read), read back from the PDF with pdftotext and checked by tidy; records that do not fit,
// names with markup; and the File menu's dialog.
#include "app/main_window.h"
#include "app/records_menu.h"
#include "app/report_dialog.h"
#include "jobs/walk_run.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "report/installation_report.h"
#include "report/page_limit.h"
#include "report/report_document.h"
#include "report_pdf/report_pdf.h"
#include "support/build_paths.h"
#include "support/net_namespace.h"
#include "support/sim_process.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QCryptographicHash>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLabel>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QRegularExpression>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

#include <memory>
#include <utility>

namespace {
constexpr const char* kPassword = "418273";

// The README's commission.velm, as it stands there, and a timer with an event of module 6.
QString commissionScript() {
    QFile readme(buildpaths::source("README.md"));
    if (!readme.open(QIODevice::ReadOnly))
        return {};
    const QString text = QString::fromUtf8(readme.readAll());
    const int named = int(text.indexOf(QStringLiteral("`commission.velm`")));
    const int start = int(text.indexOf(QStringLiteral("```\n"), named)) + 4;
    return text.mid(start, text.indexOf(QStringLiteral("```"), start) - start) +
           QStringLiteral("timers set 6 2 day 2014-02-24 07:00:00\n"
                          "events set 6 2 1 curtain-open 3 1\n");
}

// A program's exit status and its standard output; -1 when it did not end.
std::pair<int, QString> run(const QString& program, const QStringList& args,
                            const QByteArray& input = {}) {
    QProcess p;
    p.start(program, args);
    if (!input.isEmpty()) {
        p.write(input);
        p.closeWriteChannel();
    }
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return {-1, {}};
    }
    return {p.exitCode(), QString::fromUtf8(p.readAllStandardOutput() + p.readAllStandardError())};
}

// The PDF's words, every run of blanks and line ends as one blank, ligatures ("ﬀ") as their
// letters, and "Off/Close" whole where a line broke after its slash.
QString pdfText(const QString& pdf) {
    const auto [code, text] = run(QStringLiteral("pdftotext"), {pdf, QStringLiteral("-")});
    return code == 0 ? text.normalized(QString::NormalizationForm_KC)
                           .simplified()
                           .replace(QStringLiteral("/ "), QStringLiteral("/"))
                     : QStringLiteral("pdftotext failed: ") + text;
}

QByteArray fileBytes(const QString& file) {
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// What a report of the README's example says, in words, wherever it is read.
const QStringList kExampleWords = {
    "Installation report: Villa \"Rosa\" <b>",
    "Technician A. O'Neil",
    "Record file SHA-256",
    "Scene 1, All on: CH1 On/Open, CH2 On/Open, CH3 On/Open, CH4 On/Open, CH5 On/Open, CH6 "
    "On/Open, CH7 On/Open, CH8 On/Open",
    "Scene 2, Night: CH1 Off/Close, CH2 Off/Close, CH3 No Change, CH4 No Change, CH5 Off/Close",
    "Input 5, channel 1, NC, no delay → scene 1: Scene Control",
    "Input 5, channel 2, NO, no delay → scene 2: Scene Control",
    "Input 5, channel 3, NC, no delay → module 1 channel 3: Light Toggle",
    "Channels with no action (Invalid): 4–14.",
    "Timer 2, Day(repeat), 07:00:00",
    "Event 1 → module 3 channel 1: Curtain Open",
    "Page 1 of"};
} // namespace

class TestReport : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void readmeExample();
    void recordsShownAsStored_data();
    void recordsShownAsStored();
    void fileMenuWritesBoth();
    void refusals_data();
    void refusals();
    void tooLongForAPdfIsRefused_data();
    void tooLongForAPdfIsRefused();
    void htmlFileIsTheWholeDocument();
    void knownRecordsGiveKnownBytes();
    void walkTablesBreakCleanly_data();
    void walkTablesBreakCleanly();

private:
    // `rows` event rows that do something, in one statement.
    void fillEvents(int rows);
    void runSql(const QStringList& statements);
    QString path(const QString& name) const { return m_dir->filePath(name); }
    QString db() const { return path(QStringLiteral("VELM.mdb")); }
    // velm-cli against the simulator (its link first, when given) and the test's records.
    std::pair<int, QString> cli(const QStringList& args, const QByteArray& input = {}) {
        return run(buildpaths::bin("velm-cli"), m_link + QStringList{"--db", db()} + args, input);
    }
    void commission(const QStringList& simArgs);
    void fromRecords();
    void live();
    // The HTML passes tidy without an error and stands alone.
    void checkHtml(const QString& file);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    QStringList m_link;
};

void TestReport::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
    m_sim = std::make_unique<SimProcess>();
    m_link.clear();
}

void TestReport::cleanup() {
    m_sim.reset();
    m_dir.reset();
}

void TestReport::commission(const QStringList& simArgs) {
    QVERIFY2(m_sim->start(simArgs), qPrintable(m_sim->errorString()));
    m_link = {"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())};
    const auto [code, out] = cli({"run", "-"}, commissionScript().toUtf8());
    QVERIFY2(code == 0 && out.contains("Module 5: all 14 records agree."), qPrintable(out));
}

void TestReport::checkHtml(const QString& file) {
    const auto [code, out] = run(QStringLiteral("tidy"), {"-errors", "-q", file});
    QVERIFY2(code == 0 || code == 1, qPrintable(out)); // 1: warnings only
    QVERIFY2(!out.contains(QStringLiteral("Error:")), qPrintable(out));
    const QString html = QString::fromUtf8(fileBytes(file));
    for (const char* outside : {"<script", "src=", "href=", "<link", "url(", kPassword})
        QVERIFY2(!html.contains(QLatin1String(outside), Qt::CaseInsensitive), outside);
}

// The records of the README's example, written by velm-cli against the simulator.
void TestReport::readmeExample() {
    if (!netns::isChild()) {
        const netns::Outcome run = netns::runIsolated(QStringLiteral("readmeExample"));
        if (run.kind != netns::Outcome::Unavailable) {
            QVERIFY2(run.kind == netns::Outcome::Passed, qPrintable(run.text));
            return;
        }
        // Without a namespace of our own nothing may broadcast: the records alone.
        commission({});
        fromRecords();
        QSKIP(qPrintable(QStringLiteral("no live report: ") + run.text));
    }
    QVERIFY2(netns::isolated(), "not in a network namespace of our own: no broadcast");
    commission({"--udp-broadcast"});
    fromRecords();
    if (!QTest::currentTestFailed())
        live();
}

void TestReport::fromRecords() {
    const QStringList link = std::exchange(m_link, {}); // a report of the records needs no link
    const auto [code, out] = cli({"report", "--html", path("r.html"), "--pdf", path("r.pdf"),
                                  "--site", "Villa \"Rosa\" <b>", "--technician", "A. O'Neil"});
    m_link = link;
    QVERIFY2(code == 0, qPrintable(out));
    checkHtml(path("r.html"));
    const QString text = pdfText(path("r.pdf"));
    for (const QString& words : kExampleWords)
        QVERIFY2(text.contains(words), qPrintable(words + QStringLiteral(" not in: ") + text));
    // Modules 1 and 5 are what the records name; nothing was asked of them.
    QVERIFY2(text.contains("1 not read not read yes 5 not read not read yes"), qPrintable(text));
    QVERIFY(text.contains("The records do not say which module holds them; not audited."));
    QVERIFY(!text.contains("Audit") && !text.contains(kPassword));
    // The cover's short SHA-256 is that of the file.
    const QByteArray sha = QCryptographicHash::hash(fileBytes(db()), QCryptographicHash::Sha256);
    QVERIFY(text.contains(QString::fromLatin1(sha.toHex().left(12))));
}

void TestReport::live() {
    const QByteArray before = fileBytes(db());
    const auto [code, out] =
        cli({"report", "--live", "--modules", "1,5,9", "--timer-module", "6", "--wait", "50",
             "--pdf", path("live.pdf"), "--html", path("live.html"), "--site", "Villa \"Rosa\" <b>",
             "--technician", "A. O'Neil"});
    QVERIFY2(code == 0, qPrintable(out));
    // Read, never written: neither a row nor anything of the module.
    QCOMPARE(fileBytes(db()), before);
    checkHtml(path("live.html"));
    const QString text = pdfText(path("live.pdf"));
    QStringList words = kExampleWords;
    words << QStringLiteral("Link UDP to 127.0.0.1 port %1, Subnet ID 1").arg(m_sim->udpPort())
          << "1 0108 LGT8 V1.02 yes yes"
          << "5 040E IN14 V1.02 yes yes"
          << "6 0520 TMR V1.02 no yes"
          << "9 did not answer did not answer no did not answer"
          << "Module 5: all 14 records agree."
          << "Module 9 did not answer."
          << "Scenes: the bus has no read for them; 2 scene record(s) not checked"
          << "audited as the timers and events of module 6"
          << "Module 6: all 2 records agree."
          << "IP address 127.0.0.1"
          << "MAC address 02-00-00-00-00-01";
    for (const QString& w : words)
        QVERIFY2(text.contains(w), qPrintable(w + QStringLiteral(" not in: ") + text.right(1500)));
    QVERIFY(!text.contains(kPassword));
}

void TestReport::recordsShownAsStored_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<QVariantMap>("row");
    QTest::addColumn<QStringList>("shown");

    QTest::newRow("markup and quotes in a scene name")
        << "Scene Records"
        << QVariantMap{{"Scene_No", 3},
                       {"Module_Addr", 2},
                       {"Information", "<b>x</b> \"q\" & 'a'"},
                       {"CH1", "On/Open"}}
        << QStringList{"<li>Scene 3, &lt;b&gt;x&lt;/b&gt; &quot;q&quot; &amp; &#39;a&#39;: CH1 "
                       "On/Open, CH2 (empty),"};
    QTest::newRow("a scene of no module")
        << "Scene Records" << QVariantMap{{"Scene_No", 4}, {"Information", "Lost"}}
        << QStringList{"<h2>Records of no module</h2>", "<li>Scene 4, Lost: CH1 (empty),"};
    QTest::newRow("a binding to a module no byte can carry")
        << "Bind Records"
        << QVariantMap{{"Input_Addr", 4},      {"Input_Channel", 2}, {"Trigger_Mode", "NO"},
                       {"Trigger_Delay", 5},   {"Output_Addr", 300}, {"Output_Channel", 1},
                       {"Action", "Light On"}, {"Parameter", 0}}
        << QStringList{"<h2>Module 4</h2>",
                       "<li class=\"unfit\">Input 4, channel 2, NO, delay 5 s → module 300 channel "
                       "1: Light On (does not fit: Output_Addr 300 does not fit (0..255))</li>"};
    QTest::newRow("a timer mode outside the list")
        << "Timer Records"
        << QVariantMap{{"Timer_Order", 3},
                       {"Time", "2014-02-24 07:00:00"},
                       {"Timer_Mode", "<i>Often"}}
        << QStringList{"Timer 3, &lt;i&gt;Often, 2014-02-24 07:00:00 (does not fit: Timer_Mode"};
    QTest::newRow("an event of a timer without a record")
        << "Event Records"
        << QVariantMap{{"Timer_Order", 7}, {"Event_Order", 2}, {"Address", 4},
                       {"Channel", 1},     {"Parameter", 9},   {"Action", "IR Control"}}
        << QStringList{"Timer 7: no timer record", "Event 2 → module 4 IR No.9: IR Control"};
    QTest::newRow("a bound monitor slot makes the bus switch a module")
        << "Monitor Bind Records" << QVariantMap{{"Order", 100}, {"Address", 7}, {"Channel", 3}}
        << QStringList{"<td>255 (bus switch)</td><td>not read</td>",
                       "<td>100</td><td>1</td><td>1</td><td>AC</td><td>7</td><td>3</td>"};
}

void TestReport::recordsShownAsStored() {
    QFETCH(QString, table);
    QFETCH(QVariantMap, row);
    QFETCH(QStringList, shown);
    {
        RecordTable t(table);
        t.open(db());
        // A slot's row is there already; the other tables get a new one.
        if (row.contains("Order")) {
            QVERIFY(t.locate(QStringLiteral("Order"), row.take("Order")));
            t.edit();
        } else {
            t.append();
        }
        for (auto it = row.cbegin(); it != row.cend(); ++it)
            it.value().typeId() == QMetaType::Int ? t.setField(it.key(), it.value().toInt())
                                                  : t.setField(it.key(), it.value().toString());
        t.post();
    }
    ReportRequest request;
    request.databaseFile = db();
    const QString html = reportdocument::html(InstallationReport::fromRecords(request));
    for (const QString& s : shown)
        QVERIFY2(html.contains(s), qPrintable(s + QStringLiteral(" not in: ") + html));
    QVERIFY(!html.contains("<b>x</b>") && !html.contains("<i>Often"));
}

void TestReport::fileMenuWritesBoth() {
    ScriptedPrompts prompts;
    TForm1 window(prompts, db());
    QAction* action = window.findChild<QAction*>(QStringLiteral("InstallationReport"));
    QVERIFY(action);
    action->trigger();
    auto* dialog = window.findChild<ReportDialog*>(QStringLiteral("ReportDialog"));
    QVERIFY(dialog && dialog->isVisible());
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    const QString chosen = path("handover.pdf");
    dialog->setFileDialogs(
        {[&](QWidget*, const QString&, const QString&, QString*) { return chosen; }, nullptr});
    auto* site = dialog->findChild<QLineEdit*>(QStringLiteral("ReportSite"));
    QTest::mouseClick(site, Qt::LeftButton);
    QTest::keyClicks(site, QStringLiteral("Hall & <Co>"));
    QTest::mouseClick(dialog->findChild<QPushButton*>(QStringLiteral("ReportSave")),
                      Qt::LeftButton);
    // The name chosen, as HTML and as PDF beside it; the window asked nothing of the bus.
    QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join(", ")));
    QVERIFY(fileBytes(path("handover.html")).contains("Hall &amp; &lt;Co&gt;"));
    QVERIFY(pdfText(path("handover.pdf")).contains("Installation report: Hall & <Co>"));
    // Done: the dialog offers to close, and the window says where the report went.
    QCOMPARE(dialog->findChild<QPushButton*>(QStringLiteral("ReportCancel"))->text(),
             QStringLiteral("Close"));
    QVERIFY(window.findChild<QLabel*>(QStringLiteral("LinkStatePanel"))
                ->text()
                .contains(QStringLiteral("Installation report written: %1, %2")
                              .arg(path("handover.html"), path("handover.pdf"))));
}

void TestReport::refusals_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("nowhere to go") << QStringList{"report", "--site", "x"} << 2
                                   << "say where it goes, --html FILE and/or --pdf FILE";
    QTest::newRow("live without a link") << QStringList{"report", "--live", "--html", "r.html"} << 2
                                         << "report --live: choose a link";
    QTest::newRow("timer module of a report from the records")
        << QStringList{"report", "--timer-module", "6", "--html", "r.html"} << 2
        << "--timer-module belongs to a --live report";
    QTest::newRow("a report's option on another command")
        << QStringList{"export", "x.json", "--site", "x"} << 2 << "belong to report";
    QTest::newRow("a module beyond the bus")
        << QStringList{"report", "--modules", "1,256", "--html", "r.html"} << 2
        << "--modules must be a number from 1 to 255, not '256'";
    QTest::newRow("a record file in the Access format")
        << QStringList{"report", "--db", buildpaths::source("tests/data/access/six-tables.mdb"),
                       "--html", "r.html"}
        << 1
        << "six-tables.mdb is a record file in the Access format: convert it with velm-cli convert";
    QTest::newRow("a folder that is not there")
        << QStringList{"report", "--html", "/nonexistent/r.html"} << 1
        << "the folder of /nonexistent/r.html does not exist";
    // The PDF goes through the same checks as every file the tool writes.
    QTest::newRow("a PDF where a folder stands")
        << QStringList{"report", "--html", "r.html", "--pdf", "."} << 1 << " is a folder, not a file";
}

void TestReport::refusals() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    const auto [code, out] = cli(args);
    QCOMPARE(code, exitCode);
    QVERIFY2(out.contains(message), qPrintable(out));
    QVERIFY(!QFileInfo::exists(path("r.html")));
}

// A report longer than a PDF can hold is refused before anything is written, with the way
// out named; whatever file was there stays (it used to be a blank page and "written").
void TestReport::tooLongForAPdfIsRefused_data() {
    QTest::addColumn<bool>("byCli");
    QTest::newRow("velm-cli, from the records") << true;
    QTest::newRow("the PDF of an HTML document") << false;
}

void TestReport::tooLongForAPdfIsRefused() {
    QFETCH(bool, byCli);
    const int rows = pagelimit::kMaxPages * pagelimit::kMostRowsPerPage + 1;
    QFile earlier(path("r.pdf"));
    QVERIFY(earlier.open(QIODevice::WriteOnly) && earlier.write("earlier") == 7);
    earlier.close();
    QString message;
    if (byCli) {
        fillEvents(rows);
        const auto [code, out] = cli({"report", "--html", path("r.html"), "--pdf", path("r.pdf")});
        QCOMPARE(code, 1);
        QVERIFY(!QFileInfo::exists(path("r.html")));
        message = out;
    } else {
        QString html = QStringLiteral("<table>");
        for (int r = 0; r < rows; ++r)
            html += QStringLiteral("<tr><td>1</td></tr>");
        QVERIFY(!reportpdf::write(html + QStringLiteral("</table>"), "t", path("r.pdf"), &message));
    }
    QVERIFY2(message.contains(QStringLiteral("use --html")), qPrintable(message));
    QVERIFY2(message.contains(QString::number(pagelimit::kMaxPages)), qPrintable(message));
    QCOMPARE(fileBytes(path("r.pdf")), QByteArray("earlier"));
}

void TestReport::fillEvents(int rows) {
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        file.setDatabaseName(db());
        QVERIFY(file.open());
        QSqlQuery q(file);
        QVERIFY2(q.exec(QStringLiteral(
                            R"(WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < %1)
                            INSERT INTO "Event Records" ("Timer_Order", "Event_Order", "Address",
                              "Channel", "Parameter", "Action")
                            SELECT 1 + i % 32, 1 + i % 16, 1, 1, 1, 'Light On' FROM n)")
                            .arg(rows)),
                 qPrintable(q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
}

void TestReport::runSql(const QStringList& statements) {
    {
        QSqlDatabase file = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "sql");
        file.setDatabaseName(db());
        QVERIFY(file.open());
        QSqlQuery q(file);
        for (const QString& s : statements)
            QVERIFY2(q.exec(s), qPrintable(s + ": " + q.lastError().text()));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("sql"));
}

// A record file of several modules, rows that do not fit, rows of no module, timers with and
// without events: the report's bytes stay what they are (tests/data/report_known.html).
void TestReport::knownRecordsGiveKnownBytes() {
    runSql({
        R"(INSERT INTO "Scene Records" (Scene_No, Information, Module_Addr, CH1, CH2) VALUES
           (1, 'Hall', 2, 'On/Open', 'Off/Close'), (2, '<b>x</b> & "q"', 1, 'No Change', NULL),
           (3, 'Lost', NULL, NULL, NULL), (4, 'Odd', 'x7', 'On/Open', NULL),
           (5, 'Stair', 2, 'Off/Close', 'On/Open'))",
        R"(INSERT INTO "IR Records" (Module_Addr, IR_No, Information) VALUES
           (2, 5, 'TV'), (1, 300, 'Big'), (2, 6, 'Radio'), (NULL, 1, 'Nowhere'))",
        R"(INSERT INTO "Bind Records" (Input_Addr, Input_Channel, Trigger_Mode, Trigger_Delay,
             Output_Addr, Output_Channel, Action, Parameter) VALUES
           (5, 1, 'NC', 0, 1, 1, 'Light On', 0), (5, 2, 'NO', 0, 0, 0, 'Invalid', 0),
           (5, 3, 'NO', 0, 0, 0, 'Invalid', 0), (1, 2, 'NC', 3, 2, 1, 'Scene Control', 2),
           (5, 4, 'NO', 0, 0, 0, 'Invalid', 0))",
        R"(INSERT INTO "Timer Records" (Timer_Order, Time, Timer_Mode) VALUES
           (2, '2014-02-24 07:00:00', 'Day(repeat)'), (3, '2014-02-24 08:00:00', '<i>Often'),
           (4, NULL, NULL), (5, '2014-02-24 09:00:00', 'Once'))",
        R"(INSERT INTO "Event Records" (Timer_Order, Event_Order, Address, Channel, Parameter,
             Action) VALUES (2, 1, 3, 1, 0, 'Curtain Open'), (2, 2, 0, 0, 0, 'Invalid'),
           (7, 2, 4, 1, 9, 'IR Control'), (5, 1, 0, 0, 0, 'Invalid'), (2, 3, 1, 2, 0, 'Light On'))",
        R"(UPDATE "Monitor Bind Records" SET Address = 7, Channel = 3 WHERE "Order" = 100)",
    });
    ReportRequest request;
    request.databaseFile = db();
    request.site = QStringLiteral("Villa \"Rosa\" <b>");
    ReportContent content = InstallationReport::fromRecords(request);
    // What changes from run to run: when, which build, where.
    content.made = QDateTime(QDate(2014, 8, 18), QTime(9, 30));
    content.version = QStringLiteral("0.0");
    content.records.file = QStringLiteral("/site/VELM.mdb");
    content.records.sha256 = QString(64, u'0');
    QString error;
    QVERIFY2(InstallationReport::save(content, path("r.html"), {}, &error, {}), qPrintable(error));
    const QByteArray known = [] {
        QFile f(buildpaths::source("tests/data/report_known.html"));
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }();
    const QByteArray bytes = fileBytes(path("r.html"));
    if (bytes != known) // for a look at what changed
        QFile::copy(path("r.html"), QDir::temp().filePath("report_known.html"));
    QCOMPARE(bytes, known);
}

// The HTML file goes to the disk in pieces as it is made: byte for byte the document the PDF
// is made from, over many pieces.
void TestReport::htmlFileIsTheWholeDocument() {
    fillEvents(20000);
    ReportRequest request;
    request.databaseFile = db();
    request.site = QStringLiteral("Villa \"Rosa\" <b>");
    const ReportContent content = InstallationReport::fromRecords(request);
    QString error;
    QVERIFY2(InstallationReport::save(content, path("r.html"), {}, &error, {}), qPrintable(error));
    const QByteArray whole = reportdocument::html(content).toUtf8();
    QVERIFY2(whole.size() > 1'000'000, qPrintable(QString::number(whole.size())));
    QVERIFY(whole.endsWith("</body>\n</html>\n") && whole.count("<body>") == 1);
    QCOMPARE(fileBytes(path("r.html")), whole);
}

void TestReport::walkTablesBreakCleanly_data() {
    QTest::addColumn<int>("modules");
    QTest::addColumn<int>("outputs");
    QTest::newRow("tables that fit a page are never cut") << 9 << 8;
    QTest::newRow("a table longer than a page keeps its heading") << 1 << 130;
}

// Each row notes its module ("m3"): on every page a row of module N stands under a
// "Module N" heading on that page.
void TestReport::walkTablesBreakCleanly() {
    QFETCH(int, modules);
    QFETCH(int, outputs);
    WalkRun walk;
    walk.started = QDateTime::currentDateTime();
    walk.file = WalkRun::newFile(db(), QString(), walk.started);
    for (int m = 1; m <= modules; ++m)
        for (int n = 1; n <= outputs; ++n)
            walk.results << WalkResult{{WalkOutput::Kind::Light, m, n, QString()},
                                       WalkResult::Verdict::Works,
                                       QStringLiteral("m%1").arg(m),
                                       walk.started,
                                       QStringLiteral("Ann")};
    walk.save();
    QCOMPARE(cli({"report", "--pdf", path("walk.pdf")}).first, 0);
    const auto [code, text] = run(QStringLiteral("pdftotext"), {path("walk.pdf"), "-"});
    QCOMPARE(code, 0);
    const QStringList pages = text.split(QLatin1Char('\f'), Qt::SkipEmptyParts);
    QMap<int, QSet<int>> pagesOf; // module → the pages its rows are on
    for (int p = 0; p < pages.size(); ++p) {
        const QString& page = pages.at(p);
        for (int m = 1; m <= modules; ++m) {
            const QRegularExpression row(QStringLiteral("\\bm%1\\b").arg(m));
            const qsizetype first = page.indexOf(row);
            if (first < 0)
                continue;
            pagesOf[m] << p;
            const qsizetype heading = page.indexOf(QStringLiteral("Module %1\n").arg(m));
            QVERIFY2(heading >= 0 && heading < first,
                     qPrintable(QStringLiteral("page %1: %2").arg(p + 1).arg(page.left(300))));
        }
    }
    QCOMPARE(pagesOf.size(), modules);
    for (auto it = pagesOf.cbegin(); it != pagesOf.cend(); ++it)
        QVERIFY2(outputs > 40 ? it.value().size() > 1 : it.value().size() == 1,
                 qPrintable(QStringLiteral("module %1").arg(it.key())));
}

QTEST_MAIN(TestReport)
#include "test_report.moc"
