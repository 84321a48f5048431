// A spare in the place of a failed module, step by step, by the same job as the window's
// Replace Module wizard.
#include "cli/cli_replace.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli/cli_site.h"
#include "cli/cli_words.h"
#include "jobs/module_replace.h"
#include "protocol/module_kinds.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace cli {

const char* const kReplaceHelp =
    "Puts a spare in the place of the failed module FAILED (1..32). Connect the spare alone\n"
    "(or on the bench) first: the address Read goes to every module, and when more than one\n"
    "answers nothing is written. Then its type and version are read at the address it\n"
    "answers with (--from ADDR: where it must answer); a type other than the failed module's\n"
    "(the site's expected modules of --site-dir, else --type light|curtain|ir|input|timer or a\n"
    "type code; without either it is not checked) stops before anything is written unless\n"
    "--yes answers \"Are you sure?\". The spare gets address FAILED and is read back, a timer\n"
    "module's clock is set from this computer and read back, the records of FAILED are pushed\n"
    "(--timers: the timer and event records too) and audited. It ends with what must be done\n"
    "by hand (each IR code to learn again) and what the audit found different. Each step is a\n"
    "line of the site's history. Exit status 0 when it was replaced and every record read back\n"
    "agrees (a module without records: nothing to push or check, and it says so).";

namespace {
QString failedType(const CliOptions& o) {
    if (!o.type.isEmpty())
        return o.type;
    for (const ExpectedModule& e : siteModules(o))
        if (e.address == o.given.module)
            return e.type;
    return {};
}
} // namespace

CommandArgs replaceArgs(const Words& w, const CliOptions& o) {
    CommandArgs c;
    c.module = w.number(1, QStringLiteral("FAILED"), 1, 32);
    w.end(2);
    if (!o.type.isEmpty() && modulekind::expectation(o.type).isEmpty())
        refuse(QStringLiteral("replace --type %1: give light, curtain, ir, input, timer or a "
                              "type code of four hexadecimal digits")
                   .arg(o.type));
    return c;
}

void replace(CliLink& link) {
    const CliOptions& o = link.options();
    const int failed = o.given.module;
    ModuleReplace::Options options;
    options.failed = failed;
    options.expected = failedType(o);
    options.from = o.from;
    options.waitMs = o.timeoutMs;
    options.sceneChannels = o.sceneChannels;
    options.override = [&o](const QString& question) {
        if (!o.json)
            CliOutput::line(question + (o.yes ? QStringLiteral(" yes (--yes)")
                                              : QStringLiteral(" no (no --yes)")));
        return o.yes;
    };
    ModuleReplace job(link.bus(), link.records(failed, o.timers), options);
    QJsonArray steps;
    QObject::connect(&job, &ModuleReplace::stepEnded, &job,
                     [&](ModuleReplace::Step step, bool ok, const QString& detail) {
                         const QString name = ModuleReplace::stepName(step);
                         appendHistory(o, failed, QStringLiteral("replace"),
                                       QStringLiteral("%1: %2").arg(name, detail),
                                       ok ? HistoryEntry::ok() : HistoryEntry::error(detail));
                         steps.append(QJsonObject{{"step", name}, {"ok", ok}, {"detail", detail}});
                         if (!o.json)
                             CliOutput::line(QStringLiteral("%1: %2").arg(name, detail));
                     });
    job.runHere();
    if (!job.failure().isEmpty() && steps.isEmpty())
        throw CliFailure(job.failure().toStdString()); // the link was busy: nothing ran
    const QStringList byHand = job.closingList();
    if (o.json) {
        std::fputs(QJsonDocument(QJsonObject{{"module", failed},
                                             {"steps", steps},
                                             {"byHand", QJsonArray::fromStringList(byHand)},
                                             {"summary", job.summary()}})
                       .toJson(QJsonDocument::Indented)
                       .constData(),
                   stdout);
    } else {
        if (job.push())
            for (const QString& note : job.push()->notes)
                CliOutput::line(QStringLiteral("note: ") + note);
        if (!byHand.isEmpty())
            CliOutput::line(QStringLiteral("To do by hand:"));
        for (const QString& line : byHand)
            CliOutput::line(QStringLiteral("  - ") + line);
        CliOutput::line(job.summary());
    }
    if (!job.succeeded())
        throw CliFailure(job.summary().toStdString());
}

} // namespace cli
