#include "report/installation_report.h"

#include "report/page_limit.h"
#include "report/report_document.h"

#include <QFile>
#include <QSaveFile>

#include <algorithm>

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
    const QString html = reportdocument::html(content);
    if (!htmlFile.isEmpty()) {
        // Whole or not at all: a report cut short would say less than the site holds.
        QSaveFile f(htmlFile);
        if (!f.open(QIODevice::WriteOnly) || f.write(html.toUtf8()) < 0 || !f.commit()) {
            if (error)
                *error = QStringLiteral("%1 cannot be written: %2").arg(htmlFile, f.errorString());
            return false;
        }
    }
    if (!pdfFile.isEmpty())
        return writePdf(html, reportdocument::title(content), pdfFile, error);
    return true;
}
