// The light, curtain and module administration tabs on the real main window: requests as
// the buttons build them from the controls, and replies fed through the serial intake.
#include "app/main_window.h"
#include "link/bus.h"
#include "link/frames.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRegularExpression>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

class TestLightCurtainAdminWindow : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void buttonsSendFromControls_data();
    void buttonsSendFromControls();
    void statusReply_data();
    void statusReply();
    void moduleAddressReply_data();
    void moduleAddressReply();
    void typeAndVersionReplies_data();
    void typeAndVersionReplies();
    void restoreAsksFirst_data();
    void restoreAsksFirst();
    void statusBoxesByHandSendNothing();
    void relayDelayControlsHidden();

private:
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_window.get(), name);
    }
    void feed(const QByteArray& frame);
    void showPage(const QString& name);
    QStringList sendLines() const;
    QString statusBoxes() const;

    QTemporaryDir m_dir;
    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
};

void TestLightCurtainAdminWindow::init() {
    m_prompts = std::make_unique<ScriptedPrompts>();
    // No database in the temporary directory: start-up reports the six tables and goes on.
    m_window = std::make_unique<TForm1>(*m_prompts, m_dir.filePath(QStringLiteral("VELM.mdb")));
    m_prompts->messages.clear();
}

void TestLightCurtainAdminWindow::cleanup() {
    m_window.reset();
    m_prompts.reset();
}

void TestLightCurtainAdminWindow::feed(const QByteArray& frame) {
    m_window->bus().takeSerialBlock(reinterpret_cast<const quint8*>(frame.constData()),
                                     quint16(frame.size()));
}

void TestLightCurtainAdminWindow::showPage(const QString& name) {
    QTabWidget* pages = m_window->pages();
    pages->setCurrentWidget(pages->findChild<QWidget*>(name));
    QCOMPARE(pages->currentWidget()->objectName(), name);
}

QStringList TestLightCurtainAdminWindow::sendLines() const {
    const QStringList lines =
        find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
    return lines.filter(QRegularExpression(QStringLiteral("^Send")));
}

QString TestLightCurtainAdminWindow::statusBoxes() const {
    QString s;
    for (int i = 1; i <= 12; ++i)
        s += find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->isChecked() ? '1' : '0';
    return s;
}

void TestLightCurtainAdminWindow::buttonsSendFromControls_data() {
    // settings: "Name=value" pairs for spin edits and check boxes before the click.
    QTest::addColumn<QStringList>("settings");
    QTest::addColumn<QString>("button");
    // Frame bytes 2 .. L-3 in the traffic log (serial mode: no password block).
    QTest::addColumn<QByteArray>("expected");

    const QStringList none;
    QTest::newRow("On") << QStringList{"SpinEdit2=5", "SpinEdit3=3"} << "Button2"
                        << QByteArray("0A05020102FF");
    QTest::newRow("On long via extension channel")
        << QStringList{"SpinEdit2=5", "SpinEdit3=3", "CheckBox13=1"} << "Button2"
        << QByteArray("0C0001050201 02FF");
    QTest::newRow("Off") << QStringList{"SpinEdit2=32", "SpinEdit3=8"} << "Button3"
                         << QByteArray("0A20020207FF");
    QTest::newRow("Toggle") << QStringList{"SpinEdit2=2", "SpinEdit3=1"} << "Button4"
                            << QByteArray("0A02020300FF");
    QTest::newRow("All On ignores spin edits")
        << QStringList{"SpinEdit2=7", "SpinEdit3=6"} << "Button5" << QByteArray("0AFF0204FFFF");
    QTest::newRow("All Off") << none << "Button6" << QByteArray("0AFF0205FFFF");
    QTest::newRow("duration Set") << QStringList{"SpinEdit2=5", "SpinEdit3=3", "SpinEdit11=65001"}
                                  << "Button30" << QByteArray("0B05020002FDE9");
    QTest::newRow("relay delay") << QStringList{"SpinEdit29=3"} << "Button41"
                                 << QByteArray("0BFF000D000004");
    QTest::newRow("light Read") << QStringList{"SpinEdit2=6", "SpinEdit9=9"} << "Button11"
                                << QByteArray("08060008");
    QTest::newRow("Open") << QStringList{"SpinEdit9=2", "SpinEdit10=4"} << "Button14"
                          << QByteArray("0A02010103FF");
    QTest::newRow("Close") << QStringList{"SpinEdit9=2", "SpinEdit10=1"} << "Button15"
                           << QByteArray("0A02010200FF");
    QTest::newRow("Stop") << QStringList{"SpinEdit9=3", "SpinEdit10=2"} << "Button16"
                          << QByteArray("0A03010301FF");
    QTest::newRow("All Open") << none << "Button18" << QByteArray("0AFF0104FFFF");
    QTest::newRow("All Close") << none << "Button20" << QByteArray("0AFF0105FFFF");
    QTest::newRow("All Stop long") << QStringList{"CheckBox13=1", "SpinEdit7=258"} << "Button17"
                                   << QByteArray("0C0102FF0106FFFF");
    QTest::newRow("travel Set default 20.0 s")
        << QStringList{"SpinEdit9=1", "SpinEdit10=1"} << "Button21" << QByteArray("0B010100004E20");
    QTest::newRow("curtain Read") << QStringList{"SpinEdit2=6", "SpinEdit9=9"} << "Button19"
                                  << QByteArray("08090008");
    QTest::newRow("admin Read ignores SpinEdit1")
        << QStringList{"SpinEdit1=7"} << "Button22" << QByteArray("08FF0005");
    QTest::newRow("admin Test") << QStringList{"SpinEdit1=7"} << "Button23"
                                << QByteArray("08070009");
    QTest::newRow("admin Set") << QStringList{"SpinEdit1=33"} << "Button1"
                               << QByteArray("09FF000021");
    QTest::newRow("admin Set long") << QStringList{"SpinEdit1=4", "CheckBox13=1", "SpinEdit7=1"}
                                    << "Button1" << QByteArray("0B0001FF000004");
    QTest::newRow("admin type") << QStringList{"SpinEdit1=0"} << "Button12"
                                << QByteArray("08000006");
    QTest::newRow("admin version")
        << QStringList{"SpinEdit1=12"} << "Button29" << QByteArray("080C0007");
}

