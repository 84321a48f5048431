// End to end: the velm-cli program against velm-sim over loopback UDP and over the
// simulator's pseudo-terminal, and the rows it writes beside the rows the window writes.
#include "app/main_window.h"
#include "link/frames.h"
#include "records/record_store.h"
#include "records/restore_points.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/net_namespace.h"
#include "support/record_files.h"
#include "support/sim_process.h"
#include "support/split_run.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QComboBox>
#include <QDateEdit>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QLineEdit>
#include <QLocale>
#include <QProcess>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QUdpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <memory>
#include <random>
#include <thread>

namespace {
constexpr int kTimerModule = 6;

struct Run {
    int exitCode = -1;
    QByteArray out;
    QString err;
};

// A reply of a timer module on subnet 1, long layout, as the gateway passes it on.
QByteArray timerModuleReply(quint8 module, quint8 sub, quint8 status, const QByteArray& data) {
    QByteArray body = QByteArray::fromHex("0001");
    body.append(char(module)).append(char(0x84)).append(char(sub)).append(char(status));
    return frames::busReply(body + data);
}

// What the tool must never take for its own: the timer reply of module 6 with other values
// (week repeat, 2014-02-24 06:30:00 Monday), and the same pair with an error status.
const QByteArray kForgedTimer = QByteArray::fromHex("0400300624010214");
const QList<QByteArray> kForged = {timerModuleReply(kTimerModule, 0x03, 1, kForgedTimer),
                                   timerModuleReply(kTimerModule, 0x03, 4, {})};

// What the gateway's own address may carry besides the reply awaited: nothing, bytes that are
// no frame, a frame cut short or with a wrong checksum, another module's timer reply, another
// command's reply (the clock read) and another module's error reply. A reply of the awaited
// pair and module from the gateway's address counts, from whichever port (a gateway behind a
// NAT answers from another one): forged ones come from another host (Noise::forged).
QList<QByteArray> straysOfTheGateway() {
    QByteArray badSum = kForged[0];
    badSum[badSum.size() - 1] = char(badSum.back() ^ 0x5A);
    return {QByteArray(),
            QByteArray::fromHex("0102030405060708090a"),
            kForged[0].left(9),
            badSum,
            timerModuleReply(kTimerModule - 1, 0x03, 1, kForgedTimer),
            timerModuleReply(kTimerModule, 0x01, 1, QByteArray::fromHex("00301224010214")),
            timerModuleReply(kTimerModule + 1, 0x03, 5, {})};
}

// A UDP socket bound to this loopback address (any port), or -1.
int udpSocketOn(const char* address) {
    const int fd = ::socket(AF_INET, SOCK_DGRAM, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    ::inet_pton(AF_INET, address, &a.sin_addr);
    if (fd >= 0 && ::bind(fd, reinterpret_cast<const sockaddr*>(&a), sizeof a) == 0)
        return fd;
    if (fd >= 0)
        ::close(fd);
    return -1;
}

// What to send while the tool reads, and how often: forged replies and random bytes (every
// fourth a well-formed frame) from 127.0.0.2, strays from the gateway's address 127.0.0.1.
struct Noise {
    bool forged = false;
    bool random = false;
    bool strays = false;
    int pauseUs = 1000; // between two rounds of one datagram of each kind
};

// Sends the noise to 127.0.0.1:port from a thread of its own until stopped, after
// kMaxDatagrams or after kMaxRun, whichever comes first.
class NoiseSender {
public:
    NoiseSender(quint16 port, const Noise& noise)
        : m_other(udpSocketOn("127.0.0.2")), m_gateway(udpSocketOn("127.0.0.1")) {
        if (ready())
            m_thread = std::thread([=, this] { run(port, noise); });
    }
    ~NoiseSender() {
        stop();
        for (int fd : {m_other, m_gateway})
            if (fd >= 0)
                ::close(fd);
    }
    bool ready() const { return m_other >= 0 && m_gateway >= 0; }
    // Stops the thread; returns how many datagrams went out.
    int stop() {
        m_stop = true;
        if (m_thread.joinable())
            m_thread.join();
        return m_sent;
    }

private:
    static constexpr int kMaxDatagrams = 60000;
    static constexpr auto kMaxRun = std::chrono::seconds(20);

    void run(quint16 port, const Noise& noise) {
        sockaddr_in to{};
        to.sin_family = AF_INET;
        to.sin_port = htons(port);
        ::inet_pton(AF_INET, "127.0.0.1", &to.sin_addr);
        auto send = [&](int fd, const QByteArray& d) {
            if (::sendto(fd, d.constData(), size_t(d.size()), 0,
                         reinterpret_cast<const sockaddr*>(&to), sizeof to) >= 0)
                ++m_sent;
        };
        const QList<QByteArray> strays = straysOfTheGateway();
        std::mt19937 rng(20140224);
        const auto until = std::chrono::steady_clock::now() + kMaxRun;
        for (int i = 0;
             !m_stop && m_sent < kMaxDatagrams && std::chrono::steady_clock::now() < until; ++i) {
            if (noise.forged)
                send(m_other, kForged[i % kForged.size()]);
            if (noise.random) {
                QByteArray bytes(int(rng() % 80), '\0');
                for (char& c : bytes)
                    c = char(rng());
                send(m_other, i % 4 == 0 ? frames::busReply(bytes) : bytes);
            }
            if (noise.strays)
                send(m_gateway, strays[i % strays.size()]);
            std::this_thread::sleep_for(std::chrono::microseconds(noise.pauseUs));
        }
    }

    const int m_other;
    const int m_gateway;
    std::atomic<bool> m_stop{false};
    std::atomic<int> m_sent{0};
    std::thread m_thread;
};
} // namespace

Q_DECLARE_METATYPE(Noise)

class TestE2eCli : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void scanFindsTheSimulatedModules();
    void lightOnThenStatus_data() { links(); }
    void lightOnThenStatus();
    void clockSetThenRead();
    void timersReadWritesTheWindowsRows_data() { links(); }
    void timersReadWritesTheWindowsRows();
    void timersReadTakesOnlyTheModulesReplies_data();
    void timersReadTakesOnlyTheModulesReplies();
    void failuresAndUsage_data();
    void failuresAndUsage();
    void badArgumentsSendNothing_data();
    void badArgumentsSendNothing();
    void unresolvableHostFailsOnce();
    void tabSheetCommands_data();
    void tabSheetCommands();
    void scriptsCheckEveryLineFirst_data();
    void scriptsCheckEveryLineFirst();
    void readmeScriptCommissions();
    void scriptOfReadAllsRunsToItsEnd_data() { links(); }
    void scriptOfReadAllsRunsToItsEnd();
    void auditUnderStraysFindsNoDifference();
    void commandsSayWhatTheyDid_data();
    void commandsSayWhatTheyDid();
    void restorePointBeforeEachSequence_data();
    void restorePointBeforeEachSequence();
    void gatewayAnsweringFromAnotherPort_data();
    void gatewayAnsweringFromAnotherPort();

private:
    static void links();
    void startSim(bool serial);
    Run cli(const QStringList& args, int timeoutMs = 30000, const QByteArray& input = {});
    QString db() const { return m_dir->filePath(QStringLiteral("VELM.mdb")); }

    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<SimProcess> m_sim;
    QStringList m_link; // --udp or --serial and its value
};

