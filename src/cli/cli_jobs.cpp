// The jobs of the window's Tools menu from the command line: subnet scan, module audit and
// module replacement (push), run by the same job code as the window's dialogs.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "cli/cli_site.h"
#include "jobs/module_audit.h"
#include "jobs/module_push.h"
#include "jobs/module_scan.h"

#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>

#include <cstdio>

namespace cli {

namespace {

// Runs the job to its end with its progress on standard error (unless the caller shows a
// progress of its own); its failure ends the command.
void runJob(BusJob& job, const QString& what, bool showJobProgress = true) {
    if (showJobProgress)
        QObject::connect(&job, &BusJob::progress, &job,
                         [what](int done, int total) { CliOutput::progress(what, done, total); });
    if (!job.runHere() || !job.notSent().isEmpty())
        throw CliFailure(job.failure().toStdString());
}

void printLine(const QString& text) {
    std::fputs((text + QLatin1Char('\n')).toUtf8().constData(), stdout);
}

void printJson(const QJsonObject& o) {
    std::fputs(QJsonDocument(o).toJson(QJsonDocument::Indented).constData(), stdout);
}

int jobModule(const CliLink& link) {
    return link.options().given.module;
}

QJsonArray texts(const QStringList& list) {
    return QJsonArray::fromStringList(list);
}

QJsonObject auditJson(const AuditReport& r) {
    QJsonArray items;
    for (const AuditItem& i : r.items)
        items.append(QJsonObject{{"record", i.what},
                                 {"result", AuditItem::verdictKey(i.verdict)},
                                 {"records", i.records},
                                 {"module", i.module}});
    return {{"module", r.module},    {"type", r.type},          {"same", r.allSame()},
            {"items", items},        {"notes", texts(r.notes)}, {"failure", r.failure},
            {"summary", r.summary()}};
}

void printAudit(const AuditReport& r, bool json) {
    if (json) {
        printJson(auditJson(r));
        return;
    }
    CliOutput table(false);
    table.setColumns({QStringLiteral("record"), QStringLiteral("result"), QStringLiteral("records"),
                      QStringLiteral("module")},
                     {QStringLiteral("Record"), QStringLiteral("Result"),
                      QStringLiteral("In the records"), QStringLiteral("In the module")});
    for (const AuditItem& i : r.items)
        table.addRow({i.what, AuditItem::verdictText(i.verdict), i.records, i.module});
    table.printRows();
    for (const QString& n : r.notes)
        printLine(QStringLiteral("note: ") + n);
    printLine(r.summary());
}

AuditReport runAudit(CliLink& link, const ModuleRecords& records) {
    ModuleAudit audit(link.bus(), records, link.options().timeoutMs);
    runJob(audit.job(), QStringLiteral("audit"));
    return audit.report();
}

} // namespace

void scan(CliLink& link) {
    const CliOptions& o = link.options();
    ModuleScan::Options options;
    options.first = o.given.first;
    options.last = o.given.last;
    options.busSwitch = o.given.busSwitch;
    options.waitMs = o.scanWaitMs > 0 ? o.scanWaitMs
                     : o.timeoutGiven ? o.timeoutMs
                                      : ModuleScan::kDefaultWaitMs;
    ModuleScan scan(link.bus(), options);
    QObject::connect(&scan, &ModuleScan::progress, &scan, [](int done, int total) {
        CliOutput::progress(QStringLiteral("scan"), done, total);
    });
    CliOutput::progress(QStringLiteral("scan"), 0, scan.addressCount());
    runJob(scan.job(), QStringLiteral("scan"), false);
    // Not even the bus switch answered: the settings are wrong, not the subnet empty.
    if (scan.hits().empty() && !link.silenceHint().isEmpty())
        throw CliFailure(link.silenceHint().toStdString());
    if (!o.siteDir.isEmpty()) {
        printSiteScan(o, scan.hits(), sitescan::askedAddresses(options));
        return;
    }
    CliOutput table(o.json);
    table.setColumns(
        {QStringLiteral("address"), QStringLiteral("type"), QStringLiteral("version")},
        {QStringLiteral("Address"), QStringLiteral("Type"), QStringLiteral("Version")});
    for (const ScanHit& h : scan.hits())
        table.addRow({h.address, h.type, h.version});
    table.printRows();
}

void audit(CliLink& link) {
    const int module = jobModule(link);
    const AuditReport report = runAudit(link, link.records(module, link.options().timers));
    printAudit(report, link.options().json);
    // A check that compared no record proves nothing: a script must not take it for a pass.
    if (!report.allSame() || report.items.isEmpty())
        throw CliFailure(report.summary().toStdString());
}

void push(CliLink& link) {
    const CliOptions& o = link.options();
    const int module = jobModule(link);
    const ModuleRecords records = link.records(module, o.timers);
    ModulePush push(link.bus(), records, ModulePush::Options{o.sceneChannels, o.timeoutMs});
    runJob(push.job(), QStringLiteral("push"));
    const PushReport& r = push.report();
    std::optional<AuditReport> audited;
    if (r.complete())
        audited = runAudit(link, records);
    if (o.json) {
        QJsonObject out{{"module", r.module},
                        {"written", texts(r.written)},
                        {"notWritten", texts(r.notWritten)},
                        {"notes", texts(r.notes)},
                        {"failure", r.failure},
                        {"summary", r.summary()}};
        if (audited)
            out.insert(QStringLiteral("audit"), auditJson(*audited));
        printJson(out);
    } else {
        printLine(QStringLiteral("written: ") + r.written.join(QStringLiteral(", ")));
        if (!r.notWritten.isEmpty())
            printLine(QStringLiteral("not written: ") + r.notWritten.join(QStringLiteral(", ")));
        for (const QString& n : r.notes)
            printLine(QStringLiteral("note: ") + n);
        printLine(r.summary());
        if (audited)
            printAudit(*audited, false);
    }
    if (!r.complete())
        throw CliFailure(r.summary().toStdString());
    if (!audited->allSame())
        throw CliFailure(audited->summary().toStdString());
}

} // namespace cli
