#pragma once

#include "app/main_window.h"
#include "commands/prompt_service.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_probe.h"

#include <QComboBox>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QTemporaryDir>

#include <memory>

// The real main window on a fresh record database, linked to velm-sim over loopback UDP or
// over the simulator's pseudo-terminal (as COM1), for the end-to-end tests:
//
//   m_env = std::make_unique<SimWindow>();
//   QVERIFY2(m_env->open(serial, {"--ir-learn-ms", "300"}), qPrintable(m_env->error));
//   ... m_env->window, m_env->sim, m_env->prompts ...
//
// Header-only: only the tests that include it link the window.
struct SimWindow {
    QTemporaryDir dir;
    SimProcess sim;
    ScriptedPrompts prompts;
    std::unique_ptr<TForm1> window;
    QString error;

    SimWindow() { schema::createDatabase(databaseFile()); }
    ~SimWindow() {
        window.reset();
        sim.stop();
        qunsetenv("VELM_COM1");
    }

    QString databaseFile() const { return dir.filePath(QStringLiteral("VELM.mdb")); }
    template <class T> T* find(const QString& name) const {
        return probe::control<T>(window.get(), name);
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
        window = std::make_unique<TForm1>(prompts, databaseFile());
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
