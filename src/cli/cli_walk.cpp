// The walk test from a terminal: one key per answer, as the window's keys.
#include "cli/cli_walk.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli/cli_site.h"
#include "cli/cli_words.h"
#include "jobs/walk_session.h"
#include "link/pause_handling_events.h"
#include "platform/raw_terminal.h"
#include "records/record_table.h"

#include <QCoreApplication>
#include <QDir>

#include <cstdio>
#include <memory>

namespace cli {

namespace {

QList<WalkModule> modulesToWalk(const CliOptions& o) {
    QList<WalkModule> out;
    if (!o.given.values.isEmpty()) {
        for (int m : o.given.values) {
            WalkModule w{m, {}};
            for (const ExpectedModule& e : siteModules(o))
                if (e.address == m)
                    w.type = e.type;
            out << w;
        }
        return out;
    }
    for (const ExpectedModule& e : siteModules(o))
        if (e.address >= 1 && e.address <= 32)
            out << WalkModule{e.address, e.type};
    return out;
}

WalkRun latestRun(const CliOptions& o) {
    const QStringList files = WalkRun::files(o.db, o.siteDir);
    if (files.isEmpty())
        throw CliFailure("walk --continue: no walk test was run here yet");
    try {
        return WalkRun::load(files.last());
    } catch (const RecordError& e) {
        throw CliFailure(e.what());
    }
}

// Waits for the technician's key while the session asks, handling the link's events.
void answerFromKeys(WalkSession& session, RawTerminal& terminal) {
    QString note;
    while (session.running()) {
        QCoreApplication::processEvents(QEventLoop::AllEvents, 10);
        if (!session.asking()) {
            pauseHandlingEvents(5);
            continue;
        }
        const RawTerminal::Press p = terminal.read(20);
        if (p.key == RawTerminal::Key::Return) {
            session.answer(WalkResult::Verdict::Works, note);
            note.clear();
        } else if (p.key == RawTerminal::Key::Escape) {
            session.stop();
        } else if (p.letter == 'd' || p.letter == 's') {
            session.answer(p.letter == 'd' ? WalkResult::Verdict::DoesNot
                                           : WalkResult::Verdict::Skipped,
                           note);
            note.clear();
        } else if (p.letter == 'n') {
            std::fputs("  note: ", stdout);
            std::fflush(stdout);
            note = terminal.readLine();
        }
    }
}

} // namespace

CommandArgs walkArgs(const Words& w, const CliOptions& o) {
    CommandArgs c;
    for (int i = 1; i < w.size(); ++i)
        c.values << w.number(i, QStringLiteral("MODULE"), 1, 32);
    if (o.continueRun && !c.values.isEmpty())
        refuse(QStringLiteral("walk --continue goes on with the latest run: give no MODULE"));
    if (!o.continueRun && c.values.isEmpty() && o.siteDir.isEmpty())
        refuse(QStringLiteral("walk: name the modules (MODULE...), or give --site-dir for the "
                              "site's"));
    if (!o.automatic && !RawTerminal::isTerminal())
        refuse(QStringLiteral("walk: standard input is no terminal to answer on; --auto "
                              "records only what answered"));
    return c;
}

void walk(CliLink& link) {
    const CliOptions& o = link.options();
    WalkSession::Options options;
    options.recordFile = o.db;
    options.siteDir = o.siteDir;
    options.technician = siteTechnician(o);
    options.program = QStringLiteral("velm-cli");
    options.automatic = o.automatic;
    options.waitMs = o.timeoutMs;
    options.recorded = [&o](const WalkResult& r) {
        appendHistory(o, r.output.module, QStringLiteral("walk"), r.historyDetail(),
                      r.historyOutcome());
    };
    WalkSession session(link.bus(), options);
    QObject::connect(&session, &WalkSession::asked, &session, [&session](int i) {
        const WalkOutput& out = session.run().results.at(i).output;
        const QString hint =
            out.hint().isEmpty() ? QString() : QStringLiteral(" (%1)").arg(out.hint());
        CliOutput::line(QStringLiteral("%1%2: Return works, d does not, s skip, n note, Esc stop")
                            .arg(out.title(), hint));
    });
    QObject::connect(&session, &WalkSession::resultRecorded, &session, [&session](int i) {
        const WalkResult& r = session.run().results.at(i);
        CliOutput::line(
            QStringLiteral("  %1: %2%3")
                .arg(r.output.title(), WalkResult::text(r.verdict),
                     r.note.isEmpty() ? QString() : QStringLiteral(" (%1)").arg(r.note)));
    });

    bool started = false;
    if (o.continueRun) {
        const WalkRun run = latestRun(o);
        CliOutput::line(QStringLiteral("continuing %1 at %2")
                            .arg(QDir::toNativeSeparators(run.file),
                                 run.firstUntested() >= 0
                                     ? run.results.at(run.firstUntested()).output.title()
                                     : QStringLiteral("its end")));
        if (const QStringList on = run.leftOn(); !on.isEmpty())
            CliOutput::line(
                QStringLiteral("left on when it stopped: %1").arg(on.join(QStringLiteral(", "))));
        started = session.resume(run);
    } else {
        started = session.start(modulesToWalk(o));
    }
    if (!started)
        throw CliFailure(session.failure().toStdString());
    std::unique_ptr<RawTerminal> terminal;
    if (!o.automatic)
        terminal = std::make_unique<RawTerminal>();
    if (terminal)
        answerFromKeys(session, *terminal);
    else
        while (session.running())
            pauseHandlingEvents(5);
    terminal.reset();

    const WalkRun& run = session.run();
    for (const QString& n : run.notes)
        CliOutput::line(QStringLiteral("note: ") + n);
    CliOutput::line(run.summary());
    CliOutput::line(QStringLiteral("results: %1").arg(QDir::toNativeSeparators(run.file)));
    if (!session.failure().isEmpty())
        throw CliFailure(session.failure().toStdString());
    if (const QStringList on = run.leftOn(); !on.isEmpty())
        CliOutput::line(QStringLiteral("left on: %1").arg(on.join(QStringLiteral(", "))));
    if (run.stopped)
        throw CliFailure("the walk test was stopped; 'walk --continue' goes on with it");
    if (run.failures() > 0)
        throw CliFailure(QStringLiteral("%1 output(s) failed").arg(run.failures()).toStdString());
}

} // namespace cli