void TestE2eCli::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eCli::init() {
    if (splitrun::runsElsewhere())
        QSKIP("run by this program's other test");
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
    m_sim = std::make_unique<SimProcess>();
}

void TestE2eCli::cleanup() {
    m_sim.reset();
    m_dir.reset();
}

void TestE2eCli::startSim(bool serial) {
    const QStringList args =
        serial ? QStringList{"--no-udp", "--serial", "--baud", "0"} : QStringList{};
    QVERIFY2(m_sim->start(args), qPrintable(m_sim->errorString()));
    m_link = serial ? QStringList{"--serial", m_sim->serialPath()}
                    : QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())};
}

Run TestE2eCli::cli(const QStringList& args, int timeoutMs, const QByteArray& input) {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(m_link + QStringList{"--db", db()} + args);
    p.start();
    if (!input.isEmpty()) {
        p.write(input);
        p.closeWriteChannel();
    }
    Run r;
    if (!p.waitForFinished(timeoutMs)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitCode();
    r.out = p.readAllStandardOutput();
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestE2eCli::scanFindsTheSimulatedModules() {
    startSim(false);
    const Run r = cli({"--json", "--timeout", "100", "scan"});
    QCOMPARE(r.exitCode, 0);
    const QJsonArray found = QJsonDocument::fromJson(r.out).array();
    const QJsonObject state = m_sim->dump();
    QStringList expected;
    for (const QJsonValue& m : state[QStringLiteral("modules")].toArray())
        expected << QStringLiteral("%1 %2")
                        .arg(m[QStringLiteral("address")].toInt())
                        .arg(m[QStringLiteral("type")].toString());
    // The whole subnet includes the bus switch, after the modules.
    expected << QStringLiteral("255 0A01");
    QStringList got;
    for (const QJsonValue& m : found) {
        got << QStringLiteral("%1 %2")
                   .arg(m[QStringLiteral("address")].toInt())
                   .arg(m[QStringLiteral("type")].toString());
        QVERIFY(!m[QStringLiteral("version")].toString().isEmpty());
    }
    QCOMPARE(got, expected);
}

void TestE2eCli::lightOnThenStatus() {
    QFETCH(bool, serial);
    startSim(serial);
    QCOMPARE(cli({"light", "on", "2", "3"}).exitCode, 0);
    const Run r = cli({"--json", "light", "status", "2"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject status = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(status[QStringLiteral("module")].toInt(), 2);
    const QJsonArray states = status[QStringLiteral("states")].toArray();
    QCOMPARE(states.size(), 8);
    for (int i = 0; i < 8; ++i)
        QCOMPARE(states[i].toBool(), i == 2);
    QCOMPARE(SimProcess::module(m_sim->dump(), 2)["states"].toArray()[2].toInt(), 1);
}

void TestE2eCli::clockSetThenRead() {
    startSim(false);
    QCOMPARE(cli({"clock", "set", "6", "2014-02-24", "12:12:12"}).exitCode, 0);
    const Run r = cli({"--json", "clock", "read", "6"});
    QCOMPARE(r.exitCode, 0);
    const QJsonObject clock = QJsonDocument::fromJson(r.out).object();
    QCOMPARE(clock[QStringLiteral("date")].toString(), QStringLiteral("2014-02-24"));
    QCOMPARE(clock[QStringLiteral("weekday")].toString(), QStringLiteral("Monday"));
    // The simulated clock runs on from what was set.
    QVERIFY(clock[QStringLiteral("time")].toString().startsWith(QStringLiteral("12:12:1")));
}

void TestE2eCli::timersReadWritesTheWindowsRows() {
    QFETCH(bool, serial);
    startSim(serial);
    // The window sets timer 3 and reads all timers into its own database.
    QTemporaryDir windowDir;
    const QString windowDb = windowDir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(windowDb);
    ScriptedPrompts prompts;
    {
        TForm1 window(prompts, windowDb);
        auto find = [&](const char* name) { return window.findChild<QWidget*>(name); };
        if (serial) {
            qputenv("VELM_COM1", m_sim->serialPath().toLocal8Bit());
            static_cast<QComboBox*>(find("ComboBox5"))->setCurrentText(QStringLiteral("COM1"));
            static_cast<QPushButton*>(find("Button10"))->click();
        } else {
            static_cast<QLineEdit*>(find("Edit4"))->setText(QStringLiteral("127.0.0.1"));
            static_cast<QLineEdit*>(find("Edit5"))->setText(QString::number(m_sim->udpPort()));
            static_cast<QLineEdit*>(find("Edit6"))
                ->setText(QString::number(SimProcess::freeUdpPort()));
            static_cast<QRadioButton*>(find("RadioButton1"))->setChecked(true);
            static_cast<QPushButton*>(find("Button32"))->click();
        }
        static_cast<QSpinBox*>(find("SpinEdit30"))->setValue(kTimerModule);
        static_cast<QSpinBox*>(find("SpinEdit31"))->setValue(3);
        static_cast<QComboBox*>(find("ComboBox14"))->setCurrentIndex(4);
        static_cast<QDateEdit*>(find("DateTimePicker1"))->setDate(QDate(2014, 2, 24));
        static_cast<QLineEdit*>(find("MaskEdit1"))->setText(QStringLiteral("06:30:00"));
        static_cast<QPushButton*>(find("Button49"))->click();
        QTRY_COMPARE_WITH_TIMEOUT(window.records().timers().rowCount(), 1, 5000);
        static_cast<QPushButton*>(find("Button44"))->click();
        QTRY_VERIFY_WITH_TIMEOUT(prompts.messages.contains(QStringLiteral("Finished！")), 30000);
        qunsetenv("VELM_COM1");
    }

    const Run r = cli({"--json", "timers", "read", QString::number(kTimerModule)});
    QCOMPARE(r.exitCode, 0);
    QCOMPARE(QJsonDocument::fromJson(r.out).array().size(), 32);

    RecordTable mine(QStringLiteral("Timer Records"));
    RecordTable windows(QStringLiteral("Timer Records"));
    mine.open(db());
    windows.open(windowDb);
    QCOMPARE(probe::tableRows(mine).size(), 32);
    QCOMPARE(probe::tableRows(mine), probe::tableRows(windows));
    QVERIFY(probe::tableRows(mine).contains(
        QStringLiteral("3|2014-02-24 06:30:00 Monday|Week(repeat)")));

    // --no-store prints the same records and leaves the file alone.
    const QByteArray before = r.out;
    const Run again =
        cli({"--json", "--no-store", "timers", "read", QString::number(kTimerModule)});
    QCOMPARE(again.exitCode, 0);
    QCOMPARE(again.out, before);
}

void TestE2eCli::timersReadTakesOnlyTheModulesReplies_data() {
    QTest::addColumn<Noise>("noise");
    QTest::addColumn<int>("atLeast"); // datagrams sent while the tool read
    QTest::newRow("forged replies from another host") << Noise{true, false, false, 1000} << 500;
    QTest::newRow("strays from the gateway's address") << Noise{false, false, true, 1000} << 500;
    // Thousands of datagrams, well beyond the pace of any gateway.
    QTest::newRow("flood of random, forged and stray") << Noise{true, true, true, 500} << 5000;
}

void TestE2eCli::timersReadTakesOnlyTheModulesReplies() {
    QFETCH(Noise, noise);
    QFETCH(int, atLeast);
    startSim(false);
    const QStringList read{"--json", "timers", "read", QString::number(kTimerModule)};
    const QString quietDb = m_dir->filePath(QStringLiteral("quiet.mdb"));
    schema::createDatabase(quietDb);
    const Run quiet = cli(QStringList{"--db", quietDb} + read);
    QCOMPARE(quiet.exitCode, 0);

    // The noise is aimed at the port the tool listens on, from before it starts until it ends.
    const quint16 localPort = SimProcess::freeUdpPort();
    NoiseSender sender(localPort, noise);
    QVERIFY(sender.ready());
    const Run noisy = cli(QStringList{"--local-port", QString::number(localPort)} + read);
    const int sent = sender.stop();
    QVERIFY2(noisy.exitCode == 0, qPrintable(noisy.err));
    QVERIFY2(sent >= atLeast, qPrintable(QStringLiteral("%1 datagrams sent").arg(sent)));
    QCOMPARE(noisy.out, quiet.out);

    RecordTable mine(QStringLiteral("Timer Records"));
    RecordTable expected(QStringLiteral("Timer Records"));
    mine.open(db());
    expected.open(quietDb);
    QCOMPARE(probe::tableRows(mine).size(), 32);
    QCOMPARE(probe::tableRows(mine), probe::tableRows(expected));
}

void TestE2eCli::failuresAndUsage_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("silent address")
        << QStringList{"light", "status", "9"} << 1 << "module 9 did not answer";
    // A fresh link has heard nothing yet: the settings, or the module, are suspect.
    QTest::newRow("silent address: the module is a suspect too")
        << QStringList{"--timeout", "100", "light", "status", "9"} << 1
        << "or whether module 9 is there and answers within the wait";
    QTest::newRow("error status") << QStringList{"light", "on", "1", "8"} << 1
                                  << "module 1 refused light on of channel 8: ";
    QTest::newRow("wrong password: nothing answers")
        << QStringList{"--password", "wrong", "--timeout", "100", "scan", "1", "5"} << 1
        << "Nothing has answered from 127.0.0.1:";
    QTest::newRow("unknown option") << QStringList{"--bogus", "scan"} << 2 << "unknown option";
    QTest::newRow("unknown command") << QStringList{"dance"} << 2 << "unknown command";
    QTest::newRow("channel out of range")
        << QStringList{"light", "on", "1", "9"} << 2 << "CHANNEL must be a number from 1 to 8";
    QTest::newRow("missing module") << QStringList{"timers", "read"} << 2 << "MODULE is missing";
    QTest::newRow("missing database")
        << QStringList{"--db", "/nonexistent/x.mdb", "timers", "read", "6"} << 1
        << "cannot use the record database";
}

void TestE2eCli::failuresAndUsage() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    startSim(false);
    if (QByteArray(QTest::currentDataTag()) == "error status")
        QCOMPARE(m_sim->command(QStringLiteral("error 7")), QStringLiteral("ok"));
    const Run r = cli(args);
    QCOMPARE(r.exitCode, exitCode);
    QVERIFY2(r.err.contains(message), qPrintable(r.err));
    QVERIFY(r.err.startsWith(QStringLiteral("velm-cli: ")));
}

void TestE2eCli::badArgumentsSendNothing_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("message");
    QTest::newRow("clock year before 2000")
        << QStringList{"clock", "set", "6", "1999-12-31", "23:59:59"} << "2099, not 1999";
    QTest::newRow("clock year after 2099")
        << QStringList{"clock", "set", "6", "2100-01-01 00:00:00"} << "2099, not 2100";
    QTest::newRow("extra argument")
        << QStringList{"light", "on", "1", "3", "extra"} << "unexpected argument 'extra'";
    QTest::newRow("option taken for a value")
        << QStringList{"--serial", "--json", "light", "status", "1"} << "--serial needs a value";
    QTest::newRow("value missing at the end")
        << QStringList{"light", "status", "1", "--timeout"} << "--timeout needs a value";
    QTest::newRow("value for a flag")
        << QStringList{"--json=yes", "light", "status", "1"} << "--json takes no value";
    QTest::newRow("IPv6 address") << QStringList{"--udp", "::1", "light", "status", "1"}
                                  << "IPv4 addresses only";
    QTest::newRow("light module 33")
        << QStringList{"light", "on", "33", "1"} << "MODULE must be a number from 1 to 32";
    QTest::newRow("curtain channel 5")
        << QStringList{"curtain", "open", "1", "5"} << "CHANNEL must be a number from 1 to 4";
    QTest::newRow("timer module 34")
        << QStringList{"timers", "read", "34"} << "MODULE must be a number from 0 to 33";
    QTest::newRow("events of timer 33")
        << QStringList{"events", "read", "6", "33"} << "TIMER must be a number from 1 to 32";
    QTest::newRow("bindings of module 0")
        << QStringList{"bindings", "read", "0"} << "MODULE must be a number from 1 to 32";
    QTest::newRow("scan beyond 32")
        << QStringList{"scan", "1", "40"} << "LAST must be a number from 1 to 32";
    QTest::newRow("scan wait below 20")
        << QStringList{"--wait", "5", "scan"} << "--wait must be a number from 20 to 5000";
    QTest::newRow("empty export file") << QStringList{"export", ""} << "export: FILE is empty";
    QTest::newRow("scene target") << QStringList{"scene", "set", "1", "1", "on", "dim"}
                                  << "TARGET must be one of off, on, keep, not 'dim'";
    QTest::newRow("IR number 251")
        << QStringList{"ir", "send", "4", "251"} << "IRNO must be a number from 0 to 250";
    QTest::newRow("restore without --yes")
        << QStringList{"module", "restore", "1"} << "would restore module 1; add --yes";
    QTest::newRow("password of 17 characters")
        << QStringList{"bus-switch", "password", "12345678901234567"} << "at most 16";
    QTest::newRow("air conditioner IR number")
        << QStringList{"monitor-bindings", "set", "100", "4", "256"}
        << "IRNO must be a number from 0 to 255";
}

void TestE2eCli::badArgumentsSendNothing() {
    QFETCH(QStringList, args);
    QFETCH(QString, message);
    // The bus switch's address: no request may arrive there.
    QUdpSocket gateway;
    QVERIFY(gateway.bind(QHostAddress::LocalHost, 0));
    m_link = {"--udp", QStringLiteral("127.0.0.1:%1").arg(gateway.localPort())};
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 2);
    QVERIFY2(r.err.startsWith(QStringLiteral("velm-cli: ")) && r.err.contains(message),
             qPrintable(r.err));
    QCOMPARE(r.err.count(u'\n'), 1);
    QVERIFY(r.out.isEmpty());
    QVERIFY(!gateway.waitForReadyRead(50));
}

