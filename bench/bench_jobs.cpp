// Wall time of the Tools menu's jobs against velm-sim over loopback UDP, beside the floor
// their own waits set:
//   scan of addresses 1..32 with 4 modules present: 28 unanswered type reads x the wait per
//   address (200 ms); the answered reads and the version reads cost only their round trip;
//   push of an input module's 14 bindings and a light module's 10 scenes (two pushes):
//   (14 - 1) + (10 - 1) pauses of 100 ms between requests.
// Runs the same job code as the window and velm-cli, on a Bus of its own. Prints figures;
// asserts nothing.
#include "jobs/module_push.h"
#include "jobs/module_records.h"
#include "jobs/module_scan.h"
#include "link/bus_internals.h"
#include "link/bus.h"
#include "records/schema.h"
#include "support/sim_process.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRuns = 3;
constexpr int kInput = 3;
constexpr int kLight = 1;

void seed(const QString& file) {
    {
        QSqlDatabase c = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("b"));
        c.setDatabaseName(file);
        c.open();
        QSqlQuery q(c);
        for (int ch = 1; ch <= 14; ++ch)
            q.exec(QStringLiteral("INSERT INTO \"Bind Records\" VALUES (NULL, %1, %2, 'NO', 1, "
                                  "%3, 1, 'Light Toggle', 0)")
                       .arg(kInput)
                       .arg(ch)
                       .arg(kLight));
        for (int s = 0; s < 10; ++s)
            q.exec(QStringLiteral("INSERT INTO \"Scene Records\" VALUES (NULL, %1, '', %2, "
                                  "'On/Open', 'Off/Close', 'No Change', 'On/Open', 'On/Open', "
                                  "'Off/Close', 'No Change', 'On/Open')")
                       .arg(s)
                       .arg(kLight));
    }
    QSqlDatabase::removeDatabase(QStringLiteral("b"));
}

double runScan(Bus& bus, int* found) {
    ModuleScan::Options o;
    o.busSwitch = false;
    ModuleScan scan(bus, o);
    QElapsedTimer t;
    t.start();
    scan.job().runHere();
    *found = int(scan.hits().size());
    return double(t.nsecsElapsed()) / 1e6;
}

double runPush(Bus& bus, const QString& file, int module, int* written) {
    ModulePush push(bus, ModuleRecords::load(file, module, false), ModulePush::Options{});
    QElapsedTimer t;
    t.start();
    push.job().runHere();
    *written = int(push.report().written.size());
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char* argv[]) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    seed(file);
    SimProcess sim;
    if (!sim.start({"--light", "1", "--curtain", "2", "--input", "3", "--timer", "4"})) {
        std::fprintf(stderr, "velm-sim did not start: %s\n", qPrintable(sim.errorString()));
        return 1;
    }
    PlainLinkSettings settings;
    settings.network = true;
    Bus bus(settings);
    BusInternals::udp(bus).remoteHost = QStringLiteral("127.0.0.1");
    BusInternals::udp(bus).remotePort = sim.udpPort();
    BusInternals::udp(bus).localPort = SimProcess::freeUdpPort();
    if (!BusInternals::udp(bus).open()) {
        std::fprintf(stderr, "no local UDP port\n");
        return 1;
    }

    const double scanFloor = 28 * double(ModuleScan::kDefaultWaitMs);
    const double pushFloor = (13 + 9) * 100.0;
    std::printf("job                          run   wall ms   floor ms   over floor\n");
    for (int run = 1; run <= kRuns; ++run) {
        int found = 0;
        const double scan = runScan(bus, &found);
        std::printf("scan 1..32 (%d found)         %d  %8.1f  %9.1f  %8.1f\n", found, run, scan,
                    scanFloor, scan - scanFloor);
    }
    for (int run = 1; run <= kRuns; ++run) {
        int bindings = 0;
        int scenes = 0;
        const double push =
            runPush(bus, file, kInput, &bindings) + runPush(bus, file, kLight, &scenes);
        std::printf("push %2d bindings + %2d scenes %d  %8.1f  %9.1f  %8.1f\n", bindings, scenes,
                    run, push, pushFloor, push - pushFloor);
    }
    BusInternals::udp(bus).close();
    return 0;
}
