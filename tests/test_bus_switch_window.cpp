// "Bus Switch Settings" on the real main window: the requests its buttons build from the
// controls, what a failing Set says, the switches set around a send, and the settings reply.
// Nothing leaves the machine: serial mode with no port open, or network mode with no
// transport, where a request is logged and then refused.
#include "app/main_window.h"
#include "link/bus.h"
#include "link/frames.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

// Settings edits in block order, and the worked example's texts for them.
const QStringList kFields = {"Edit9",  "edt5",   "Edit15", "Edit17", "Edit11", "Edit21",
                             "Edit22", "Edit23", "Edit24", "Edit25", "Edit26", "Edit27",
                             "Edit28", "Edit29", "Edit30", "Edit31", "Edit32", "edt3",
                             "Edit7",  "Edit8",  "Edit33", "Edit34", "Edit35", "Edit36"};
const QStringList kExample = {"192", "168",  "1",   "10", "8000", "255", "255", "255",
                              "0",   "192",  "168", "1",  "1",    "192", "168", "1",
                              "2",   "9000", "00",  "1A", "2B",   "3C",  "4D",  "5E"};
const QByteArray kExampleBlock =
    QByteArray::fromHex("012C C0A8010A 1F40 FFFFFF00 C0A80101 C0A80102 2328 001A2B3C4D5E");

// What the send path saw while a request went out.
// What each request went out with.
struct SendMoment {
    bool broadcast = false;
    bool skipPassword = false;
    int waitMs = 0;
};

} // namespace

class TestBusSwitchWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void controls();
    void buttonsSend_data();
    void buttonsSend();
    void setStopsAtBadField_data();
    void setStopsAtBadField();
    void readSwitchesAroundItsSend();
    void askingButtonsAnsweredNo();
    void settingsReply_data();
    void settingsReply();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_window.get(), name);
    }
    void fillExample(int subnet = 300);
    QList<QByteArray> sentFrames() const;
    QString fieldTexts() const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
    QList<SendMoment> m_moments;
};

void TestBusSwitchWindow::init() {
    m_prompts = std::make_unique<ScriptedPrompts>();
    m_window = std::make_unique<TForm1>(*m_prompts, m_dir.filePath(QStringLiteral("VELM.mdb")));
    m_prompts->messages.clear();
    m_moments.clear();
    connect(&m_window->bus(), &Bus::requestSubmitted, this, [this](PendingRequest* p) {
        m_moments << SendMoment{p->broadcast(), p->skipPassword(), p->waitMs()};
    });
    find<QCheckBox>(QStringLiteral("chk1"))->setChecked(false); // the log shows the bytes
}

void TestBusSwitchWindow::cleanup() {
    m_window.reset();
    m_prompts.reset();
}

void TestBusSwitchWindow::fillExample(int subnet) {
    find<QSpinBox>(QStringLiteral("SpinEdit12"))->setValue(subnet);
    for (int i = 0; i < kFields.size(); ++i)
        find<QLineEdit>(kFields[i])->setText(kExample[i]);
}

QList<QByteArray> TestBusSwitchWindow::sentFrames() const {
    QList<QByteArray> frames;
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    for (const QString& line : lines.filter(QRegularExpression(QStringLiteral("^Send"))))
        frames << QByteArray::fromHex(line.section(QStringLiteral("："), 1).toLatin1());
    return frames;
}

QString TestBusSwitchWindow::fieldTexts() const {
    QStringList texts;
    for (const QString& name : kFields)
        texts << find<QLineEdit>(name)->text();
    return QString::number(find<QSpinBox>(QStringLiteral("SpinEdit12"))->value()) + '|' +
           texts.join(',');
}