void TestE2eCli::unresolvableHostFailsOnce() {
    // The lookup must reach no real name server: it runs in a network namespace of its own,
    // where none is reachable, and the resolver gives up on each after a second.
    if (!netns::isChild()) {
        const netns::Outcome run = netns::runIsolated(QStringLiteral("unresolvableHostFailsOnce"));
        if (run.kind == netns::Outcome::Unavailable)
            QSKIP(qPrintable(run.text));
        QVERIFY2(run.kind == netns::Outcome::Passed, qPrintable(run.text));
        return;
    }
    QVERIFY2(netns::isolated(), "not in a namespace of our own");
    qputenv("RES_OPTIONS", "timeout:1 attempts:1");
    m_link = {"--udp", "velm-test.invalid"};
    // Not an empty subnet: one failure that names the host.
    const Run r = cli({"--wait", "20", "scan"}, 60000);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(QStringLiteral("velm-test.invalid")) && r.err.count(u'\n') == 1,
             qPrintable(r.err));
    QVERIFY(r.out.isEmpty());
}

namespace {
// The value at a path of the simulator's dump, as compact JSON: "module:4/irCodes" is the IR
// codes of the module at address 4, "channel=2" the element of an array with that channel.
QString dumpValue(const QJsonObject& dump, const QString& path) {
    QJsonValue v = dump;
    for (const QString& part : path.split(u'/')) {
        if (part.startsWith(QLatin1String("module:"))) {
            v = SimProcess::module(dump, part.mid(7).toInt());
        } else if (part.contains(u'=')) {
            const QJsonArray items = v.toArray();
            v = QJsonValue();
            for (const QJsonValue& item : items)
                if (item[part.section(u'=', 0, 0)].toInt() == part.section(u'=', 1).toInt())
                    v = item;
        } else {
            v = v.isArray() ? v.toArray().at(part.toInt()) : v.toObject().value(part);
        }
    }
    if (v.isObject())
        return QString::fromUtf8(QJsonDocument(v.toObject()).toJson(QJsonDocument::Compact));
    if (v.isArray())
        return QString::fromUtf8(QJsonDocument(v.toArray()).toJson(QJsonDocument::Compact));
    return v.toVariant().toString();
}

QString shortDate(int y, int m, int d) {
    return QLocale::system().toString(QDate(y, m, d), QLocale::ShortFormat);
}
} // namespace

