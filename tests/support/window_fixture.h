#pragma once

#include "app/main_window.h"
#include "widgets/prompt_service.h"
#include "link/bus.h"
#include "link/frames.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_probe.h"

#include <QCheckBox>
#include <QComboBox>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QRegularExpression>
#include <QTemporaryDir>

#include <memory>

// The real main window on a fresh record database, for the widget tests: either alone, fed
// with replies as the link would deliver them, or linked to velm-sim over loopback UDP or over
// the simulator's pseudo-terminal (as COM1) for the end-to-end tests:
//
//   m_env = std::make_unique<WindowFixture>();
//   QVERIFY2(m_env->openWindow(), qPrintable(m_env->error));           // alone, or
//   QVERIFY2(m_env->open(serial, {"--ir-learn-ms", "300"}), qPrintable(m_env->error));
//   ... m_env->window, m_env->sim, m_env->prompts, m_env->reply(...) ...
//
// Header-only: only the tests that include it link the window.
struct WindowFixture {
    QTemporaryDir dir;
    SimProcess sim;
    ScriptedPrompts prompts;
    // The prompts the window gets instead of the scripted ones (real message boxes), when set.
    PromptService* windowPrompts = nullptr;
    std::unique_ptr<TForm1> window;
    QString error;

    WindowFixture() { schema::createDatabase(databaseFile()); }
    ~WindowFixture() {
        window.reset();
        sim.stop();
        qunsetenv("VELM_COM1");
    }

    QString databaseFile() const { return dir.filePath(QStringLiteral("VELM.mdb")); }
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(window.get(), name);
    }

    // Opens the window alone, its log showing whole frames. False, with `error`, when it said
    // anything on the way.
    bool openWindow() {
        window = std::make_unique<TForm1>(prompts, databaseFile());
        if (!prompts.messages.isEmpty())
            return fail(prompts.messages.join('|'));
        find<QCheckBox>(QStringLiteral("chk1"))->setChecked(false);
        return true;
    }

    // A reply frame from `address` as the link hands it over: command, sub-command, status, data.
    void reply(quint8 address, quint8 command, quint8 sub, const QByteArray& data = {},
               quint8 status = 1) {
        QByteArray body;
        body.append(char(address)).append(char(command)).append(char(sub)).append(char(status));
        feed(frames::busReply(body + data));
    }
    void feed(const QByteArray& frame) {
        window->bus().takeSerialBlock(reinterpret_cast<const quint8*>(frame.constData()),
                                       quint16(frame.size()));
    }

    // The lines of the traffic log that start with `prefix` ("Send", "Read").
    QStringList logLines(const QString& prefix) const {
        const QStringList lines =
            find<QPlainTextEdit>(QStringLiteral("Memo1"))->toPlainText().split('\n');
        return lines.filter(QRegularExpression(QLatin1Char('^') + prefix));
    }

    // Starts the simulator with `simArguments` (on its pty at full speed when `serial`), opens
    // the window and creates the link. False, with `error` saying why, when any step fails or
    // the window said anything on the way.
    bool open(bool serial, const QStringList& simArguments = {}) {
        QStringList args = simArguments;
        if (serial)
            args << QStringList{"--no-udp", "--serial", "--baud", "0"};
        if (!sim.start(args))
            return fail(sim.errorString());
        if (serial)
            qputenv("VELM_COM1", sim.serialPath().toLocal8Bit());
        window = std::make_unique<TForm1>(windowPrompts ? *windowPrompts : prompts,
                                          databaseFile());
        if (!prompts.messages.isEmpty())
            return fail(prompts.messages.join('|'));
        QString button = QStringLiteral("Button10");
        if (serial) {
            find<QComboBox>(QStringLiteral("ComboBox5"))->setCurrentText(QStringLiteral("COM1"));
        } else {
            // Loopback only: the remote address is set before anything is sent.
            find<QLineEdit>(QStringLiteral("Edit4"))->setText(QStringLiteral("127.0.0.1"));
            find<QLineEdit>(QStringLiteral("Edit5"))->setText(QString::number(sim.udpPort()));
            find<QLineEdit>(QStringLiteral("Edit6"))
                ->setText(QString::number(SimProcess::freeUdpPort()));
            find<QRadioButton>(QStringLiteral("RadioButton1"))->setChecked(true);
            button = QStringLiteral("Button32");
        }
        find<QPushButton>(button)->click();
        if (!prompts.messages.isEmpty())
            return fail(prompts.messages.join('|'));
        if (find<QPushButton>(button)->text() != QLatin1String("Close"))
            return fail(button + QStringLiteral(" did not open the link"));
        return true;
    }

private:
    bool fail(const QString& why) {
        error = why;
        return false;
    }
};