void TestBusSwitchWindow::controls() {
    QVERIFY(find<QWidget>(QStringLiteral("TabSheet1"))
                ->isAncestorOf(find<QWidget>(QStringLiteral("GroupBox5"))));
    auto* subnet = find<QSpinBox>(QStringLiteral("SpinEdit12"));
    QCOMPARE(subnet->minimum(), 0);
    QCOMPARE(subnet->maximum(), 65535);
    QCOMPARE(subnet->value(), 1);
    auto* transparent = find<QPushButton>(QStringLiteral("Button39"));
    QCOMPARE(transparent->text(), QStringLiteral("设置透传模式"));
    QVERIFY(transparent->isHidden());

    // Typed text goes through each edit's key filter and length limit.
    const struct {
        const char* name;
        int maxLength;
        const char* typed;
        const char* kept;
    } edits[] = {{"Edit9", 3, "1a.92", "192"},
                 {"edt3", 5, "9 0-00", "9000"},
                 {"Edit36", 2, "gB", "B"},
                 {"Edit16", 16, "secret", "secret"}};
    for (const auto& e : edits) {
        auto* edit = find<QLineEdit>(QString::fromLatin1(e.name));
        QVERIFY2(edit->text().isEmpty(), e.name);
        QCOMPARE(edit->maxLength(), e.maxLength);
        QTest::keyClicks(edit, QString::fromLatin1(e.typed));
        QCOMPARE(edit->text(), QString::fromLatin1(e.kept));
    }
    // The two port edits have the colour of a button face.
    for (const char* name : {"Edit11", "edt3"}) {
        const QPalette p = find<QLineEdit>(QString::fromLatin1(name))->palette();
        QCOMPARE(p.color(QPalette::Base), p.color(QPalette::Button));
    }
}

void TestBusSwitchWindow::buttonsSend_data() {
    QTest::addColumn<bool>("network");
    QTest::addColumn<QString>("button");
    QTest::addColumn<QString>("password");    // Edit16
    QTest::addColumn<QByteArray>("expected"); // frame bytes 2 .. L-3

    const QByteArray pass = QByteArray("418273") + QByteArray(10, char(0xFF));
    QTest::newRow("Set, serial: long layout, subnet FFFF")
        << false << "btn1"
        << "" << QByteArray::fromHex("26FFFFFF0000") + kExampleBlock;
    QTest::newRow("Set, network: with the password block")
        << true << "btn1"
        << ""
        << QByteArray::fromHex("36") + pass + QByteArray::fromHex("FFFFFF0000") + kExampleBlock;
    QTest::newRow("Read, serial") << false << "btn2"
                                  << "" << QByteArray::fromHex("0AFFFFFF0005");
    QTest::newRow("type on the panel's subnet") << false << "Button9"
                                                << "" << QByteArray::fromHex("0A0102FF0006");
    QTest::newRow("password of 4 characters")
        << false << "Button38"
        << "gw42"
        << QByteArray::fromHex("1A0102FF000B") + QByteArray("gw42") + QByteArray(12, char(0xFF));
    QTest::newRow("transparent mode, Yes") << false << "Button39"
                                           << "" << QByteArray::fromHex("0B0102FF000C01");
}

void TestBusSwitchWindow::buttonsSend() {
    QFETCH(bool, network);
    QFETCH(QString, button);
    QFETCH(QString, password);
    QFETCH(QByteArray, expected);

    fillExample();
    find<QSpinBox>(QStringLiteral("SpinEdit7"))->setValue(0x0102);
    find<QLineEdit>(QStringLiteral("Edit16"))->setText(password);
    find<QRadioButton>(network ? QStringLiteral("RadioButton1") : QStringLiteral("RadioButton2"))
        ->setChecked(true);
    m_prompts->answers.push_back(true);
    find<QPushButton>(button)->click();

    const QList<QByteArray> frames = sentFrames();
    QCOMPARE(frames.size(), 1);
    const QByteArray& frame = frames.first();
    QCOMPARE(int(quint8(frame[2])), int(frame.size()));
    QVERIFY(frames::busChecksumOk(reinterpret_cast<const quint8*>(frame.constData()),
                                  int(frame.size())));
    QCOMPARE(frame.mid(2, frame.size() - 4).toHex(' '), expected.toHex(' '));
    // Network mode without a transport: logged, then refused; nothing reached a socket.
    QCOMPARE(m_prompts->messages,
             network ? QStringList{QStringLiteral("Communication Error！")} : QStringList{});
    QCOMPARE(find<QLineEdit>(QStringLiteral("Edit18"))->text(), QStringLiteral("418273"));
}

void TestBusSwitchWindow::setStopsAtBadField_data() {
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("text");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty IP octet") << "Edit15"
                                    << ""
                                    << "Bus Switch IP : '' is not a number";
    QTest::newRow("pasted letters in the mask") << "Edit22"
                                                << "2x5"
                                                << "Bus Switch Mask : '2x5' is not a number";
    QTest::newRow("empty MAC byte") << "Edit34"
                                    << ""
                                    << "Bus Switch  MAC : '' is not a hexadecimal number";
}

