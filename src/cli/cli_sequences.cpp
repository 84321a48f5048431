// The read-all commands: the window's sequences, run by the same sequence mechanism over the
// same link, writing the same rows into the record database.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "link/processing_view.h"
#include "protocol/binding_rows.h"
#include "protocol/monitor_rows.h"
#include "protocol/sequencer.h"
#include "protocol/timer_rows.h"
#include "records/filters.h"
#include "records/record_table.h"
#include "records/schema.h"

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <memory>

namespace cli {

namespace {

// The processing dialog of the command line: visible while the sequence runs, its progress
// on standard error.
struct CliProcessing : ProcessingView {
    QString what;
    bool visible = false;
    void showProcessing() override { visible = true; }
    void hideProcessing() override { visible = false; }
    bool processingVisible() const override { return visible; }
    void setProgress(int done, int total) override { CliOutput::progress(what, done, total); }
};

// One read-all run: which table, which run-state counter, how many records, which request
// and which reply, and what one reply becomes (a printed row and a written record row).
struct ReadAll {
    QString what; // "timer", "event", "binding"
    QString tableName;
    QString filter;
    qint32* index = nullptr;
    quint8* deleting = nullptr; // a delete-all: the family's deleting flag
    int first = 0;              // the first index; the monitor slots count from 1
    int count = 0;
    bool seekSlots = false; // each request moves the table to its slot's row (monitor slots)
    quint8 module = 0;
    quint8 replyCommand = 0;
    quint8 replySub = 0;
    std::function<Request(int index, const RecordTable& table)> request;
    // Decodes the reply for the record at `index`, adds its printed row, and returns the
    // writer of its record row.
    std::function<std::function<void(RecordTable&)>(const Reply&, int index)> take;
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
        try {
            m_table.open(file);
        } catch (const RecordError& e) {
            throw CliFailure(QStringLiteral("cannot use the record database %1: %2")
                                 .arg(file, QString::fromStdString(e.what()))
                                 .toStdString());
        }
    }
    RecordTable& table() { return m_table; }

private:
    std::unique_ptr<QTemporaryDir> m_scratch;
    RecordTable m_table;
};

void run(CliLink& link, const ReadAll& job, CliOutput& output) {
    Bus& bus = link.bus();
    RowTarget target(link.options(), job.tableName);
    RecordTable& table = target.table();
    if (!job.filter.isEmpty()) {
        table.setFilter(job.filter);
        table.setFiltered(true);
    }

    CliProcessing view;
    view.what = job.what + QLatin1Char('s');
    bus.setProcessingView(&view);
    Sequencer sequencer(&bus);
    SequenceFamily family;
    family.name = "read all";
    family.index = job.index;
    family.limit = [&job] { return job.first + job.count - 1; };
    family.table = &table;
    family.deleting = job.deleting;
    family.nextStep = [&] {
        if (job.seekSlots && !sequencer.seek(family))
            return;
        if (job.deleting)
            *job.deleting = 1;
        sequencer.send(job.request(*job.index, table));
    };
    if (job.seekSlots) {
        family.pauseMs = 50;
        family.firstIndex = [&job] { return job.first; };
        family.seekRow = [&] { return monitor::locateSlot(table, *job.index); };
        family.fixedRows = true;
    }

    bool finished = false;
    QString failure;
    QElapsedTimer sinceLastReply;
    sinceLastReply.start();
    auto onMessage = QObject::connect(
        &bus, &Bus::message, &bus, [&](const QString& text, const QString& detail) {
            if (text == QStringLiteral("Finished！"))
                finished = true;
            else if (failure.isEmpty())
                failure = detail.isEmpty() ? text : QStringLiteral("%1 (%2)").arg(text, detail);
        });
    auto onReply = QObject::connect(&bus, &Bus::replyAccepted, &bus, [&](const Reply& r) {
        if (r[4] == job.replyCommand && r[5] == job.replySub && r[6] != 1 && failure.isEmpty())
            failure = QStringLiteral("module %1 refused %2 %3: %4")
                          .arg(job.module)
                          .arg(job.what)
                          .arg(job.seekSlots ? *job.index : *job.index + 1)
                          .arg(CliLink::statusText(r[6]));
    });
    bus.registerReply(
        job.replyCommand, job.replySub,
        [&](const Reply& r) {
            if (!sequencer.running(family) || r[3] != job.module)
                return;
            sinceLastReply.restart();
            sequencer.record(family, job.take(r, *job.index));
        },
        ReplyRule::Answer);

    sequencer.start(family);
    family.nextStep();
    // Over the network the whole sequence ran inside that call; on the serial line each reply
    // comes as it comes. Either way a reply that does not come in time ends it here.
    const int patience = link.options().timeoutMs + int(family.pauseMs) + 200;
    while (sequencer.active() && sinceLastReply.elapsed() < patience)
        link.waitUntil([&] { return !sequencer.active(); }, 20);
    const bool stalled = sequencer.active();
    const int reached = *job.index - job.first;
    const int stalledAt = job.seekSlots ? *job.index : *job.index + 1;
    if (stalled)
        bus.cancelSequence();
    QObject::disconnect(onMessage);
    QObject::disconnect(onReply);
    bus.setProcessingView(nullptr);

    if (job.deleting)
        CliOutput::printObject(link.options().json,
                               {QStringLiteral("module"), QStringLiteral("deleted")},
                               {job.module, finished ? job.count : reached});
    else
        output.printRows();
    if (finished)
        return;
    if (failure.isEmpty())
        failure = QStringLiteral("module %1 did not answer %2 %3 within %4 ms")
                      .arg(job.module)
                      .arg(job.what)
                      .arg(stalledAt)
                      .arg(link.options().timeoutMs);
    throw CliFailure(failure.toStdString());
}

QJsonValue optionalText(const std::optional<QString>& text) {
    return text ? QJsonValue(*text) : QJsonValue();
}

// The parts of a delete-all that every family fills alike.
ReadAll deleteAll(CliLink& link, const QString& what, const QString& tableName, qint32* index,
                  quint8* deleting, int count, quint8 replyCommand, quint8 replySub) {
    ReadAll job;
    job.what = what;
    job.tableName = tableName;
    job.index = index;
    job.deleting = deleting;
    job.count = count;
    job.module = quint8(link.options().given.module);
    job.replyCommand = replyCommand;
    job.replySub = replySub;
    return job;
}

} // namespace

