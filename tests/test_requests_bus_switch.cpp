// The bus switch's requests and its settings block, as plain values: texts to block bytes
// (with the failures that stop a Set), block bytes back to texts, and the request bytes.
#include "link/frames.h"
#include "protocol/bus_switch_requests.h"

#include <QTest>

namespace {

// Request bytes 2 .. N-3: the length byte and the payload.
QByteArray payload(const RequestLayout& layout, const Request& request) {
    const QByteArray all = layout.bytes(request);
    return all.mid(2, all.size() - 4);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

// The worked example: 192.168.1.10:8000, mask 255.255.255.0, gateway 192.168.1.1, server
// 192.168.1.2:9000, MAC 00-1A-2B-3C-4D-5E, in block order.
QStringList exampleTexts() {
    return {"192", "168", "1",   "10", "8000", "255",  "255", "255", "0",  "192", "168", "1",
            "1",   "192", "168", "1",  "2",    "9000", "00",  "1A",  "2B", "3C",  "4D",  "5E"};
}
const QByteArray kExampleBlock =
    hex("012C C0A8010A 1F40 FFFFFF00 C0A80101 C0A80102 2328 001A2B3C4D5E");

// Indices of the example's edits.
constexpr int kIp = 0;
constexpr int kPort = 4;
constexpr int kServerPort = 17;
constexpr int kMac = 18;

} // namespace

class TestRequestsBusSwitch : public QObject {
    Q_OBJECT
private slots:
    void settingsBlock_data();
    void settingsBlock();
    void conversionFailure_data();
    void conversionFailure();
    void blockTexts();
    void requestBytes_data();
    void requestBytes();
    void readIsBareFrame();
};

void TestRequestsBusSwitch::settingsBlock_data() {
    QTest::addColumn<int>("subnet");
    QTest::addColumn<int>("field"); // -1: the example as it stands
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("at"); // block offset that changes
    QTest::addColumn<QByteArray>("bytes");

    QTest::newRow("the example") << 300 << -1 << "" << 0 << hex("012C");
    // No range check: what converts keeps its low bits.
    QTest::newRow("octet 300 goes as 2C") << 300 << kIp << "300" << 2 << hex("2C");
    QTest::newRow("port 70000 keeps 16 bits") << 300 << kPort << "70000" << 6 << hex("1170");
    QTest::newRow("server port 65535") << 300 << kServerPort << "65535" << 20 << hex("FFFF");
    QTest::newRow("MAC lower case") << 300 << kMac << "af" << 22 << hex("AF");
    QTest::newRow("MAC one digit") << 300 << kMac << "7" << 22 << hex("07");
    QTest::newRow("subnet 65535") << 65535 << -1 << "" << 0 << hex("FFFF");
}

void TestRequestsBusSwitch::settingsBlock() {
    QFETCH(int, subnet);
    QFETCH(int, field);
    QFETCH(QString, text);
    QFETCH(int, at);
    QFETCH(QByteArray, bytes);

    QStringList texts = exampleTexts();
    if (field >= 0)
        texts[field] = text;
    QByteArray expected = kExampleBlock;
    expected.replace(at, bytes.size(), bytes);
    const std::optional<QByteArray> block = busswitch::settingsBlock(subnet, texts);
    QVERIFY(block);
    QCOMPARE(block->size(), busswitch::kSettingsSize);
    QCOMPARE(block->toHex(' '), expected.toHex(' '));
}

void TestRequestsBusSwitch::conversionFailure_data() {
    QTest::addColumn<QList<int>>("fields"); // edits emptied or given `text`
    QTest::addColumn<QString>("text");
    QTest::addColumn<int>("bad");
    QTest::addColumn<QString>("message");

    QTest::newRow("empty IP octet")
        << QList<int>{kIp} << "" << kIp << QStringLiteral("Bus Switch IP : '' is not a number");
    QTest::newRow("letters in the port")
        << QList<int>{kPort} << "80a" << kPort
        << QStringLiteral("Bus Switch Port : '80a' is not a number");
    QTest::newRow("empty MAC byte")
        << QList<int>{23} << "" << 23
        << QStringLiteral("Bus Switch  MAC : '' is not a hexadecimal number");
    QTest::newRow("MAC not hexadecimal")
        << QList<int>{kMac} << "G1" << kMac
        << QStringLiteral("Bus Switch  MAC : 'G1' is not a hexadecimal number");
    QTest::newRow("the first bad edit is named")
        << QList<int>{20, 9} << "" << 9
        << QStringLiteral("Bus Switch Gateway : '' is not a number");
}

void TestRequestsBusSwitch::conversionFailure() {
    QFETCH(QList<int>, fields);
    QFETCH(QString, text);
    QFETCH(int, bad);
    QFETCH(QString, message);

    QStringList texts = exampleTexts();
    for (int f : fields)
        texts[f] = text;
    int reported = -1;
    QVERIFY(!busswitch::settingsBlock(300, texts, &reported));
    QCOMPARE(reported, bad);
    QCOMPARE(busswitch::conversionError(reported, texts[reported]), message);
}

void TestRequestsBusSwitch::blockTexts() {
    QCOMPARE(busswitch::blockSubnet(kExampleBlock), 300);
    QCOMPARE(busswitch::blockTexts(kExampleBlock).join(','),
             QStringLiteral("192,168,1,10,8000,255,255,255,0,192,168,1,1,192,168,1,2,9000,"
                            "00,1A,2B,3C,4D,5E"));
    // MAC bytes always show two upper-case digits; a short block reads as zeros.
    const QStringList shortBlock = busswitch::blockTexts(hex("FFFF 0A0B0C0D 1F40 00000000"));
    QCOMPARE(shortBlock.size(), busswitch::kSettingsFields);
    QCOMPARE(shortBlock.mid(0, 5).join(','), QStringLiteral("10,11,12,13,8000"));
    QCOMPARE(shortBlock.mid(17).join(','), QStringLiteral("0,00,00,00,00,00,00"));
}

void TestRequestsBusSwitch::requestBytes_data() {
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    const RequestLayout all = busswitch::layout(busswitch::kSettingsSubnet);
    const RequestLayout subnet0102 = busswitch::layout(0x0102);

    QTest::newRow("Set: length 38, subnet FFFF")
        << payload(all, busswitch::setSettings(kExampleBlock))
        << hex("26 FFFF FF 00 00") + kExampleBlock;
    QTest::newRow("Read") << payload(all, busswitch::readSettings()) << hex("0A FFFF FF 00 05");
    QTest::newRow("type on the panel's subnet")
        << payload(subnet0102, busswitch::readType()) << hex("0A 0102 FF 00 06");
    QTest::newRow("version") << payload(subnet0102, busswitch::readVersion())
                             << hex("0A 0102 FF 00 07");
    QTest::newRow("restore") << payload(subnet0102, busswitch::restore())
                             << hex("0A 0102 FF 00 0A");
    QTest::newRow("password of 20 characters sends 16")
        << payload(subnet0102, busswitch::setPassword(QStringLiteral("abcdefghijklmnopqrst")))
        << hex("1A 0102 FF 00 0B") + QByteArray("abcdefghijklmnop");
    QTest::newRow("password of 4 characters, twelve FF")
        << payload(subnet0102, busswitch::setPassword(QStringLiteral("8273")))
        << hex("1A 0102 FF 00 0B") + QByteArray("8273") + QByteArray(12, char(0xFF));
    QTest::newRow("transparent mode")
        << payload(subnet0102, busswitch::setTransparentMode()) << hex("0B 0102 FF 00 0C 01");
}

void TestRequestsBusSwitch::requestBytes() {
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

void TestRequestsBusSwitch::readIsBareFrame() {
    // Without the password block, the settings read is the same datagram on every link.
    const QByteArray area =
        busswitch::layout(busswitch::kSettingsSubnet).bytes(busswitch::readSettings());
    const QByteArray frame = frames::BusFrame(reinterpret_cast<const quint8*>(area.constData()),
                                              false, QStringLiteral("418273"));
    QCOMPARE(frame.toHex(' '), hex("55 AA 0A FF FF FF 00 05 51 A1").toHex(' '));
}

QTEST_APPLESS_MAIN(TestRequestsBusSwitch)
#include "test_requests_bus_switch.moc"
