// The scene and IR tabs on the real main window: requests as the buttons build them from the
// controls, confirmations, and replies fed through the serial intake that write or delete
// record rows from the controls as they stand when the reply is handled.
#include "app/main_window.h"
#include "link/bus.h"
#include "link/bus_internals.h"
#include "link/frames.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLabel>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTableView>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestSceneIrWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void buttonsSendFromControls_data();
    void buttonsSendFromControls();
    void confirmationGuardsSend_data();
    void confirmationGuardsSend();
    void sceneSetReplyWritesRow_data();
    void sceneSetReplyWritesRow();
    void clearAllScenesKeepsOtherModules();
    void errorReplyWritesNothing_data();
    void errorReplyWritesNothing();
    void learnedCodeRenamesExistingRow();
    void sendIrWhileLearningKeepsLearning();
    void deleteSingleRemovesFirstMatchOnly();
    void deleteAllKeepsOtherModules();
    void longReplyWaitOnlyAroundDeleteAll();
    void doubleClickSendsRowOfGrid();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void apply(const QStringList& settings);
    void click(const QString& name) { find<QPushButton>(name)->click(); }
    void reply(quint8 module, quint8 command, quint8 sub, quint8 status = 1);
    QStringList rows(RecordStore::Table which) const;
    void addRows(RecordStore::Table which, const QList<QVariantList>& rows);
    QStringList sendLines() const { return m_env->logLines(QStringLiteral("Send")); }
    bool learningShown() const { return !find<QLabel>("Label71")->isHidden(); }

    std::unique_ptr<WindowFixture> m_env;
};

namespace {
// The traffic-log line of a short-layout request with this payload.
QString sendLine(const char* payloadHex) {
    const QByteArray payload = QByteArray::fromHex(QByteArray(payloadHex).replace(' ', ""));
    return QStringLiteral("Send ：") + frames::hexText(frames::busReply(payload));
}
// What a user's double click is: a click, then the second press that the system reports as
// a double click.
void doubleClick(QAbstractItemView* view, const QPoint& at) {
    QTest::mouseClick(view->viewport(), Qt::LeftButton, {}, at);
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {}, at);
}
const QString kEightOff = QStringLiteral("Off/Close|Off/Close|Off/Close|Off/Close");
} // namespace

void TestSceneIrWindow::init() {
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));
}

void TestSceneIrWindow::cleanup() {
    m_env.reset();
}

void TestSceneIrWindow::apply(const QStringList& settings) {
    for (const QString& s : settings) {
        const QString name = s.section('=', 0, 0);
        const QString value = s.section('=', 1);
        if (auto* spin = m_env->window->findChild<QSpinBox*>(name))
            spin->setValue(value.toInt());
        else if (auto* combo = m_env->window->findChild<QComboBox*>(name))
            combo->setCurrentIndex(value.toInt());
        else
            find<QLineEdit>(name)->setText(value);
    }
}

void TestSceneIrWindow::reply(quint8 module, quint8 command, quint8 sub, quint8 status) {
    m_env->reply(module, command, sub, {}, status);
}

QStringList TestSceneIrWindow::rows(RecordStore::Table which) const {
    return probe::tableRows(m_env->window->records().table(which));
}

void TestSceneIrWindow::addRows(RecordStore::Table which, const QList<QVariantList>& values) {
    RecordTable& t = m_env->window->records().table(which);
    const QStringList columns = t.columns();
    for (const QVariantList& row : values) {
        t.append();
        for (int c = 0; c < row.size(); ++c) {
            if (row.at(c).typeId() == QMetaType::Int)
                t.setField(columns.at(c), row.at(c).toInt());
            else
                t.setField(columns.at(c), row.at(c).toString());
        }
        t.post();
    }
    t.first();
}

