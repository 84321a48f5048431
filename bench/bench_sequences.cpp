// Wall time of "Read All Timers" (32 requests) and "Read All Events" (16 requests) on the real
// main window against velm-sim, over loopback UDP and over the simulator's pseudo-terminal
// paced at 9600 baud, beside the floor that the sequence itself sets:
//   (requests - 1) x 100 ms pause between requests,
//   on the serial line also every byte at 9600 baud (10 bits a byte) and the 100 ms of quiet
//   that ends each reply block.
// Prints figures; asserts nothing.
#include "app/main_window.h"
#include "link/bus.h"
#include "records/schema.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>
#include <memory>

namespace {

constexpr int kRuns = 3;
constexpr int kTimerModule = 6;
constexpr double kPauseMs = 100.0;
constexpr double kBlockQuietMs = 100.0;
constexpr double kBaud = 9600.0;

struct Figures {
    double wallMs = 0;
    int requests = 0;
    int bytes = 0;
};

class Bench {
public:
    Bench(bool serial) : m_serial(serial) {}

    bool open() {
        schema::createDatabase(m_dir.filePath(QStringLiteral("VELM.mdb")));
        const QStringList args =
            m_serial ? QStringList{"--no-udp", "--serial", "--baud", "9600"} : QStringList{};
        if (!m_sim.start(args)) {
            std::fprintf(stderr, "velm-sim did not start: %s\n", qPrintable(m_sim.errorString()));
            return false;
        }
        if (m_serial)
            qputenv("VELM_COM1", m_sim.serialPath().toLocal8Bit());
        m_window = std::make_unique<TForm1>(m_prompts, m_dir.filePath(QStringLiteral("VELM.mdb")));
        find<QCheckBox>("chk1")->setChecked(false); // whole frames in the log, to count bytes
        if (m_serial) {
            find<QComboBox>("ComboBox5")->setCurrentText(QStringLiteral("COM1"));
            find<QPushButton>("Button10")->click();
        } else {
            find<QLineEdit>("Edit4")->setText(QStringLiteral("127.0.0.1"));
            find<QLineEdit>("Edit5")->setText(QString::number(m_sim.udpPort()));
            find<QLineEdit>("Edit6")->setText(QString::number(SimProcess::freeUdpPort()));
            find<QRadioButton>("RadioButton1")->setChecked(true);
            find<QPushButton>("Button32")->click();
        }
        find<QSpinBox>("SpinEdit30")->setValue(kTimerModule);
        find<QComboBox>("ComboBox18")->setCurrentIndex(1);
        if (!m_prompts.messages.isEmpty()) {
            std::fprintf(stderr, "link did not open: %s\n",
                         qPrintable(m_prompts.messages.join('|')));
            return false;
        }
        return true;
    }

