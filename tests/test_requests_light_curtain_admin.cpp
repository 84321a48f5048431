// Request bytes of the light, curtain and module administration families, in both layouts.
#include "commands/curtain_family.h"
#include "commands/light_family.h"
#include "commands/module_admin_family.h"
#include "link/frame_buffer.h"
#include "link/frames.h"

#include <QTest>

namespace {

// Request bytes 2 .. N-3: the length byte and the payload, without the header and the
// checksum the send routine adds.
QByteArray payload(const RequestLayout& layout, const Request& request) {
    const QByteArray all = layout.bytes(request);
    return all.mid(2, all.size() - 4);
}

QByteArray hex(const char* text) {
    return QByteArray::fromHex(text);
}

const RequestLayout kShort = RequestLayout::shortForm();

} // namespace

class TestRequestsLightCurtainAdmin : public QObject {
    Q_OBJECT
private slots:
    void requestBytes_data();
    void requestBytes();
    void relayDelayCount_data();
    void relayDelayCount();
    void moduleReadIsWholeSerialFrame();
};

void TestRequestsLightCurtainAdmin::requestBytes_data() {
    QTest::addColumn<QByteArray>("actual");
    QTest::addColumn<QByteArray>("expected");

    const RequestLayout subnet1 = RequestLayout::longForm(1);
    const RequestLayout subnet0102 = RequestLayout::longForm(0x0102);

    // Light.
    QTest::newRow("light on ch1 goes as 0")
        << payload(kShort, light::on(1, 1)) << hex("0A01020100FF");
    QTest::newRow("light on ch8 goes as 7")
        << payload(kShort, light::on(1, 8)) << hex("0A01020107FF");
    QTest::newRow("light on m5 ch3 short")
        << payload(kShort, light::on(5, 3)) << hex("0A05020102FF");
    QTest::newRow("light on m5 ch3 long")
        << payload(subnet1, light::on(5, 3)) << hex("0C0001050201 02FF");
    QTest::newRow("light off") << payload(kShort, light::off(7, 2)) << hex("0A07020201FF");
    QTest::newRow("light toggle") << payload(kShort, light::toggle(32, 8)) << hex("0A20020307FF");
    QTest::newRow("light all on") << payload(kShort, light::allOn()) << hex("0AFF0204FFFF");
    QTest::newRow("light all off long")
        << payload(subnet1, light::allOff()) << hex("0C0001FF0205FFFF");
    QTest::newRow("duration 300 s")
        << payload(kShort, light::onDuration(5, 3, 300)) << hex("0B050200 02 012C");
    QTest::newRow("duration 65001 s")
        << payload(kShort, light::onDuration(1, 1, 65001)) << hex("0B010200 00 FDE9");
    QTest::newRow("duration long")
        << payload(subnet1, light::onDuration(2, 8, 0)) << hex("0D0001 020200 07 0000");
    QTest::newRow("light status read") << payload(kShort, light::readStatus(9)) << hex("08090008");
    QTest::newRow("light status read long")
        << payload(subnet1, light::readStatus(9)) << hex("0A000109 0008");
    QTest::newRow("relay delay 20000 us")
        << payload(kShort, light::relayDelay(20000)) << hex("0BFF000D 00 7530");

    // Curtain.
    QTest::newRow("curtain open m2 ch4")
        << payload(kShort, curtain::open(2, 4)) << hex("0A02010103FF");
    QTest::newRow("curtain close") << payload(kShort, curtain::close(3, 1)) << hex("0A03010200FF");
    QTest::newRow("curtain stop") << payload(kShort, curtain::stop(3, 2)) << hex("0A03010301FF");
    QTest::newRow("curtain all open") << payload(kShort, curtain::allOpen()) << hex("0AFF0104FFFF");
    QTest::newRow("curtain all close")
        << payload(kShort, curtain::allClose()) << hex("0AFF0105FFFF");
    QTest::newRow("curtain all stop long subnet 0x0102")
        << payload(subnet0102, curtain::allStop()) << hex("0C0102FF0106FFFF");
    QTest::newRow("travel 200 default")
        << payload(kShort, curtain::travelTime(1, 1, 200)) << hex("0B010100 00 4E20");
    QTest::newRow("travel 601 largest")
        << payload(kShort, curtain::travelTime(1, 2, 601)) << hex("0B010100 01 EAC4");
    QTest::newRow("travel 25") << payload(kShort, curtain::travelTime(4, 4, 25))
                               << hex("0B040100 03 09C4");
    QTest::newRow("travel 0") << payload(kShort, curtain::travelTime(4, 1, 0))
                              << hex("0B040100 00 0000");
    QTest::newRow("travel long") << payload(subnet1, curtain::travelTime(4, 1, 25))
                                 << hex("0D0001 040100 00 09C4");
    QTest::newRow("curtain status read")
        << payload(kShort, curtain::readStatus(4)) << hex("08040008");

    // Module administration: Read and Set go to 0xFF, the rest to the module.
    QTest::newRow("admin read") << payload(kShort, moduleadmin::readAddress()) << hex("08FF0005");
    QTest::newRow("admin read long")
        << payload(subnet1, moduleadmin::readAddress()) << hex("0A0001FF0005");
    QTest::newRow("admin set") << payload(kShort, moduleadmin::setAddress(33))
                               << hex("09FF0000 21");
    QTest::newRow("admin set long")
        << payload(subnet0102, moduleadmin::setAddress(0)) << hex("0B0102FF0000 00");
    QTest::newRow("admin test") << payload(kShort, moduleadmin::test(12)) << hex("080C0009");
    QTest::newRow("admin type") << payload(kShort, moduleadmin::readType(12)) << hex("080C0006");
    QTest::newRow("admin version long")
        << payload(subnet1, moduleadmin::readVersion(12)) << hex("0A00010C0007");
    QTest::newRow("admin restore") << payload(kShort, moduleadmin::restore(0)) << hex("0800000A");
}

void TestRequestsLightCurtainAdmin::requestBytes() {
    QFETCH(QByteArray, actual);
    QFETCH(QByteArray, expected);
    QCOMPARE(actual.toHex(' '), expected.toHex(' '));
}

void TestRequestsLightCurtainAdmin::relayDelayCount_data() {
    QTest::addColumn<int>("microseconds");
    QTest::addColumn<int>("count");
    QTest::newRow("0") << 0 << 0;
    QTest::newRow("1 truncates") << 1 << 1;
    QTest::newRow("3 truncates") << 3 << 4;
    QTest::newRow("20000") << 20000 << 30000;
}

void TestRequestsLightCurtainAdmin::relayDelayCount() {
    QFETCH(int, microseconds);
    QFETCH(int, count);
    QCOMPARE(light::relayDelayCount(microseconds), count);
    const QByteArray bytes = payload(kShort, light::relayDelay(microseconds));
    QCOMPARE(quint8(bytes[5]), quint8(count >> 8));
    QCOMPARE(quint8(bytes[6]), quint8(count & 0xFF));
}

void TestRequestsLightCurtainAdmin::moduleReadIsWholeSerialFrame() {
    FrameBuffer buffer;
    kShort.write(buffer, moduleadmin::readAddress());
    const QByteArray frame = frames::BusFrame(buffer.requestArea(), false, QString());
    QCOMPARE(frame.toHex(' '), QByteArray("55 aa 08 ff 00 05 57 a1"));
}

QTEST_APPLESS_MAIN(TestRequestsLightCurtainAdmin)
#include "test_requests_light_curtain_admin.moc"
