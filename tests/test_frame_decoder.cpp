// The bus monitor's frame decoder: every sample frame of tests/data/frame_samples.tsv reads
// as written there; every family's request builders, in both layouts and over the network,
// build frames the decoder names with their own operation; the password never shows.
#include "link/frame_buffer.h"
#include "link/frame_tap.h"
#include "link/frames.h"
#include "protocol/binding_requests.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/curtain_requests.h"
#include "protocol/frame_decoder.h"
#include "protocol/ir_requests.h"
#include "protocol/light_requests.h"
#include "protocol/module_admin_requests.h"
#include "protocol/monitor_requests.h"
#include "protocol/scene_requests.h"
#include "protocol/timer_requests.h"
#include "support/frame_samples.h"

#include <QTest>

using namespace framedecoder;

Q_DECLARE_METATYPE(Request)

namespace {
const QString kPassword = QStringLiteral("418273");

// The frame the send path puts on the wire for a request.
QByteArray wire(const Request& r, const RequestLayout& layout, bool network) {
    FrameBuffer buffer;
    layout.write(buffer, r);
    return frames::BusFrame(buffer.requestArea(), network, kPassword);
}
} // namespace

class TestFrameDecoder : public QObject {
    Q_OBJECT
private slots:
    void samples_data();
    void samples();
    void buildersNameTheirOperations_data();
    void buildersNameTheirOperations();
    void bindTestFramesReadByTheirBuilders();
    void passwordNeverShows();
    void tooLongAndTapHints();
};

void TestFrameDecoder::samples_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<int>("link");
    QTest::addColumn<int>("direction");
    QTest::addColumn<int>("layout");
    QTest::addColumn<QString>("summary");
    for (const framesamples::Sample& s : framesamples::load())
        QTest::addRow("line %d", s.line) << s.bytes << int(s.hints.link) << int(s.hints.direction)
                                         << int(s.hints.layout) << s.summary;
}

void TestFrameDecoder::samples() {
    QFETCH(QByteArray, bytes);
    QFETCH(int, link);
    QFETCH(int, direction);
    QFETCH(int, layout);
    QFETCH(QString, summary);
    const DecodedFrame d = decode(bytes, {Link(link), Direction(direction), Layout(layout)});
    QCOMPARE(d.summary(), summary);
}

