// What the size of the record file costs, side by side per size, each against a baseline of
// the same run:
//   - "Read All Timers" (32 steps) on the window against velm-sim over loopback UDP: wall time
//     beside its pauses (31 x 100 ms), beside its floor (the pauses plus the round trips of the
//     run on an empty file: each step's request from its submission to its reply's arrival)
//     and beside that run's wall time;
//   - the window's start-up (six tables open, shown) and its peak RSS, in a process of its own;
//   - the timer grid's Delete All beside SQLite deleting the same rows in one statement;
//   - velm-cli export, import and report --html: wall time and peak RSS beside sqlite3 reading
//     (and, for import, loading) the same rows;
//   - velm-cli --help beside a bare Qt Core program.
// Files of 1k, 20k and 200k rows for the window, 1k and 100k for the programs (1M with
// --huge). Valid values in all six tables: half the rows are timers, the rest scenes, IR
// codes, events and bindings. Prints figures; asserts nothing.
#include "app/main_window.h"
#include "link/bus.h"
#include "link/pending_request.h"
#include "link/reply.h"
#include "records/records_values.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/sim_process.h"
#include "support/window_probe.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTemporaryFile>
#include <QWindow>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <fcntl.h>
#include <memory>
#include <vector>

namespace {

constexpr int kTimerModule = 6;
constexpr double kPausesMs = 31 * 100.0;

// A valid value of a column for row i.
QVariant validValue(const QString& table, const QString& column, qint64 i) {
    const records_values::Rule* r = records_values::rule(table, column);
    if (!r)
        return QVariant();
    switch (r->kind) {
    case records_values::Rule::Kind::Number:
        return r->min + i % (r->max - r->min + 1);
    case records_values::Rule::Kind::Choice:
        return r->choices.at(int(i % r->choices.size()));
    case records_values::Rule::Kind::Text:
        return QStringLiteral("R%1").arg(i).left(r->maxLength);
    }
    return QVariant();
}

// A record file of `rows` rows (beside the 224 monitor slots).
bool makeFile(const QString& file, qint64 rows) {
    QFile::remove(file);
    schema::createDatabase(file);
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(file);
        ok = db.open();
        db.transaction();
        for (const schema::TableDef& t : schema::tables()) {
            if (t.name == QLatin1String("Monitor Bind Records"))
                continue;
            const qint64 count = t.name == QLatin1String("Timer Records") ? rows / 2 : rows / 8;
            QStringList names, marks;
            for (const schema::ColumnDef& c : t.columns) {
                names << '"' + c.name + '"';
                marks << QStringLiteral("?");
            }
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                          .arg(t.name, names.join(','), marks.join(',')));
            for (qint64 i = 0; i < count && ok; ++i) {
                for (int c = 0; c < t.columns.size(); ++c)
                    q.bindValue(c, validValue(t.name, t.columns[c].name, i));
                ok = q.exec();
                if (!ok)
                    std::fprintf(stderr, "%s: %s\n", qPrintable(t.name),
                                 qPrintable(q.lastError().text()));
            }
        }
        db.commit();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

struct Run {
    double ms = 0;
    long peakKb = 0;
    int code = -1;
    QByteArray out;
};

// Runs a program to its end (stdin from `input`, or /dev/null) with its wall time and, through
// /usr/bin/time (a child forked from this large process would count this one's pages), its
// peak RSS.
Run spawn(const QStringList& program, const QString& input = QStringLiteral("/dev/null"),
          bool rss = true) {
    QTemporaryFile out;
    out.open();
    QTemporaryFile peak;
    peak.open();
    const QStringList args =
        rss ? QStringList{"/usr/bin/time", "-f", "%M", "-o", peak.fileName()} + program : program;
    std::vector<QByteArray> bytes;
    for (const QString& a : args)
        bytes.push_back(a.toLocal8Bit());
    std::vector<char*> argv;
    for (QByteArray& b : bytes)
        argv.push_back(b.data());
    argv.push_back(nullptr);
    const QByteArray in = input.toLocal8Bit();
    QElapsedTimer clock;
    clock.start();
    const pid_t pid = fork();
    if (pid == 0) {
        const int fd = ::open(in.constData(), O_RDONLY);
        dup2(fd, 0);
        dup2(out.handle(), 1);
        execv(argv[0], argv.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.ms = double(clock.nsecsElapsed()) / 1e6;
    r.peakKb = rss ? peak.readAll().trimmed().toLong() : usage.ru_maxrss;
    r.code = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    out.seek(0);
    r.out = out.readAll();
    return r;
}

QString self() {
    return QCoreApplication::applicationFilePath();
}

// --- in a process of its own: the window on a file ----------------------------------------

std::unique_ptr<TForm1> shownWindow(ScriptedPrompts& prompts, const QString& file) {
    auto w = std::make_unique<TForm1>(prompts, file);
    w->show();
    QElapsedTimer limit;
    limit.start();
    do
        QApplication::processEvents();
    while (!(w->windowHandle() && w->windowHandle()->isExposed()) && limit.elapsed() < 10000);
    return w;
}

int windowChild(const QString& mode, const QString& file) {
    ScriptedPrompts prompts;
    QElapsedTimer clock;
    clock.start();
    auto w = shownWindow(prompts, file);
    if (mode == QLatin1String("--start")) {
        std::printf("%.1f\n", double(clock.nsecsElapsed()) / 1e6);
        return 0;
    }
    auto* action = w->findChild<QAction*>(QStringLiteral("DeleteAll3"));
    if (!action)
        return 1;
    clock.restart();
    action->trigger();
    const double ms = double(clock.nsecsElapsed()) / 1e6;
    std::printf("%.1f %s\n", ms, qPrintable(prompts.messages.join('|')));
    return 0;
}

// --- the sequence against velm-sim ------------------------------------------------------------

struct Sequence {
    double wallMs = -1;
    double roundTripsMs = 0; // each step's request from its submission to its reply's arrival
};

// Best of three "Read All Timers" on the window over loopback UDP.
Sequence readAllTimers(SimProcess& sim, const QString& file) {
    ScriptedPrompts prompts;
    auto w = std::make_unique<TForm1>(prompts, file);
    auto find = [&](const char* name) { return w->findChild<QWidget*>(QLatin1StringView(name)); };
    static_cast<QLineEdit*>(find("Edit4"))->setText(QStringLiteral("127.0.0.1"));
    static_cast<QLineEdit*>(find("Edit5"))->setText(QString::number(sim.udpPort()));
    static_cast<QLineEdit*>(find("Edit6"))->setText(QString::number(SimProcess::freeUdpPort()));
    static_cast<QRadioButton*>(find("RadioButton1"))->setChecked(true);
    static_cast<QPushButton*>(find("Button32"))->click();
    static_cast<QSpinBox*>(find("SpinEdit30"))->setValue(kTimerModule);
    static_cast<QComboBox*>(find("ComboBox18"))->setCurrentIndex(1);
    QElapsedTimer clock;
    qint64 submittedNs = 0;
    double roundTripsMs = 0;
    QObject::connect(&w->bus(), &Bus::requestSubmitted, w.get(), [&](PendingRequest* r) {
        if (r->purpose() == Purpose::Step)
            submittedNs = clock.nsecsElapsed();
    });
    QObject::connect(&w->bus(), &Bus::replyAccepted, w.get(), [&](const Reply& r) {
        if (submittedNs > 0 && r.arrived.isValid())
            roundTripsMs +=
                double(clock.nsecsElapsed() - r.arrived.nsecsElapsed() - submittedNs) / 1e6;
        submittedNs = 0;
    });
    Sequence best{1e12, 0};
    for (int i = 0; i < 3; ++i) {
        prompts.messages.clear();
        roundTripsMs = 0;
        clock.start();
        static_cast<QPushButton*>(find("Button44"))->click();
        while (!prompts.messages.contains(QStringLiteral("Finished！"))) {
            if (!prompts.messages.isEmpty() || clock.elapsed() > 120000) {
                std::fprintf(stderr, "sequence failed: %s\n",
                             qPrintable(prompts.messages.join('|')));
                return {};
            }
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
        }
        if (const double ms = double(clock.nsecsElapsed()) / 1e6; ms < best.wallMs)
            best = {ms, roundTripsMs};
        sim.output();
    }
    return best;
}

QString sizeName(qint64 rows) {
    return rows >= 1000000 ? QStringLiteral("%1M").arg(rows / 1000000)
                           : QStringLiteral("%1k").arg(rows / 1000);
}

void windowFigures(const QTemporaryDir& dir) {
    SimProcess sim;
    if (!sim.start({})) {
        std::fprintf(stderr, "velm-sim did not start: %s\n", qPrintable(sim.errorString()));
        return;
    }
    const QString empty = dir.filePath(QStringLiteral("empty.mdb"));
    makeFile(empty, 0);
    const Sequence none = readAllTimers(sim, empty);
    // The floor: the pauses and the round trips of the run on the empty file.
    const double floor = kPausesMs + none.roundTripsMs;
    std::printf("Read All Timers, udp loopback: pauses %.0f ms, empty file %.1f ms with round "
                "trips %.1f ms: floor %.1f ms, empty file %.4f x floor\n",
                kPausesMs, none.wallMs, none.roundTripsMs, floor, none.wallMs / floor);
    std::printf("%6s %10s %10s %10s %10s | %10s %9s | %12s %12s\n", "rows", "seq ms", "x pauses",
                "x floor", "x empty", "start ms", "RSS MB", "DeleteAll ms", "bulk SQL ms");
    for (qint64 rows : {1000, 20000, 200000}) {
        const QString file = dir.filePath(QStringLiteral("w%1.mdb").arg(rows));
        makeFile(file, rows);
        const double seq = readAllTimers(sim, file).wallMs;
        const Run start = spawn({self(), "--start", file});
        makeFile(file, rows);
        const Run del = spawn({self(), "--delete-all", file});
        makeFile(file, rows);
        QElapsedTimer clock;
        clock.start();
        const Run bulk = spawn({"/usr/bin/sqlite3", file, "DELETE FROM \"Timer Records\";"});
        std::printf("%6s %10.1f %10.4f %10.4f %10.4f | %10s %9.1f | %12s %12.1f\n",
                    qPrintable(sizeName(rows)), seq, seq / kPausesMs, seq / floor,
                    seq / none.wallMs, start.out.trimmed().constData(),
                    double(start.peakKb) / 1024.0, del.out.trimmed().constData(), bulk.ms);
    }
}

// --- the programs --------------------------------------------------------------------------

void programFigures(const QTemporaryDir& dir, bool huge) {
    const QString cli = buildpaths::bin("velm-cli");
    std::printf("\n%6s %-22s %10s %9s   %-22s %10s %9s\n", "rows", "velm-cli", "ms", "peak MB",
                "sqlite3", "ms", "peak MB");
    QList<qint64> sizes{1000, 100000};
    if (huge)
        sizes << 1000000;
    const QString everything = QStringLiteral(
        "SELECT * FROM \"Scene Records\"; SELECT * FROM \"IR Records\"; SELECT * FROM \"Timer "
        "Records\"; SELECT * FROM \"Event Records\"; SELECT * FROM \"Bind Records\"; SELECT * "
        "FROM \"Monitor Bind Records\";");
    for (qint64 rows : sizes) {
        const QString file = dir.filePath(QStringLiteral("p%1.mdb").arg(rows));
        const QString json = dir.filePath(QStringLiteral("p%1.json").arg(rows));
        const QString html = dir.filePath(QStringLiteral("p%1.html").arg(rows));
        const QString into = dir.filePath(QStringLiteral("i%1.mdb").arg(rows));
        const QString dump = dir.filePath(QStringLiteral("p%1.sql").arg(rows));
        makeFile(file, rows);
        const Run exp = spawn({cli, "--db", file, "export", json});
        const Run read = spawn({"/usr/bin/sqlite3", file, everything});
        makeFile(into, 0);
        const Run imp = spawn({cli, "--db", into, "import", json, "--yes"});
        const Run dumped = spawn({"/usr/bin/sqlite3", file, ".dump"});
        QFile d(dump);
        d.open(QIODevice::WriteOnly);
        d.write(dumped.out);
        d.close();
        QFile::remove(into + QStringLiteral(".sql"));
        const Run load = spawn({"/usr/bin/sqlite3", into + QStringLiteral(".sql")}, dump);
        const Run rep = spawn({cli, "--db", file, "report", "--html", html});
        auto line = [&](const char* what, const Run& r, const char* base, const Run& b) {
            std::printf("%6s %-22s %10.1f %9.1f   %-22s %10.1f %9.1f%s\n",
                        qPrintable(sizeName(rows)), what, r.ms, double(r.peakKb) / 1024.0, base,
                        b.ms, double(b.peakKb) / 1024.0, r.code == 0 ? "" : "  (failed)");
        };
        line("export", exp, "read every table", read);
        line("import", imp, "load the dump", load);
        line("report --html", rep, "read every table", read);
        std::printf("%6s %-22s %10.1f MB\n", "", "(JSON file)",
                    double(QFileInfo(json).size()) / 1048576.0);
    }
    // --help: best of 20 each.
    auto best = [](const QStringList& args, long* libs) {
        double ms = 1e12;
        for (int i = 0; i < 20; ++i)
            ms = std::min(ms, spawn(args, QStringLiteral("/dev/null"), false).ms);
        const Run maps = spawn({"/usr/bin/ldd", args.front()}, QStringLiteral("/dev/null"), false);
        *libs = long(maps.out.count('\n'));
        return ms;
    };
    long cliLibs = 0, bareLibs = 0;
    const double help = best({cli, "--help"}, &cliLibs);
    const double bare = best({buildpaths::bin("bare-qt-core")}, &bareLibs);
    std::printf("\nvelm-cli --help %.2f ms (%ld libraries), bare Qt Core program %.2f ms (%ld): "
                "%.2f x\n",
                help, cliLibs, bare, bareLibs, help / bare);
}

} // namespace

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() == 3 &&
        (args[1] == QLatin1String("--start") || args[1] == QLatin1String("--delete-all")))
        return windowChild(args[1], args[2]);
    // --programs / --window: only that half; --huge: also the 1M-row file for the programs.
    QTemporaryDir dir;
    if (!args.contains(QStringLiteral("--programs")))
        windowFigures(dir);
    if (!args.contains(QStringLiteral("--window")))
        programFigures(dir, args.contains(QStringLiteral("--huge")));
    return 0;
}
