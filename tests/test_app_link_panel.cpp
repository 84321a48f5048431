// The "Communication Settings" band: Create/Close on both links, their captions and enabled
// states, "Error!" on bad input, and the key filters.
#include "app/link_panel.h"
#include "app/main_window.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "records/schema.h"
#include "support/pty_pair.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/key_filter.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QComboBox>
#include <QFileInfo>
#include <QInputMethodEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QUdpSocket>

namespace {
template <class T> T* child(QWidget& w, const char* name) {
    return probe::control<T>(&w, QString::fromLatin1(name));
}

// Counts the key presses that get past the filters installed after it.
struct KeyProbe : QObject {
    int presses = 0;
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::KeyPress)
            ++presses;
        return false;
    }
};

quint16 freeUdpPort() {
    QUdpSocket probe;
    probe.bind(QHostAddress::LocalHost, 0);
    return probe.localPort();
}
} // namespace

class TestLinkPanel : public QObject {
    Q_OBJECT

    std::unique_ptr<ScriptedPrompts> m_prompts;
    std::unique_ptr<TForm1> m_window;
    QTemporaryDir m_records;

    QString status() { return child<QLabel>(*m_window, "StatusPanel")->text(); }
    QString linkState() { return child<QLabel>(*m_window, "LinkStatePanel")->text(); }

private slots:
    void initTestCase() { schema::createDatabase(m_records.filePath("VELM.mdb")); }

    void init() {
        m_prompts = std::make_unique<ScriptedPrompts>();
        // A record file there: the state line says nothing of it.
        m_window = std::make_unique<TForm1>(*m_prompts, m_records.filePath("VELM.mdb"));
        m_prompts->clear();
        // Never talk to the factory address of the bus switch from a test.
        child<QLineEdit>(*m_window, "Edit4")->setText(QStringLiteral("127.0.0.1"));
    }

    void cleanup() {
        m_window.reset();
        qunsetenv("VELM_COM1");
        qunsetenv("VELM_COM5");
    }

    void defaults() {
        QCOMPARE(child<QComboBox>(*m_window, "ComboBox5")->currentText(), QStringLiteral("COM1"));
        QStringList five;
        auto* com = child<QComboBox>(*m_window, "ComboBox5");
        for (int i = 0; i < 5; ++i)
            five << com->itemText(i);
        QCOMPARE(five, QStringList({"COM1", "COM2", "COM3", "COM4", "COM5"}));
        QCOMPARE(child<QComboBox>(*m_window, "ComboBox1")->currentText(), QStringLiteral("9600"));
        QCOMPARE(child<QComboBox>(*m_window, "ComboBox2")->currentText(), QStringLiteral("8"));
        QCOMPARE(child<QComboBox>(*m_window, "ComboBox3")->currentText(), QStringLiteral("None"));
        QCOMPARE(child<QComboBox>(*m_window, "ComboBox4")->currentText(), QStringLiteral("1"));
        QCOMPARE(child<QLineEdit>(*m_window, "Edit6")->text(), QStringLiteral("2002"));
        QCOMPARE(child<QLineEdit>(*m_window, "Edit5")->text(), QStringLiteral("2001"));
        QCOMPARE(child<QLineEdit>(*m_window, "Edit18")->text(), QStringLiteral("418273"));
        QCOMPARE(child<QSpinBox>(*m_window, "SpinEdit7")->value(), 1);
        QVERIFY(child<QRadioButton>(*m_window, "RadioButton2")->isChecked());
        QVERIFY(!child<QRadioButton>(*m_window, "RadioButton1")->isChecked());
        QVERIFY(child<QLineEdit>(*m_window, "Edit3")->isReadOnly());
        // The factory "Remote IP" is a private address (a fresh window, before init() changed it).
        ScriptedPrompts p;
        TForm1 fresh(p, QStringLiteral("/nonexistent/VELM.mdb"));
        QCOMPARE(child<QLineEdit>(fresh, "Edit4")->text(),
                 QString::fromLatin1(LinkPanel::kDefaultRemoteIp));
    }

