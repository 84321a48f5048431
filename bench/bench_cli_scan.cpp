// "velm-cli scan" of addresses 1..32 over UDP on loopback against velm-sim with four modules
// present. Every silent address costs one full reply wait; an answering one costs two round
// trips (type code, then software version). So the floor is 28 x the wait plus the four
// modules' replies; printed beside the wall time of the whole program, start-up included,
// and beside the start-up alone ("velm-cli --help").
//   bench_cli_scan [RUNS]
#include "support/build_paths.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {
constexpr int kSilent = 28;

// Wall time of one velm-cli run in ms, or -1 when it failed.
double runCli(const QStringList& args, QByteArray* out = nullptr) {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(args);
    QElapsedTimer t;
    t.start();
    p.start();
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit)
        return -1;
    const double ms = t.nsecsElapsed() / 1e6;
    if (out)
        *out = p.readAllStandardOutput();
    return p.exitCode() == 0 ? ms : -1;
}
} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    const int runs = argc > 1 ? std::max(1, atoi(argv[1])) : 3;

    SimProcess sim;
    if (!sim.start({"--light", "1,2", "--curtain", "3", "--input", "5"})) {
        std::fprintf(stderr, "velm-sim: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    QTemporaryDir dir;
    const QStringList link{"--udp", QStringLiteral("127.0.0.1:%1").arg(sim.udpPort()), "--db",
                           dir.filePath(QStringLiteral("VELM.mdb"))};

    double startUp = 1e12;
    for (int i = 0; i < runs; ++i)
        startUp = std::min(startUp, runCli({"--help"}));
    std::printf("velm-cli start-up (--help): %.1f ms\n", startUp);
    std::printf("%-8s %10s %10s %10s %7s %s\n", "wait ms", "wall ms", "floor ms", "over ms",
                "x floor", "modules found");
    for (const int wait : {200, 1000}) {
        double best = 1e12;
        QByteArray out;
        for (int i = 0; i < runs; ++i) {
            const double ms = runCli(
                link + QStringList{"--json", "--timeout", QString::number(wait), "scan"}, &out);
            if (ms < 0) {
                std::fprintf(stderr, "velm-cli scan failed\n");
                return 1;
            }
            best = std::min(best, ms);
        }
        const double floor = kSilent * double(wait);
        std::printf("%-8d %10.1f %10.1f %10.1f %7.3f %d\n", wait, best, floor, best - floor,
                    best / floor, int(out.count("\"address\"")));
    }
    return 0;
}
