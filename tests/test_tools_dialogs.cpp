// The Tools menu's three dialogs on the real main window, driven by objectName against
// velm-sim over loopback UDP and over its pseudo-terminal: the scan lists exactly the
// simulated modules and hands an address to the tab sheets, a push fills a fresh module and
// its audit agrees, an audit colours a changed record, and a job and a sequence keep out of
// each other's way. With VELM_SCREENSHOT_DIR set the dialogs are saved there as pictures.
#include "app/audit_dialog.h"
#include "app/main_window.h"
#include "app/push_dialog.h"
#include "app/scan_dialog.h"
#include "link/bus.h"
#include "link/bus_internals.h"
#include "protocol/sequence_engine.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QCheckBox>
#include <QComboBox>
#include <QJsonArray>
#include <QJsonObject>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {
constexpr int kJobMs = 60000;
constexpr int kInputModule = 5;
} // namespace

class TestToolsDialogs : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void menuOffersTheThreeJobs_data() { links(); }
    void menuOffersTheThreeJobs();
    void scanListsTheModulesAndHandsOnAnAddress_data() { links(); }
    void scanListsTheModulesAndHandsOnAnAddress();
    void pushThenAuditAgree_data() { links(); }
    void pushThenAuditAgree();
    void jobAndSequenceRefuseEachOther();
    void scenePushWritesNoRecord_data() { links(); }
    void scenePushWritesNoRecord();

private:
    static void links();
    template <class T> T* find(const QWidget* root, const QString& name) const {
        return probe::control<T>(root, name);
    }
    void trigger(const QString& action) {
        find<QMenuBar>(m_window.get(), QStringLiteral("MainMenu"))
            ->findChild<QAction*>(action)
            ->trigger();
    }
    QDialog* dialog(const QString& name) { return find<QDialog>(m_window.get(), name); }
    void runDialog(QDialog* d, const QString& prefix);
    QStringList column(QDialog* d, const QString& table, int col) const;
    void shoot(QWidget* w, const QString& name);
    QString db() const { return m_dir->filePath(QStringLiteral("VELM.mdb")); }
    void addBindings(int count);
    void exec(const QString& sql);

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
    bool m_serial = false;
};

void TestToolsDialogs::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestToolsDialogs::init() {
    m_serial = QTest::currentDataTag() && QByteArray(QTest::currentDataTag()) == "pty";
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_sim = std::make_unique<SimProcess>();
    const QStringList args =
        m_serial ? QStringList{"--no-udp", "--serial", "--baud", "0"} : QStringList{};
    QVERIFY2(m_sim->start(args), qPrintable(m_sim->errorString()));
    if (m_serial)
        qputenv("VELM_COM1", m_sim->serialPath().toLocal8Bit());
    m_window = std::make_unique<TForm1>(*m_prompts, db());
    QWidget* w = m_window.get();
    if (m_serial) {
        find<QComboBox>(w, QStringLiteral("ComboBox5"))->setCurrentText(QStringLiteral("COM1"));
        find<QPushButton>(w, QStringLiteral("Button10"))->click();
    } else {
        // Loopback only: the remote address is set before anything is sent.
        find<QLineEdit>(w, QStringLiteral("Edit4"))->setText(QStringLiteral("127.0.0.1"));
        find<QLineEdit>(w, QStringLiteral("Edit5"))->setText(QString::number(m_sim->udpPort()));
        find<QLineEdit>(w, QStringLiteral("Edit6"))
            ->setText(QString::number(SimProcess::freeUdpPort()));
        find<QRadioButton>(w, QStringLiteral("RadioButton1"))->setChecked(true);
        find<QPushButton>(w, QStringLiteral("Button32"))->click();
    }
    QVERIFY2(m_prompts->messages.isEmpty(), qPrintable(m_prompts->messages.join('|')));
}

void TestToolsDialogs::cleanup() {
    m_window.reset();
    m_prompts.reset();
    m_sim.reset();
    m_dir.reset();
}