void TestE2eCli::tabSheetCommands_data() {
    QTest::addColumn<bool>("serial");
    QTest::addColumn<QString>("script");   // run - reads it from standard input
    QTest::addColumn<QString>("dumpPath"); // evidence in the simulator
    QTest::addColumn<QString>("dumpValue");
    QTest::addColumn<QString>("table"); // the rows it must hold (and no others but `count`)
    QTest::addColumn<QStringList>("rows");
    QTest::addColumn<int>("count");
    struct Case {
        const char* name;
        const char* script;
        const char* path;
        const char* value;
        const char* table;
        QStringList rows;
        int count;
    };
    const QString tuesday = shortDate(2014, 2, 25);
    const QList<Case> cases = {
        {"scene set, channels beyond those given at their defaults",
         "scene set 1 7 on keep off on --name Evening",
         "module:1/scenes/7",
         "[1,255,0,1]",
         "Scene Records",
         {"7|Evening|1|On/Open|No Change|Off/Close|On/Open|Off/Close|Off/Close|Off/Close|"
          "Off/Close"},
         1},
        {"scene set-ir, a second Set overwrites its row",
         "scene set-ir 4 3 10 11\nscene set-ir 4 3 12",
         "module:4/scenes/3",
         "[12]",
         "Scene Records",
         {"3||4|IR No.12|IR No.255|IR No.255|IR No.255|IR No.255|IR No.255|IR No.255|"
          "IR No.255"},
         1},
        {"scene clear keeps the other modules' rows",
         "scene set 1 3 on\nscene set 2 4 off\nscene clear 1 --yes",
         "module:1/scenes",
         "{}",
         "Scene Records",
         {"4||2|Off/Close|Off/Close|Off/Close|Off/Close|Off/Close|Off/Close|Off/Close|"
          "Off/Close"},
         1},
        {"ir learn stores the learned code with its name",
         "ir learn 4 17 --name TV",
         "module:4/irCodes",
         "[17]",
         "IR Records",
         {"4|17|TV"},
         1},
        {"ir delete removes one code and its row",
         "ir learn 4 17\nir learn 4 18 --name Fan\nir delete 4 17 --yes",
         "module:4/irCodes",
         "[18]",
         "IR Records",
         {"4|18|Fan"},
         1},
        {"ir delete-all",
         "ir learn 4 17\nir delete-all 4 --yes",
         "module:4/irCodes",
         "[]",
         "IR Records",
         {},
         0},
        {"bindings set",
         "bindings set 5 2 curtain-close 7 1 9 --mode NO --delay 5",
         "module:5/inputs/channel=2/action",
         "[1,2,7,0,9]",
         "Bind Records",
         {"5|2|NO|5|7|1|Curtain Close|9"},
         1},
        {"bindings delete-all",
         "bindings set 5 2 light-on 1 1\nbindings delete-all 5",
         "module:5/inputs",
         "[]",
         "Bind Records",
         {"5|1|------|255|255|255|Invalid|255", "5|14|------|255|255|255|Invalid|255"},
         14},
        {"timers set",
         "timers set 6 3 week 2014-02-25 06:30:00",
         "module:6/timers/timer=3/when",
         "2014-02-25 06:30:00",
         "Timer Records",
         {QStringLiteral("3|%1 06:30:00 Tuesday|Week(repeat)").arg(tuesday)},
         1},
        {"timers delete-all",
         "timers set 6 32 day 2014-02-25 06:30:00\ntimers delete-all 6",
         "module:6/timers/timer=32",
         "",
         "Timer Records",
         {"1|------|Invalid", "32|------|Invalid"},
         32},
        {"events set",
         "events set 6 3 2 scene-control 5 4 7",
         "module:6/timers/timer=3/events",
         "[[0,4,255,255,7]]",
         "Event Records",
         {"3|2|5|4|7|Scene Control"},
         1},
        {"events delete-all",
         "timers set 6 3 once 2014-02-25 06:30:00\nevents set 6 3 2 light-off 5 4\n"
         "events delete-all 6 3",
         "module:6/timers/timer=3/events",
         "[]",
         "Event Records",
         {"3|1|255|255|255|Invalid", "3|16|255|255|255|Invalid"},
         16},
        {"monitor-bindings set of a light slot",
         "monitor-bindings set 5 7 4",
         "busSwitch/monitor/0",
         R"({"channel":3,"device":0,"module":7,"room":2,"type":1})",
         "Monitor Bind Records",
         {"5|2|1|Light|7|4"},
         224},
        {"monitor-bindings read of the AC slots",
         "monitor-bindings set 100 4 9\nmonitor-bindings read ac",
         "busSwitch/monitor/0",
         R"({"channel":9,"device":3,"module":4,"room":1,"type":3})",
         "Monitor Bind Records",
         {"100|1|1|AC|4|9", "97|1|1|AC|255|255"},
         224},
        {"module address: the module in addressing mode takes it",
         "module address 9",
         "module:9/kind",
         "light",
         "",
         {},
         0},
        {"bus-switch set",
         "bus-switch set 300 192.168.1.10 8000 255.255.255.0 192.168.1.1 192.168.1.2 9000 "
         "00-1A-2B-3C-4D-5E",
         "busSwitch/settings",
         "01 2C C0 A8 01 0A 1F 40 FF FF FF 00 C0 A8 01 01 C0 A8 01 02 23 28 00 1A 2B 3C 4D 5E",
         "",
         {},
         0},
        {"bus-switch password",
         "bus-switch password abcd",
         "busSwitch/password",
         "abcd",
         "",
         {},
         0},
        {"bus-switch transparent",
         "bus-switch transparent --yes",
         "busSwitch/transparent",
         "true",
         "",
         {},
         0},
    };
    for (bool serial : {false, true})
        for (const Case& c : cases)
            QTest::addRow("%s %s", serial ? "pty" : "udp", c.name)
                << serial << QString::fromUtf8(c.script) << QString::fromUtf8(c.path)
                << QString::fromUtf8(c.value) << QString::fromUtf8(c.table) << c.rows << c.count;
}