void TestSceneIrWindow::buttonsSendFromControls_data() {
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");

    const QStringList scene37{"SpinEdit5=3", "SpinEdit4=7"};
    QTest::newRow("light scene from CH1..CH4")
        << (scene37 + QStringList{"ComboBox6=1", "ComboBox7=2", "ComboBox9=1", "ComboBox13=1"})
        << "Button7" << sendLine("03 00 02 07 01 ff 00 01");
    QTest::newRow("CH8 goes out with Module Channels 8")
        << (scene37 + QStringList{"SpinEdit6=8", "ComboBox13=2", "ComboBox10=1"}) << "Button7"
        << sendLine("03 00 02 07 00 00 00 00 01 00 00 ff");
    QTest::newRow("IR scene of defaults")
        << scene37 << "Button37" << sendLine("03 00 02 07 ff ff ff ff");
    QTest::newRow("IR slots in order")
        << (scene37 + QStringList{"SpinEdit6=2", "SpinEdit21=17", "SpinEdit22=0"}) << "Button37"
        << sendLine("03 00 02 07 11 00");
    QTest::newRow("Test Scene 12 to every module")
        << QStringList{"SpinEdit5=9", "SpinEdit4=12"} << "Button8" << sendLine("ff 00 04 ff 0c");
    QTest::newRow("Learn module 4 IR 17")
        << QStringList{"SpinEdit14=4", "SpinEdit13=17"} << "Button24" << sendLine("04 03 00 00 11");
    QTest::newRow("exit learning")
        << QStringList{"SpinEdit14=4", "SpinEdit13=17"} << "Button26" << sendLine("04 03 01 00 11");
}

void TestSceneIrWindow::buttonsSendFromControls() {
    QFETCH(QStringList, settings);
    QFETCH(QString, button);
    QFETCH(QString, line);
    apply(settings);
    click(button);
    QCOMPARE(sendLines(), QStringList{line});
    // Learning shows its label; leaving it hides it.
    QCOMPARE(learningShown(), button == "Button24");
}

void TestSceneIrWindow::confirmationGuardsSend_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("line");
    QTest::newRow("Clear All Scenes") << "Button13" << sendLine("02 00 03 05");
    QTest::newRow("Delete Single") << "Button25" << sendLine("02 03 02 00 05");
    QTest::newRow("Delete All") << "Button27" << sendLine("02 03 03 00 ff");
}

void TestSceneIrWindow::confirmationGuardsSend() {
    QFETCH(QString, button);
    QFETCH(QString, line);
    apply({"SpinEdit5=2", "SpinEdit4=5", "SpinEdit14=2", "SpinEdit13=5"});
    m_env->prompts.answers = {false};
    click(button);
    QVERIFY(sendLines().isEmpty());
    m_env->prompts.answers = {true};
    click(button);
    QCOMPARE(sendLines(), QStringList{line});
    QCOMPARE(m_env->prompts.questions, (QStringList{"Are you sure?", "Are you sure?"}));
}

void TestSceneIrWindow::sceneSetReplyWritesRow_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QStringList>("expected");

    const QStringList before{"7|old|3|x|x|x|x|x|x|x|x", "7|other module|2|x|x|x|x|x|x|x|x"};
    const QString lights = QStringLiteral("On/Open|No Change|Off/Close|On/Open|") + kEightOff;
    QTest::newRow("light scene, new row")
        << "Button7" << QStringList{"SpinEdit5=3", "SpinEdit4=8", "Edit10=Hall",
                                    "ComboBox6=1", "ComboBox7=2", "ComboBox9=1"}
        << (before + QStringList{"8|Hall|3|" + lights});
    QTest::newRow("Module Channels 1 still writes eight columns")
        << "Button7"
        << QStringList{"SpinEdit5=3", "SpinEdit4=8", "SpinEdit6=1", "Edit10=One", "ComboBox13=2"}
        << (before +
            QStringList{"8|One|3|" + kEightOff + "|Off/Close|Off/Close|Off/Close|No Change"});
    QTest::newRow("IR scene of defaults")
        << "Button37" << QStringList{"SpinEdit5=3", "SpinEdit4=0"}
        << (before + QStringList{"0||3|IR No.255|IR No.255|IR No.255|IR No.255|IR No.255|"
                                 "IR No.255|IR No.255|IR No.255"});
    QTest::newRow("second Set overwrites its row")
        << "Button37" << QStringList{"SpinEdit5=3", "SpinEdit4=7", "Edit10=new", "SpinEdit28=9"}
        << QStringList{"7|new|3|IR No.255|IR No.255|IR No.255|IR No.255|IR No.255|IR No.255|"
                       "IR No.255|IR No.9",
                       before.at(1)};
}

