// The "Monitor Bindings" tab on the real main window: the Set acknowledgement, the read
// sequence by device type, and the bind-test buttons and replies. Replies are fed through the
// serial intake; with the port closed every request shows as a "Send" line of the log only.
#include "app/main_window.h"
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
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {
const QString kOrder = QStringLiteral("Order");
const QString kFinished = QStringLiteral("Finished！");
} // namespace

class TestMonitorWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void deviceTypeChoice_data();
    void deviceTypeChoice();
    void slotLookupFollowsTestSpinEdits();
    void setAckRecordsBinding_data();
    void setAckRecordsBinding();
    void setAckWritesNothing_data();
    void setAckWritesNothing();
    void readStep_data();
    void readStep();
    void curtainSequenceSkipsMissingSlotAndEnds();
    void sequenceNeedsDeviceTypeAndEndsOnAll();
    void lateReadReplyWritesNothing();
    void bindTestButtons_data();
    void bindTestButtons();
    void bindTestReplies_data();
    void bindTestReplies();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    void click(const QString& button) { find<QPushButton>(button)->click(); }
    void choose(const QString& type) { find<QComboBox>("ComboBox27")->setCurrentText(type); }
    void reply(quint8 sub, const QByteArray& data, quint8 status = 1);
    void bindReply(const QByteArray& payload);
    RecordTable& table() const { return m_env->window->records().monitor(); }
    // "Address|Channel" of a slot's row; empty when the filter hides it.
    QString binding(int slot) const;
    void setDeviceNo(int slot, int deviceNo);
    QStringList sendLines() const { return m_env->logLines(QStringLiteral("Send")); }
    // Request bytes 3.. of the last request, as hex.
    QString lastRequest() const;

    std::unique_ptr<WindowFixture> m_env;
};

void TestMonitorWindow::init() {
    m_env = std::make_unique<WindowFixture>();
    QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));
}

void TestMonitorWindow::cleanup() {
    m_env.reset();
}

void TestMonitorWindow::reply(quint8 sub, const QByteArray& data, quint8 status) {
    m_env->reply(0xFF, 0x80, sub, data, status);
}

void TestMonitorWindow::bindReply(const QByteArray& payload) {
    m_env->feed(frames::bindFrameFromPayload(payload));
}

QString TestMonitorWindow::binding(int slot) const {
    const RecordTable& t = table();
    for (int r = 0; r < t.rowCount(); ++r)
        if (t.valueAt(r, 0).toInt() == slot)
            return t.valueAt(r, 4).toString() + '|' + t.valueAt(r, 5).toString();
    return {};
}

void TestMonitorWindow::setDeviceNo(int slot, int deviceNo) {
    QVERIFY(table().locate(kOrder, slot));
    table().setField(QStringLiteral("Device_No"), deviceNo);
    table().post();
}

QString TestMonitorWindow::lastRequest() const {
    const QStringList lines = sendLines();
    if (lines.isEmpty())
        return {};
    QStringList bytes = lines.last().mid(6).split(' ', Qt::SkipEmptyParts);
    return bytes.mid(3, bytes.size() - 5).join(' ');
}

void TestMonitorWindow::deviceTypeChoice_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("rows");
    QTest::addColumn<bool>("irEnabled");
    QTest::newRow("Light") << "Light" << 1 << 64 << false;
    QTest::newRow("Curtain") << "Curtain" << 65 << 32 << false;
    QTest::newRow("AC") << "AC" << 97 << 128 << true;
    QTest::newRow("All keeps the slot") << "All" << 150 << 224 << false;
}

void TestMonitorWindow::deviceTypeChoice() {
    QFETCH(QString, type);
    QFETCH(int, slot);
    QFETCH(int, rows);
    QFETCH(bool, irEnabled);
    QVERIFY(!find<QSpinBox>("SpinEdit44")->isEnabled());
    find<QSpinBox>("SpinEdit38")->setValue(150);
    choose(QStringLiteral("Curtain"));
    choose(type);
    QCOMPARE(find<QSpinBox>("SpinEdit38")->value(), type == "All" ? 65 : slot);
    QCOMPARE(table().rowCount(), rows);
    QCOMPARE(find<QSpinBox>("SpinEdit44")->isEnabled(), irEnabled);
    QCOMPARE(find<QSpinBox>("SpinEdit41")->isEnabled(), !irEnabled);
    // The table stands on the slot's row, even when the number did not change.
    QCOMPARE(table().fieldInt(kOrder), find<QSpinBox>("SpinEdit38")->value());
}