void TestE2eCli::tabSheetCommands() {
    QFETCH(bool, serial);
    QFETCH(QString, script);
    QFETCH(QString, dumpPath);
    QFETCH(QString, dumpValue);
    QFETCH(QString, table);
    QFETCH(QStringList, rows);
    QFETCH(int, count);
    // The remote's key is pressed a while after learning starts, not within the serial
    // line's quiet time that ends a block.
    QStringList args{"--ir-learn-ms", "500"};
    if (serial)
        args << QStringList{"--no-udp", "--serial", "--baud", "0"};
    QVERIFY2(m_sim->start(args), qPrintable(m_sim->errorString()));
    m_link = serial ? QStringList{"--serial", m_sim->serialPath()}
                    : QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())};
    const Run r = cli({"run", "-"}, 60000, script.toUtf8() + '\n');
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QCOMPARE(::dumpValue(m_sim->dump(), dumpPath), dumpValue);
    if (table.isEmpty())
        return;
    RecordTable t(table);
    t.open(db());
    const QStringList got = probe::tableRows(t);
    QCOMPARE(got.size(), count);
    for (const QString& row : rows)
        QVERIFY2(got.contains(row),
                 qPrintable(row + QStringLiteral(" not in:\n") + got.join('\n')));
}

void TestE2eCli::scriptsCheckEveryLineFirst_data() {
    QTest::addColumn<QString>("script");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::addColumn<QString>("lightStates"); // light module 1 afterwards
    QTest::newRow("all lines run") << "light on 1 1 # first\n\n# nothing\nlight on 1 2" << 0 << ""
                                   << "[1,1,0,0,0,0,0,0]";
    QTest::newRow("a bad line runs nothing")
        << "light on 1 1\nscene sett 1 1\nlight on 1 2" << 2 << "line 2 (scene sett 1 1): "
        << "[0,0,0,0,0,0,0,0]";
    QTest::newRow("--yes missing runs nothing")
        << "light on 1 1\nscene clear 1" << 2 << "line 2 (scene clear 1): scene clear: would "
        << "[0,0,0,0,0,0,0,0]";
    QTest::newRow("link options belong to run")
        << "light on 1 1\nlight on 1 2 --subnet 2" << 2 << "line 2 (light on 1 2 --subnet 2): "
        << "[0,0,0,0,0,0,0,0]";
    QTest::newRow("every bad line is named") << "scene sett 1 1\nlight on 1 1\nlight onn 1 2" << 2
                                             << "line 1 (scene sett 1 1): |line 3 (light onn 1 2): "
                                             << "[0,0,0,0,0,0,0,0]";
    QTest::newRow("a failing line stops the script")
        << "light on 1 1\nlight status 9\nlight on 1 2" << 1
        << "line 2 (light status 9): module 9 did not answer"
        << "[1,0,0,0,0,0,0,0]";
}

