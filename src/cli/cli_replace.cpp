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