void TestSceneIrWindow::sceneSetReplyWritesRow() {
    QFETCH(QString, button);
    QFETCH(QStringList, settings);
    QFETCH(QStringList, expected);
    QList<QVariantList> old;
    for (int module : {3, 2}) {
        QVariantList row{7, module == 3 ? QStringLiteral("old") : QStringLiteral("other module"),
                         module};
        for (int ch = 0; ch < 8; ++ch)
            row << QStringLiteral("x");
        old << row;
    }
    addRows(RecordStore::Scenes, old);
    // The row comes from the controls as they are when the reply is handled; the reply
    // comes from the module the Set went to.
    const int sentTo = find<QSpinBox>("SpinEdit5")->value();
    click(button);
    apply(settings);
    reply(quint8(sentTo), 0x80, 0x02);
    QCOMPARE(rows(RecordStore::Scenes), expected);
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestSceneIrWindow::clearAllScenesKeepsOtherModules() {
    const QString chs = QStringLiteral("|a|a|a|a|a|a|a|a");
    addRows(RecordStore::Scenes, {{1, "x", 2}, {2, "y", 3}, {3, "z", 2}, {1, "w", 3}, {9, "v", 2}});
    m_env->prompts.answers = {true};
    apply({"SpinEdit5=2", "SpinEdit4=1"});
    click("Button13");
    reply(2, 0x80, 0x03);
    QCOMPARE(rows(RecordStore::Scenes).size(), 2);
    for (const QString& row : rows(RecordStore::Scenes))
        QCOMPARE(row.section('|', 2, 2), QStringLiteral("3"));
}

void TestSceneIrWindow::errorReplyWritesNothing_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("sub");
    QTest::addColumn<int>("status");
    QTest::newRow("scene refused, address occupied") << 0x80 << 0x02 << 7;
    QTest::newRow("clear refused") << 0x80 << 0x03 << 6;
    QTest::newRow("learned code with IR Error") << 0x83 << 0x04 << 8;
    QTest::newRow("delete single with IR Error") << 0x83 << 0x02 << 8;
    QTest::newRow("delete all refused") << 0x83 << 0x03 << 5;
}

void TestSceneIrWindow::errorReplyWritesNothing() {
    QFETCH(int, command);
    QFETCH(int, sub);
    QFETCH(int, status);
    addRows(RecordStore::Scenes, {{7, "kept", 1}});
    addRows(RecordStore::Ir, {{1, 0, "kept"}});
    const QStringList scenes = rows(RecordStore::Scenes);
    const QStringList codes = rows(RecordStore::Ir);
    click("Button24"); // learning, module 1 IR 0
    click("Button7");  // scene 0 of module 1: a new row if it were confirmed
    reply(1, quint8(command), quint8(sub), quint8(status));
    QCOMPARE(rows(RecordStore::Scenes), scenes);
    QCOMPARE(rows(RecordStore::Ir), codes);
    QVERIFY(learningShown());
    // Still learning: the code that comes now is recorded.
    apply({"Edit12=learned"});
    reply(1, 0x83, 0x04);
    QVERIFY(rows(RecordStore::Ir).contains(QStringLiteral("1|0|learned")));
}

void TestSceneIrWindow::learnedCodeRenamesExistingRow() {
    QVERIFY(!learningShown());
    QVERIFY(find<QPushButton>("Button26")->isHidden());
    addRows(RecordStore::Ir, {{5, 17, "other module"}, {4, 17, "old"}});
    apply({"SpinEdit14=4", "SpinEdit13=17", "Edit12=TV On"});
    click("Button24");
    QVERIFY(learningShown());
    reply(4, 0x83, 0x04);
    QCOMPARE(rows(RecordStore::Ir), (QStringList{"5|17|other module", "4|17|TV On"}));
    QVERIFY(!learningShown());
    // Learning is over: Send IR's own answer renames nothing.
    apply({"Edit12=not learned"});
    reply(4, 0x83, 0x04);
    QCOMPARE(rows(RecordStore::Ir), (QStringList{"5|17|other module", "4|17|TV On"}));

    // A new number appends, in the order the columns are given.
    apply({"SpinEdit13=18", "Edit12=TV Off"});
    click("Button24");
    reply(4, 0x83, 0x04);
    QCOMPARE(rows(RecordStore::Ir).last(), QStringLiteral("4|18|TV Off"));
}