void TestE2eCli::scriptsCheckEveryLineFirst() {
    QFETCH(QString, script);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    QFETCH(QString, lightStates);
    startSim(false);
    const QString file = m_dir->filePath(QStringLiteral("commission.velm"));
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write(script.toUtf8());
    f.close();
    const Run r = cli({"run", file});
    QCOMPARE(r.exitCode, exitCode);
    const QStringList lines = message.split(u'|');
    QVERIFY2(r.err.isEmpty() == message.isEmpty(), qPrintable(r.err));
    for (const QString& line : lines)
        QVERIFY2(r.err.contains(line), qPrintable(r.err));
    QVERIFY(r.err.count(u'\n') <= lines.size());
    QCOMPARE(::dumpValue(m_sim->dump(), QStringLiteral("module:1/states")), lightStates);
}

void TestE2eCli::readmeScriptCommissions() {
    // The README's commission.velm, as it stands there.
    QFile readme(buildpaths::source("README.md"));
    QVERIFY(readme.open(QIODevice::ReadOnly));
    const QString text = QString::fromUtf8(readme.readAll());
    const int named = int(text.indexOf(QStringLiteral("`commission.velm`")));
    QVERIFY(named > 0);
    const int start = int(text.indexOf(QStringLiteral("```\n"), named)) + 4;
    const QString script = text.mid(start, text.indexOf(QStringLiteral("```"), start) - start);
    QVERIFY(script.contains(QStringLiteral("audit 5")));
    startSim(false);
    const Run r = cli({"run", "-"}, 60000, script.toUtf8());
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY(r.out.contains("Module 5: all 14 records agree."));
    const QJsonObject scenes = SimProcess::module(m_sim->dump(), 1)["scenes"].toObject();
    QCOMPARE(::dumpValue(scenes, QStringLiteral("2")), QStringLiteral("[0,0,255,255]"));
    RecordTable t(QStringLiteral("Scene Records"));
    t.open(db());
    QCOMPARE(probe::tableRows(t).size(), 2);
}