void monitorRead(CliLink& link) {
    const QString kind = link.options().given.kind;
    const QString type =
        kind == QLatin1String("ac") ? QStringLiteral("AC") : kind.left(1).toUpper() + kind.mid(1);
    CliOutput output(link.options().json);
    output.setColumns(
        {QStringLiteral("slot"), QStringLiteral("address"), QStringLiteral("channel")},
        {QStringLiteral("No."), QStringLiteral("Address"), QStringLiteral("Channel")});
    ReadAll job;
    job.what = QStringLiteral("monitor slot");
    job.tableName = QStringLiteral("Monitor Bind Records");
    job.index = &link.bus().state().MonitorBindIndex;
    job.first = monitor::firstSlot(type);
    job.count = monitor::lastSlot(type) - job.first + 1;
    job.seekSlots = true;
    job.module = monitor::kGateway;
    job.replyCommand = 0x80;
    job.replySub = 0x10;
    job.request = [](int index, const RecordTable& t) {
        return monitor::read(monitor::slotOfRow(t, index));
    };
    job.take = [&output](const Reply& r, int index) {
        const monitor::Binding b = monitor::readBinding(index, r[7], r[8]);
        output.addRow({index, b.address, b.channel});
        return [b](RecordTable& t) { monitor::writeBinding(t, b); };
    };
    run(link, job, output);
}

void timers(CliLink& link) {
    const QString& verb = link.options().given.verb;
    if (verb == QLatin1String("set")) {
        timerSet(link);
        return;
    }
    RunState& state = link.bus().state();
    if (verb == QLatin1String("delete-all")) {
        ReadAll job =
            deleteAll(link, QStringLiteral("timer"), QStringLiteral("Timer Records"),
                      &state.TimerIndex, &state.DeletingTimers, timing::timer::kCount, 0x84, 0x02);
        job.request = [&job](int index, const RecordTable&) {
            return timing::timer::remove(job.module, index);
        };
        job.take = [](const Reply&, int index) {
            return [index](RecordTable& t) { timing::timer::writeDeleteRow(t, index); };
        };
        CliOutput output(false);
        run(link, job, output);
        return;
    }
    CliOutput output(link.options().json);
    output.setColumns(
        {QStringLiteral("timer"), QStringLiteral("time"), QStringLiteral("mode")},
        {QStringLiteral("Timer No."), QStringLiteral("Time"), QStringLiteral("Timer Mode")});
    ReadAll job;
    job.what = QStringLiteral("timer");
    job.tableName = QStringLiteral("Timer Records");
    job.index = &link.bus().state().TimerIndex;
    job.count = timing::timer::kCount;
    job.module = quint8(link.options().given.module);
    job.replyCommand = 0x84;
    job.replySub = 0x03;
    job.request = [&job](int index, const RecordTable&) {
        return timing::timer::read(job.module, index);
    };
    job.take = [&output](const Reply& r, int index) {
        const quint8 time[7] = {r[8], r[9], r[10], r[11], r[12], r[13], r[14]};
        const timing::timer::ReadRow row = timing::timer::readRow(r[7], time);
        output.addRow({index + 1, row.time, optionalText(row.mode)});
        return [row, index](RecordTable& t) { timing::timer::writeReadRow(t, index, row); };
    };
    run(link, job, output);
}