    // Clicks the button and waits for "Finished！".
    bool run(const char* button, Figures* out) {
        m_prompts.messages.clear();
        auto* memo = find<QPlainTextEdit>("Memo1");
        memo->clear();
        QElapsedTimer clock;
        clock.start();
        find<QPushButton>(button)->click();
        while (!m_prompts.messages.contains(QStringLiteral("Finished！"))) {
            if (!m_prompts.messages.isEmpty() || clock.elapsed() > 60000) {
                std::fprintf(stderr, "sequence failed: %s\n",
                             qPrintable(m_prompts.messages.join('|')));
                return false;
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        out->wallMs = double(clock.nsecsElapsed()) / 1e6;
        m_sim.output(); // keeps the simulator's output pipe from filling up
        out->requests = 0;
        out->bytes = 0;
        for (const QString& line : memo->toPlainText().split('\n')) {
            const bool send = line.startsWith(QStringLiteral("Send"));
            if (!send && !line.startsWith(QStringLiteral("Read")))
                continue;
            out->requests += send ? 1 : 0;
            // "Send ：55 AA 09 ..." / "Read ：55 AA ...  OK!": count the hex pairs.
            const QString hex = line.mid(6).section(QStringLiteral("  "), 0, 0);
            out->bytes += int(hex.split(' ', Qt::SkipEmptyParts).size());
        }
        return true;
    }

    // Tools > Bus Monitor…: from now on every frame is decoded into the monitor's rows.
    void openMonitor() {
        m_window->findChild<QAction*>(QStringLiteral("BusMonitorAction"))->trigger();
    }

    double floorMs(const Figures& f) const {
        double ms = (f.requests - 1) * kPauseMs;
        if (m_serial)
            ms += f.bytes * 10.0 * 1000.0 / kBaud + f.requests * kBlockQuietMs;
        return ms;
    }

private:
    template <class T> T* find(const char* name) const {
        return probe::control<T>(m_window.get(), QString::fromLatin1(name));
    }

    bool m_serial;
    QTemporaryDir m_dir;
    SimProcess m_sim;
    ScriptedPrompts m_prompts;
    std::unique_ptr<TForm1> m_window;
};

// One sequence, best of kRuns, beside its floor.
bool benchSequence(Bench& bench, const char* button, const char* name, const char* link) {
    double best = 1e12;
    Figures f;
    for (int i = 0; i < kRuns; ++i) {
        if (!bench.run(button, &f))
            return false;
        best = std::min(best, f.wallMs);
        std::printf("%-14s %-16s %8d %6d %10.1f %10.1f %7.3f\n", link, name, f.requests, f.bytes,
                    f.wallMs, bench.floorMs(f), f.wallMs / bench.floorMs(f));
    }
    std::printf("%-14s %-16s best of %d: %.1f ms, %.3f x floor\n", link, name, kRuns, best,
                best / bench.floorMs(f));
    return true;
}

// "Read All Control Data" (14 requests) of the simulator's input module, best of kRuns, beside
// the same floor.
bool benchReadAllControlData(Bench& bench, const char* link) {
    constexpr int kInputModule = 5;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (auto* spin = top->findChild<QSpinBox*>(QStringLiteral("SpinEdit37")))
            spin->setValue(kInputModule);
    const char* name = "Read All Control Data";
    double best = 1e12;
    Figures f;
    for (int i = 0; i < kRuns; ++i) {
        if (!bench.run("Button50", &f))
            return false;
        best = std::min(best, f.wallMs);
        std::printf("%-14s %-16s %8d %6d %10.1f %10.1f %7.3f\n", link, name, f.requests, f.bytes,
                    f.wallMs, bench.floorMs(f), f.wallMs / bench.floorMs(f));
    }
    std::printf("%-14s %-16s best of %d: %.1f ms, %.3f x floor\n", link, name, kRuns, best,
                best / bench.floorMs(f));
    return true;
}

// "Read All Bindings" with "AC" chosen: 128 requests (slots 97..224), 50 ms apart, so its floor
// is (requests - 1) x 50 ms, plus on the serial line the bytes and the block quiet as above.
bool benchMonitorAcRead(Bench& bench, bool serial, const char* link) {
    QComboBox* type = nullptr;
    for (QWidget* top : QApplication::topLevelWidgets())
        if (!type)
            type = top->findChild<QComboBox*>(QStringLiteral("ComboBox27"));
    if (!type)
        return false;
    type->setCurrentText(QStringLiteral("AC"));
    const char* name = "Read All AC";
    double best = 1e12;
    Figures f;
    double floor = 0;
    for (int i = 0; i < kRuns; ++i) {
        if (!bench.run("Button52", &f))
            return false;
        best = std::min(best, f.wallMs);
        floor = (f.requests - 1) * 50.0;
        if (serial)
            floor += f.bytes * 10.0 * 1000.0 / kBaud + f.requests * kBlockQuietMs;
        std::printf("%-14s %-16s %8d %6d %10.1f %10.1f %7.3f\n", link, name, f.requests, f.bytes,
                    f.wallMs, floor, f.wallMs / floor);
    }
    std::printf("%-14s %-16s best of %d: %.1f ms, %.3f x floor\n", link, name, kRuns, best,
                best / floor);
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);

    std::printf("%-14s %-16s %8s %6s %10s %10s %7s\n", "link", "sequence", "requests", "bytes",
                "wall ms", "floor ms", "ratio");
    // "udp" or "serial" as the argument runs only that link.
    const QString only = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QString();
    for (bool serial : {false, true}) {
        if (!only.isEmpty() && only != QLatin1String(serial ? "serial" : "udp"))
            continue;
        Bench bench(serial);
        if (!bench.open())
            return 0;
        const char* link = serial ? "pty 9600 baud" : "udp loopback";
        for (const auto& [button, name] :
             {std::pair{"Button44", "Read All Timers"}, std::pair{"Button45", "Read All Events"}})
            if (!benchSequence(bench, button, name, link))
                return 0;
        if (!benchReadAllControlData(bench, link))
            return 0;
        if (!benchMonitorAcRead(bench, serial, link))
            return 0;
        // The same with the bus monitor open.
        bench.openMonitor();
        const QByteArray monitored = QByteArray(link) + " +monitor";
        if (!benchSequence(bench, "Button44", "Read All Timers", monitored.constData()) ||
            !benchMonitorAcRead(bench, serial, monitored.constData()))
            return 0;
    }
    return 0;
}