void TestSceneIrWindow::sendIrWhileLearningKeepsLearning() {
    apply({"SpinEdit14=4", "SpinEdit13=17", "Edit12=Fan"});
    click("Button24");
    click("Button28");
    QVERIFY(!learningShown());
    // Whichever 0x83/0x04 comes first while learning records the code.
    reply(4, 0x83, 0x04);
    QCOMPARE(rows(RecordStore::Ir), QStringList{"4|17|Fan"});
    // Send IR's own answer while not learning writes nothing.
    apply({"SpinEdit13=20", "Edit12=never"});
    click("Button28");
    reply(4, 0x83, 0x04);
    QCOMPARE(rows(RecordStore::Ir), QStringList{"4|17|Fan"});
}

void TestSceneIrWindow::deleteSingleRemovesFirstMatchOnly() {
    addRows(RecordStore::Ir, {{4, 17, "a"}, {5, 17, "b"}, {4, 17, "c"}, {4, 18, "d"}});
    apply({"SpinEdit14=4", "SpinEdit13=17"});
    m_env->prompts.answers = {true, true};
    click("Button25");
    reply(4, 0x83, 0x02);
    QCOMPARE(rows(RecordStore::Ir), (QStringList{"5|17|b", "4|17|c", "4|18|d"}));
    // A second answer to the one Delete deletes nothing more.
    reply(4, 0x83, 0x02);
    QCOMPARE(rows(RecordStore::Ir).size(), 3);
    apply({"SpinEdit13=19"});
    click("Button25");
    reply(4, 0x83, 0x02);
    QCOMPARE(rows(RecordStore::Ir).size(), 3);
}

void TestSceneIrWindow::deleteAllKeepsOtherModules() {
    addRows(RecordStore::Ir, {{4, 1, "a"}, {5, 1, "b"}, {4, 2, "c"}, {4, 3, "d"}});
    apply({"SpinEdit14=4"});
    m_env->prompts.answers = {true};
    click("Button27");
    reply(4, 0x83, 0x03);
    QCOMPARE(rows(RecordStore::Ir), QStringList{"5|1|b"});
}

void TestSceneIrWindow::longReplyWaitOnlyAroundDeleteAll() {
    QList<int> atSend;
    connect(&m_env->window->bus(), &Bus::requestSubmitted, this,
            [&](PendingRequest* p) { atSend << p->waitMs(); });
    m_env->prompts.answers = {true, true};
    click("Button27");
    click("Button25");
    click("Button28");
    QCOMPARE(atSend, (QList<int>{4000, 1000, 1000}));
}

void TestSceneIrWindow::doubleClickSendsRowOfGrid() {
    auto* view = find<QTableView>("DBGrid2");
    // An empty list replays nothing.
    doubleClick(view, QPoint(5, 5));
    QVERIFY(sendLines().isEmpty());

    addRows(RecordStore::Ir, {{1, 3, "a"}, {2, 9, "b"}});
    apply({"SpinEdit14=7", "SpinEdit13=100"});
    click("Button24");
    m_env->window->pages()->setCurrentWidget(find<QWidget>("TabSheet5"));
    m_env->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_env->window.get()));
    const QRect cell = view->visualRect(view->model()->index(1, 2));
    doubleClick(view, cell.center());
    QCOMPARE(sendLines().last(), sendLine("02 03 04 00 09"));
    // Neither the spin edits nor the label change.
    QCOMPARE(find<QSpinBox>("SpinEdit14")->value(), 7);
    QCOMPARE(find<QSpinBox>("SpinEdit13")->value(), 100);
    QVERIFY(learningShown());

    // Below the rows the current row is replayed again.
    QTest::mouseDClick(view->viewport(), Qt::LeftButton, {},
                       QPoint(5, view->viewport()->height() - 3));
    QCOMPARE(sendLines().size(), 3);
    QCOMPARE(sendLines().last(), sendLine("02 03 04 00 09"));
}

QTEST_MAIN(TestSceneIrWindow)
#include "test_scene_ir_window.moc"