void TestFrameDecoder::buildersNameTheirOperations_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<bool>("busSwitch");
    QTest::addColumn<QString>("family");
    QTest::addColumn<QString>("operation");
    const QDate date(2014, 2, 24);
    binding::Settings input;
    input.actionIndex = 4;
    timing::event::Settings event;
    const monitor::Slot slot{100, 1, 2};
    struct Row {
        const char* family;
        const char* operation;
        Request request;
        bool busSwitch = false;
    };
    const QList<Row> rows = {
        {"Module", "Read Module Address", moduleadmin::readAddress()},
        {"Module", "Set Module Address", moduleadmin::setAddress(7)},
        {"Module", "Test Module", moduleadmin::test(3)},
        {"Module", "Read Module Type", moduleadmin::readType(3)},
        {"Module", "Read Software Version", moduleadmin::readVersion(3)},
        {"Module", "Restore Module", moduleadmin::restore(3)},
        {"Bus Switch", "Set Bus Switch Settings", busswitch::setSettings(QByteArray(28, 1)), true},
        {"Bus Switch", "Read Bus Switch Settings", busswitch::readSettings(), true},
        {"Bus Switch", "Read Bus Switch Type", busswitch::readType(), true},
        {"Bus Switch", "Read Bus Switch Version", busswitch::readVersion(), true},
        {"Bus Switch", "Restore Bus Switch", busswitch::restore(), true},
        {"Bus Switch", "Set Bus Switch Password", busswitch::setPassword("abc"), true},
        {"Bus Switch", "Set Transparent Mode", busswitch::setTransparentMode(), true},
        {"Light", "Light On", light::on(5, 3)},
        {"Light", "Light Off", light::off(5, 3)},
        {"Light", "Light Toggle", light::toggle(5, 3)},
        {"Light", "All Lights On", light::allOn()},
        {"Light", "All Lights Off", light::allOff()},
        {"Light", "Set On-State Duration", light::onDuration(5, 3, 300)},
        {"Light", "Set Relay Delay", light::relayDelay(20000)},
        {"Light/Curtain", "Read Status", light::readStatus(5)},
        {"Curtain", "Curtain Open", curtain::open(2, 4)},
        {"Curtain", "Curtain Close", curtain::close(2, 4)},
        {"Curtain", "Curtain Stop", curtain::stop(2, 4)},
        {"Curtain", "All Curtains Open", curtain::allOpen()},
        {"Curtain", "All Curtains Close", curtain::allClose()},
        {"Curtain", "All Curtains Stop", curtain::allStop()},
        {"Curtain", "Set Travel Time", curtain::travelTime(2, 4, 25)},
        {"Light/Curtain", "Read Status", curtain::readStatus(2)},
        {"Scene", "Set Scene", scene::setTargets(3, 7, {1, 2, 0, 1, 0, 0, 0, 0}, 8)},
        {"Scene", "Set Scene", scene::setIr(3, 7, {5}, 1)},
        {"Scene", "Test Scene", scene::test(12)},
        {"Scene", "Clear All Scenes", scene::clearAll(3, 7)},
        {"IR", "Learn IR", ir::learn(4, 17)},
        {"IR", "Exit IR Learning", ir::exitLearning(4, 17)},
        {"IR", "Delete IR Code", ir::removeOne(4, 17)},
        {"IR", "Delete All IR Codes", ir::removeAll(4)},
        {"IR", "Send IR", ir::send(4, 17)},
        {"Input Binding", "Set Input Binding", binding::set(input)},
        {"Input Binding", "Set Input Binding", binding::remove(5, 13)},
        {"Input Binding", "Read Input Binding", binding::read(5, 13)},
        {"Timer", "Set Module Clock", *timing::clock::setTime(6, date, "12:12:12")},
        {"Timer", "Read Module Clock", timing::clock::read(6)},
        {"Timer", "Set Timer", *timing::timer::set(6, 33, 7, date, "07:30:00")},
        {"Timer", "Set Timer", timing::timer::remove(6, 31)},
        {"Timer", "Read Timer", timing::timer::read(6, 31)},
        {"Event", "Set Event", timing::event::set(6, event)},
        {"Event", "Set Event", timing::event::remove(6, 32, 15)},
        {"Event", "Read Event", timing::event::read(6, 32, 15)},
        {"Monitor Binding", "Set Monitor Binding", monitor::set(slot, 7, 4, 5)},
        {"Monitor Binding", "Read Monitor Binding", monitor::read(slot)},
    };
    for (const Row& row : rows)
        QTest::addRow("%s", row.operation)
            << row.request << row.busSwitch << QString(row.family) << QString(row.operation);
}

void TestFrameDecoder::buildersNameTheirOperations() {
    QFETCH(Request, request);
    QFETCH(bool, busSwitch);
    QFETCH(QString, family);
    QFETCH(QString, operation);
    // The bus switch's requests travel in the long layout whatever the link.
    const quint16 subnet =
        request.subCommand == 0x05 || request.subCommand == 0x00 ? busswitch::kSettingsSubnet : 1;
    QList<std::pair<QByteArray, Hints>> frames = {
        {wire(request, busswitch::layout(busSwitch ? subnet : 1), false), {}},
        {wire(request, busswitch::layout(busSwitch ? subnet : 1), true), {Link::Network}},
    };
    if (!busSwitch)
        frames.append({wire(request, RequestLayout::shortForm(), false), {Link::Serial}});
    for (const auto& [bytes, hints] : frames) {
        const DecodedFrame d = decode(bytes, hints);
        QCOMPARE(d.operation, operation);
        QCOMPARE(d.family, family);
        QCOMPARE(d.busSwitch, busSwitch || family == QLatin1String("Monitor Binding"));
        QVERIFY2(d.known && !d.parameters.startsWith(QLatin1String("bytes")),
                 qPrintable(d.summary()));
        // The success reply to it carries the same name.
        QByteArray body;
        if (d.layout == Layout::Long)
            body.append(char(d.subnet >> 8)).append(char(d.subnet & 0xFF));
        body.append(char(request.module)).append(char(request.command | 0x80));
        body.append(char(request.subCommand)).append(char(1));
        const DecodedFrame reply = decode(frames::busReply(body), hints);
        QCOMPARE(reply.operation, operation);
        QCOMPARE(reply.status, QStringLiteral("OK!"));
    }
}