void TestLightCurtainAdminWindow::buttonsSendFromControls() {
    QFETCH(QStringList, settings);
    QFETCH(QString, button);
    QFETCH(QByteArray, expected);

    // With the masked-log switch off, the log shows the whole frame.
    find<QCheckBox>(QStringLiteral("chk1"))->setChecked(false);
    for (const QString& s : settings) {
        const QString name = s.section('=', 0, 0);
        const int value = s.section('=', 1).toInt();
        if (auto* spin = m_window->findChild<QSpinBox*>(name))
            spin->setValue(value);
        else
            find<QCheckBox>(name)->setChecked(value != 0);
    }
    find<QPushButton>(button)->click();

    const QStringList lines = sendLines();
    QCOMPARE(lines.size(), 1);
    const QByteArray frame =
        QByteArray::fromHex(lines.first().section(QStringLiteral("："), 1).toLatin1());
    QVERIFY(frame.size() >= 8);
    QCOMPARE(frame.left(2).toHex(), QByteArray("55aa"));
    QCOMPARE(int(quint8(frame[2])), int(frame.size()));
    QVERIFY(frames::busChecksumOk(reinterpret_cast<const quint8*>(frame.constData()),
                                  int(frame.size())));
    QCOMPARE(frame.mid(2, frame.size() - 4).toHex(' '), QByteArray::fromHex(expected).toHex(' '));
    // "All On" and "All Off" go to module 0xFF: they say on screen that the whole subnet acts.
    if (button == QLatin1String("Button5") || button == QLatin1String("Button6"))
        QVERIFY(find<QPushButton>(button)->toolTip().contains(
            QLatin1String("every light module of the subnet")));
}

void TestLightCurtainAdminWindow::statusReply_data() {
    QTest::addColumn<QString>("page");
    QTest::addColumn<QByteArray>("body");  // reply frame bytes 3.. without the checksum
    QTest::addColumn<QString>("expected"); // CheckBox1..CheckBox12 after the reply

    // Before each row every status box is ticked, so untouched boxes show as 1.
    QTest::newRow("length 18 sets Light1..8")
        << "TabSheet3" << QByteArray::fromHex("0580080101 0100010000000000") << "101000001111";
    QTest::newRow("length 14 sets Light1..4 only")
        << "TabSheet3" << QByteArray::fromHex("0580080101 00000000") << "000011111111";
    QTest::newRow("length 10 sets nothing")
        << "TabSheet3" << QByteArray::fromHex("0580080101") << "111111111111";
    QTest::newRow("only bit 0 counts")
        << "TabSheet3" << QByteArray::fromHex("0580080101 0203020302030203") << "010101011111";
    QTest::newRow("byte 7 not 1 sets nothing")
        << "TabSheet3" << QByteArray::fromHex("0580080100 0000000000000000") << "111111111111";
    QTest::newRow("error status sets nothing")
        << "TabSheet3" << QByteArray::fromHex("0580080201 0000000000000000") << "111111111111";
    QTest::newRow("IR tab shown: nothing")
        << "TabSheet5" << QByteArray::fromHex("0580080101 0000000000000000") << "111111111111";
    QTest::newRow("curtain tab: four boxes from length 18")
        << "TabSheet4" << QByteArray::fromHex("0580080101 0001000011111111") << "111111110100";
    QTest::newRow("curtain tab: length 14")
        << "TabSheet4" << QByteArray::fromHex("0580080101 03020100") << "111111111010";
    QTest::newRow("curtain tab: length 11 one box")
        << "TabSheet4" << QByteArray::fromHex("0580080101 00") << "111111110111";
}

void TestLightCurtainAdminWindow::statusReply() {
    QFETCH(QString, page);
    QFETCH(QByteArray, body);
    QFETCH(QString, expected);

    for (int i = 1; i <= 12; ++i)
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->setChecked(true);
    showPage(page);
    feed(frames::busReply(body));
    QCOMPARE(statusBoxes(), expected);
}

