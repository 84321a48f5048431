// The read-all and delete-all commands: the window's sequences, run by the same engine over
// the same link, writing the same rows into the record database.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "protocol/sequence_engine.h"
#include "protocol/sequence_owner.h"
#include "records/filters.h"
#include "records/record_table.h"
#include "records/schema.h"

#include <QTemporaryDir>

#include <memory>

namespace cli {

namespace {

// The command line keeps a sequence going to its end (its patience ends a stalled one) and
// shows how far it has come on standard error.
struct CliWatcher : SequenceOwner {
    QString what;
    bool keepGoing() const override { return true; }
    void setProgress(int done, int total) override { CliOutput::progress(what, done, total); }
};

// The record table the rows go to: the database file, or with --no-store a scratch copy
// that goes away with the run.
class RowTarget {
public:
    RowTarget(const CliOptions& o, const QString& tableName) : m_table(tableName) {
        QString file = o.db;
        if (o.noStore) {
            m_scratch = std::make_unique<QTemporaryDir>();
            file = m_scratch->filePath(QStringLiteral("VELM.mdb"));
            schema::createDatabase(file);
        }
        QString problem;
        try {
            m_table.open(file);
            // Rows stored into a damaged file may land on its damaged pages: refused, as an
            // export, an import and a backup refuse it.
            problem = m_table.damage();
        } catch (const RecordError& e) {
            problem = QString::fromStdString(e.what());
        }
        if (!problem.isEmpty())
            throw CliFailure(QStringLiteral("cannot use the record database %1: %2")
                                 .arg(file, problem)
                                 .toStdString());
    }
    RecordTable& table() { return m_table; }

private:
    std::unique_ptr<QTemporaryDir> m_scratch;
    RecordTable m_table;
};

// Runs one sequence to its end and prints what it read (or how many it deleted). A step
// that goes unanswered for --timeout ends the run.
void run(CliLink& link, SequenceKind kind, const SequenceTarget& target, const QString& filter,
         CliOutput& output) {
    const SequenceSpec& steps = sequenceSpec(kind);
    Bus& bus = link.bus();
    RowTarget rows(link.options(), QString::fromLatin1(steps.recordTable));
    RecordTable& table = rows.table();
    if (!filter.isEmpty()) {
        table.setFilter(filter);
        table.setFiltered(true);
    }
    CliWatcher watcher;
    watcher.what = QString::fromLatin1(steps.record) + QLatin1Char('s');
    SequenceEngine engine(bus);
    engine.setOwner(&watcher);
    std::optional<SequenceResult> result;
    QObject::connect(&engine, &SequenceEngine::ended,
                     [&result](const SequenceResult& r) { result = r; });
    int rowsTaken = 0;
    QObject::connect(&engine, &SequenceEngine::rowTaken,
                     [&output, &rowsTaken](const QList<QJsonValue>& cells) {
                         output.addRow(cells);
                         ++rowsTaken;
                     });
    engine.start(kind, table, [target] { return target; });
    // Over the network the whole sequence ran inside that call; on the serial line each reply
    // comes as it comes. A step unanswered for longer than the reply wait ends it here.
    const int patience = link.options().timeoutMs + int(steps.pauseMs) + 200;
    const auto at = [&engine, kind] { return engine.position(kind); };
    while (!result && engine.failure().isEmpty()) {
        const int stepAt = at();
        if (!link.waitUntil([&] { return result || !engine.failure().isEmpty() || at() != stepAt; },
                            patience))
            break;
    }
    const int stalledAt = steps.shownNumber(at());
    if (!result)
        engine.cancel();

    if (steps.deleting)
        CliOutput::printObject(link.options().json,
                               {QStringLiteral("module"), QStringLiteral("deleted")},
                               {int(steps.module(target)), rowsTaken});
    else
        output.printRows();
    if (result && result->end == SequenceEnd::Finished)
        return;
    const int module = steps.module(target);
    const QString step = QStringLiteral("%1 %2")
                             .arg(QLatin1String(steps.record))
                             .arg(result ? result->step : stalledAt);
    if (!engine.failure().isEmpty())
        throw CliFailure(engine.failure().toStdString());
    if (result && result->end == SequenceEnd::Refused)
        throw CliFailure(QStringLiteral("module %1 refused %2: %3")
                             .arg(module)
                             .arg(step, CliLink::statusText(result->status))
                             .toStdString());
    throw CliFailure(QStringLiteral("module %1 did not answer %2 within %3 ms")
                         .arg(module)
                         .arg(step)
                         .arg(link.options().timeoutMs)
                         .toStdString());
}

// A read or delete of one family: the delete-all prints only its count.
void runFamily(CliLink& link, SequenceKind read, SequenceKind remove, const SequenceTarget& target,
               const QString& filter, const QStringList& keys, const QStringList& titles) {
    const bool deleting = link.options().given.verb == QLatin1String("delete-all");
    CliOutput output(deleting ? false : link.options().json);
    if (!deleting)
        output.setColumns(keys, titles);
    run(link, deleting ? remove : read, target, filter, output);
}

} // namespace

void monitorRead(CliLink& link) {
    const QString kind = link.options().given.kind;
    SequenceTarget target;
    target.deviceType =
        kind == QLatin1String("ac") ? QStringLiteral("AC") : kind.left(1).toUpper() + kind.mid(1);
    CliOutput output(link.options().json);
    output.setColumns(
        {QStringLiteral("slot"), QStringLiteral("address"), QStringLiteral("channel")},
        {QStringLiteral("No."), QStringLiteral("Address"), QStringLiteral("Channel")});
    run(link, SequenceKind::ReadMonitorSlots, target, QString(), output);
}

void timers(CliLink& link) {
    if (link.options().given.verb == QLatin1String("set")) {
        timerSet(link);
        return;
    }
    runFamily(link, SequenceKind::ReadTimers, SequenceKind::DeleteTimers,
              SequenceTarget{link.options().given.module}, QString(),
              {QStringLiteral("timer"), QStringLiteral("time"), QStringLiteral("mode")},
              {QStringLiteral("Timer No."), QStringLiteral("Time"), QStringLiteral("Timer Mode")});
}

void events(CliLink& link) {
    if (link.options().given.verb == QLatin1String("set")) {
        eventSet(link);
        return;
    }
    const int timer = link.options().given.timer;
    runFamily(link, SequenceKind::ReadEvents, SequenceKind::DeleteEvents,
              SequenceTarget{link.options().given.module, timer}, eventTimerFilter(timer),
              {QStringLiteral("timer"), QStringLiteral("event"), QStringLiteral("address"),
               QStringLiteral("channel"), QStringLiteral("parameter"), QStringLiteral("action")},
              {QStringLiteral("Timer No."), QStringLiteral("Event No."),
               QStringLiteral("Controlled Module"), QStringLiteral("Controlled Channel"),
               QStringLiteral("Scene No./IR No."), QStringLiteral("Function")});
}

void bindings(CliLink& link) {
    if (link.options().given.verb == QLatin1String("set")) {
        bindingSet(link);
        return;
    }
    const int module = link.options().given.module;
    runFamily(link, SequenceKind::ReadBindings, SequenceKind::DeleteBindings,
              SequenceTarget{module}, bindModuleFilter(module),
              {QStringLiteral("input"), QStringLiteral("channel"), QStringLiteral("mode"),
               QStringLiteral("delay"), QStringLiteral("module"), QStringLiteral("moduleChannel"),
               QStringLiteral("action"), QStringLiteral("parameter")},
              {QStringLiteral("Input Module Addr."), QStringLiteral("Input Channel No."),
               QStringLiteral("Control Mode"), QStringLiteral("Delay Time"),
               QStringLiteral("Binding Module Addr."), QStringLiteral("Binding Channel No."),
               QStringLiteral("Function"), QStringLiteral("Scene No./IR No.")});
}

} // namespace cli
