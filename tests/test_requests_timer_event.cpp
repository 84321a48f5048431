// Request bytes of the clock, timer and event requests, and the texts their replies become.
#include "link/request_layout.h"
#include "protocol/action_codes.h"
#include "protocol/timer_requests.h"

#include <QTest>

namespace {
// Request bytes 2 .. N-3 in the short layout, as hex.
QByteArray shortBytes(const Request& r) {
    const QByteArray b = RequestLayout::shortForm().bytes(r);
    return b.mid(2, b.size() - 4).toHex(' ').toUpper();
}
QByteArray hex(const char* text) {
    return QByteArray(text).toUpper();
}
} // namespace

Q_DECLARE_METATYPE(Request)

class TestRequestsTimerEvent : public QObject {
    Q_OBJECT
private slots:
    void clockSet_data();
    void clockSet();
    void unconvertibleTimeSendsNothing_data();
    void unconvertibleTimeSendsNothing();
    void timerRequests_data();
    void timerRequests();
    void eventRequests_data();
    void eventRequests();
    void timerReadRow_data();
    void timerReadRow();
    void actionTextOfPairs_data();
    void actionTextOfPairs();
};

void TestRequestsTimerEvent::clockSet_data() {
    QTest::addColumn<QDate>("date");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QByteArray>("expected"); // length, module, 04, 00, s m h d wd mon yr

    QTest::newRow("Monday 2014-02-24")
        << QDate(2014, 2, 24) << "12:12:12" << hex("0f 01 04 00 12 12 12 24 01 02 14");
    QTest::newRow("Sunday is 0") << QDate(2014, 2, 23) << "00:00:01"
                                 << hex("0f 01 04 00 01 00 00 23 00 02 14");
    QTest::newRow("Saturday is 6")
        << QDate(2014, 3, 1) << "23:59:58" << hex("0f 01 04 00 58 59 23 01 06 03 14");
    QTest::newRow("no range check on hours")
        << QDate(2009, 12, 31) << "99:07:05" << hex("0f 01 04 00 05 07 99 31 04 12 09");
    QTest::newRow("year 2100 keeps the last two digits")
        << QDate(2100, 1, 5) << "08:30:00" << hex("0f 01 04 00 00 30 08 05 02 01 00");
}

void TestRequestsTimerEvent::clockSet() {
    QFETCH(QDate, date);
    QFETCH(QString, time);
    QFETCH(QByteArray, expected);
    const auto request = timing::clock::setTime(1, date, time);
    QVERIFY(request);
    QCOMPARE(shortBytes(*request), expected);
}

void TestRequestsTimerEvent::unconvertibleTimeSendsNothing_data() {
    QTest::addColumn<QString>("time");
    QTest::newRow("blank hour digit") << " 2:12:12";
    QTest::newRow("blank minute digit") << "12:1_:12";
    QTest::newRow("mask separators only") << "::";
    QTest::newRow("empty") << "";
    QTest::newRow("seconds cut short") << "12:12:1";
    QTest::newRow("letters") << "1a:00:00";
}

void TestRequestsTimerEvent::unconvertibleTimeSendsNothing() {
    QFETCH(QString, time);
    QVERIFY(!timing::clock::setTime(1, QDate(2014, 2, 24), time));
    QVERIFY(!timing::timer::set(1, 1, 0, QDate(2014, 2, 24), time));
    QVERIFY(timing::conversionError(time).contains(time));
}

void TestRequestsTimerEvent::timerRequests_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<QByteArray>("expected");

    const QDate monday(2014, 2, 24);
    QTest::newRow("read time") << timing::clock::read(7) << hex("08 07 04 01");
    QTest::newRow("set timer 1 once")
        << *timing::timer::set(3, 1, 0, monday, QStringLiteral("06:30:00"))
        << hex("11 03 04 02 00 00 00 30 06 24 01 02 14");
    QTest::newRow("timer 33 goes out as 32")
        << *timing::timer::set(3, 33, 1, monday, QStringLiteral("06:30:00"))
        << hex("11 03 04 02 20 01 00 30 06 24 01 02 14");
    QTest::newRow("Mouth(repeat) is mode 5")
        << *timing::timer::set(3, 2, 5, monday, QStringLiteral("06:30:00"))
        << hex("11 03 04 02 01 05 00 30 06 24 01 02 14");
    QTest::newRow("Invalid goes out as FF")
        << *timing::timer::set(0, 4, timing::timer::kInvalidMode, monday,
                               QStringLiteral("06:30:00"))
        << hex("11 00 04 02 03 ff 00 30 06 24 01 02 14");
    QTest::newRow("read timer 31") << timing::timer::read(33, 31) << hex("09 21 04 03 1f");
    QTest::newRow("delete timer 5")
        << timing::timer::remove(2, 5) << hex("11 02 04 02 05 ff 01 01 01 01 01 01 01");
}