void events(CliLink& link) {
    const QString& verb = link.options().given.verb;
    const int timer = link.options().given.timer;
    if (verb == QLatin1String("set")) {
        eventSet(link);
        return;
    }
    RunState& state = link.bus().state();
    if (verb == QLatin1String("delete-all")) {
        ReadAll job =
            deleteAll(link, QStringLiteral("event"), QStringLiteral("Event Records"),
                      &state.EventIndex, &state.DeletingEvents, timing::event::kCount, 0x84, 0x04);
        job.filter = eventTimerFilter(timer);
        job.request = [&job, timer](int index, const RecordTable&) {
            return timing::event::remove(job.module, timer, index);
        };
        job.take = [timer](const Reply&, int index) {
            return
                [timer, index](RecordTable& t) { timing::event::writeDeleteRow(t, timer, index); };
        };
        CliOutput output(false);
        run(link, job, output);
        return;
    }
    CliOutput output(link.options().json);
    output.setColumns({QStringLiteral("timer"), QStringLiteral("event"), QStringLiteral("address"),
                       QStringLiteral("channel"), QStringLiteral("parameter"),
                       QStringLiteral("action")},
                      {QStringLiteral("Timer No."), QStringLiteral("Event No."),
                       QStringLiteral("Controlled Module"), QStringLiteral("Controlled Channel"),
                       QStringLiteral("Scene No./IR No."), QStringLiteral("Function")});
    ReadAll job;
    job.what = QStringLiteral("event");
    job.tableName = QStringLiteral("Event Records");
    job.filter = eventTimerFilter(timer);
    job.index = &link.bus().state().EventIndex;
    job.count = timing::event::kCount;
    job.module = quint8(link.options().given.module);
    job.replyCommand = 0x84;
    job.replySub = 0x05;
    job.request = [&job, timer](int index, const RecordTable&) {
        return timing::event::read(job.module, timer, index);
    };
    job.take = [&output, timer](const Reply& r, int index) {
        const quint8 bytes[5] = {r[7], r[8], r[9], r[10], r[11]};
        const timing::event::Record rec = timing::event::readRecord(bytes);
        output.addRow({timer, index + 1, rec.address, rec.channel, rec.parameter, rec.action});
        return [rec, timer, index](RecordTable& t) {
            timing::event::writeReadRow(t, timer, index, rec);
        };
    };
    run(link, job, output);
}

void bindings(CliLink& link) {
    const QString& verb = link.options().given.verb;
    if (verb == QLatin1String("set")) {
        bindingSet(link);
        return;
    }
    RunState& state = link.bus().state();
    if (verb == QLatin1String("delete-all")) {
        ReadAll job = deleteAll(link, QStringLiteral("binding"), QStringLiteral("Bind Records"),
                                &state.ControlDataIndex, &state.DeletingControlData,
                                binding::kCount, 0x80, 0x01);
        const int module = job.module;
        job.filter = bindModuleFilter(module);
        job.request = [module](int index, const RecordTable&) {
            return binding::remove(module, index);
        };
        job.take = [module](const Reply&, int index) {
            return [module, index](RecordTable& t) { binding::writeDeleteRow(t, module, index); };
        };
        CliOutput output(false);
        run(link, job, output);
        return;
    }
    CliOutput output(link.options().json);
    output.setColumns(
        {QStringLiteral("input"), QStringLiteral("channel"), QStringLiteral("mode"),
         QStringLiteral("delay"), QStringLiteral("module"), QStringLiteral("moduleChannel"),
         QStringLiteral("action"), QStringLiteral("parameter")},
        {QStringLiteral("Input Module Addr."), QStringLiteral("Input Channel No."),
         QStringLiteral("Control Mode"), QStringLiteral("Delay Time"),
         QStringLiteral("Binding Module Addr."), QStringLiteral("Binding Channel No."),
         QStringLiteral("Function"), QStringLiteral("Scene No./IR No.")});
    const int module = link.options().given.module;
    ReadAll job;
    job.what = QStringLiteral("binding");
    job.tableName = QStringLiteral("Bind Records");
    job.filter = bindModuleFilter(module);
    job.index = &link.bus().state().ControlDataIndex;
    job.count = binding::kCount;
    job.module = quint8(module);
    job.replyCommand = 0x80;
    job.replySub = 0x0F;
    job.request = [module](int index, const RecordTable&) { return binding::read(module, index); };
    job.take = [&output, module](const Reply& r, int index) {
        const quint8 data[7] = {r[7], r[8], r[9], r[10], r[11], r[12], r[13]};
        const binding::ReadRow row = binding::readRow(data);
        output.addRow({module, index + 1, optionalText(row.mode), row.delay, row.outputAddr,
                       row.outputChannel, row.action, row.parameter});
        return
            [row, module, index](RecordTable& t) { binding::writeReadRow(t, module, index, row); };
    };
    run(link, job, output);
}

} // namespace cli