void TestToolsDialogs::runDialog(QDialog* d, const QString& prefix) {
    find<QPushButton>(d, prefix + QStringLiteral("Start"))->click();
    auto* start = find<QPushButton>(d, prefix + QStringLiteral("Start"));
    QTRY_VERIFY_WITH_TIMEOUT(start->isEnabled(), kJobMs);
}

QStringList TestToolsDialogs::column(QDialog* d, const QString& table, int col) const {
    auto* t = find<QTableWidget>(d, table);
    QStringList out;
    for (int r = 0; r < t->rowCount(); ++r)
        out << (t->item(r, col) ? t->item(r, col)->text() : QString());
    return out;
}

void TestToolsDialogs::shoot(QWidget* w, const QString& name) {
    probe::screenshot(w, name);
}

void TestToolsDialogs::exec(const QString& sql) {
    {
        QSqlDatabase c =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("seed"));
        c.setDatabaseName(db());
        QVERIFY(c.open());
        QVERIFY2(QSqlQuery(c).exec(sql), qPrintable(sql));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("seed"));
}

void TestToolsDialogs::addBindings(int count) {
    for (int ch = 1; ch <= count; ++ch)
        exec(QStringLiteral("INSERT INTO \"Bind Records\" (Input_Addr, Input_Channel, "
                            "Trigger_Mode, Trigger_Delay, Output_Addr, Output_Channel, "
                            "Action, Parameter) VALUES (%1, %2, 'NO', %2, 1, %3, "
                            "'Light Toggle', 0)")
                 .arg(kInputModule)
                 .arg(ch)
                 .arg(1 + ch % 8));
}

void TestToolsDialogs::menuOffersTheThreeJobs() {
    auto* bar = find<QMenuBar>(m_window.get(), QStringLiteral("MainMenu"));
    QStringList captions;
    for (const char* name :
         {"ScanSubnetAction", "AuditModuleAction", "ReplaceModuleAction", "PushModuleAction"}) {
        auto* action = bar->findChild<QAction*>(QString::fromLatin1(name));
        QVERIFY(action);
        captions << action->text();
    }
    QCOMPARE(captions,
             (QStringList{"Scan Subnet…", "Audit Module…", "Replace Module…", "Push Records…"}));
}

void TestToolsDialogs::scanListsTheModulesAndHandsOnAnAddress() {
    trigger(QStringLiteral("ScanSubnetAction"));
    QDialog* d = dialog(QStringLiteral("ScanDialog"));
    QVERIFY(d->isVisible());
    runDialog(d, QStringLiteral("Scan"));
    QStringList expected;
    for (const QJsonValue& m : m_sim->dump()[QStringLiteral("modules")].toArray())
        expected << QString::number(m[QStringLiteral("address")].toInt());
    expected << QStringLiteral("255 (bus switch)");
    QCOMPARE(column(d, QStringLiteral("ScanTable"), 0), expected);
    QCOMPARE(column(d, QStringLiteral("ScanTable"), 1).first(), QStringLiteral("0108"));
    shoot(d, QStringLiteral("scan_dialog"));

    // Row 4 is the input module at 5: its address goes into the module fields.
    auto* table = find<QTableWidget>(d, QStringLiteral("ScanTable"));
    // The bus switch's answers were the scan's: its fields on the Module Settings tab are
    // as they were.
    for (const char* name : {"Edit13", "Edit14"})
        QVERIFY(find<QLineEdit>(m_window.get(), QString::fromLatin1(name))->text().isEmpty());
    // Only the sheets that talk to such a module get it: the input module's (and Module
    // Settings), then the timer module's at 6; the light, curtain, IR and scene fields keep
    // what they held.
    const QStringList fields{"SpinEdit1",  "SpinEdit5",  "SpinEdit2",  "SpinEdit9",
                             "SpinEdit14", "SpinEdit15", "SpinEdit37", "SpinEdit30"};
    auto values = [&] {
        QStringList v;
        for (const QString& name : fields)
            v << QString::number(find<QSpinBox>(m_window.get(), name)->value());
        return v.join(' ');
    };
    const QStringList before = values().split(' ');
    emit table->cellDoubleClicked(4, 0);
    QCOMPARE(values(),
             QStringList({"5", before[1], before[2], before[3], before[4], "5", "5", before[7]})
                 .join(' '));
    emit table->cellDoubleClicked(5, 0);
    QCOMPARE(
        values(),
        QStringList({"6", before[1], before[2], before[3], before[4], "5", "5", "6"}).join(' '));
    QCOMPARE(m_window->bus().runningJob(), QString());
}