void TestMonitorWindow::slotLookupFollowsTestSpinEdits() {
    for (const char* spin : {"SpinEdit39", "SpinEdit40", "SpinEdit43"}) {
        find<QSpinBox>("SpinEdit38")->setValue(10);
        table().first();
        find<QSpinBox>(spin)->setValue(2);
        QCOMPARE(table().fieldInt(kOrder), 10);
        find<QSpinBox>(spin)->setValue(1);
    }
}

void TestMonitorWindow::setAckRecordsBinding_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("deviceNo");
    QTest::addColumn<QString>("request"); // request bytes 3..10
    QTest::addColumn<QString>("row");     // Address|Channel
    // Module 7, channel 4, IR number 9 throughout.
    QTest::newRow("light slot 5, Light chosen") << "Light" << 5 << 3 << "FF 00 0E 01 01 02 07 03"
                                                << "7|4";
    QTest::newRow("AC slot 100, AC chosen") << "AC" << 100 << 2 << "FF 00 0E 03 00 13 07 09"
                                            << "7|9";
    QTest::newRow("curtain slot 66, All chosen") << "All" << 66 << 2 << "FF 00 0E 02 00 01 07 03"
                                                 << "7|4";
    // The row holds what the gateway was given: the IR number the request carried.
    QTest::newRow("AC slot 100, All chosen") << "All" << 100 << 2 << "FF 00 0E 03 00 13 07 09"
                                             << "7|9";
}

void TestMonitorWindow::setAckRecordsBinding() {
    QFETCH(QString, type);
    QFETCH(int, slot);
    QFETCH(int, deviceNo);
    QFETCH(QString, request);
    QFETCH(QString, row);
    setDeviceNo(slot, deviceNo);
    find<QSpinBox>("SpinEdit42")->setValue(7);
    find<QSpinBox>("SpinEdit41")->setValue(4);
    find<QSpinBox>("SpinEdit44")->setValue(9);
    choose(type);
    find<QSpinBox>("SpinEdit38")->setValue(slot);
    click(QStringLiteral("Button36"));
    QCOMPARE(lastRequest(), request);
    // A click in the grid and new values before the answer change nothing of what is recorded.
    table().last();
    find<QSpinBox>("SpinEdit41")->setValue(8);
    find<QSpinBox>("SpinEdit44")->setValue(200);
    reply(0x0E, {});
    QCOMPARE(binding(slot), row);
    QCOMPARE(table().fieldInt(kOrder), slot);
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestMonitorWindow::setAckWritesNothing_data() {
    QTest::addColumn<QString>("story");
    QTest::addColumn<int>("sent");
    QTest::addColumn<QString>("slot5"); // Address|Channel of slot 5 afterwards
    QTest::newRow("answer without a Set") << "stray" << 0 << "0|0";
    QTest::newRow("second answer to one Set") << "twice" << 1 << "7|1";
    // A refused Set is over: a later acknowledgement is not its own. An unanswered one is
    // still pending: the module may have taken it, and its late answer records.
    QTest::newRow("error status, then an acknowledgement") << "error" << 1 << "0|0";
    QTest::newRow("answer after the wait") << "unanswered" << 1 << "7|1";
    QTest::newRow("Set during another family's sequence") << "other sequence" << 2 << "7|1";
    // A read-all uses another command: the Set's answer is still its own.
    QTest::newRow("Set before a sequence started") << "before sequence" << 2 << "7|1";
    QTest::newRow("Set during a sequence") << "during sequence" << 2 << "7|1";
    QTest::newRow("slot without a row sends nothing") << "no row" << 0 << "";
}

void TestMonitorWindow::setAckWritesNothing() {
    QFETCH(QString, story);
    QFETCH(int, sent);
    QFETCH(QString, slot5);
    find<QSpinBox>("SpinEdit42")->setValue(7);
    choose(QStringLiteral("Light"));
    find<QSpinBox>("SpinEdit38")->setValue(5);
    if (story == "twice") {
        click(QStringLiteral("Button36"));
        reply(0x0E, {});
        find<QSpinBox>("SpinEdit42")->setValue(9);
    } else if (story == "error") {
        click(QStringLiteral("Button36"));
        reply(0x0E, {}, 4);
    } else if (story == "unanswered") {
        click(QStringLiteral("Button36"));
        QTest::qWait(1300); // the serial wait and its quiet time
    } else if (story == "other sequence") {
        click(QStringLiteral("Button44")); // Read All Timers
        click(QStringLiteral("Button36"));
    } else if (story == "before sequence") {
        click(QStringLiteral("Button36"));
        click(QStringLiteral("Button52"));
    } else if (story == "during sequence") {
        click(QStringLiteral("Button52"));
        click(QStringLiteral("Button36"));
    } else if (story == "no row") {
        QVERIFY(table().locate(kOrder, 5));
        table().deleteCurrent();
        click(QStringLiteral("Button36"));
    }
    reply(0x0E, {});
    QCOMPARE(int(sendLines().size()), sent);
    QCOMPARE(binding(5), slot5);
    for (int slot = 1; slot <= 64; ++slot)
        if (slot != 5)
            QCOMPARE(binding(slot), QStringLiteral("0|0"));
    QVERIFY(m_env->prompts.messages.isEmpty());
}

void TestMonitorWindow::readStep_data() {
    QTest::addColumn<QString>("type");
    QTest::addColumn<int>("first");
    QTest::addColumn<QString>("firstRequest");
    QTest::addColumn<QString>("row");
    QTest::addColumn<QString>("nextRequest");
    // Reply bytes 7 and 8 are 7 and 2 in both.
    QTest::newRow("Light: channel is byte 8 + 1") << "Light" << 1 << "FF 00 10 01 00 00"
                                                  << "7|3"
                                                  << "FF 00 10 01 00 01";
    QTest::newRow("AC: the IR number as it came") << "AC" << 97 << "FF 00 10 03 00 00"
                                                  << "7|2"
                                                  << "FF 00 10 03 00 01";
}

void TestMonitorWindow::readStep() {
    QFETCH(QString, type);
    QFETCH(int, first);
    QFETCH(QString, firstRequest);
    QFETCH(QString, row);
    QFETCH(QString, nextRequest);
    choose(type);
    find<QSpinBox>("SpinEdit38")->setValue(first + 20); // the sequence starts at its first slot
    click(QStringLiteral("Button52"));
    QVERIFY(m_env->window->sequences().keepGoing());
    QCOMPARE(lastRequest(), firstRequest);
    table().last(); // a click in the grid meanwhile
    reply(0x10, QByteArray::fromHex("0702"));
    QCOMPARE(binding(first), row);
    QCOMPARE(binding(first + 1), QStringLiteral("0|0"));
    QCOMPARE(lastRequest(), nextRequest);
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadMonitorSlots), first + 1);
    QCOMPARE(int(sendLines().size()), 2);
}

