// Request bytes of the monitor-binding set and read requests and of every bind-test frame, the
// slot arithmetic behind them, and what their replies become.
#include "link/frame_buffer.h"
#include "link/frames.h"
#include "link/request_layout.h"
#include "protocol/monitor_requests.h"

#include <QTest>

namespace {
QByteArray hex(const char* text) {
    return QByteArray(text).toUpper();
}
// Request bytes 2 .. N-3 of a request, as hex.
QByteArray requestBytes(const Request& r, const RequestLayout& layout) {
    const QByteArray b = layout.bytes(r);
    return b.mid(2, b.size() - 4).toHex(' ').toUpper();
}
// The whole bind-test frame as the send routine completes it, as hex.
QByteArray bindFrame(const QByteArray& payload) {
    FrameBuffer buffer;
    bindtest::write(buffer, payload);
    return frames::BindFrame(buffer.requestArea()).toHex(' ').toUpper();
}
} // namespace

Q_DECLARE_METATYPE(Request)

class TestRequestsMonitor : public QObject {
    Q_OBJECT
private slots:
    void slotArithmetic_data();
    void slotArithmetic();
    void bindingRequests_data();
    void bindingRequests();
    void readReplyChannel_data();
    void readReplyChannel();
    void bindTestFrames_data();
    void bindTestFrames();
    void bindTestReports_data();
    void bindTestReports();
};

void TestRequestsMonitor::slotArithmetic_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("deviceNo");
    QTest::addColumn<int>("type");
    QTest::addColumn<int>("deviceByte");
    QTest::newRow("first light") << 1 << 1 << 1 << 0x00;
    QTest::newRow("last light") << 64 << 4 << 1 << 0x03;
    QTest::newRow("first curtain") << 65 << 2 << 2 << 0x01;
    QTest::newRow("last curtain") << 96 << 16 << 2 << 0x0F;
    QTest::newRow("slot 97 is place 0") << 97 << 1 << 3 << 0x00;
    QTest::newRow("slot 100 is place 3") << 100 << 2 << 3 << 0x13;
    QTest::newRow("slot 101 is place 0 again") << 101 << 2 << 3 << 0x10;
    QTest::newRow("last slot") << 224 << 16 << 3 << 0xF3;
    QTest::newRow("below the slots") << 0 << 1 << 0 << 0x00;
    QTest::newRow("above the slots") << 225 << 1 << 0 << 0x00;
}

void TestRequestsMonitor::slotArithmetic() {
    QFETCH(int, slot);
    QFETCH(int, deviceNo);
    QFETCH(int, type);
    QFETCH(int, deviceByte);
    QCOMPARE(int(monitor::typeCode(slot)), type);
    QCOMPARE(int(monitor::deviceByte(slot, deviceNo)), deviceByte);
}

void TestRequestsMonitor::bindingRequests_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<QByteArray>("shortForm");
    QTest::addColumn<QByteArray>("longForm"); // subnet 0x0102
    QTest::newRow("set slot 5 to module 7, channel 4")
        << monitor::set({5, 2, 3}, 7, 4, 9) << hex("0d ff 00 0e 01 01 02 07 03")
        << hex("0f 01 02 ff 00 0e 01 01 02 07 03");
    QTest::newRow("set AC slot 100: device byte 0x13, module, IR number")
        << monitor::set({100, 1, 2}, 12, 4, 200) << hex("0d ff 00 0e 03 00 13 0c c8")
        << hex("0f 01 02 ff 00 0e 03 00 13 0c c8");
    QTest::newRow("read curtain slot 65")
        << monitor::read({65, 1, 1}) << hex("0b ff 00 10 02 00 00")
        << hex("0d 01 02 ff 00 10 02 00 00");
    QTest::newRow("read the last AC slot")
        << monitor::read({224, 16, 16}) << hex("0b ff 00 10 03 0f f3")
        << hex("0d 01 02 ff 00 10 03 0f f3");
}

void TestRequestsMonitor::bindingRequests() {
    QFETCH(Request, request);
    QFETCH(QByteArray, shortForm);
    QFETCH(QByteArray, longForm);
    QCOMPARE(requestBytes(request, RequestLayout::shortForm()), shortForm);
    QCOMPARE(requestBytes(request, RequestLayout::longForm(0x0102)), longForm);
}

void TestRequestsMonitor::readReplyChannel_data() {
    QTest::addColumn<int>("slot");
    QTest::addColumn<int>("module");
    QTest::addColumn<int>("value");
    QTest::addColumn<int>("channel");
    QTest::newRow("light: channel minus one") << 1 << 7 << 0x02 << 3;
    QTest::newRow("curtain: channel minus one") << 96 << 3 << 0x00 << 1;
    QTest::newRow("air conditioner: the IR number") << 97 << 4 << 0x02 << 2;
    QTest::newRow("air conditioner, IR 255") << 224 << 4 << 0xFF << 255;
}

