// The "Input Module Settings" tab on the real main window: replies fed through the serial
// intake become "Bind Records" rows, the control-data sequences step over the module's rows
// only, and acknowledgements that belong to no Set and no sequence write nothing.
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "link/frames.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/window_fixture.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QComboBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
QByteArray bytes(const char* text) {
    return QByteArray::fromHex(QByteArray(text).replace(' ', ""));
}
const QString kEmptyRow = QStringLiteral("%1|%2|------|255|255|255|Invalid|255");
} // namespace

class TestInputBindingWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void setAckWritesRow_data();
    void setAckWritesRow();
    void readDecoding_data();
    void readDecoding();
    void readAllWalksTheModuleRowsOnly();
    void deleteAllClearsFourteenRows();
    void sequencesNeedModule();
    void ackDuringSequenceKeepsItsPlace_data();
    void ackDuringSequenceKeepsItsPlace();
    void lateReplyWritesNothing_data();
    void lateReplyWritesNothing();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& button) { find<QPushButton>(button)->click(); }
    void reply(quint8 command, quint8 sub, const QByteArray& data = {}, quint8 status = 1);
    QStringList rows() const { return probe::tableRows(m_env->window->records().binds()); }
    void addRow(int input, int channel, const QString& mode);
    QStringList sendLines() const { return m_env->logLines(QStringLiteral("Send")); }
    bool processing() const { return m_env->window->sequences().keepGoing(); }

    std::unique_ptr<WindowFixture> m_env;
};

void TestInputBindingWindow::init() {
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));
}

void TestInputBindingWindow::cleanup() {
    m_env.reset();
}

void TestInputBindingWindow::reply(quint8 command, quint8 sub, const QByteArray& data,
                                   quint8 status) {
    m_env->reply(4, command, sub, data, status);
}

void TestInputBindingWindow::addRow(int input, int channel, const QString& mode) {
    RecordTable& t = m_env->window->records().binds();
    t.last();
    t.append();
    t.setField(QStringLiteral("Input_Addr"), input);
    t.setField(QStringLiteral("Input_Channel"), channel);
    t.setField(QStringLiteral("Trigger_Mode"), mode);
    t.setField(QStringLiteral("Action"), QStringLiteral("Light On"));
    t.post();
    t.refresh();
}

void TestInputBindingWindow::setAckWritesRow_data() {
    QTest::addColumn<int>("action");
    QTest::addColumn<QString>("row");
    QTest::newRow("Curtain Close") << 4 << "3|2|NO|5|7|1|Curtain Close|9";
    // The row keeps the spin values where the request sent fixed bytes.
    QTest::newRow("Scene Control") << 6 << "3|2|NO|5|7|1|Scene Control|9";
    QTest::newRow("IR Control") << 7 << "3|2|NO|5|7|1|IR Control|9";
    QTest::newRow("Alarm") << 8 << "3|2|NO|5|7|1|Alarm|9";
    QTest::newRow("Invalid") << 9 << kEmptyRow.arg(3).arg(2);
}

