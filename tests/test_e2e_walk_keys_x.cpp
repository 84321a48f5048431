// The walk test as a person at the keyboard does it: the dialog under an X server (Xvfb), its
// keys typed by xdotool through the X server, against velm-sim over loopback UDP, with one
// channel that does not switch. Skipped where Xvfb or xdotool is missing.
#include "app/walk_test_dialog.h"
#include "support/window_fixture.h"
#include "support/x_server.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QLabel>
#include <QMenuBar>
#include <QProcess>
#include <QStandardPaths>
#include <QTableWidget>
#include <QTest>

#include <memory>

namespace {
constexpr int kStuckChannel = 3;
constexpr int kStepMs = 20000; // room for the sanitizer build on a loaded machine
bool g_haveX = false;

QStringList moveAndClick(const QWidget* w) {
    const QPoint at = w->mapToGlobal(w->rect().center());
    return {QStringLiteral("mousemove"), QString::number(at.x()), QString::number(at.y()),
            QStringLiteral("click"), QStringLiteral("1")};
}
} // namespace

class TestE2eWalkKeysX : public QObject {
    Q_OBJECT
private slots:
    void init();
    void cleanup();
    void keysFromTheXServerAnswerAndEscSwitchesBackOff();

private:
    QString current() const { return m_dialog->findChild<QLabel*>("WalkCurrent")->text(); }
    bool waitFor(const QString& start) {
        return QTest::qWaitFor([&] { return current().startsWith(start); }, kStepMs);
    }
    // Runs xdotool and waits for it while the window goes on handling events.
    bool xdotool(const QStringList& arguments);
    int lightState(int channel) {
        return SimProcess::module(m_env->sim.dump(), 1)["states"].toArray().at(channel - 1).toInt();
    }
    QStringList results() const;

    std::unique_ptr<WindowFixture> m_env;
    WalkTestDialog* m_dialog = nullptr;
    QString m_xdotoolError;
};

void TestE2eWalkKeysX::init() {
    if (!g_haveX)
        QSKIP("needs Xvfb and xdotool (Debian: xvfb, xdotool)");
    m_env = std::make_unique<WindowFixture>();
}

void TestE2eWalkKeysX::cleanup() {
    m_dialog = nullptr;
    m_env.reset();
}

bool TestE2eWalkKeysX::xdotool(const QStringList& arguments) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(QStringLiteral("xdotool"), arguments);
    if (!QTest::qWaitFor([&p] { return p.state() == QProcess::NotRunning; }, kStepMs) ||
        p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0) {
        m_xdotoolError =
            arguments.join(' ') + QStringLiteral(": ") + QString::fromLocal8Bit(p.readAll());
        p.kill();
        p.waitForFinished(3000);
        return false;
    }
    return true;
}

QStringList TestE2eWalkKeysX::results() const {
    auto* table = m_dialog->findChild<QTableWidget*>("WalkTable");
    QStringList out;
    for (int r = 0; r < table->rowCount(); ++r)
        out << table->item(r, 0)->text() + ": " + table->item(r, 1)->text() + " " +
                   table->item(r, 2)->text();
    return out;
}

