#pragma once

#include "report/report_content.h"

#include <QList>
#include <QString>

#include <functional>

// What the technician asks a report for.
struct ReportRequest {
    QString databaseFile;
    QString siteDir; // a site's folder: its names, rooms, history, and the cover's defaults
    QString site;
    QString technician;
    QList<int> modules;  // empty: every module the records name (and, live, those that answer)
    bool live = false;   // read the modules now: scan, audit, the bus switch's settings
    int timerModule = 0; // live: audit the timer and event records as this module's; 0: none
    int scanWaitMs = 200;
    int replyWaitMs = 1000;
};

// The installation report of the window's File menu and of `velm-cli report`: gathers what
// the records say, and writes the HTML document and the PDF made from it.
class InstallationReport {
public:
    // The report from the records alone, with the modules they name (or those asked for).
    // Throws RecordError when the record file cannot be read.
    static ReportContent fromRecords(const ReportRequest& request);

    // What makes the PDF of the report's HTML: reportpdf::write in the window, the program
    // velm-report-pdf for velm-cli. False, with the reason in `error`, when it did not.
    using PdfWriter = std::function<bool(const QString& html, const QString& title,
                                         const QString& file, QString* error)>;

    // The HTML file and/or the PDF (an empty name: not that one). False, with the reason in
    // `error`, when one cannot be written. A PDF longer than one can hold (pagelimit) is
    // refused before anything is written.
    static bool save(const ReportContent& content, const QString& htmlFile, const QString& pdfFile,
                     QString* error, const PdfWriter& writePdf);
};