void TestInputBindingWindow::setAckWritesRow() {
    QFETCH(int, action);
    QFETCH(QString, row);
    addRow(3, 1, QStringLiteral("NC"));
    find<QSpinBox>("SpinEdit15")->setValue(3);
    find<QSpinBox>("SpinEdit17")->setValue(2);
    find<QComboBox>("ComboBox15")->setCurrentIndex(1);
    find<QSpinBox>("SpinEdit19")->setValue(5);
    find<QSpinBox>("SpinEdit18")->setValue(7);
    find<QSpinBox>("SpinEdit16")->setValue(1);
    find<QComboBox>("ComboBox16")->setCurrentIndex(action);
    find<QSpinBox>("SpinEdit20")->setValue(9);
    click("Button35");
    if (action == 4)
        QVERIFY(sendLines().value(0).contains("10 03 00 01 01 01 01 02 07 00 09 05 "));
    m_env->reply(3, 0x80, 0x01); // from the input module the Set went to
    QCOMPARE(rows(), (QStringList{"3|1|NC||||Light On|", row}));
    // The same channel again is written over, not added.
    click("Button35");
    m_env->reply(3, 0x80, 0x01);
    QCOMPARE(rows(), (QStringList{"3|1|NC||||Light On|", row}));
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestInputBindingWindow::readDecoding_data() {
    QTest::addColumn<QByteArray>("record"); // reply bytes 7..13
    QTest::addColumn<QString>("row");       // the row held mode "NO"
    QTest::newRow("delay 7F") << bytes("00 02 01 07 00 00 7F") << "4|1|NC|255|7|1|Light On|0";
    QTest::newRow("delay 3C") << bytes("02 01 02 07 03 05 3C")
                              << "4|1|NC/NO|60|7|4|Curtain Close|5";
    QTest::newRow("channel FF") << bytes("00 00 04 FF FF 0C 00")
                                << "4|1|NC|0|255|255|Scene Control|12";
    QTest::newRow("mode 3 keeps the row's mode")
        << bytes("03 02 02 07 00 00 00") << "4|1|NO|0|7|1|Light Off|0";
    QTest::newRow("empty binding, mode 3")
        << bytes("03 FF FF FF FF FF 7F") << kEmptyRow.arg(4).arg(1);
    QTest::newRow("unknown pair") << bytes("00 02 05 07 00 00 00") << "4|1|------|0|7|1|Invalid|0";
    QTest::newRow("Alarm") << bytes("02 05 02 07 00 00 00") << "4|1|NC/NO|0|7|1|Alarm|0";
}

void TestInputBindingWindow::readDecoding() {
    QFETCH(QByteArray, record);
    QFETCH(QString, row);
    addRow(4, 9, QStringLiteral("NO"));
    find<QSpinBox>("SpinEdit37")->setValue(4);
    click("Button50");
    reply(0x80, 0x0F, record);
    QCOMPARE(rows(), QStringList{row});
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 1);
    QVERIFY(processing());
}

void TestInputBindingWindow::readAllWalksTheModuleRowsOnly() {
    addRow(3, 1, QStringLiteral("NC"));
    addRow(4, 9, QStringLiteral("NC"));
    addRow(3, 2, QStringLiteral("NC"));
    addRow(4, 8, QStringLiteral("NC"));
    find<QSpinBox>("SpinEdit37")->setValue(4);
    click("Button50");
    for (int i = 0; i < 14; ++i)
        reply(0x80, 0x0F, bytes("01 02 03 05 01 00 00"));
    QCOMPARE(m_env->prompts.messages, QStringList{"Finished！"});
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 0);
    const QStringList got = rows();
    QCOMPARE(got.size(), 14);
    for (int i = 0; i < 14; ++i)
        QCOMPARE(got.at(i), QStringLiteral("4|%1|NO|0|5|2|Light Toggle|0").arg(i + 1));
    QCOMPARE(sendLines().size(), 14);
    QVERIFY(sendLines().last().contains("09 04 00 0F 0D "));
    find<QSpinBox>("SpinEdit37")->setValue(0);
    QCOMPARE(rows().size(), 16);
    QVERIFY(rows().contains("3|1|NC||||Light On|"));
    QVERIFY(rows().contains("3|2|NC||||Light On|"));
}

void TestInputBindingWindow::deleteAllClearsFourteenRows() {
    find<QSpinBox>("SpinEdit37")->setValue(4);
    click("Button48");
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), true);
    for (int i = 0; i < 14; ++i)
        reply(0x80, 0x01);
    const QStringList got = rows();
    QCOMPARE(got.size(), 14);
    for (int i = 0; i < 14; ++i)
        QCOMPARE(got.at(i), kEmptyRow.arg(4).arg(i + 1));
    QCOMPARE(sendLines().size(), 14);
    QVERIFY(sendLines().last().contains("10 04 00 01 0D FF FF FF FF FF FF 7F "));
    QCOMPARE(m_env->prompts.messages, QStringList{"Finished！"});
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
}

