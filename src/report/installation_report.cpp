#include "report/installation_report.h"

#include "records/record_table.h"
#include "records/site_folder.h"
#include "records/whole_file.h"
#include "report/page_limit.h"
#include "report/report_document.h"

#include <QDir>
#include <QFile>

#include <algorithm>

namespace {
// Each output's latest verdict over every run, oldest run first.
void takeWalkTests(ReportContent& c, const ReportRequest& request) {
    for (const QString& file : WalkRun::files(request.databaseFile, request.siteDir)) {
        WalkRun run;
        try {
            run = WalkRun::load(file);
        } catch (const RecordError& e) {
            c.walkUnreadable << QString::fromStdString(e.what());
            continue;
        }
        for (const WalkResult& r : run.results) {
            if (r.verdict == WalkResult::Verdict::Untested)
                continue;
            const auto same =
                std::find_if(c.walkResults.begin(), c.walkResults.end(),
                             [&r](const WalkResult& kept) { return kept.output.sameAs(r.output); });
            if (same != c.walkResults.end())
                *same = r;
            else
                c.walkResults << r;
        }
    }
}
} // namespace

ReportContent InstallationReport::fromRecords(const ReportRequest& request) {
    ReportContent c;
    c.site = request.site;
    c.technician = request.technician;
    c.made = QDateTime::currentDateTime();
    c.version = QStringLiteral(VELM_VERSION_TEXT);
    c.records = ReportRecords::load(request.databaseFile);
    c.moduleFilter = request.modules;
    c.timerModule = request.timerModule;
    const QList<int> owners = c.records.owners();
    QList<int> shown = request.modules.isEmpty() ? owners : request.modules;
    if (!request.siteDir.isEmpty()) {
        const SiteFolder site = SiteFolder::open(request.siteDir);
        const SiteSettings& s = site.settings();
        c.sited = true;
        c.site = request.site.isEmpty() ? s.name : request.site;
        c.technician = request.technician.isEmpty() ? s.technician : request.technician;
        c.siteModules = s.modules;
        if (request.modules.isEmpty())
            for (const ExpectedModule& m : s.modules)
                shown << m.address;
        const site_history::Read history = site_history::read(site.historyFile());
        c.history = history.entries;
        c.historySkipped = history.skipped;
    }
    takeWalkTests(c, request);
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    for (int address : shown)
        c.modules << ReportContent::Module{address, {}, {}, owners.contains(address), false};
    return c;
}

bool InstallationReport::save(const ReportContent& content, const QString& htmlFile,
                              const QString& pdfFile, QString* error, const PdfWriter& writePdf) {
    if (!pdfFile.isEmpty()) {
        const ReportRecords& r = content.records;
        const qint64 fewest =
            pagelimit::fewestPages(r.scenes.size() + r.irCodes.size() + r.timers.size() +
                                   r.events.size() + r.bindings.size() + r.monitor.size());
        if (fewest > pagelimit::kMaxPages) {
            if (error)
                *error =
                    QStringLiteral("%1 not written: %2").arg(pdfFile, pagelimit::refusal(fewest));
            return false;
        }
    }
    // Whole or not at all: a report cut short would say less than the site holds. The HTML
    // goes to the file as it is made: a report of a large record file never holds its text.
    try {
        if (!htmlFile.isEmpty()) {
            WholeFile out;
            out.open(htmlFile);
            reportdocument::write(content,
                                  [&out](const QString& piece) { out.write(piece.toUtf8()); });
            out.commit();
        }
    } catch (const RecordError& e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    if (!pdfFile.isEmpty())
        return writePdf(reportdocument::html(content), reportdocument::title(content), pdfFile,
                        error);
    return true;
}
