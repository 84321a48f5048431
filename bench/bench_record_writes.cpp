// What the record database's commits cost on a real disk: the timer grid's "Delete All" over
// 10,000 rows and one "Read All Timers" against velm-sim over loopback UDP, both through the
// real main window. Run it in a folder on disk, not tmpfs (a commit there is an fsync):
//   bench_record_writes [FOLDER]    (default: the current folder)
// Prints the folder's file system, the journal mode the file ends up in, and the timings.
#include "app/main_window.h"
#include "link/bus.h"
#include "records/schema.h"
#include "support/record_files.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QStorageInfo>
#include <QTemporaryDir>

#include <cstdio>
#include <memory>

namespace {

constexpr int kRows = 10000;
constexpr int kTimerModule = 6;

QString journalMode(const QString& file) {
    QString mode;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "mode");
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_OPEN_READONLY"));
        db.open();
        QSqlQuery q(db);
        if (q.exec(QStringLiteral("PRAGMA journal_mode")) && q.next())
            mode = q.value(0).toString();
    }
    QSqlDatabase::removeDatabase("mode");
    return mode;
}

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

bool waitFor(ScriptedPrompts& prompts, const QString& text) {
    QElapsedTimer clock;
    clock.start();
    while (!prompts.messages.contains(text)) {
        if (!prompts.messages.isEmpty() || clock.elapsed() > 60000) {
            std::fprintf(stderr, "failed: %s\n", qPrintable(prompts.messages.join('|')));
            return false;
        }
        QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
    }
    return true;
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QString base = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::currentPath();
    QTemporaryDir dir(base + QStringLiteral("/bench-records-XXXXXX"));
    if (!dir.isValid()) {
        std::fprintf(stderr, "cannot make a folder in %s\n", qPrintable(base));
        return 1;
    }
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    record_files::fillTimers(
        file, kRows, [](int i) { return i % 32 + 1; }, [](int) { return QStringLiteral("08:00"); });
    std::printf("folder %s on %s\n", qPrintable(dir.path()),
                QStorageInfo(dir.path()).fileSystemType().constData());

    ScriptedPrompts prompts;
    auto window = std::make_unique<TForm1>(prompts, file);
    if (!prompts.messages.isEmpty()) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(prompts.messages.join('|')));
        return 1;
    }
    RecordTable& timers = window->records().timers();
    const int before = timers.rowCount();
    QElapsedTimer clock;
    clock.start();
    probe::control<QAction>(window.get(), QStringLiteral("DeleteAll3"))->trigger();
    const double deleteMs = msSince(clock);
    std::printf("Delete All of %d timer rows: %.1f ms (%d rows left, %s)\n", before, deleteMs,
                timers.rowCount(), prompts.messages.isEmpty() ? "no message" : "a message");

    SimProcess sim;
    if (!sim.start()) {
        std::fprintf(stderr, "velm-sim did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    auto find = [&](const char* name) { return QString::fromLatin1(name); };
    probe::control<QLineEdit>(window.get(), find("Edit4"))->setText(QStringLiteral("127.0.0.1"));
    probe::control<QLineEdit>(window.get(), find("Edit5"))->setText(QString::number(sim.udpPort()));
    probe::control<QLineEdit>(window.get(), find("Edit6"))
        ->setText(QString::number(SimProcess::freeUdpPort()));
    probe::control<QRadioButton>(window.get(), find("RadioButton1"))->setChecked(true);
    probe::control<QPushButton>(window.get(), find("Button32"))->click();
    probe::control<QSpinBox>(window.get(), find("SpinEdit30"))->setValue(kTimerModule);
    for (int run = 1; run <= 3; ++run) {
        // From an empty grid, so that every reply adds a row: a row rewritten with the values
        // it already holds costs SQLite no write at all.
        probe::control<QAction>(window.get(), QStringLiteral("DeleteAll3"))->trigger();
        prompts.messages.clear();
        clock.start();
        probe::control<QPushButton>(window.get(), find("Button44"))->click();
        if (!waitFor(prompts, QStringLiteral("Finished！")))
            return 1;
        // 31 pauses of 100 ms between the 32 requests are the sequence's own floor.
        std::printf("Read All Timers, run %d: %.1f ms, %.1f ms above the 3100 ms of pauses, "
                    "%d rows added\n",
                    run, msSince(clock), msSince(clock) - 3100.0, timers.rowCount());
        sim.output();
    }
    window.reset();
    std::printf("journal mode of the file afterwards: %s\n", qPrintable(journalMode(file)));
    QStringList side = QDir(dir.path()).entryList({QStringLiteral("VELM.mdb-*")}, QDir::Files);
    std::printf("side files after a clean exit: %s\n",
                side.isEmpty() ? "none" : qPrintable(side.join(QStringLiteral(", "))));
    return 0;
}
