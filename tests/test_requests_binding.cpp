// Request bytes of the input-binding requests, in both layouts.
#include "link/request_layout.h"
#include "protocol/binding_requests.h"

#include <QTest>

namespace {
// Request bytes 2 .. N-3, as hex.
QByteArray payload(const Request& r, const RequestLayout& layout) {
    const QByteArray b = layout.bytes(r);
    return b.mid(2, b.size() - 4).toHex(' ').toUpper();
}
QByteArray hex(const char* text) {
    return QByteArray(text).toUpper();
}
// Input module 3, channel 2, "NO", 5 s, on module 7 channel 1, scene or IR 12.
Request example(int action) {
    binding::Settings s;
    s.inputModule = 3;
    s.inputChannel = 2;
    s.modeIndex = 1;
    s.delaySeconds = 5;
    s.bindingModule = 7;
    s.bindingChannel = 1;
    s.actionIndex = action;
    s.sceneOrIr = 12;
    return binding::set(s);
}
} // namespace

Q_DECLARE_METATYPE(Request)

class TestRequestsBinding : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
};

void TestRequestsBinding::requests_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<bool>("longLayout");
    QTest::addColumn<QByteArray>("expected"); // from the length byte on

    QTest::newRow("Curtain Close")
        << example(4) << false << hex("10 03 00 01 01 01 01 02 07 00 0c 05");
    QTest::newRow("Curtain Close, long layout")
        << example(4) << true << hex("12 00 01 03 00 01 01 01 01 02 07 00 0c 05");
    QTest::newRow("Light On") << example(0) << false << hex("10 03 00 01 01 01 02 01 07 00 0c 05");
    QTest::newRow("Invalid empties the binding")
        << example(9) << false << hex("10 03 00 01 01 ff ff ff ff ff ff 7f");
    QTest::newRow("Scene Control drops module and channel")
        << example(6) << false << hex("10 03 00 01 01 01 00 04 ff ff 0c 05");
    QTest::newRow("IR Control sends channel 0")
        << example(7) << false << hex("10 03 00 01 01 01 03 04 07 00 0c 05");
    QTest::newRow("Alarm") << example(8) << false << hex("10 03 00 01 01 01 05 02 07 00 0c 05");

    binding::Settings far;
    far.inputModule = 32;
    far.inputChannel = 32;
    far.modeIndex = 2;
    far.delaySeconds = 60;
    far.bindingModule = 32;
    far.bindingChannel = 20;
    far.sceneOrIr = 255;
    QTest::newRow("channels beyond a module's count go out as they are")
        << binding::set(far) << false << hex("10 20 00 01 1f 02 02 01 20 13 ff 3c");

    QTest::newRow("read channel 1") << binding::read(4, 0) << false << hex("09 04 00 0f 00");
    QTest::newRow("read channel 14, long layout")
        << binding::read(4, 13) << true << hex("0b 00 01 04 00 0f 0d");
    QTest::newRow("delete channel 14")
        << binding::remove(4, 13) << false << hex("10 04 00 01 0d ff ff ff ff ff ff 7f");
}

void TestRequestsBinding::requests() {
    QFETCH(Request, request);
    QFETCH(bool, longLayout);
    QFETCH(QByteArray, expected);
    const RequestLayout layout =
        longLayout ? RequestLayout::longForm(1) : RequestLayout::shortForm();
    QCOMPARE(payload(request, layout), expected);
    QCOMPARE(layout.length(request), int(quint8(QByteArray::fromHex(expected.left(2)).at(0))));
}

QTEST_MAIN(TestRequestsBinding)
#include "test_requests_binding.moc"
