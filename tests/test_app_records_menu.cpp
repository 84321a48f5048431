// The window's File menu driven offscreen by objectName: export, import with its dialog and
// preview, backups, and rows the window posts while an import is being chosen.
#include "app/import_dialog.h"
#include "app/main_window.h"
#include "app/records_menu.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/record_files.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QCheckBox>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLabel>
#include <QMenu>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestAppRecordsMenu : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void fileMenu();
    void exportThenImportShowsTheRowsInTheGrids();
    void dialogRefuses_data();
    void dialogRefuses();
    void badFileOpensNoDialog();
    void rowsPostedWhileChoosingAreKept();
    void csvExportAndBackup();
    void exportNamesRowsOutsideTheTable();
    void convertAccessRecordFileThroughTheWindow();

private:
    QString path(const QString& name) const { return m_dir->filePath(name); }
    // Points the menu's file dialogs at `file` (with `filter` for a save).
    void choose(const QString& file, const char* filter = RecordsMenu::kJsonFilter);
    void trigger(const char* action) {
        m_window->findChild<QAction*>(QLatin1StringView(action))->trigger();
    }
    ImportDialog* dialog() const { return m_window->findChild<ImportDialog*>("ImportDialog"); }
    void addScene(int no, const QString& name);

    std::unique_ptr<QTemporaryDir> m_dir;
    ScriptedPrompts m_prompts;
    std::unique_ptr<TForm1> m_window;
    RecordsMenu* m_menu = nullptr;
};

void TestAppRecordsMenu::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(path("VELM.mdb"));
    m_prompts = ScriptedPrompts();
    m_window = std::make_unique<TForm1>(m_prompts, path("VELM.mdb"));
    m_menu = m_window->findChild<RecordsMenu*>("RecordsMenu");
    QVERIFY(m_menu);
    addScene(1, QStringLiteral("Hall"));
}

void TestAppRecordsMenu::cleanup() {
    m_window.reset();
    m_dir.reset();
}

void TestAppRecordsMenu::choose(const QString& file, const char* filter) {
    m_menu->setFileDialogs(
        {[file, filter](QWidget*, const QString&, const QString& filters, QString* chosen) {
             if (!filters.contains(QLatin1StringView(filter)))
                 return QString();
             *chosen = QLatin1StringView(filter);
             return file;
         },
         [file](QWidget*, const QString&, const QString&) { return file; }});
}

void TestAppRecordsMenu::addScene(int no, const QString& name) {
    RecordTable& scenes = m_window->records().scenes();
    scenes.append();
    scenes.setField(QStringLiteral("Scene_No"), no);
    scenes.setField(QStringLiteral("Information"), name);
    scenes.setField(QStringLiteral("Module_Addr"), 1);
    scenes.post();
}

void TestAppRecordsMenu::fileMenu() {
    const QList<QAction*> menus = m_window->menuBar()->actions();
    // The menu bar holds "File", "Tools" and "Help".
    QCOMPARE(menus.size(), 3);
    QCOMPARE(menus[0]->text(), QStringLiteral("File"));
    QCOMPARE(menus[1]->text(), QStringLiteral("Tools"));
    QCOMPARE(menus[2]->text(), QStringLiteral("Help"));
    QCOMPARE(menus[0]->menu()->objectName(), QStringLiteral("FileMenu"));
    QStringList items;
    for (QAction* a : menus[0]->menu()->actions())
        items << a->objectName() + u'=' + a->text();
    // The site items first, then the records'.
    QCOMPARE(items, (QStringList{"NewSite=New Site…", "OpenSite=Open Site…",
                                 "RecentSites=Recent Sites", "SiteDetails=Site Details…",
                                 "MakeSite=Make This Folder a Site…",
                                 "SiteHistory=Site History…", "=",
                                 "NewRecordFile=New Record File…",
                                 "ExportRecords=Export Records…", "ImportRecords=Import Records…",
                                 "BackUpRecords=Back Up Records…",
                                 "RestoreRecords=Restore Records…",
                                 "ConvertAccessRecords=Convert Access Record File…",
                                 "InstallationReport=Installation Report…", "=", "Quit=Quit"}));
    // A cancelled dialog does nothing at all.
    choose(QString());
    trigger("ExportRecords");
    trigger("ImportRecords");
    QVERIFY(!dialog());
    QCOMPARE(m_prompts.messages, QStringList());
}