void TestToolsDialogs::pushThenAuditAgree() {
    addBindings(14);
    trigger(QStringLiteral("PushModuleAction"));
    QDialog* push = dialog(QStringLiteral("PushDialog"));
    find<QSpinBox>(push, QStringLiteral("PushModule"))->setValue(kInputModule);
    m_prompts->answers.push_back(true);
    runDialog(push, QStringLiteral("Push"));
    // The push goes on into its audit from the same dialog.
    QTRY_VERIFY_WITH_TIMEOUT(
        find<QLabel>(push, QStringLiteral("PushSummary"))->text().contains("agree"), kJobMs);
    QCOMPARE(column(push, QStringLiteral("PushTable"), 1), QStringList(14, QStringLiteral("same")));
    const QJsonArray inputs =
        SimProcess::module(m_sim->dump(), kInputModule)[QStringLiteral("inputs")].toArray();
    QCOMPARE(inputs.size(), 14);
    QCOMPARE(inputs.at(2)[QStringLiteral("delay")].toInt(), 3);
    shoot(push, QStringLiteral("push_dialog"));
    push->close();

    // The module changes behind the records' back: the audit marks exactly that record.
    QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("edit"));
    c.setDatabaseName(db());
    QVERIFY(c.open());
    QVERIFY(QSqlQuery(c).exec(
        QStringLiteral("UPDATE \"Bind Records\" SET Trigger_Delay = 42 WHERE Input_Channel = 3")));
    c.close();
    c = QSqlDatabase();
    QSqlDatabase::removeDatabase(QStringLiteral("edit"));

    trigger(QStringLiteral("AuditModuleAction"));
    QDialog* audit = dialog(QStringLiteral("AuditDialog"));
    find<QSpinBox>(audit, QStringLiteral("AuditModule"))->setValue(kInputModule);
    runDialog(audit, QStringLiteral("Audit"));
    QStringList verdicts = column(audit, QStringLiteral("AuditTable"), 1);
    QCOMPARE(verdicts.count(QStringLiteral("same")), 13);
    QCOMPARE(verdicts.at(2), QStringLiteral("different"));
    QVERIFY(column(audit, QStringLiteral("AuditTable"), 2).at(2).contains("delay 42"));
    QVERIFY(column(audit, QStringLiteral("AuditTable"), 3).at(2).contains("delay 3"));
    shoot(audit, QStringLiteral("audit_dialog"));
}