// One link, any number of read-alls: each runs on its own and stores its rows.
void TestE2eCli::scriptOfReadAllsRunsToItsEnd() {
    QFETCH(bool, serial);
    startSim(serial);
    const Run r = cli({"run", "-"}, 90000,
                      "timers read 6\ntimers read 6\nevents read 6 1\nbindings read 5\n"
                      "monitor-bindings read light\n");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QList<std::pair<QString, int>> tables = {
        {"Timer Records", 32}, {"Event Records", 16}, {"Bind Records", 14}};
    for (const auto& [name, count] : tables) {
        RecordTable t(name);
        t.open(db());
        QCOMPARE(t.rowCount(), count);
    }
}

// The audit of every module under the strays of the gateway's address: a fresh installation
// agrees with an empty database.
void TestE2eCli::auditUnderStraysFindsNoDifference() {
    startSim(false);
    const quint16 localPort = SimProcess::freeUdpPort();
    NoiseSender sender(localPort, Noise{false, false, true, 1000});
    QVERIFY(sender.ready());
    const Run r = cli({"--local-port", QString::number(localPort), "audit", "255"}, 60000);
    QVERIFY2(sender.stop() >= 500, "too few strays");
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QVERIFY2(r.out.contains("all 224 records agree"), r.out.right(300).constData());
}

// What a command that changes a module prints, what a refusal and an audit that checked
// nothing say, and what reached the simulated modules.
void TestE2eCli::commandsSayWhatTheyDid_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("out"); // stdout holds it; empty: stdout is empty
    QTest::addColumn<QString>("err"); // stderr holds it; empty: stderr is empty
    QTest::addColumn<QString>("dumpPath");
    QTest::addColumn<QString>("dumpValue");
    const QString on8 = QStringLiteral("[1,1,1,1,1,1,1,1]");
    const QString off8 = QStringLiteral("[0,0,0,0,0,0,0,0]");
    QTest::newRow("all-on reaches every light module")
        << QStringList{"light", "all-on", "--yes"} << 0
        << "done: light all-on (every light module of the subnet)\n"
        << ""
        << "module:2/states" << on8;
    QTest::newRow("all-off asks for --yes, naming the whole subnet")
        << QStringList{"light", "all-off"} << 2 << ""
        << "switches every light module of the subnet off"
        << "module:2/states" << off8;
    QTest::newRow("on-state duration") << QStringList{"light", "duration", "1", "3", "300"} << 0
                                       << "done: light duration 1 3 300\n"
                                       << ""
                                       << "module:1/onSeconds/2"
                                       << "300";
    QTest::newRow("on-state duration beyond the spin edit")
        << QStringList{"light", "duration", "1", "3", "65002"} << 2 << ""
        << "SECONDS must be a number from 0 to 65001"
        << "module:1/onSeconds/2"
        << "0";
    QTest::newRow("--quiet drops the line")
        << QStringList{"--quiet", "light", "on", "1", "2"} << 0 << ""
        << ""
        << "module:1/states/1"
        << "1";
    QTest::newRow("clock set") << QStringList{"clock", "set", "6", "2014-02-24", "12:12:12"} << 0
                               << "done: clock set 6 2014-02-24 12:12:12\n"
                               << ""
                               << ""
                               << "";
    QTest::newRow("bare clock set says the time it sent")
        << QStringList{"clock", "set", "6"} << 0
        << QStringLiteral("done: clock set 6 %1-").arg(QDate::currentDate().year()) << ""
        << ""
        << "";
    QTest::newRow("module test") << QStringList{"module", "test", "1"} << 0
                                 << "done: module test 1\n"
                                 << ""
                                 << ""
                                 << "";
    QTest::newRow("options stay on the line")
        << QStringList{"bindings", "set", "5", "5", "light-on", "2", "1", "--delay", "3"} << 0
        << "done: bindings set 5 5 light-on 2 1 --delay 3\n"
        << ""
        << ""
        << "";
    QTest::newRow("--name keeps a leading U+FEFF")
        << QStringList{"scene", "set", "1", "7", "on", "--name", QStringLiteral("\uFEFFEve")} << 0
        << QStringLiteral("name: \uFEFFEve ") << ""
        << ""
        << "";
    QTest::newRow("ir send of a code never learned")
        << QStringList{"ir", "send", "4", "2"} << 1 << ""
        << "refused IR code 2: IR Error (probably not learned; 'velm-cli ir learn 4 2' learns it)"
        << ""
        << "";
    QTest::newRow("audit of an event no read reaches")
        << QStringList{"audit", "6", "--timers"} << 1
        << "note: Event 1/20: beyond the 16 events of the 32 timers a module reads back, not "
           "checked"
        << "Module 6: nothing could be read back to check."
        << ""
        << "";
}

