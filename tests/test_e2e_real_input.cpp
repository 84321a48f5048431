// A person at the window: real mouse clicks and keys from the X server (Xvfb, driven by
// xdotool) while a run talks to velm-sim, over UDP and over its pseudo-terminal. Input made
// while the tool waits on the network stays queued and is handled when the wait ends.
#include "link/bus_internals.h"
#include "app/main_window.h"
#include "app/message_prompts.h"
#include "app/processing_dialog.h"
#include "app/scan_dialog.h"
#include "protocol/sequence_engine.h"
#include "support/window_fixture.h"
#include "support/x_server.h"

#include <QAction>
#include <QApplication>
#include <QLabel>
#include <QMessageBox>
#include <QProcess>
#include <QPushButton>
#include <QSpinBox>
#include <QTabWidget>
#include <QTest>
#include <QTimer>

#include <memory>

namespace {

constexpr int kInputModule = 5;
constexpr int kRunMs = 20000; // room for the sanitizer build on a loaded machine
const QString kFinished = QStringLiteral("Finished！");

QPoint centreOf(const QWidget* w) {
    return w->mapToGlobal(w->rect().center());
}

QStringList moveAndClick(const QPoint& at) {
    return {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
            QStringLiteral("click"), QStringLiteral("1")};
}

} // namespace

class TestE2eRealInput : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void cancelStopsReadAll_data() { links(); }
    void cancelStopsReadAll();
    void finishedBoxCloses_data();
    void finishedBoxCloses();
    void scanCancelStops_data() { links(); }
    void scanCancelStops();

private:
    static void links();
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(m_env->window.get(), name);
    }
    QStringList moduleRows() const;
    bool processing() const { return m_env->window->sequences().keepGoing(); }
    // Runs xdotool with these arguments; it goes on while the tool waits on the wire.
    void xdotool(const QStringList& arguments);
    bool xdotoolDone() const { return m_xdotool.state() == QProcess::NotRunning; }
    QPoint cancelOfProcessing();

    std::unique_ptr<WindowFixture> m_env;
    MessagePrompts m_boxes;
    QProcess m_xdotool;
    QTimer m_giveUp;
    bool m_gaveUp = false;
};

void TestE2eRealInput::links() {
    QTest::addColumn<bool>("serial");
    QTest::newRow("udp") << false;
    QTest::newRow("pty") << true;
}

void TestE2eRealInput::init() {
    QFETCH(bool, serial);
    m_env = std::make_unique<WindowFixture>();
    m_env->windowPrompts = &m_boxes;
    QVERIFY2(m_env->open(serial), qPrintable(m_env->error));
    m_boxes.setParent(m_env->window.get());
    m_env->window->move(0, 0);
    m_env->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_env->window.get()));
    find<QSpinBox>(QStringLiteral("SpinEdit37"))->setValue(kInputModule);
    // The "Input Module Settings" page, where "Read All Control Data" is.
    auto* readAll = find<QPushButton>(QStringLiteral("Button50"));
    QTabWidget* pages = m_env->window->pages();
    for (int i = 0; i < pages->count(); ++i) {
        if (pages->widget(i)->isAncestorOf(readAll))
            pages->setCurrentIndex(i);
    }
    QVERIFY(readAll->isVisible());
    // A box that nobody can close would hang the program: close it after a while, as a failure.
    m_gaveUp = false;
    m_giveUp.setSingleShot(true);
    m_giveUp.setInterval(kRunMs);
    m_giveUp.callOnTimeout(this, [this] {
        if (QWidget* box = QApplication::activeModalWidget()) {
            m_gaveUp = true;
            box->close();
        }
        m_giveUp.start(1000);
    });
    m_giveUp.start();
}

void TestE2eRealInput::cleanup() {
    m_giveUp.stop();
    m_xdotool.waitForFinished(5000);
    m_env.reset();
}

QStringList TestE2eRealInput::moduleRows() const {
    return probe::tableRows(m_env->window->records().binds())
        .filter(QRegularExpression(QStringLiteral("^%1\\|").arg(kInputModule)));
}

void TestE2eRealInput::xdotool(const QStringList& arguments) {
    m_xdotool.start(QStringLiteral("xdotool"), arguments);
    QVERIFY2(m_xdotool.waitForStarted(5000), "xdotool did not start");
}