// A Set whose edit does not convert says which one, puts the cursor there and sends nothing.
void TestBusSwitchWindow::setStopsAtBadField() {
    QFETCH(QString, field);
    QFETCH(QString, text);
    QFETCH(QString, message);

    fillExample();
    find<QLineEdit>(field)->setText(text);
    find<QPushButton>(QStringLiteral("btn1"))->click();
    QCOMPARE(m_prompts->messages, QStringList{message});
    QCOMPARE(m_window->focusWidget(), find<QWidget>(field));
    QVERIFY(sentFrames().isEmpty());
}

// Read: the broadcast and the skipped password hold for its own send only.
void TestBusSwitchWindow::readSwitchesAroundItsSend() {
    find<QRadioButton>(QStringLiteral("RadioButton1"))->setChecked(true);
    find<QPushButton>(QStringLiteral("btn2"))->click();
    find<QPushButton>(QStringLiteral("Button9"))->click();
    QCOMPARE(m_moments.size(), 2);
    QVERIFY(m_moments[0].broadcast && m_moments[0].skipPassword);
    QVERIFY(!m_moments[1].broadcast && !m_moments[1].skipPassword);
    // The datagram as it would go to 255.255.255.255.
    QCOMPARE(sentFrames().first().toHex(' '),
             QByteArray::fromHex("55AA0AFFFFFF000551A1").toHex(' '));

    m_prompts->answers.push_back(true);
    find<QPushButton>(QStringLiteral("Button34"))->click();
    QCOMPARE(m_moments.size(), 3);
    QCOMPARE(m_moments[2].waitMs, 8000);
    QCOMPARE(m_moments[1].waitMs, 1000);
}

void TestBusSwitchWindow::askingButtonsAnsweredNo() {
    find<QLineEdit>(QStringLiteral("Edit16"))->clear();
    find<QPushButton>(QStringLiteral("Button38"))->click();
    QCOMPARE(m_prompts->messages, QStringList{QStringLiteral("Please input password！")});
    QVERIFY(m_prompts->questions.isEmpty());

    m_prompts->answers = {false, false};
    find<QPushButton>(QStringLiteral("Button34"))->click();
    find<QPushButton>(QStringLiteral("Button39"))->click();
    QCOMPARE(m_prompts->questions, QStringList(2, QStringLiteral("Are you sure?")));
    QVERIFY(sentFrames().isEmpty());
}

void TestBusSwitchWindow::settingsReply_data() {
    QTest::addColumn<int>("road"); // 0 network, 1 serial, 2 serial with the extension channel
    QTest::addColumn<QByteArray>("head"); // frame bytes 3.. up to the block
    QTest::addColumn<QString>("fields");  // SpinEdit12|edits after the reply
    QTest::addColumn<int>("address");     // SpinEdit1 after the reply (9 before it)

    const QString example = QStringLiteral("300|") + kExample.join(',');
    const QString untouched = QStringLiteral("1|") + QStringList(kFields.size(), "").join(',');
    QTest::newRow("network, from the bus switch")
        << 0 << QByteArray::fromHex("FFFFFF800501") << example << 9;
    QTest::newRow("extension channel, from the bus switch")
        << 2 << QByteArray::fromHex("FFFFFF800501") << example << 9;
    // Without the subnet bytes nothing tells the bus switch apart: a module address reply.
    QTest::newRow("serial short form") << 1 << QByteArray::fromHex("FF800501") << untouched << 1;
    QTest::newRow("network, from a module on subnet 1")
        << 0 << QByteArray::fromHex("0001FF800501") << untouched << 1;
    QTest::newRow("error status") << 0 << QByteArray::fromHex("FFFFFF800505") << untouched << 9;
}

void TestBusSwitchWindow::settingsReply() {
    QFETCH(int, road);
    QFETCH(QByteArray, head);
    QFETCH(QString, fields);
    QFETCH(int, address);

    find<QCheckBox>(QStringLiteral("CheckBox13"))->setChecked(road == 2);
    // Subnet 300: its high byte, 1, is what a module address reply would show.
    const QByteArray frame = frames::busReply(head + kExampleBlock);
    find<QSpinBox>(QStringLiteral("SpinEdit1"))->setValue(9);
    if (road == 0)
        m_window->bus().takeDatagram(frame);
    else
        m_window->bus().takeSerialBlock(reinterpret_cast<const quint8*>(frame.constData()),
                                         quint16(frame.size()));
    QCOMPARE(fieldTexts(), fields);
    QCOMPARE(find<QSpinBox>(QStringLiteral("SpinEdit1"))->value(), address);
}

QTEST_MAIN(TestBusSwitchWindow)
#include "test_bus_switch_window.moc"