void TestMonitorWindow::curtainSequenceSkipsMissingSlotAndEnds() {
    QVERIFY(table().locate(kOrder, 70));
    table().deleteCurrent();
    choose(QStringLiteral("Curtain"));
    click(QStringLiteral("Button52"));
    for (int i = 0; i < 40 && m_env->window->sequences().keepGoing(); ++i)
        reply(0x10, QByteArray::fromHex("0300"));
    QCOMPARE(m_env->prompts.messages, QStringList{kFinished});
    QCOMPARE(int(sendLines().size()), 31); // slots 65..96 but 70
    QCOMPARE(binding(96), QStringLiteral("3|1"));
    QCOMPARE(binding(64), QString()); // filtered out, and never read
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadMonitorSlots), 0);
    QVERIFY(!m_env->window->sequences().running());
    choose(QStringLiteral("Light"));
    QCOMPARE(binding(64), QStringLiteral("0|0"));
}

void TestMonitorWindow::sequenceNeedsDeviceTypeAndEndsOnAll() {
    click(QStringLiteral("Button52"));
    QCOMPARE(m_env->prompts.messages, QStringList{QStringLiteral("Please select device type!")});
    QVERIFY(sendLines().isEmpty());
    QVERIFY(!m_env->window->sequences().keepGoing());

    m_env->prompts.messages.clear();
    choose(QStringLiteral("Light"));
    click(QStringLiteral("Button52"));
    reply(0x10, QByteArray::fromHex("0100"));
    choose(QStringLiteral("All"));
    reply(0x10, QByteArray::fromHex("0200"));
    QCOMPARE(m_env->prompts.messages, QStringList{kFinished});
    QCOMPARE(int(sendLines().size()), 2);
    QCOMPARE(binding(1), QStringLiteral("1|1"));
    QCOMPARE(binding(2), QStringLiteral("2|1"));
    QCOMPARE(binding(3), QStringLiteral("0|0"));
    QVERIFY(!m_env->window->sequences().keepGoing());
}