void TestInputBindingWindow::sequencesNeedModule() {
    click("Button50");
    click("Button48");
    QCOMPARE(m_env->prompts.messages,
             (QStringList{"Please select module address!", "Please select module address!"}));
    QVERIFY(sendLines().isEmpty());
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
}

// A read-all asks with another command than the Set's: the Set's acknowledgement is its own
// and writes its row, and the read-all goes on from the row it stands on.
void TestInputBindingWindow::ackDuringSequenceKeepsItsPlace_data() {
    QTest::addColumn<QString>("button"); // the sequence that runs
    QTest::addColumn<bool>("set");       // the acknowledgement answers a Set click
    QTest::newRow("Set during Read All Control Data") << "Button50" << true;
    QTest::newRow("stray answer during Read All Control Data") << "Button50" << false;
    QTest::newRow("Set during Read All Timers") << "Button44" << true;
}

void TestInputBindingWindow::ackDuringSequenceKeepsItsPlace() {
    QFETCH(QString, button);
    QFETCH(bool, set);
    addRow(4, 1, QStringLiteral("NC"));
    addRow(4, 2, QStringLiteral("NC"));
    find<QSpinBox>("SpinEdit37")->setValue(4);
    find<QSpinBox>("SpinEdit15")->setValue(4);
    find<QSpinBox>("SpinEdit17")->setValue(9);
    click(button);
    if (button == "Button50")
        reply(0x80, 0x0F, bytes("01 02 03 05 01 00 00"));
    if (set)
        click("Button35");
    QStringList expected = rows();
    if (set)
        expected << QStringLiteral("4|9|NC|0|1|1|Light On|0");
    const int row = m_env->window->records().binds().currentRow();
    const int at = m_env->window->sequences().position(SequenceKind::ReadBindings);
    const int sent = sendLines().size();

    reply(0x80, 0x01);

    QCOMPARE(rows(), expected);
    if (button == "Button50")
        QCOMPARE(m_env->window->records().binds().currentRow(), row);
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), at);
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
    QCOMPARE(sendLines().size(), sent); // no delete request went out
    QVERIFY(processing());
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestInputBindingWindow::lateReplyWritesNothing_data() {
    QTest::addColumn<QString>("button"); // the sequence, or none
    QTest::addColumn<QString>("ending");
    QTest::addColumn<int>("sub"); // the reply that comes afterwards
    QTest::newRow("record after Cancel") << "Button50"
                                         << "cancel" << 0x0F;
    QTest::newRow("record after the watchdog") << "Button50"
                                               << "watchdog" << 0x0F;
    QTest::newRow("delete answer after Cancel") << "Button48"
                                                << "cancel" << 0x01;
    QTest::newRow("delete answer after an error reply") << "Button48"
                                                        << "error" << 0x01;
    QTest::newRow("record without a sequence") << ""
                                               << "" << 0x0F;
}

void TestInputBindingWindow::lateReplyWritesNothing() {
    QFETCH(QString, button);
    QFETCH(QString, ending);
    QFETCH(int, sub);
    addRow(4, 9, QStringLiteral("NC"));
    find<QSpinBox>("SpinEdit37")->setValue(4);
    if (!button.isEmpty())
        click(button);
    if (ending == "cancel")
        m_env->window->processingDialog().findChild<QPushButton*>("Button1")->click();
    else if (ending == "watchdog")
        m_env->window->sequences().watchdogExpired();
    else if (ending == "error")
        reply(0x80, quint8(sub), {}, 4);
    QVERIFY(!processing());
    QCOMPARE(m_env->window->sequences().running(SequenceKind::DeleteBindings), false);
    m_env->prompts.messages.clear();
    const int sent = sendLines().size();

    reply(0x80, quint8(sub), bytes("01 02 03 05 01 00 00"));

    QCOMPARE(rows(), QStringList{"4|9|NC||||Light On|"});
    QVERIFY(m_env->prompts.messages.isEmpty());
    QCOMPARE(sendLines().size(), sent);
}

QTEST_MAIN(TestInputBindingWindow)
#include "test_input_binding_window.moc"
