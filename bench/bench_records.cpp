// Record database timings: a locate-and-update walk over a 10,000-row table (what a read-all
// sequence does per reply, with its commit) and opening the six tables at start-up.

#include "records/record_store.h"
#include "records/schema.h"

#include "support/record_files.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <random>

namespace {

constexpr int rows = 10000;
constexpr int updates = 500;

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    record_files::fillTimers(
        file, rows, [](int i) { return i; },
        [](int i) { return QStringLiteral("%1:%2").arg(i / 60 % 24).arg(i % 60); });

    QElapsedTimer timer;
    timer.start();
    RecordStore store;
    const QStringList missing = store.openAll(file);
    const double openMs = ms(timer);
    if (!missing.isEmpty()) {
        std::fprintf(stderr, "open failed: %s\n", qPrintable(missing.join(", ")));
        return 1;
    }

    RecordTable& timers = store.timers();
    std::mt19937 random(2014);
    std::uniform_int_distribution<int> pick(1, rows);
    double locateMs = 0;
    timer.start();
    for (int i = 0; i < updates; ++i) {
        QElapsedTimer one;
        one.start();
        if (!timers.locate(QStringLiteral("Timer_Order"), pick(random)))
            return 1;
        locateMs += ms(one);
        timers.edit();
        timers.setField(QStringLiteral("Timer_Mode"), QStringLiteral("Daily"));
        timers.post();
    }
    const double walkMs = ms(timer);

    std::printf("open six tables (%d timer rows, 224 slots): %.2f ms\n", rows, openMs);
    std::printf("%d x locate+edit+setField+post on %d rows: %.1f ms total, %.3f ms each "
                "(locate %.3f ms each)\n",
                updates, rows, walkMs, walkMs / updates, locateMs / updates);
    timer.start();
    timers.refresh();
    std::printf("refresh of %d rows: %.2f ms\n", rows, ms(timer));
    return 0;
}
