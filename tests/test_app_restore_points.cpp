// Restore points in the window: a grid's Delete All keeps the rows in one, and File › Restore
// Records… brings them back into the grid, driven as a person does it (mouse clicks on the
// dialog, real message boxes answered from the keyboard), with both in the site's history.
// And on a full disk no restore point can be made: then no action removes anything.
#include "app/main_window.h"
#include "app/message_prompts.h"
#include "app/restore_dialog.h"
#include "app/site_menu.h"
#include "records/record_store.h"
#include "records/records_backup.h"
#include "records/records_import.h"
#include "records/restore_points.h"
#include "records/schema.h"
#include "records/site_folder.h"
#include "records/site_history.h"
#include "support/read_only_mounts.h"
#include "support/record_files.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QTreeWidget>

#include <functional>

namespace {
void addTimers(const QString& file, int count) {
    for (int i = 1; i <= count; ++i)
        QVERIFY(record_files::exec(file,
                                   "INSERT INTO \"Timer Records\" (Timer_Order, Time, Timer_Mode) "
                                   "VALUES (?, 'x', 'Once')",
                                   {i}));
}

QStringList actions(const QString& historyFile) {
    QStringList out;
    for (const HistoryEntry& e : site_history::read(historyFile).entries)
        out << e.action + u'|' + e.outcome;
    return out;
}
} // namespace

class TestAppRestorePoints : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void restoreBringsTheRowsBackIntoTheGrid();
    void noRestorePointNothingRemoved_data();
    void noRestorePointNothingRemoved();
    // VELM_SCREENSHOTS=DIR: the Restore Records dialog, for the README.
    void screenshot();
};

void TestAppRestorePoints::initTestCase() {
    static QTemporaryDir config;
    qputenv("XDG_CONFIG_HOME", config.path().toLocal8Bit());
}

void TestAppRestorePoints::restoreBringsTheRowsBackIntoTheGrid() {
    QTemporaryDir dir;
    SiteSettings settings;
    settings.name = QStringLiteral("Villa");
    settings.technician = QStringLiteral("Ann");
    const SiteFolder site = SiteFolder::create(dir.path(), settings);
    addTimers(site.recordFile(), 3);

    QStringList shown;
    QTimer answer;
    connect(&answer, &QTimer::timeout, [&shown] {
        if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
            shown << box->text() + u'|' + box->informativeText();
            QTest::keyClick(box, Qt::Key_Return); // Yes to the question, OK to the rest
        }
    });
    answer.start(20);
    MessagePrompts prompts;
    TForm1 window(prompts, site.recordFile());
    window.siteMenu().startIn(site);
    RecordTable& timers = window.records().timers();
    QCOMPARE(timers.rowCount(), 3);

    probe::control<QAction>(&window, QStringLiteral("DeleteAll3"))->trigger();
    QCOMPARE(timers.rowCount(), 0);
    QCOMPARE(shown, QStringList());

    probe::control<QAction>(&window, QStringLiteral("RestoreRecords"))->trigger();
    auto* dialog = window.findChild<RestoreDialog*>();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("BackupList"));
    QCOMPARE(list->topLevelItemCount(), 1);
    QTreeWidgetItem* point = list->topLevelItem(0);
    QCOMPARE(point->text(1), QStringLiteral("delete-all-timer-records"));
    QCOMPARE(point->text(2 + RecordStore::Timers), QStringLiteral("3"));
    const QString name = point->data(0, Qt::UserRole).toString();
    list->clearSelection();
    QTest::mouseClick(list->viewport(), Qt::LeftButton, {}, list->visualItemRect(point).center());
    auto* restore = dialog->findChild<QPushButton*>(QStringLiteral("RestoreButton"));
    QVERIFY(restore->isEnabled());
    QTest::mouseClick(restore, Qt::LeftButton);

    QTRY_COMPARE(shown.size(), 2);
    QVERIFY2(shown[0].startsWith(QStringLiteral("Put the records of %1 back").arg(name)),
             qPrintable(shown[0]));
    QVERIFY2(shown[1].startsWith(QLatin1String("Records restored|")) &&
                 shown[1].contains(QLatin1String("Only the records come back")),
             qPrintable(shown[1]));
    // The grid shows the rows at once, and the records before the restore are a restore
    // point of their own, listed first.
    QCOMPARE(timers.rowCount(), 3);
    QCOMPARE(list->topLevelItemCount(), 2);
    QCOMPARE(list->topLevelItem(0)->text(1), QStringLiteral("restore"));
    QCOMPARE(list->topLevelItem(0)->text(2 + RecordStore::Timers), QStringLiteral("0"));
    QCOMPARE(actions(site.historyFile()), (QStringList{"delete-all|ok", "restore|ok"}));
    answer.stop();
}