QPoint TestE2eRealInput::cancelOfProcessing() {
    // The processing dialog keeps its place: where its Cancel is shown once, it is in a run.
    TForm2& dialog = m_env->window->processingDialog();
    dialog.show();
    if (!QTest::qWaitForWindowExposed(&dialog))
        return {};
    const QPoint at = centreOf(dialog.findChild<QPushButton*>(QStringLiteral("Button1")));
    dialog.hide();
    return at;
}

void TestE2eRealInput::cancelStopsReadAll() {
    QVERIFY(moduleRows().isEmpty());
    const QPoint cancel = cancelOfProcessing();
    QVERIFY(!cancel.isNull());
    QStringList script = moveAndClick(centreOf(find<QPushButton>(QStringLiteral("Button50"))));
    script << QStringLiteral("sleep") << QStringLiteral("0.6") << moveAndClick(cancel);
    xdotool(script);
    QTRY_VERIFY_WITH_TIMEOUT(xdotoolDone() && !processing(), kRunMs);
    QVERIFY(!m_gaveUp);
    const QStringList rows = moduleRows();
    QVERIFY2(!rows.isEmpty() && rows.size() < 14, qPrintable(rows.join('\n')));
    QCOMPARE(m_env->window->sequences().position(SequenceKind::ReadBindings), 0);
}

void TestE2eRealInput::finishedBoxCloses_data() {
    QTest::addColumn<bool>("serial");
    QTest::addColumn<bool>("withKey");
    QTest::newRow("udp, Return") << false << true;
    QTest::newRow("udp, click on OK") << false << false;
    QTest::newRow("pty, Return") << true << true;
    QTest::newRow("pty, click on OK") << true << false;
}

void TestE2eRealInput::finishedBoxCloses() {
    QFETCH(bool, withKey);
    // The box comes at the end of the run, from inside it: answer it as soon as it is up.
    bool answered = false;
    QTimer watch;
    watch.callOnTimeout([&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (answered || !box || !box->isVisible() || box->text() != kFinished)
            return;
        answered = true;
        const QPoint ok = centreOf(box->button(QMessageBox::Ok));
        xdotool(withKey ? QStringList{QStringLiteral("mousemove"), QString::number(ok.x()),
                                      QString::number(ok.y()), QStringLiteral("key"),
                                      QStringLiteral("Return")}
                        : moveAndClick(ok));
    });
    watch.start(50);
    xdotool(moveAndClick(centreOf(find<QPushButton>(QStringLiteral("Button50")))));
    QTRY_VERIFY_WITH_TIMEOUT(answered && xdotoolDone() && !QApplication::activeModalWidget() &&
                                 !processing(),
                             kRunMs + 2000);
    QVERIFY(!m_gaveUp);
    QCOMPARE(moduleRows().size(), 14);
}

void TestE2eRealInput::scanCancelStops() {
    auto* action = m_env->window->findChild<QAction*>(QStringLiteral("ScanSubnetAction"));
    QVERIFY(action);
    action->trigger();
    auto* dialog = m_env->window->findChild<ScanDialog*>();
    QVERIFY(dialog);
    QVERIFY(QTest::qWaitForWindowExposed(dialog));
    QStringList script =
        moveAndClick(centreOf(dialog->findChild<QPushButton*>(QStringLiteral("ScanStart"))));
    script << QStringLiteral("sleep") << QStringLiteral("0.6")
           << moveAndClick(centreOf(dialog->findChild<QPushButton*>(QStringLiteral("ScanCancel"))));
    xdotool(script);
    auto* summary = dialog->findChild<QLabel*>(QStringLiteral("ScanSummary"));
    // 32 addresses, most of them silent for 200 ms each: a scan left alone takes 6 s or more.
    QTRY_VERIFY_WITH_TIMEOUT(xdotoolDone() && !summary->text().startsWith(QStringLiteral("Scan")),
                             kRunMs);
    QVERIFY2(summary->text().startsWith(QStringLiteral("Cancelled: ")),
             qPrintable(summary->text()));
    dialog->close();
}

int main(int argc, char** argv) {
    XServer server;
    if (!server.startForProgram())
        return 1;
    QApplication app(argc, argv);
    TestE2eRealInput test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_real_input.moc"