void TestRequestsTimerEvent::timerRequests() {
    QFETCH(Request, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(shortBytes(request), expected);
}

void TestRequestsTimerEvent::eventRequests_data() {
    QTest::addColumn<Request>("request");
    QTest::addColumn<QByteArray>("expected");

    auto event = [](int action, int scene) {
        timing::event::Settings s;
        s.timerNo = 2;
        s.eventNo = 3;
        s.actionIndex = action;
        s.controlledModule = 5;
        s.controlledChannel = 4;
        s.sceneOrIr = scene;
        return timing::event::set(9, s);
    };
    QTest::newRow("Light Off") << event(1, 9) << hex("0f 09 04 04 01 02 02 02 05 03 09");
    QTest::newRow("Curtain Stop") << event(5, 0) << hex("0f 09 04 04 01 02 01 03 05 03 00");
    QTest::newRow("Scene Control drops module and channel")
        << event(6, 7) << hex("0f 09 04 04 01 02 00 04 ff ff 07");
    QTest::newRow("IR Control sends channel 0")
        << event(7, 12) << hex("0f 09 04 04 01 02 03 04 05 00 0c");
    QTest::newRow("Invalid") << event(8, 12) << hex("0f 09 04 04 01 02 ff ff ff ff ff");
    QTest::newRow("read event of Timer32")
        << timing::event::read(1, 32, 0) << hex("0a 01 04 05 1f 00");
    QTest::newRow("read last event of Timer1")
        << timing::event::read(1, 1, 15) << hex("0a 01 04 05 00 0f");
    QTest::newRow("delete event") << timing::event::remove(4, 3, 7)
                                  << hex("0f 04 04 04 02 07 ff ff ff ff ff");
}

void TestRequestsTimerEvent::eventRequests() {
    QFETCH(Request, request);
    QFETCH(QByteArray, expected);
    QCOMPARE(shortBytes(request), expected);
}

void TestRequestsTimerEvent::timerReadRow_data() {
    QTest::addColumn<int>("mode");
    QTest::addColumn<int>("weekday");
    QTest::addColumn<QString>("time");
    QTest::addColumn<QString>("modeText"); // "-" keeps the row's text

    const QString stamp = QStringLiteral("2014-02-24 12:34:56");
    QTest::newRow("Once, Monday") << 0 << 1 << stamp + " Monday"
                                  << "Once";
    QTest::newRow("a read spells Month") << 5 << 0 << stamp + " Sunday"
                                         << "Month(repeat)";
    QTest::newRow("Year") << 6 << 6 << stamp + " Saturday"
                          << "Year(repeat)";
    QTest::newRow("weekday 7 has no name") << 1 << 7 << stamp << "Minute(repeat)";
    QTest::newRow("FF is invalid and no time") << 0xFF << 1 << "------"
                                               << "invalid";
    QTest::newRow("mode 7 keeps the row's text") << 7 << 1 << stamp + " Monday"
                                                 << "-";
}

void TestRequestsTimerEvent::timerReadRow() {
    QFETCH(int, mode);
    QFETCH(int, weekday);
    QFETCH(QString, time);
    QFETCH(QString, modeText);
    const quint8 bytes[7] = {0x56, 0x34, 0x12, 0x24, quint8(weekday), 0x02, 0x14};
    const auto row = timing::timer::readRow(quint8(mode), bytes);
    QCOMPARE(row.time, time);
    QCOMPARE(row.mode.value_or(QStringLiteral("-")), modeText);
}

void TestRequestsTimerEvent::actionTextOfPairs_data() {
    QTest::addColumn<int>("command");
    QTest::addColumn<int>("subCommand");
    QTest::addColumn<QString>("eventText");
    QTest::addColumn<QString>("bindingText");
    QTest::newRow("Light On") << 2 << 1 << "Light On"
                              << "Light On";
    QTest::newRow("Light Toggle") << 2 << 3 << "Light Toggle"
                                  << "Light Toggle";
    QTest::newRow("Curtain Close") << 1 << 2 << "Curtain Close"
                                   << "Curtain Close";
    QTest::newRow("Scene Control") << 0 << 4 << "Scene Control"
                                   << "Scene Control";
    QTest::newRow("IR Control") << 3 << 4 << "IR Control"
                                << "IR Control";
    QTest::newRow("alarm: only inputs raise it") << 5 << 2 << "Invalid"
                                                 << "Alarm";
    QTest::newRow("unknown light pair") << 2 << 5 << "Invalid"
                                        << "Invalid";
    QTest::newRow("FF FF") << 0xFF << 0xFF << "Invalid"
                           << "Invalid";
    QTest::newRow("swapped pair") << 4 << 0 << "Invalid"
                                  << "Invalid";
}

void TestRequestsTimerEvent::actionTextOfPairs() {
    QFETCH(int, command);
    QFETCH(int, subCommand);
    QFETCH(QString, eventText);
    QFETCH(QString, bindingText);
    QCOMPARE(actions::eventText(quint8(command), quint8(subCommand)), eventText);
    QCOMPARE(actions::bindingText(quint8(command), quint8(subCommand)), bindingText);
}

QTEST_APPLESS_MAIN(TestRequestsTimerEvent)
#include "test_requests_timer_event.moc"