void TestRequestsMonitor::readReplyChannel() {
    QFETCH(int, slot);
    QFETCH(int, module);
    QFETCH(int, value);
    QFETCH(int, channel);
    const monitor::Binding b = monitor::readBinding(slot, quint8(module), quint8(value));
    QCOMPARE(b.address, module);
    QCOMPARE(b.channel, channel);
    // What a Set of the same binding records is what a read of it gives back.
    const monitor::Binding set = monitor::setBinding(slot, module, channel, channel);
    QCOMPARE(set.address, b.address);
    QCOMPARE(set.channel, b.channel);
}

void TestRequestsMonitor::bindTestFrames_data() {
    using namespace bindtest;
    QTest::addColumn<QByteArray>("frame");
    QTest::addColumn<QByteArray>("expected");
    QTest::newRow("On, room 1 device 1")
        << bindFrame(light(1, 1, true)) << hex("ae d0 09 02 01 00 00 01 8b");
    QTest::newRow("Off, room 3 device 16")
        << bindFrame(light(3, 16, false)) << hex("ae d0 09 02 01 02 0f 00 9b");
    QTest::newRow("light Read Status")
        << bindFrame(lightStatus(2, 1)) << hex("ae d0 08 82 01 01 00 0a");
    QTest::newRow("Open") << bindFrame(curtain(1, 2, CurtainMove::Open))
                          << hex("ae d0 09 03 01 00 01 01 8d");
    QTest::newRow("Close") << bindFrame(curtain(1, 2, CurtainMove::Close))
                           << hex("ae d0 09 03 01 00 01 00 8c");
    QTest::newRow("Stop") << bindFrame(curtain(1, 2, CurtainMove::Stop))
                          << hex("ae d0 09 03 01 00 01 02 8e");
    QTest::newRow("curtain Read Status")
        << bindFrame(curtainStatus(20, 16)) << hex("ae d0 08 83 01 13 0f 2c");
    QTest::newRow("Cold") << bindFrame(airConditioner(1, 1, AcMode::Cold))
                          << hex("ae d0 0c 04 01 00 00 01 03 ff ff 91");
    QTest::newRow("Strong Cold") << bindFrame(airConditioner(1, 1, AcMode::StrongCold))
                                 << hex("ae d0 0c 04 01 00 00 01 03 04 ff 96");
    QTest::newRow("Wind") << bindFrame(airConditioner(1, 1, AcMode::Wind))
                          << hex("ae d0 0c 04 01 00 00 01 00 03 ff 92");
    QTest::newRow("Power Off") << bindFrame(airConditioner(1, 1, AcMode::PowerOff))
                               << hex("ae d0 0c 04 01 00 00 00 ff ff ff 8c");
    QTest::newRow("scene 3 is sent as it is") << bindFrame(scene(3)) << hex("ae d0 07 01 01 03 8a");
    QTest::newRow("scene 16") << bindFrame(scene(16)) << hex("ae d0 07 01 01 10 97");
}

void TestRequestsMonitor::bindTestFrames() {
    QFETCH(QByteArray, frame);
    QFETCH(QByteArray, expected);
    QCOMPARE(frame, expected);
}

void TestRequestsMonitor::bindTestReports_data() {
    QTest::addColumn<int>("kind");
    QTest::addColumn<int>("state");
    QTest::addColumn<int>("report");
    QTest::addColumn<bool>("on");
    using R = bindtest::StatusReport;
    QTest::newRow("light off") << 0x82 << 0 << int(R::Light) << false;
    QTest::newRow("light on") << 0x82 << 1 << int(R::Light) << true;
    QTest::newRow("light state 2") << 0x82 << 2 << int(R::None) << false;
    QTest::newRow("curtain closed") << 0x83 << 0 << int(R::Curtain) << false;
    QTest::newRow("curtain open") << 0x83 << 1 << int(R::Curtain) << true;
    QTest::newRow("curtain state 0xFF") << 0x83 << 0xFF << int(R::None) << false;
    QTest::newRow("echo of an On") << 0x02 << 1 << int(R::None) << false;
    QTest::newRow("echo of a scene call") << 0x01 << 1 << int(R::None) << false;
}

void TestRequestsMonitor::bindTestReports() {
    QFETCH(int, kind);
    QFETCH(int, state);
    QFETCH(int, report);
    QFETCH(bool, on);
    const bindtest::StatusReport r = bindtest::statusReport(quint8(kind), quint8(state));
    QCOMPARE(int(r.kind), report);
    QCOMPARE(r.on, on);
}

QTEST_APPLESS_MAIN(TestRequestsMonitor)
#include "test_requests_monitor.moc"
