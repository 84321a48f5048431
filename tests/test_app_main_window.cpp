// The main window at start-up: the six table messages, the outline, the run state resets.
#include "app/main_window.h"
#include "app/message_prompts.h"
#include "app/processing_dialog.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "protocol/sequence_engine.h"
#include "link/pause_handling_events.h"
#include "support/build_paths.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QElapsedTimer>
#include <QLabel>
#include <QLineEdit>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTest>
#include <QTimer>
#include <QWindow>

class TestMainWindow : public QObject {
    Q_OBJECT

private:
    static QString makeDatabase(const QTemporaryDir& dir) {
        const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
        QProcess initdb;
        initdb.start(buildpaths::bin("velm-initdb"), {file});
        initdb.waitForFinished(30000);
        return initdb.exitCode() == 0 ? file : QString();
    }

private slots:
    void sixMessagesInTableOrderWithoutDatabase() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        TForm1 window(prompts, dir.filePath(QStringLiteral("VELM.mdb")));
        QCOMPARE(prompts.messages,
                 QStringList(
                     {"Can not find Scene Records database", "Can not find IR Records database",
                      "Can not find Timer Records database", "Can not find Event Records database",
                      "Can not find Bind Records database",
                      "Can not find Monitor Bind Records database"}));
        // The window still works: the log can be cleared, the pages are there.
        QCOMPARE(window.pages()->count(), 8);
        QVERIFY(!QFile::exists(dir.filePath(QStringLiteral("VELM.mdb"))));
    }

    // The real boxes, answered with Return as a person would: six, in table order, each with
    // the cause as its detail and on standard error, the path as it can be copied.
    void startUpBoxesGiveTheirCause() {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
        const QString cause =
            file + QStringLiteral(" does not exist; File › New Record File… creates it");
        static QStringList logged;
        logged.clear();
        const QtMessageHandler previous = qInstallMessageHandler(
            [](QtMsgType, const QMessageLogContext&, const QString& text) { logged << text; });
        QStringList shown;
        QTimer answer;
        QObject::connect(&answer, &QTimer::timeout, [&shown] {
            if (auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget())) {
                shown << box->text() + u'|' + box->informativeText();
                QTest::keyClick(box, Qt::Key_Return);
            }
        });
        answer.start(20);
        MessagePrompts prompts;
        TForm1 window(prompts, file);
        qInstallMessageHandler(previous);
        QStringList expected, lines;
        for (const char* table : {"Scene", "IR", "Timer", "Event", "Bind", "Monitor Bind"}) {
            const QString text = QStringLiteral("Can not find %1 Records database").arg(table);
            expected << text + u'|' + cause;
            lines << QStringLiteral("velm: %1: %2").arg(text, cause);
        }
        QCOMPARE(shown, expected);
        QCOMPARE(logged.filter(QStringLiteral("velm: ")), lines);
    }

    void noMessageWithInitialisedDatabase() {
        QTemporaryDir dir;
        const QString file = makeDatabase(dir);
        QVERIFY(!file.isEmpty());
        ScriptedPrompts prompts;
        TForm1 window(prompts, file);
        QVERIFY2(prompts.messages.isEmpty(), qPrintable(prompts.messages.join('|')));
        QCOMPARE(window.records().monitor().rowCount(), 224);
    }

    void outline() {
        ScriptedPrompts prompts;
        TForm1 window(prompts, QStringLiteral("/nonexistent/VELM.mdb"));
        QCOMPARE(window.windowTitle(), QStringLiteral("VELM V08 2014.08.18"));
        const QStringList captions = {"Module Settings", "Scene Settings",  "Light Control",
                                      "Curtain Control", "IR Control",      "Input Module Settings",
                                      "Timer Settings",  "Monitor Bindings"};
        for (int i = 0; i < captions.size(); ++i) {
            QCOMPARE(window.pages()->tabText(i), captions[i]);
            QCOMPARE(window.pages()->widget(i)->objectName(),
                     QStringLiteral("TabSheet%1").arg(i + 1));
        }
        QCOMPARE(window.pages()->currentIndex(), 0);
        for (const char* name :
             {"GroupBox4", "GroupBox9", "Splitter1", "Memo1", "StatusBar1", "Button40", "Edit3"})
            QVERIFY2(window.findChild<QWidget*>(QString::fromLatin1(name)), name);
        QVERIFY(!window.processingDialog().isVisible());
        QVERIFY(!window.sequences().running());
    }

    // Help > About names the version and the record file; File > Quit closes the window;
    // "Now" puts the computer's time into "Time(set)".
    void menusAndNow() {
        QTemporaryDir dir;
        ScriptedPrompts prompts;
        const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
        TForm1 window(prompts, file);
        prompts.clear();
        window.findChild<QAction*>(QStringLiteral("AboutVelm"))->trigger();
        QCOMPARE(prompts.messages, QStringList{QStringLiteral("VELM " VELM_VERSION)});
        QVERIFY(prompts.details.value(0).contains(QStringLiteral("Record file: ") + file));
        window.show();
        window.findChild<QAction*>(QStringLiteral("Quit"))->trigger();
        QVERIFY(!window.isVisible());

        auto* time = window.findChild<QLineEdit*>(QStringLiteral("MaskEdit2"));
        time->setText(QStringLiteral("00:00:00"));
        window.findChild<QPushButton*>(QStringLiteral("ButtonClockNow"))->click();
        const QTime shown = QTime::fromString(time->text(), QStringLiteral("hh:mm:ss"));
        QVERIFY(qAbs(shown.secsTo(QTime::currentTime())) < 60 ||
                qAbs(shown.secsTo(QTime::currentTime())) > 86340); // around midnight
        QCOMPARE(window.findChild<QDateEdit*>(QStringLiteral("DateTimePicker2"))->date(),
                 QDate::currentDate());
    }

    void processingDialog() {
        ScriptedPrompts prompts;
        TForm1 window(prompts, QStringLiteral("/nonexistent/VELM.mdb"));
        TForm2& form2 = window.processingDialog();
        QCOMPARE(form2.objectName(), QStringLiteral("Form2"));
        QCOMPARE(form2.size(), QSize(337, 139));
        QVERIFY(form2.windowTitle().isEmpty());
        // ... but its title bar names the tool, not the program file.
        QCOMPARE(form2.windowHandle()->title(), QStringLiteral("VELM"));
        // Form2 lives inside the main window's object tree: its Label1 must be the only one.
        const auto labels = window.findChildren<QLabel*>(QStringLiteral("Label1"));
        QCOMPARE(labels.size(), 1);
        QCOMPARE(labels.front()->window(), static_cast<QWidget*>(&form2));
        QCOMPARE(labels.front()->text(), QStringLiteral("Processing..."));
        QVERIFY(labels.front()->font().bold());
        QCOMPARE(labels.front()->font().pixelSize(), 16);
        QCOMPARE(form2.findChild<QPushButton*>(QStringLiteral("Button1"))->text(),
                 QStringLiteral("Cancel"));
    }

    void deviceTypeFilter_data() {
        QTest::addColumn<QString>("type");
        QTest::addColumn<int>("rows");
        QTest::addColumn<int>("slot");
        QTest::addColumn<bool>("irEnabled");
        QTest::newRow("Light") << "Light" << 64 << 1 << false;
        QTest::newRow("Curtain") << "Curtain" << 32 << 65 << false;
        QTest::newRow("AC") << "AC" << 128 << 97 << true;
    }

    void deviceTypeFilter() {
        QFETCH(QString, type);
        QFETCH(int, rows);
        QFETCH(int, slot);
        QFETCH(bool, irEnabled);
        QTemporaryDir dir;
        const QString file = makeDatabase(dir);
        QVERIFY(!file.isEmpty());
        ScriptedPrompts prompts;
        TForm1 window(prompts, file);
        auto* types = window.findChild<QComboBox*>(QStringLiteral("ComboBox27"));
        auto* slotEdit = window.findChild<QSpinBox*>(QStringLiteral("SpinEdit38"));
        slotEdit->setValue(200);
        types->setCurrentText(type);
        RecordTable& monitor = window.records().monitor();
        QCOMPARE(monitor.rowCount(), rows);
        QCOMPARE(slotEdit->value(), slot);
        QCOMPARE(monitor.fieldInt(QStringLiteral("Order")), slot);
        auto* irNo = window.findChild<QSpinBox*>(QStringLiteral("SpinEdit44"));
        auto* channel = window.findChild<QSpinBox*>(QStringLiteral("SpinEdit41"));
        QCOMPARE(irNo->isEnabled(), irEnabled);
        QCOMPARE(channel->isEnabled(), !irEnabled);

        types->setCurrentText(QStringLiteral("All"));
        QCOMPARE(monitor.rowCount(), 224);
        QVERIFY(!irNo->isEnabled());
        QVERIFY(channel->isEnabled());
        QCOMPARE(prompts.messages, QStringList());
    }

    void clearEmptiesTheLog() {
        ScriptedPrompts prompts;
        TForm1 window(prompts, QStringLiteral("/nonexistent/VELM.mdb"));
        auto* memo = window.findChild<QPlainTextEdit*>(QStringLiteral("Memo1"));
        BusInternals::sendRequestArea(window.bus()); // serial mode, port closed: the log line stands
        QVERIFY(memo->toPlainText().startsWith(QStringLiteral("Send ：X")));
        QTest::mouseClick(window.findChild<QPushButton*>(QStringLiteral("Button40")),
                          Qt::LeftButton);
        QVERIFY(memo->toPlainText().isEmpty());
    }

    void watchdogAndCancelEndTheSequence_data() {
        QTest::addColumn<bool>("watchdog");
        QTest::newRow("watchdog") << true;
        QTest::newRow("cancel") << false;
    }

    void watchdogAndCancelEndTheSequence() {
        QFETCH(bool, watchdog);
        ScriptedPrompts prompts;
        TForm1 window(prompts, QStringLiteral("/nonexistent/VELM.mdb"));
        prompts.messages.clear();
        Bus& bus = window.bus();
        bus.sequenceBegins();
        window.processingDialog().sequenceStarted();

        if (watchdog)
            window.sequences().watchdogExpired();
        else
            QTest::mouseClick(
                window.processingDialog().findChild<QPushButton*>(QStringLiteral("Button1")),
                Qt::LeftButton);

        QVERIFY(!bus.sequenceRunning());
        QVERIFY(!window.processingDialog().isVisible());
        QCOMPARE(prompts.messages, watchdog ? QStringList{"Timeout！"} : QStringList{});
        QVERIFY(!BusInternals::udp(bus).isActive()); // closed transports stay closed
    }

    void timeDelayKeepsHandlingEvents() {
        QElapsedTimer clock;
        clock.start();
        pauseHandlingEvents(0);
        QVERIFY(clock.elapsed() < 50);

        bool fired = false;
        QTimer::singleShot(20, [&] { fired = true; });
        clock.restart();
        pauseHandlingEvents(100);
        QVERIFY(clock.elapsed() >= 100);
        QVERIFY(fired);
    }
};

QTEST_MAIN(TestMainWindow)
#include "test_app_main_window.moc"