void TestLightCurtainAdminWindow::moduleAddressReply_data() {
    QTest::addColumn<bool>("extension");
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<int>("expected");

    QTest::newRow("address 7") << false << QByteArray::fromHex("FF80050107") << 7;
    QTest::newRow("0x50 shown as 33") << false << QByteArray::fromHex("FF80050150") << 33;
    QTest::newRow("0 stays 0") << false << QByteArray::fromHex("FF80050100") << 0;
    QTest::newRow("error status keeps the field")
        << false << QByteArray::fromHex("FF80050207") << 1;
    QTest::newRow("extension channel, ordinary module")
        << true << QByteArray::fromHex("0001FF80050109") << 9;
    // Subnet 0xFFFF and address 0xFF: the bus switch's settings, not a module address.
    QTest::newRow("bus switch settings leave it")
        << true << QByteArray::fromHex("FFFFFF80050109") << 1;
}

void TestLightCurtainAdminWindow::moduleAddressReply() {
    QFETCH(bool, extension);
    QFETCH(QByteArray, body);
    QFETCH(int, expected);

    QCOMPARE(find<QSpinBox>(QStringLiteral("SpinEdit1"))->value(), 1);
    find<QCheckBox>(QStringLiteral("CheckBox13"))->setChecked(extension);
    feed(frames::busReply(body));
    QCOMPARE(find<QSpinBox>(QStringLiteral("SpinEdit1"))->value(), expected);
}

void TestLightCurtainAdminWindow::typeAndVersionReplies_data() {
    QTest::addColumn<QByteArray>("body");
    QTest::addColumn<QString>("field");
    QTest::addColumn<QString>("expected");

    QTest::newRow("type") << QByteArray::fromHex("0380060101 08") << "Edit1"
                          << "0108";
    QTest::newRow("type upper case") << QByteArray::fromHex("03800601AB 0C") << "Edit1"
                                     << "AB0C";
    QTest::newRow("type of the bus switch") << QByteArray::fromHex("FF80060102 FE") << "Edit13"
                                            << "02FE";
    QTest::newRow("version length 13") << QByteArray("\x03\x80\x07\x01"
                                                     "V1.2",
                                                     8)
                                       << "Edit2"
                                       << "V1.2";
    QTest::newRow("version length 9 empties") << QByteArray::fromHex("03800701") << "Edit2"
                                              << "";
    QTest::newRow("version 8-bit characters") << QByteArray("\x03\x80\x07\x01"
                                                            "A\xE9Z",
                                                            7)
                                              << "Edit2" << QString::fromUtf8("AéZ");
    QTest::newRow("version of the bus switch") << QByteArray("\xFF\x80\x07\x01"
                                                             "GW-02",
                                                             9)
                                               << "Edit14"
                                               << "GW-02";
}

void TestLightCurtainAdminWindow::typeAndVersionReplies() {
    QFETCH(QByteArray, body);
    QFETCH(QString, field);
    QFETCH(QString, expected);

    const QStringList fields{"Edit1", "Edit2", "Edit13", "Edit14"};
    for (const QString& f : fields)
        find<QLineEdit>(f)->setText(QStringLiteral("old"));
    feed(frames::busReply(body));
    for (const QString& f : fields)
        QCOMPARE(find<QLineEdit>(f)->text(), f == field ? expected : QStringLiteral("old"));
}

void TestLightCurtainAdminWindow::restoreAsksFirst_data() {
    QTest::addColumn<bool>("yes");
    QTest::addColumn<int>("sent");
    QTest::newRow("No sends nothing") << false << 0;
    QTest::newRow("Yes sends one") << true << 1;
}

void TestLightCurtainAdminWindow::restoreAsksFirst() {
    QFETCH(bool, yes);
    QFETCH(int, sent);

    m_prompts->answers.push_back(yes);
    find<QPushButton>(QStringLiteral("Button31"))->click();
    QCOMPARE(m_prompts->questions, QStringList{QStringLiteral("Are you sure?")});
    QCOMPARE(sendLines().size(), sent);
}

void TestLightCurtainAdminWindow::statusBoxesByHandSendNothing() {
    for (int i = 1; i <= 12; ++i)
        find<QCheckBox>(QStringLiteral("CheckBox%1").arg(i))->click();
    QVERIFY(sendLines().isEmpty());
    QVERIFY(m_prompts->messages.isEmpty());
}

void TestLightCurtainAdminWindow::relayDelayControlsHidden() {
    // With the masked log on, as in every run, the relay-delay controls stay out of sight.
    for (const char* name : {"Label85", "Label84", "SpinEdit29", "Button41"})
        QVERIFY2(find<QWidget>(QString::fromLatin1(name))->isHidden(), name);
    QVERIFY(!find<QWidget>(QStringLiteral("SpinEdit11"))->isHidden());
}

QTEST_MAIN(TestLightCurtainAdminWindow)
#include "test_light_curtain_admin_window.moc"