void TestAppRecordsMenu::exportThenImportShowsTheRowsInTheGrids() {
    addScene(2, QStringLiteral("Bed, \"upstairs\""));
    choose(path("site"));
    trigger("ExportRecords");
    QCOMPARE(m_prompts.messages, QStringList{"Records exported"});
    QVERIFY2(m_prompts.details[0].contains(path("site.json")), qPrintable(m_prompts.details[0]));

    // The grid loses one scene and gains another; the import puts the file's rows back.
    RecordTable& scenes = m_window->records().scenes();
    scenes.first();
    scenes.deleteCurrent();
    addScene(9, QStringLiteral("Later"));
    m_prompts.clear();
    choose(path("site.json"));
    trigger("ImportRecords");
    ImportDialog* d = dialog();
    QVERIFY(d && d->isVisible());
    for (const schema::TableDef& t : schema::tables()) {
        auto* box = probe::control<QCheckBox>(d, ImportDialog::checkBoxName(t.name));
        QVERIFY(box->isChecked() && box->isEnabled());
    }
    auto* preview = probe::control<QTableWidget>(d, "ImportPreview");
    QCOMPARE(preview->rowCount(), 6);
    QCOMPARE(preview->item(0, 0)->text(), QStringLiteral("Scene Records"));
    QStringList counts;
    for (int c = 1; c < 5; ++c)
        counts << preview->item(0, c)->text();
    QCOMPARE(counts, (QStringList{"2", "1", "1", "0"})); // in the file, gains, loses, changes

    probe::control<QCheckBox>(d, "ImportMonitorBindRecords")->setChecked(false);
    QCOMPARE(preview->rowCount(), 5);
    probe::control<QPushButton>(d, "ImportButton")->click();
    QCOMPARE(m_prompts.messages, QStringList{"Records imported"});
    QVERIFY2(m_prompts.details[0].contains("Scene Records: gains 1, loses 1, changes 0"),
             qPrintable(m_prompts.details[0]));
    QTRY_VERIFY(!dialog());
    QCOMPARE(probe::tableRows(scenes),
             (QStringList{"1|Hall|1||||||||", "2|Bed, \"upstairs\"|1||||||||"}));
    QCOMPARE(scenes.model()->rowCount(), 2);
    QCOMPARE(QDir(m_dir->path()).entryList({"VELM.mdb.backup-*"}).size(), 1);
}

void TestAppRecordsMenu::dialogRefuses_data() {
    QTest::addColumn<QByteArray>("tables");
    QTest::addColumn<QStringList>("untick");
    QTest::addColumn<QString>("problem");
    QTest::newRow("no table chosen")
        << QByteArray(R"("Timer Records": [])") << QStringList{"ImportTimerRecords"}
        << "Choose at least one table.";
    // Only a chosen table with a bad row is refused, and the row is named.
    QTest::newRow("a bad row") << QByteArray(R"("Bind Records": [{"Output_Addr": 257}],
        "Timer Records": [])") << QStringList()
                               << "Bind Records row 1: Output_Addr 257 does not fit (0..255)";
    QTest::newRow("slot the database lacks")
        << QByteArray(R"("Monitor Bind Records": [{"Order": 200}])") << QStringList()
        << "Monitor Bind Records row 1: the database has no slot with Order 200";
}