    void serialCreateAndClose() {
        PtyPair pty;
        QVERIFY(pty.ok());
        qputenv("VELM_COM1", pty.slavePath().toLocal8Bit());
        auto* button = child<QPushButton>(*m_window, "Button10");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_prompts->messages, QStringList());
        QCOMPARE(button->text(), QStringLiteral("Close"));
        QCOMPARE(status(), QStringLiteral("Com is running!"));
        for (const char* name :
             {"ComboBox1", "ComboBox2", "ComboBox3", "ComboBox4", "ComboBox5", "RadioButton2"})
            QVERIFY2(!child<QWidget>(*m_window, name)->isEnabled(), name);
        QVERIFY(BusInternals::comm(m_window->bus()).isOpen());

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Create"));
        QCOMPARE(status(), QString());
        QVERIFY(!BusInternals::comm(m_window->bus()).isOpen());
        for (const char* name : {"ComboBox1", "ComboBox5", "RadioButton2"})
            QVERIFY2(child<QWidget>(*m_window, name)->isEnabled(), name);
    }

    void serialCreateFails_data() {
        QTest::addColumn<QString>("device");
        QTest::addColumn<QString>("detail");
        QTest::newRow("missing device") << QStringLiteral("/dev/velm-no-such-port")
                                        << QStringLiteral("/dev/velm-no-such-port does not exist");
        QTest::newRow("not a serial device")
            << QStringLiteral("/dev/null") << QStringLiteral("/dev/null is not a serial port");
    }

    void serialCreateFails() {
        QFETCH(QString, device);
        QFETCH(QString, detail);
        qputenv("VELM_COM5", device.toLocal8Bit());
        child<QComboBox>(*m_window, "ComboBox5")->setCurrentIndex(4);
        auto* button = child<QPushButton>(*m_window, "Button10");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_prompts->messages, QStringList{"Error!"});
        QVERIFY2(m_prompts->details.value(0).contains(detail), qPrintable(m_prompts->details.value(0)));
        QCOMPARE(button->text(), QStringLiteral("Create"));
        QVERIFY(child<QWidget>(*m_window, "ComboBox5")->isEnabled());
        QVERIFY(!BusInternals::comm(m_window->bus()).isOpen());
    }

    void networkCreateAndClose() {
        child<QLineEdit>(*m_window, "Edit6")->setText(QString::number(freeUdpPort()));
        auto* button = child<QPushButton>(*m_window, "Button32");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_prompts->messages, QStringList());
        QCOMPARE(button->text(), QStringLiteral("Close"));
        QCOMPARE(status(), QStringLiteral("UDP is running!"));
        QVERIFY(BusInternals::udp(m_window->bus()).isActive());
        for (const char* name : {"Edit3", "Edit4", "Edit5", "Edit6", "SpinEdit7", "RadioButton1"})
            QVERIFY2(!child<QWidget>(*m_window, name)->isEnabled(), name);
        QVERIFY(child<QWidget>(*m_window, "Edit18")->isEnabled());

        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Create"));
        QCOMPARE(status(), QString());
        QVERIFY(!BusInternals::udp(m_window->bus()).isActive());
        for (const char* name : {"Edit3", "Edit4", "Edit5", "Edit6", "SpinEdit7", "RadioButton1"})
            QVERIFY2(child<QWidget>(*m_window, name)->isEnabled(), name);
    }

    void networkCreateFails_data() {
        QTest::addColumn<QString>("remotePort");
        QTest::addColumn<QString>("localPort");
        QTest::addColumn<QString>("detail");
        QTest::newRow("empty remote port")
            << QString() << QString::number(freeUdpPort()) << QStringLiteral("not a port number");
        QTest::newRow("empty local port")
            << QStringLiteral("2001") << QString() << QStringLiteral("not a port number");
        QTest::newRow("local port in use")
            << QStringLiteral("2001") << QStringLiteral("IN_USE") << QStringLiteral("is in use");
    }

    void networkCreateFails() {
        QFETCH(QString, remotePort);
        QFETCH(QString, localPort);
        QFETCH(QString, detail);
        QUdpSocket holder;
        if (localPort == QLatin1String("IN_USE")) {
            QVERIFY(holder.bind(QHostAddress::AnyIPv4, 0));
            localPort = QString::number(holder.localPort());
        }
        child<QLineEdit>(*m_window, "Edit5")->setText(remotePort);
        child<QLineEdit>(*m_window, "Edit6")->setText(localPort);
        auto* button = child<QPushButton>(*m_window, "Button32");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(m_prompts->messages, QStringList{"Error!"});
        QVERIFY2(m_prompts->details.value(0).contains(detail), qPrintable(m_prompts->details.value(0)));
        QCOMPARE(button->text(), QStringLiteral("Create"));
        QVERIFY(!BusInternals::udp(m_window->bus()).isActive());
        QVERIFY(child<QWidget>(*m_window, "Edit6")->isEnabled());
    }

    void bothLinksAtOnce() {
        PtyPair pty;
        qputenv("VELM_COM1", pty.slavePath().toLocal8Bit());
        child<QLineEdit>(*m_window, "Edit6")->setText(QString::number(freeUdpPort()));
        QTest::mouseClick(child<QPushButton>(*m_window, "Button10"), Qt::LeftButton);
        QTest::mouseClick(child<QPushButton>(*m_window, "Button32"), Qt::LeftButton);
        QVERIFY(BusInternals::comm(m_window->bus()).isOpen());
        QVERIFY(BusInternals::udp(m_window->bus()).isActive());
        QCOMPARE(m_prompts->messages, QStringList());
        QCOMPARE(linkState(), QStringLiteral("Requests go over COM1: open."));
        child<QRadioButton>(*m_window, "RadioButton1")->setChecked(true);
        QVERIFY(linkState().startsWith(QStringLiteral("Requests go over the network to 127.0.0.1:")));
        // Closing the serial link clears the status panel, but the area beside it still says
        // that the network link is open.
        QTest::mouseClick(child<QPushButton>(*m_window, "Button10"), Qt::LeftButton);
        QCOMPARE(status(), QString());
        QVERIFY(linkState().endsWith(QStringLiteral(": open.")));
    }

    // A request that could not go out, and one that nobody answered, say so beside the
    // status panel; the traffic log keeps its one "Send" line either way.
    void requestsWithoutAnOutcomeSaySo() {
        auto* on = child<QPushButton>(*m_window, "Button2");
        on->click();
        QCOMPARE(linkState(), QStringLiteral("Requests go over COM1: not open.  Not "
                                             "sent: the serial link is not open (\"Create\" "
                                             "beside \"Com\" opens it)."));
        QUdpSocket silent; // a gateway that never answers
        QVERIFY(silent.bind(QHostAddress::LocalHost, 0));
        child<QLineEdit>(*m_window, "Edit5")->setText(QString::number(silent.localPort()));
        child<QLineEdit>(*m_window, "Edit6")->setText(QString::number(freeUdpPort()));
        child<QRadioButton>(*m_window, "RadioButton1")->setChecked(true);
        QTest::mouseClick(child<QPushButton>(*m_window, "Button32"), Qt::LeftButton);
        on->click();
        // Nothing came from the gateway since the link was created: the settings or the module
        // are suspect.
        QVERIFY2(linkState().endsWith(
                     QStringLiteral("Module 1 did not answer within 1000 ms.  Nothing has "
                                    "answered from 127.0.0.1:%1 yet: check Remote IP, Password "
                                    "and Subnet ID, or whether module 1 is there and answers "
                                    "within the wait.")
                         .arg(silent.localPort())),
                 qPrintable(linkState()));
        QCOMPARE(m_prompts->messages, QStringList());

        // During the wait nothing but repaints is handled: a due timer waits for the loop, and
        // a click made meanwhile stays queued and runs once the wait is over.
        auto* off = child<QPushButton>(*m_window, "Button3");
        m_window->pages()->setCurrentIndex(2); // "Light Control"
        m_window->show();
        QVERIFY(QTest::qWaitForWindowExposed(m_window.get()));
        bool timerRan = false;
        QTimer::singleShot(0, this, [&] { timerRan = true; });
        int offClicks = 0;
        connect(off, &QPushButton::clicked, this, [&] { ++offClicks; });
        // As the window system delivers a click: to the window, at the button's place.
        const QPointF at = off->mapTo(m_window.get(), off->rect().center());
        for (QEvent::Type type : {QEvent::MouseButtonPress, QEvent::MouseButtonRelease})
            QCoreApplication::postEvent(m_window->windowHandle(),
                                        new QMouseEvent(type, at, m_window->mapToGlobal(at),
                                                        Qt::LeftButton, Qt::LeftButton,
                                                        Qt::NoModifier));
        on->click();
        QVERIFY(!timerRan);
        QCOMPARE(offClicks, 0);
        QVERIFY(!QGuiApplication::overrideCursor());
        // Closed first, so that the click's own request does not wait out the gateway again.
        child<QPushButton>(*m_window, "Button32")->click();
        QCoreApplication::processEvents();
        QVERIFY(timerRan);
        QCOMPARE(offClicks, 1);
    }

    // The adapter goes away while the link is open (here the simulator's pseudo-terminal):
    // the link stays open until Close is pressed, and the link area says what happened.
    void serialDeviceGoesAway() {
        SimProcess sim;
        QVERIFY2(sim.start({"--no-udp", "--serial", "--baud", "0"}),
                 qPrintable(sim.errorString()));
        qputenv("VELM_COM1", sim.serialPath().toLocal8Bit());
        auto* button = child<QPushButton>(*m_window, "Button10");
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(linkState(), QStringLiteral("Requests go over COM1: open."));
        sim.stop();
        const QString gone = QStringLiteral("COM1 went away (adapter unplugged?): press Close, "
                                            "plug it in and press Create.");
        QTRY_COMPARE_WITH_TIMEOUT(linkState(), gone, 5000);
        QCOMPARE(button->text(), QStringLiteral("Close"));
        child<QPushButton>(*m_window, "Button2")->click();
        QCOMPARE(linkState(), gone + QStringLiteral("  Not sent: COM1 went away."));
        QCOMPARE(m_prompts->messages, QStringList());
        QTest::mouseClick(button, Qt::LeftButton);
        QCOMPARE(button->text(), QStringLiteral("Create"));
        QCOMPARE(linkState(), QStringLiteral("Requests go over COM1: not open."));
    }

    void keyFiltersOnTheBand_data() {
        QTest::addColumn<QString>("edit");
        QTest::addColumn<QString>("typed");
        QTest::addColumn<QString>("shown");
        QTest::newRow("local port drops letters") << "Edit6"
                                                  << "2a0b0c3"
                                                  << "2003";
        QTest::newRow("remote port drops dots") << "Edit5"
                                                << "20.01"
                                                << "2001";
        QTest::newRow("remote ip takes dots") << "Edit4"
                                              << "10.0.x0.1"
                                              << "10.0.0.1";
        QTest::newRow("local port limit") << "Edit6"
                                          << "1234567"
                                          << "12345";
    }

    void keyFiltersOnTheBand() {
        QFETCH(QString, edit);
        QFETCH(QString, typed);
        QFETCH(QString, shown);
        auto* e = child<QLineEdit>(*m_window, edit.toLatin1().constData());
        e->clear();
        QTest::keyClicks(e, typed);
        QCOMPARE(e->text(), shown);
        QTest::keyClick(e, Qt::Key_Backspace);
        QCOMPARE(e->text(), shown.left(shown.size() - 1));
    }

    void keysThatTypeNothingPass_data() {
        QTest::addColumn<int>("key");
        QTest::addColumn<bool>("passes");
        QTest::newRow("tab moves the focus on") << int(Qt::Key_Tab) << true;
        QTest::newRow("backtab") << int(Qt::Key_Backtab) << true;
        QTest::newRow("delete") << int(Qt::Key_Delete) << true;
        QTest::newRow("arrow") << int(Qt::Key_Left) << true;
        QTest::newRow("digit") << int(Qt::Key_7) << true;
        QTest::newRow("letter") << int(Qt::Key_A) << false;
    }

    void keysThatTypeNothingPass() {
        QFETCH(int, key);
        QFETCH(bool, passes);
        QLineEdit edit;
        KeyProbe probe;
        edit.installEventFilter(&probe); // runs after the key filter
        KeyFilter::install(&edit, KeyFilter::Edit6KeyPress);
        QTest::keyClick(&edit, Qt::Key(key));
        QCOMPARE(probe.presses, passes ? 1 : 0);
    }

    void inputMethodTextIsFiltered() {
        auto* e = child<QLineEdit>(*m_window, "Edit6");
        e->clear();
        QInputMethodEvent letters;
        letters.setCommitString(QStringLiteral("2a"));
        QCoreApplication::sendEvent(e, &letters);
        QCOMPARE(e->text(), QString());
        QInputMethodEvent digits;
        digits.setCommitString(QStringLiteral("20"));
        QCoreApplication::sendEvent(e, &digits);
        QCOMPARE(e->text(), QStringLiteral("20"));
    }

    void keyFilterKinds_data() {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("accepted");
        QTest::addColumn<QString>("refused");
        QTest::newRow("Edit4") << int(KeyFilter::Edit4KeyPress) << "0123456789."
                               << "aZ-/ ";
        QTest::newRow("Edit5") << int(KeyFilter::Edit5KeyPress) << "0123456789"
                               << ".a ";
        QTest::newRow("Edit6") << int(KeyFilter::Edit6KeyPress) << "0123456789"
                               << ".a ";
        QTest::newRow("Edit7") << int(KeyFilter::Edit7KeyPress) << "0123456789abcdefABCDEF"
                               << "gG.xz ";
        QTest::newRow("Edit9") << int(KeyFilter::Edit9KeyPress) << "0123456789"
                               << ".aF";
    }

    void keyFilterKinds() {
        QFETCH(int, kind);
        QFETCH(QString, accepted);
        QFETCH(QString, refused);
        const auto k = KeyFilter::Kind(kind);
        for (QChar c : accepted)
            QVERIFY2(KeyFilter::accepts(k, c), qPrintable(QString(c)));
        for (QChar c : refused)
            QVERIFY2(!KeyFilter::accepts(k, c), qPrintable(QString(c)));
        QVERIFY(KeyFilter::accepts(k, QChar('\b')));
    }

    // Started where no record file is: the six boxes and the state line name the one command
    // that makes it, which makes it as velm-initdb does and opens the tables; a file that
    // exists is never touched.
    void missingRecordFileOffersNewRecordFile() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
        ScriptedPrompts prompts;
        TForm1 window(prompts, file);
        QCOMPARE(prompts.messages.size(), 6);
        for (const QString& detail : std::as_const(prompts.details))
            QVERIFY2(detail.endsWith(QStringLiteral("; File › New Record File… creates it")),
                     qPrintable(detail));
        QVERIFY(!QFileInfo::exists(file)); // start-up never makes it
        auto* state = child<QLabel>(window, "LinkStatePanel");
        QVERIFY2(state->text().contains(QStringLiteral("New Record File")),
                 qPrintable(state->text()));
        prompts.clear();
        auto* create = window.findChild<QAction*>(QStringLiteral("NewRecordFile"));
        QVERIFY(create);
        create->trigger(); // answered No: nothing made
        QVERIFY(!QFileInfo::exists(file));
        prompts.answers.push_back(true);
        create->trigger();
        QCOMPARE(prompts.messages, QStringList());
        QVERIFY(window.records().scenes().isOpen() && window.records().monitor().isOpen());
        QCOMPARE(window.records().monitor().rowCount(), 224);
        QVERIFY2(!state->text().contains(QStringLiteral("record file")), qPrintable(state->text()));
        prompts.answers.push_back(true);
        create->trigger(); // it exists now: refused, not asked
        QCOMPARE(prompts.messages.size(), 1);
        QVERIFY(prompts.details.value(0).contains(QStringLiteral("already exists")));
        QCOMPARE(prompts.answers.size(), size_t(1));
    }

    // An error reply names the module's type where a scan heard it or the site expects it
    // (what answered wins).
    void refusalNamesTheModulesType_data() {
        QTest::addColumn<QString>("answered");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<QString>("line");
        QTest::newRow("unknown") << "" << "" << "Module 5 refused";
        QTest::newRow("a site's") << "" << "040E" << "Module 5 (type 040E) refused";
        QTest::newRow("a scan's") << "040E" << "0520" << "Module 5 (type 040E) refused";
    }

    void refusalNamesTheModulesType() {
        QFETCH(QString, answered);
        QFETCH(QString, expected);
        QFETCH(QString, line);
        ModuleTypes& types = m_window->bus().moduleTypes();
        types.setExpected(expected.isEmpty() ? QHash<int, QString>{}
                                             : QHash<int, QString>{{5, expected}});
        types.noteAnswered(5, answered);
        Reply r; // a request of module 5 refused
        for (const auto& [at, value] : {std::pair{3, 5}, {4, 0x84}, {5, 0x00}, {6, 0x03}})
            r.bytes[size_t(at)] = quint8(value);
        emit m_window->bus().replyAccepted(r);
        QVERIFY2(linkState().contains(line + QStringLiteral(" ")), qPrintable(linkState()));
    }
};

QTEST_MAIN(TestLinkPanel)
#include "test_app_link_panel.moc"