void TestMonitorWindow::lateReadReplyWritesNothing() {
    choose(QStringLiteral("Light"));
    reply(0x10, QByteArray::fromHex("0702"));
    click(QStringLiteral("Button52"));
    m_env->window->sequences().cancel();
    reply(0x10, QByteArray::fromHex("0702"));
    for (int slot = 1; slot <= 64; ++slot)
        QCOMPARE(binding(slot), QStringLiteral("0|0"));
    QVERIFY(m_env->prompts.messages.isEmpty());
    QCOMPARE(int(sendLines().size()), 1);
}

void TestMonitorWindow::bindTestButtons_data() {
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("radio");
    QTest::addColumn<QString>("frame");
    // Room 3, device 5, scene 16.
    QTest::newRow("On") << "Button51"
                        << ""
                        << "AE D0 09 02 01 02 04 01 91";
    QTest::newRow("Off") << "Button53"
                         << ""
                         << "AE D0 09 02 01 02 04 00 90";
    QTest::newRow("light Read Status") << "Button56"
                                       << ""
                                       << "AE D0 08 82 01 02 04 0F";
    QTest::newRow("Open") << "Button57"
                          << ""
                          << "AE D0 09 03 01 02 04 01 92";
    QTest::newRow("Close") << "Button58"
                           << ""
                           << "AE D0 09 03 01 02 04 00 91";
    QTest::newRow("Stop") << "Button60"
                          << ""
                          << "AE D0 09 03 01 02 04 02 93";
    QTest::newRow("curtain Read Status") << "Button59"
                                         << ""
                                         << "AE D0 08 83 01 02 04 10";
    QTest::newRow("Cold at start") << "Button55"
                                   << ""
                                   << "AE D0 0C 04 01 02 04 01 03 FF FF 97";
    QTest::newRow("Strong Cold") << "Button55"
                                 << "RadioButton4"
                                 << "AE D0 0C 04 01 02 04 01 03 04 FF 9C";
    QTest::newRow("Wind") << "Button55"
                          << "RadioButton5"
                          << "AE D0 0C 04 01 02 04 01 00 03 FF 98";
    QTest::newRow("Power Off") << "Button55"
                               << "RadioButton6"
                               << "AE D0 0C 04 01 02 04 00 FF FF FF 92";
    QTest::newRow("scene") << "Button61"
                           << ""
                           << "AE D0 07 01 01 10 97";
}

void TestMonitorWindow::bindTestButtons() {
    QFETCH(QString, button);
    QFETCH(QString, radio);
    QFETCH(QString, frame);
    QVERIFY(find<QRadioButton>("RadioButton3")->isChecked());
    find<QSpinBox>("SpinEdit39")->setValue(3);
    find<QSpinBox>("SpinEdit40")->setValue(5);
    find<QSpinBox>("SpinEdit43")->setValue(16);
    if (!radio.isEmpty())
        find<QRadioButton>(radio)->setChecked(true);
    click(button);
    QCOMPARE(sendLines(), QStringList{QStringLiteral("Send ：") + frame + ' '});
}

void TestMonitorWindow::bindTestReplies_data() {
    QTest::addColumn<QString>("payload");
    QTest::addColumn<QString>("boxes"); // CheckBox14..17 after the reply, from all unchecked
    QTest::newRow("light off") << "8201000000"
                               << "0100";
    QTest::newRow("light on") << "8201000001"
                              << "1000";
    QTest::newRow("light state 2") << "8201000002"
                                   << "0000";
    QTest::newRow("curtain closed") << "8301000000"
                                    << "0001";
    QTest::newRow("curtain open") << "8301000001"
                                  << "0010";
    QTest::newRow("curtain state 2") << "8301000002"
                                     << "0000";
    QTest::newRow("echo of a command") << "0201000001"
                                       << "0000";
}

void TestMonitorWindow::bindTestReplies() {
    QFETCH(QString, payload);
    QFETCH(QString, boxes);
    auto state = [this] {
        QString s;
        for (int i = 14; i <= 17; ++i)
            s += find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->isChecked() ? '1' : '0';
        return s;
    };
    bindReply(QByteArray::fromHex(payload.toLatin1()));
    QCOMPARE(state(), boxes);
    // The opposite state turns both boxes of the group round; state 2 keeps them.
    if (boxes != "0000") {
        QByteArray other = QByteArray::fromHex(payload.toLatin1());
        other[4] = char(other[4] ^ 1);
        bindReply(other);
        QCOMPARE(state().count('1'), 1);
        QVERIFY(state() != boxes);
        const QString before = state();
        other[4] = 2;
        bindReply(other);
        QCOMPARE(state(), before);
    }
}

QTEST_MAIN(TestMonitorWindow)
#include "test_monitor_window.moc"
