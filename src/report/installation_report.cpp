#include "report/installation_report.h"

#include "records/record_table.h"
#include "records/site_folder.h"
#include "report/report_document.h"
#include "report/report_pdf.h"
#include "records/record_table.h"
#include "records/records_export.h"

#include <QDir>
#include <QFile>

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
    std::sort(shown.begin(), shown.end());
    shown.erase(std::unique(shown.begin(), shown.end()), shown.end());
    for (int address : shown)
        c.modules << ReportContent::Module{address, {}, {}, owners.contains(address), false};
    return c;
}

bool InstallationReport::save(const ReportContent& content, const QString& htmlFile,
                              const QString& pdfFile, QString* error) {
    const QString html = reportdocument::html(content);
    QStringList files;
    QList<QByteArray> bytes;
    if (!htmlFile.isEmpty()) {
        files << htmlFile;
        bytes << html.toUtf8();
    }
    if (!pdfFile.isEmpty()) {
        const QByteArray pdf = reportpdf::render(html, reportdocument::title(content));
        if (pdf.isEmpty()) {
            if (error)
                *error = QStringLiteral("%1 cannot be written: the PDF could not be made")
                             .arg(QDir::toNativeSeparators(pdfFile));
            return false;
        }
        files << pdfFile;
        bytes << pdf;
    }
    // Whole or not at all: a report cut short would say less than the site holds.
    try {
        records_export::saveFiles(files, bytes);
    } catch (const RecordError& e) {
        if (error)
            *error = QString::fromStdString(e.what());
        return false;
    }
    return true;
}