// Channels 1 and 2 work (Return), channel 3 does not switch (N, a note, Return, D), channel 4
// is skipped (S), and Esc on channel 5 stops with it switched off again.
void TestE2eWalkKeysX::keysFromTheXServerAnswerAndEscSwitchesBackOff() {
    QVERIFY2(m_env->open(false, {"--stuck", QStringLiteral("1:%1").arg(kStuckChannel)}),
             qPrintable(m_env->error));
    m_env->window->move(0, 0);
    m_env->window->show();
    QVERIFY(QTest::qWaitForWindowExposed(m_env->window.get()));
    m_env->find<QMenuBar>("MainMenu")->findChild<QAction*>("WalkTestAction")->trigger();
    m_dialog = m_env->window->findChild<WalkTestDialog*>("WalkTestDialog");
    QVERIFY(m_dialog);
    // The window system's own word that the dialog is up: xdotool finds it by its title.
    QVERIFY2(xdotool({"search", "--sync", "--onlyvisible", "--name", "^Walk Test$"}),
             qPrintable(m_xdotoolError));
    QVERIFY(QTest::qWaitForWindowExposed(m_dialog));
    auto* modules = m_dialog->findChild<QLineEdit*>("WalkModules");
    QVERIFY2(xdotool(moveAndClick(modules) + QStringList{"type", "1"}), qPrintable(m_xdotoolError));
    QTRY_COMPARE_WITH_TIMEOUT(modules->text(), QStringLiteral("1"), kStepMs);
    QVERIFY2(xdotool(moveAndClick(m_dialog->findChild<QPushButton*>("WalkStart"))),
             qPrintable(m_xdotoolError));

    // Each key goes to the X server only once the step asks, and the pointer rests on the
    // dialog's table, so the key reaches the dialog whatever the focus inside it.
    const QStringList onTable =
        moveAndClick(m_dialog->findChild<QTableWidget*>("WalkTable")).mid(0, 3);
    const QList<QStringList> answers{
        {"key", "Return"},
        {"key", "Return"},
        {"key", "n", "type", "no click"},
        {"key", "s"},
    };
    for (int ch = 1; ch <= answers.size(); ++ch) {
        const QString title = QStringLiteral("Light 1, channel %1: is it working?").arg(ch);
        QVERIFY2(waitFor(title), qPrintable(current()));
        QCOMPARE(lightState(ch) == 1, ch != kStuckChannel);
        QVERIFY2(xdotool(onTable + answers.at(ch - 1)), qPrintable(m_xdotoolError));
        if (ch == kStuckChannel) {
            auto* note = m_dialog->findChild<QLineEdit*>("WalkNoteEdit");
            QTRY_COMPARE_WITH_TIMEOUT(note->text(), QStringLiteral("no click"), kStepMs);
            QVERIFY2(xdotool({"key", "Return", "key", "d"}), qPrintable(m_xdotoolError));
        }
        QVERIFY2(QTest::qWaitFor([&] { return !current().startsWith(title); }, kStepMs),
                 qPrintable(current()));
    }
    QVERIFY2(waitFor(QStringLiteral("Light 1, channel 5: is it working?")), qPrintable(current()));
    QCOMPARE(lightState(5), 1);
    QVERIFY2(xdotool(onTable + QStringList{"key", "Escape"}), qPrintable(m_xdotoolError));
    QVERIFY2(waitFor(QStringLiteral("Stopped.")), qPrintable(current()));
    QCOMPARE(lightState(5), 0);
    QVERIFY(m_dialog->isVisible()); // Esc stopped the walk, not the dialog

    QCOMPARE(results(), (QStringList{"Light 1, channel 1: works ", "Light 1, channel 2: works ",
                                     "Light 1, channel 3: does not work no click",
                                     "Light 1, channel 4: skipped "}));
    const QStringList files = QDir(m_env->dir.path()).entryList({"VELM.mdb.walk-*.json"});
    QCOMPARE(files.size(), 1);
    QFile f(m_env->dir.filePath(files.first()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    const QJsonArray outputs = QJsonDocument::fromJson(f.readAll())["outputs"].toArray();
    QCOMPARE(outputs.at(2)["note"].toString(), QStringLiteral("no click"));
    QCOMPARE(outputs.at(4)["result"].toString(), QStringLiteral("untested"));
    QVERIFY(!outputs.at(4)["leftOn"].toBool());
}

int main(int argc, char** argv) {
    // Without an X server and xdotool the test has nothing to type with: it says so and skips.
    XServer server;
    g_haveX = !QStandardPaths::findExecutable(QStringLiteral("xdotool")).isEmpty() &&
              !QStandardPaths::findExecutable(QStringLiteral("Xvfb")).isEmpty() &&
              server.startForProgram();
    QApplication app(argc, argv);
    TestE2eWalkKeysX test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_e2e_walk_keys_x.moc"