void TestAppRecordsMenu::dialogRefuses() {
    QFETCH(QByteArray, tables);
    QFETCH(QStringList, untick);
    QFETCH(QString, problem);
    // Another program's database that lacks a slot.
    QVERIFY(record_files::exec(path("VELM.mdb"),
                               "DELETE FROM \"Monitor Bind Records\" WHERE \"Order\" = 200"));
    QFile f(path("in.json"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\"format\": \"velm-records\", \"version\": 1, \"tables\": {" + tables + "}}");
    f.close();
    choose(path("in.json"));
    trigger("ImportRecords");
    ImportDialog* d = dialog();
    QVERIFY(d);
    // Tables the file does not hold cannot be chosen.
    QVERIFY(!probe::control<QCheckBox>(d, "ImportSceneRecords")->isEnabled());
    for (const QString& name : untick)
        probe::control<QCheckBox>(d, name)->setChecked(false);
    QCOMPARE(probe::control<QLabel>(d, "ImportProblem")->text(), problem);
    QVERIFY(!probe::control<QPushButton>(d, "ImportButton")->isEnabled());
    probe::control<QPushButton>(d, "CancelButton")->click();
    QTRY_VERIFY(!dialog());
    QCOMPARE(QDir(m_dir->path()).entryList({"VELM.mdb.backup-*"}), QStringList());
}

// A row another program wrote outside what its columns may hold is exported as it is, and
// the box's detail names it.
void TestAppRecordsMenu::exportNamesRowsOutsideTheTable() {
    QVERIFY(record_files::exec(
        path("VELM.mdb"),
        "INSERT INTO \"Bind Records\" (Input_Addr, Output_Addr) VALUES (1, 300)"));
    choose(path("site.json"));
    trigger("ExportRecords");
    QCOMPARE(m_prompts.messages, QStringList{"Records exported"});
    QVERIFY2(m_prompts.details[0].contains("Bind Records row 1: Output_Addr 300 does not fit"),
             qPrintable(m_prompts.details[0]));
    QVERIFY(record_files::bytes(path("site.json")).contains("\"Output_Addr\": 300"));
}

void TestAppRecordsMenu::badFileOpensNoDialog() {
    QFile f(path("in.json"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("{\"format\": \"velm-records\",\n\"version\": 1,\n\"tables\": {]}");
    f.close();
    const QByteArray before = record_files::bytes(path("VELM.mdb"));
    choose(path("in.json"));
    trigger("ImportRecords");
    QVERIFY(!dialog());
    QCOMPARE(m_prompts.messages, QStringList{"Can not import records"});
    QVERIFY2(m_prompts.details[0].contains("line 3: not JSON"), qPrintable(m_prompts.details[0]));
    QCOMPARE(record_files::bytes(path("VELM.mdb")), before);
}

void TestAppRecordsMenu::rowsPostedWhileChoosingAreKept() {
    choose(path("one.json"));
    trigger("ExportRecords");
    m_prompts.clear();
    trigger("ImportRecords");
    probe::control<QRadioButton>(dialog(), "AddRows")->setChecked(true);
    // A reply writes a row while the dialog is open, and a grid edit is still pending.
    addScene(5, QStringLiteral("meanwhile"));
    RecordTable& timers = m_window->records().timers();
    timers.append();
    timers.setField(QStringLiteral("Timer_Order"), 4);
    probe::control<QPushButton>(dialog(), "ImportButton")->click();
    QCOMPARE(m_prompts.messages, QStringList{"Records imported"});
    QCOMPARE(probe::tableRows(m_window->records().scenes()),
             (QStringList{"1|Hall|1||||||||", "5|meanwhile|1||||||||"}));
    QCOMPARE(probe::tableRows(timers), QStringList{"4||"});
    QCOMPARE(record_files::query(path("VELM.mdb"), "SELECT count(*) FROM \"Timer Records\""),
             QVariant(1));
}

void TestAppRecordsMenu::csvExportAndBackup() {
    choose(path("site 42.csv"), RecordsMenu::kCsvFilter);
    trigger("ExportRecords");
    QCOMPARE(m_prompts.messages, QStringList{"Records exported"});
    QVERIFY(QFile::exists(path("site 42 - Scene Records.csv")));
    QVERIFY(QFile::exists(path("site 42 - Monitor Bind Records.csv")));
    QVERIFY(!QFile::exists(path("site 42.csv")));

    // The files beside the chosen name are only replaced when the technician says so.
    const QByteArray before = record_files::bytes(path("site 42 - Scene Records.csv"));
    addScene(8, QStringLiteral("Porch"));
    m_prompts.clear();
    m_prompts.questions.clear();
    m_prompts.answers = {false};
    choose(path("site 42.csv"), RecordsMenu::kCsvFilter);
    trigger("ExportRecords");
    QCOMPARE(m_prompts.questions.size(), 1);
    QVERIFY(m_prompts.questions[0].endsWith("already exists. Replace it?"));
    QVERIFY(m_prompts.messages.isEmpty());
    QCOMPARE(record_files::bytes(path("site 42 - Scene Records.csv")), before);

    m_prompts.clear();
    trigger("BackUpRecords");
    QCOMPARE(m_prompts.messages, QStringList{"Records backed up"});
    QVERIFY(QFile::exists(m_prompts.details[0]));
    QCOMPARE(record_files::query(m_prompts.details[0], "SELECT Information FROM \"Scene Records\""),
             QVariant("Hall"));
}

// A site folder whose VELM.mdb is in the Access format: the status bar offers the convert, the
// menu item converts it in place and the grids show its rows.
void TestAppRecordsMenu::convertAccessRecordFileThroughTheWindow() {
    const QString fixture = buildpaths::source("tests/data/access/six-tables.mdb");
    m_window.reset();
    QVERIFY(QFile::remove(path("VELM.mdb")) && QFile::copy(fixture, path("VELM.mdb")));
    QFile(path("VELM.mdb")).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
    m_window = std::make_unique<TForm1>(m_prompts, path("VELM.mdb"));
    m_menu = m_window->findChild<RecordsMenu*>("RecordsMenu");
    auto* linkState = m_window->findChild<QLabel*>("LinkStatePanel");
    QVERIFY2(linkState->text().contains("VELM.mdb is a record file in the Access format: convert "
                                        "it with velm-cli convert or File › Convert Access "
                                        "Record File…"),
             qPrintable(linkState->text()));
    m_prompts.clear();
    m_prompts.answers = {true};
    trigger("ConvertAccessRecords");
    QCOMPARE(m_prompts.messages, QStringList{"Record file converted"});
    QVERIFY(!linkState->text().contains("Access"));
    const QStringList kept = QDir(m_dir->path()).entryList({"VELM.access-*.mdb"});
    QCOMPARE(kept.size(), 1);
    QCOMPARE(record_files::bytes(path(kept[0])), record_files::bytes(fixture));

    const QJsonObject expected =
        QJsonDocument::fromJson(
            record_files::bytes(buildpaths::source("tests/data/access/six-tables.expected.json")))
            .object();
    for (int t = 0; t < RecordStore::Count; ++t) {
        const RecordTable& table = m_window->records().table(RecordStore::Table(t));
        const QJsonArray rows =
            expected.value(table.tableName()).toObject().value("rows").toArray();
        QCOMPARE(table.model()->rowCount(), int(rows.size()));
        // The monitor slots the file's rows could not set keep ours.
        if (t == RecordStore::Monitor)
            continue;
        QStringList want;
        for (const QJsonValue& row : rows) {
            QStringList cells;
            for (const QJsonValue& v : row.toArray())
                cells << v.toVariant().toString();
            want << cells.join('|');
        }
        QCOMPARE(probe::tableRows(table), want);
    }
}

QTEST_MAIN(TestAppRecordsMenu)
#include "test_app_records_menu.moc"