void TestFrameDecoder::bindTestFramesReadByTheirBuilders() {
    using bindtest::AcMode;
    using bindtest::CurtainMove;
    const QList<std::pair<QByteArray, QString>> rows = {
        {bindtest::light(3, 4, true), "Binding Test Light On, room 3, device 4"},
        {bindtest::light(3, 4, false), "Binding Test Light Off, room 3, device 4"},
        {bindtest::lightStatus(3, 4), "Binding Test Light Status, room 3, device 4"},
        {bindtest::curtain(1, 2, CurtainMove::Open), "Binding Test Curtain Open, room 1, device 2"},
        {bindtest::curtain(1, 2, CurtainMove::Close),
         "Binding Test Curtain Close, room 1, device 2"},
        {bindtest::curtain(1, 2, CurtainMove::Stop), "Binding Test Curtain Stop, room 1, device 2"},
        {bindtest::curtainStatus(1, 2), "Binding Test Curtain Status, room 1, device 2"},
        {bindtest::airConditioner(20, 16, AcMode::Cold),
         "Binding Test Air Conditioner, room 20, device 16, Cold"},
        {bindtest::airConditioner(1, 1, AcMode::Wind),
         "Binding Test Air Conditioner, room 1, device 1, Wind"},
        {bindtest::airConditioner(1, 1, AcMode::PowerOff),
         "Binding Test Air Conditioner, room 1, device 1, Power Off"},
        {bindtest::scene(16), "Binding Test Scene Control, scene 16"},
    };
    for (const auto& [payload, what] : rows) {
        const DecodedFrame d =
            decode(frames::bindFrameFromPayload(payload), {Link::Serial, Direction::Sent});
        QCOMPARE(d.what(), what);
        QCOMPARE(d.family, QStringLiteral("Binding Test"));
        QCOMPARE(d.kind, DecodedFrame::Kind::Request);
    }
}

void TestFrameDecoder::passwordNeverShows() {
    // A 16-character password leaves no 0xFF in the block; the checksum would give its sum.
    const QString password = QStringLiteral("0123456789ABCDEF");
    FrameBuffer buffer;
    RequestLayout::longForm(1).write(buffer, light::on(5, 3));
    const QByteArray frame = frames::BusFrame(buffer.requestArea(), true, password);
    const DecodedFrame d = decode(frame);
    QCOMPARE(d.what(), QStringLiteral("Light On, channel 3"));
    QVERIFY(d.summary().endsWith(QLatin1String("; password hidden")));
    QCOMPARE(maskedHex(frame, d), QStringLiteral("55 AA 1C") + QStringLiteral(" XX").repeated(16) +
                                      QStringLiteral(" 00 01 05 02 01 02 FF XX XX"));
    // A new password is hidden as well, in a frame that carries none.
    RequestLayout::longForm(1).write(buffer, busswitch::setPassword(QStringLiteral("secret")));
    const QByteArray set = frames::BusFrame(buffer.requestArea(), false, QString());
    const DecodedFrame s = decode(set, {Link::Serial});
    const QString hex = maskedHex(set, s);
    QCOMPARE(hex.count(QStringLiteral("XX")), 18);
    QVERIFY2(!hex.contains(QLatin1String("73 65 63")), qPrintable(hex));
    QVERIFY(!s.summary().contains(QLatin1String("secret")));
    // A block the bytes do not give away (a 0xFF amid the characters) is hidden when the send
    // path says it put one in.
    RequestLayout::longForm(1).write(buffer, light::on(5, 3));
    const QByteArray odd = frames::BusFrame(buffer.requestArea(), true,
                                            QString::fromLatin1("ab\xff"
                                                                "cd"));
    Hints sent{Link::Network, Direction::Sent};
    sent.passwordBlock = true;
    const DecodedFrame o = decode(odd, sent);
    QCOMPARE(o.what(), QStringLiteral("Light On, channel 3"));
    QCOMPARE(maskedHex(odd, o).count(QStringLiteral("XX")), 18);
}

void TestFrameDecoder::tooLongAndTapHints() {
    QCOMPARE(decode(QByteArray(201, char(0x55))).summary(), QStringLiteral("too long"));
    TappedFrame f;
    f.link = TappedFrame::Link::Serial;
    f.direction = TappedFrame::Direction::Received;
    f.extensionChannel = true;
    const Hints h = hintsOf(f);
    QCOMPARE(h.link, Link::Serial);
    QCOMPARE(h.direction, Direction::Received);
    QCOMPARE(h.layout, Layout::Long);
}

QTEST_GUILESS_MAIN(TestFrameDecoder)
#include "test_frame_decoder.moc"