void TestToolsDialogs::jobAndSequenceRefuseEachOther() {
    addBindings(14);
    find<QSpinBox>(m_window.get(), QStringLiteral("SpinEdit37"))->setValue(kInputModule);
    auto* readAll = find<QPushButton>(m_window.get(), QStringLiteral("Button50"));

    // A push pauses between its requests: a sequence button clicked then refuses.
    trigger(QStringLiteral("PushModuleAction"));
    QDialog* push = dialog(QStringLiteral("PushDialog"));
    find<QSpinBox>(push, QStringLiteral("PushModule"))->setValue(kInputModule);
    m_prompts->answers.push_back(true);
    find<QPushButton>(push, QStringLiteral("PushStart"))->click();
    QTRY_VERIFY_WITH_TIMEOUT(!m_window->bus().runningJob().isEmpty(), kJobMs);
    // So does a Set, also one of the command the push is sending, whose acknowledgement
    // would otherwise be taken for the Set's own and write the tab's binding.
    m_window->records().binds().refresh();
    const QStringList before = probe::tableRows(m_window->records().binds());
    readAll->click();
    find<QPushButton>(m_window.get(), QStringLiteral("Button35"))->click();
    const QString refused =
        QStringLiteral("Replace Module is running: wait for it to end or cancel it.");
    QCOMPARE(m_prompts->messages, (QStringList{refused, refused}));
    QVERIFY(!m_window->sequences().running());

    find<QPushButton>(push, QStringLiteral("PushCancel"))->click();
    QVERIFY(m_window->bus().runningJob().isEmpty());
    QTRY_VERIFY(find<QPushButton>(push, QStringLiteral("PushStart"))->isEnabled());
    QVERIFY(find<QLabel>(push, QStringLiteral("PushSummary"))->text().contains("cancelled"));
    QCOMPARE(probe::tableRows(m_window->records().binds()), before);
    push->close();

    // The other way round: a scan asked for during a read-all sequence refuses.
    m_prompts->clear();
    trigger(QStringLiteral("ScanSubnetAction"));
    QDialog* scan = dialog(QStringLiteral("ScanDialog"));
    QTimer::singleShot(300, scan,
                       [&] { find<QPushButton>(scan, QStringLiteral("ScanStart"))->click(); });
    readAll->click();
    QTRY_VERIFY_WITH_TIMEOUT(m_prompts->messages.contains(QStringLiteral("Finished！")), kJobMs);
    QCOMPARE(m_prompts->messages.first().left(39),
             QStringLiteral("A read-all or delete-all sequence is ru"));
    QCOMPARE(find<QTableWidget>(scan, QStringLiteral("ScanTable"))->rowCount(), 0);
}

void TestToolsDialogs::scenePushWritesNoRecord() {
    constexpr int kLight = 1;
    for (int s = 1; s <= 3; ++s)
        exec(QStringLiteral("INSERT INTO \"Scene Records\" VALUES (NULL, %1, 'scene %1', %2, "
                            "'On/Open', 'Off/Close', 'No Change', 'On/Open', 'On/Open', "
                            "'On/Open', 'On/Open', 'On/Open')")
                 .arg(s)
                 .arg(kLight));
    RecordTable& scenes = m_window->records().scenes();
    scenes.refresh();
    // The Scene tab names another scene of the same module: a confirmed push Set taken
    // for the tab's own would write it.
    find<QSpinBox>(m_window.get(), QStringLiteral("SpinEdit5"))->setValue(kLight);
    find<QSpinBox>(m_window.get(), QStringLiteral("SpinEdit4"))->setValue(9);
    find<QLineEdit>(m_window.get(), QStringLiteral("Edit10"))->setText(QStringLiteral("tab"));
    const QStringList before = probe::tableRows(scenes);

    trigger(QStringLiteral("PushModuleAction"));
    QDialog* push = dialog(QStringLiteral("PushDialog"));
    find<QSpinBox>(push, QStringLiteral("PushModule"))->setValue(kLight);
    m_prompts->answers.push_back(true);
    runDialog(push, QStringLiteral("Push"));
    QCOMPARE(SimProcess::module(m_sim->dump(), kLight)[QStringLiteral("scenes")].toObject().size(),
             3);
    QCOMPARE(probe::tableRows(scenes), before);
    // Scenes have no read: the report says nothing was checked, not that all records agree.
    QVERIFY(find<QLabel>(push, QStringLiteral("PushSummary"))
                ->text()
                .endsWith(QStringLiteral("Module 1: nothing could be read back to check.")));
}

QTEST_MAIN(TestToolsDialogs)
#include "test_tools_dialogs.moc"