void TestAppRestorePoints::noRestorePointNothingRemoved_data() {
    QTest::addColumn<QString>("action");
    QTest::newRow("grid Delete All") << "DeleteAll3";
    QTest::newRow("Read All Timers") << "Button44";
    QTest::newRow("Delete All Timers") << "Button47";
    QTest::newRow("import") << "import";
    QTest::newRow("restore") << "restore";
}

void TestAppRestorePoints::noRestorePointNothingRemoved() {
    QFETCH(QString, action);
    QTemporaryDir dir;
    ReadOnlyMounts mounts;
    if (!mounts.smallDisk(dir.path(), 512))
        QSKIP(qPrintable(mounts.errorString()));
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    addTimers(file, 2);
    const QString backup = QFileInfo(records_backup::backUp(file)).fileName();
    {
        // The rest of the disk, to the last byte.
        QFile filler(dir.filePath(QStringLiteral("filler")));
        QVERIFY(filler.open(QIODevice::WriteOnly));
        const QByteArray block(4096, 'x');
        while (filler.write(block) == block.size() && filler.flush()) {
        }
        while (filler.write("x", 1) == 1 && filler.flush()) {
        }
    }
    const QStringList files = QDir(dir.path()).entryList(QDir::Files);
    const QByteArray before = record_files::bytes(file);

    ScriptedPrompts prompts;
    TForm1 window(prompts, file);
    QCOMPARE(prompts.messages, QStringList());
    QString said;
    try {
        if (action == QLatin1String("import")) {
            records_import::run(RecordsFile::parse(R"({"format": "velm-records", "version": 1,
                                    "tables": {"Timer Records": []}})"),
                                file, {});
        } else if (action == QLatin1String("restore")) {
            restore_points::restore(file, backup);
        } else if (action.startsWith(QLatin1String("Button"))) {
            probe::control<QPushButton>(&window, action)->click();
        } else {
            probe::control<QAction>(&window, action)->trigger();
        }
    } catch (const RecordError& e) {
        said = QString::fromUtf8(e.what());
    }
    if (said.isEmpty()) {
        QCOMPARE(prompts.messages.size(), 1);
        said = prompts.messages[0];
    }
    QVERIFY2(said.startsWith(QLatin1String("Can not make a restore point before")) &&
                 said.contains(QLatin1String("disk full")),
             qPrintable(said));
    QCOMPARE(window.records().timers().rowCount(), 2);
    QCOMPARE(record_files::bytes(file), before);
    QCOMPARE(QDir(dir.path()).entryList(QDir::Files), files);
    QVERIFY(probe::control<QPlainTextEdit>(&window, QStringLiteral("Memo1"))
                ->toPlainText()
                .indexOf(QLatin1String("Send")) < 0);
}

void TestAppRestorePoints::screenshot() {
    const QString out = qEnvironmentVariable("VELM_SCREENSHOTS");
    if (out.isEmpty())
        QSKIP("VELM_SCREENSHOTS not set");
    QTemporaryDir dir;
    const SiteFolder site = SiteFolder::create(dir.path(), SiteSettings());
    const QString file = site.recordFile();
    addTimers(file, 12);
    QVERIFY(record_files::exec(file, "INSERT INTO \"Scene Records\" (Scene_No, Information, "
                                     "Module_Addr) VALUES (1, 'Dinner', 1), (2, 'Away', 1)"));
    const QDateTime morning(QDate(2024, 5, 6), QTime(8, 40, 12));
    records_backup::backUp(file, morning);
    restore_points::make(file, QStringLiteral("read-all timers"), morning.addSecs(1800));
    restore_points::make(file, QStringLiteral("import"), morning.addSecs(3 * 3600 + 75));
    QVERIFY(record_files::exec(file, "DELETE FROM \"Timer Records\""));
    restore_points::make(file, QStringLiteral("delete-all timers"), morning.addSecs(4 * 3600));
    ScriptedPrompts prompts;
    TForm1 window(prompts, file);
    window.show();
    probe::control<QAction>(&window, QStringLiteral("RestoreRecords"))->trigger();
    auto* dialog = window.findChild<RestoreDialog*>();
    QVERIFY(dialog && QTest::qWaitForWindowExposed(dialog));
    auto* list = dialog->findChild<QTreeWidget*>(QStringLiteral("BackupList"));
    list->setCurrentItem(list->topLevelItem(1));
    QTest::qWait(200);
    QVERIFY(dialog->grab().save(QDir(out).filePath(QStringLiteral("restore_records.png"))));
}

QTEST_MAIN(TestAppRestorePoints)
#include "test_app_restore_points.moc"
