// Request bytes of the scene and IR commands in both layouts.
#include "link/request_layout.h"
#include "protocol/ir_requests.h"
#include "protocol/scene_requests.h"

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
    QTest::newRow("scene 0 goes out as 00")
        << scene::setTargets(1, 0, kTargets, 2) << kShort << hex("0b 01 00 02 00 01 ff");
    QTest::newRow("IR scene of defaults")
        << scene::setIr(1, 0, kIrDefaults, 4) << kShort << hex("0d 01 00 02 00 ff ff ff ff");
    QTest::newRow("more channels than values: no bytes beyond them")
        << scene::setIr(5, 9, {1, 2}, 8) << kShort << hex("0b 05 00 02 09 01 02");
    QTest::newRow("Test Scene 12") << scene::test(12) << kShort << hex("0a ff 00 04 ff 0c");
    QTest::newRow("Clear All Scenes carries the scene number")
        << scene::clearAll(2, 7) << kShort << hex("09 02 00 03 07");

    QTest::newRow("Learn module 4 IR 17") << ir::learn(4, 17) << kShort << hex("0a 04 03 00 00 11");
    QTest::newRow("Delete All module 4, long")
        << ir::removeAll(4) << kLong << hex("0c 00 01 04 03 03 00 ff");
    QTest::newRow("Send IR of a grid row (module 2, IR 9)")
        << ir::send(2, 9) << kShort << hex("0a 02 03 04 00 09");
}

void TestRequestsSceneIr::requests() {
    QFETCH(Request, request);
    QFETCH(RequestLayout, layout);
    QFETCH(QByteArray, expected);
    QCOMPARE(payload(request, layout), expected);
}

QTEST_APPLESS_MAIN(TestRequestsSceneIr)
#include "test_requests_scene_ir.moc"