void TestE2eCli::commandsSayWhatTheyDid() {
    QFETCH(QStringList, args);
    QFETCH(int, exitCode);
    QFETCH(QString, out);
    QFETCH(QString, err);
    QFETCH(QString, dumpPath);
    QFETCH(QString, dumpValue);
    {
        // Written by an earlier Set: the module keeps events past 16, a read covers 16.
        RecordTable events(QStringLiteral("Event Records"));
        events.open(db());
        events.append();
        events.setField(QStringLiteral("Timer_Order"), 1);
        events.setField(QStringLiteral("Event_Order"), 20);
        events.setField(QStringLiteral("Address"), 1);
        events.setField(QStringLiteral("Channel"), 1);
        events.setField(QStringLiteral("Parameter"), 0);
        events.setField(QStringLiteral("Action"), QStringLiteral("Light On"));
        events.post();
    }
    startSim(false);
    const Run r = cli(args);
    QCOMPARE(r.exitCode, exitCode);
    const QString stdoutText = QString::fromUtf8(r.out);
    QVERIFY2(out.isEmpty() ? stdoutText.isEmpty() : stdoutText.contains(out),
             qPrintable(stdoutText));
    QVERIFY2(err.isEmpty() ? r.err.isEmpty() : r.err.contains(err), qPrintable(r.err));
    if (!dumpPath.isEmpty())
        QCOMPARE(::dumpValue(m_sim->dump(), dumpPath), dumpValue);
}

void TestE2eCli::restorePointBeforeEachSequence_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("action");
    const QString m = QString::number(kTimerModule);
    QTest::newRow("timers read") << QStringList{"timers", "read", m} << "read-all-timers";
    QTest::newRow("timers delete-all")
        << QStringList{"timers", "delete-all", m} << "delete-all-timers";
    QTest::newRow("events read") << QStringList{"events", "read", m, "1"} << "read-all-events";
    QTest::newRow("events delete-all")
        << QStringList{"events", "delete-all", m, "1"} << "delete-all-events";
}

// Each read-all and delete-all keeps the records it starts from in a restore point, which
// `backup restore` puts back.
void TestE2eCli::restorePointBeforeEachSequence() {
    QFETCH(QStringList, args);
    QFETCH(QString, action);
    startSim(false);
    QVERIFY(record_files::exec(db(), "INSERT INTO \"Timer Records\" (Timer_Order, Time, "
                                     "Timer_Mode) VALUES (40, 'x', 'Once')"));
    const Run r = cli(args);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    const QList<restore_points::Backup> made = restore_points::list(db());
    QCOMPARE(made.size(), 1);
    QCOMPARE(made[0].action, action);
    QCOMPARE(made[0].rows.value(RecordStore::Timers), 1);

    const Run back = cli({"backup", "restore", made[0].name, "--yes"});
    QVERIFY2(back.exitCode == 0, qPrintable(back.err));
    RecordTable timers(QStringLiteral("Timer Records"));
    timers.open(db());
    QCOMPARE(probe::tableRows(timers), QStringList{"40|x|Once"});
}

QTEST_MAIN(TestE2eCli)
#include "test_e2e_cli.moc"

// A gateway behind a NAT answers from another port than the one it listens on: every kind of
// command works as against one that answers from its own.
void TestE2eCli::gatewayAnsweringFromAnotherPort_data() {
    QTest::addColumn<QStringList>("args");
    QTest::addColumn<QString>("out"); // stdout holds it
    QTest::newRow("set") << QStringList{"light", "on", "2", "3"} << "";
    QTest::newRow("read") << QStringList{"--json", "light", "status", "2"} << "\"module\":2";
    QTest::newRow("curtain read") << QStringList{"curtain", "status", "3"} << "";
    QTest::newRow("timer set") << QStringList{"timers", "set",        "6",       "3",
                                              "once",   "2024-01-02", "03:04:05"}
                               << "done: timers set";
    QTest::newRow("binding set") << QStringList{"bindings", "set", "5", "2", "light-on", "1", "3"}
                                 << "done: bindings set";
    QTest::newRow("clock read") << QStringList{"clock", "read", "6"} << "module: 6  date:";
    QTest::newRow("module version") << QStringList{"module", "version", "3"} << "CUR4 V1.02";
    QTest::newRow("read-all") << QStringList{"--json", "timers", "read", "6"} << "\"timer\":32";
    QTest::newRow("scan") << QStringList{"--timeout", "300", "scan", "1", "6"} << "0108";
    QTest::newRow("audit") << QStringList{"audit", "255"} << "agree";
    QTest::newRow("push") << QStringList{"push", "5"} << "";
    // The modules read live into the report: its file holds what they said.
    QTest::newRow("report --live")
        << QStringList{"report", "--live", "--modules", "1,5", "--html", "@DIR@/live.html"}
        << "LGT8 V1.02";
}

void TestE2eCli::gatewayAnsweringFromAnotherPort() {
    QFETCH(QStringList, args);
    QFETCH(QString, out);
    QVERIFY2(m_sim->start({"--reply-port", "0"}), qPrintable(m_sim->errorString()));
    m_link = QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim->udpPort())};
    args.replaceInStrings(QStringLiteral("@DIR@"), m_dir->path());
    const Run r = cli(args, 60000);
    QVERIFY2(r.exitCode == 0, qPrintable(r.err));
    QByteArray said = r.out;
    if (QFile report(m_dir->filePath(QStringLiteral("live.html")));
        report.open(QIODevice::ReadOnly))
        said += report.readAll();
    QVERIFY2(said.contains(out.toUtf8()), said.right(400).constData());
}
