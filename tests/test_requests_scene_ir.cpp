// Request bytes of the scene and IR commands in both layouts, and the texts a confirmed scene
// writes into its channel columns.
#include "commands/ir_requests.h"
#include "commands/scene_requests.h"
#include "link/request_layout.h"

#include <QTest>

namespace {
// Request bytes 2 .. N-3 (length byte and payload), as hex.
QByteArray payload(const Request& r, const RequestLayout& layout) {
    const QByteArray b = layout.bytes(r);
    return b.mid(2, b.size() - 4).toHex(' ').toUpper();
}
QByteArray hex(const char* text) {
    return QByteArray(text).toUpper();
}
const RequestLayout kShort = RequestLayout::shortForm();
const RequestLayout kLong = RequestLayout::longForm(1);
// CH1 "On/Open", CH2 "No Change", CH3 "Off/Close", CH4 "On/Open", the rest "Off/Close".
const QList<int> kTargets{1, 2, 0, 1, 0, 0, 0, 0};
const QList<int> kIrDefaults(8, 255);
} // namespace

Q_DECLARE_METATYPE(Request)
Q_DECLARE_METATYPE(RequestLayout)

class TestRequestsSceneIr : public QObject {
    Q_OBJECT
private slots:
    void requests_data();
    void requests();
    void channelTexts();
};

void TestRequestsSceneIr::requests_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<RequestLayout>("layout");
    QTest::addColumn<QByteArray>("expected");

    QTest::newRow("module 3 scene 7, short")
        << scene::setTargets(3, 7, kTargets, 4) << kShort << hex("0d 03 00 02 07 01 ff 00 01");
    QTest::newRow("module 3 scene 7, long")
        << scene::setTargets(3, 7, kTargets, 4) << kLong << hex("0f 00 01 03 00 02 07 01 ff 00 01");
    QTest::newRow("Module Channels 1 sends CH1 only")
        << scene::setTargets(3, 7, kTargets, 1) << kShort << hex("0a 03 00 02 07 01");
    QTest::newRow("all eight channels") << scene::setTargets(32, 100, {2, 2, 2, 2, 2, 2, 2, 1}, 8)
                                        << kShort << hex("11 20 00 02 64 ff ff ff ff ff ff ff 01");
    QTest::newRow("scene 0 goes out as 00")
        << scene::setTargets(1, 0, kTargets, 2) << kShort << hex("0b 01 00 02 00 01 ff");
    QTest::newRow("IR scene of defaults")
        << scene::setIr(1, 0, kIrDefaults, 4) << kShort << hex("0d 01 00 02 00 ff ff ff ff");
    QTest::newRow("IR scene numbers as bytes")
        << scene::setIr(5, 9, {0, 17, 250, 255, 3, 3, 3, 3}, 5) << kLong
        << hex("10 00 01 05 00 02 09 00 11 fa ff 03");
    QTest::newRow("more channels than values: no bytes beyond them")
        << scene::setIr(5, 9, {1, 2}, 8) << kShort << hex("0b 05 00 02 09 01 02");
    QTest::newRow("Test Scene 12") << scene::test(12) << kShort << hex("0a ff 00 04 ff 0c");
    QTest::newRow("Test Scene 12, long")
        << scene::test(12) << kLong << hex("0c 00 01 ff 00 04 ff 0c");
    QTest::newRow("Clear All Scenes carries the scene number")
        << scene::clearAll(2, 7) << kShort << hex("09 02 00 03 07");

    QTest::newRow("Learn module 4 IR 17") << ir::learn(4, 17) << kShort << hex("0a 04 03 00 00 11");
    QTest::newRow("exit learning") << ir::exitLearning(4, 17) << kShort << hex("0a 04 03 01 00 11");
    QTest::newRow("Delete Single") << ir::removeOne(4, 250) << kShort << hex("0a 04 03 02 00 fa");
    QTest::newRow("Delete All module 4, long")
        << ir::removeAll(4) << kLong << hex("0c 00 01 04 03 03 00 ff");
    QTest::newRow("Send IR of a grid row (module 2, IR 9)")
        << ir::send(2, 9) << kShort << hex("0a 02 03 04 00 09");
    QTest::newRow("table values are cut to a byte")
        << ir::send(258, 265) << kShort << hex("0a 02 03 04 00 09");
}

void TestRequestsSceneIr::requests() {
    QFETCH(Request, request);
    QFETCH(RequestLayout, layout);
    QFETCH(QByteArray, expected);
    QCOMPARE(payload(request, layout), expected);
}

void TestRequestsSceneIr::channelTexts() {
    QCOMPARE(scene::targetItems(),
             (QStringList{QStringLiteral("Off/Close"), QStringLiteral("On/Open"),
                          QStringLiteral("No Change")}));
    QCOMPARE(scene::targetByte(0), quint8(0x00));
    QCOMPARE(scene::targetByte(1), quint8(0x01));
    QCOMPARE(scene::targetByte(2), quint8(0xFF));
    QCOMPARE(scene::irChannelText(255), QStringLiteral("IR No.255"));
    QCOMPARE(scene::irChannelText(0), QStringLiteral("IR No.0"));
}

QTEST_APPLESS_MAIN(TestRequestsSceneIr)
#include "test_requests_scene_ir.moc"
