// velm-cli report: the installation report of the window's File menu.
#include "cli/cli_report.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "records/record_table.h"
#include "report/live_reading.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryFile>

namespace cli {

namespace {

// The PDF is drawn by a program of its own, the only one that loads Qt Gui: the report's
// HTML goes to it through a temporary file.
bool writePdfByProgram(const QString& html, const QString& title, const QString& file,
                       QString* error) {
    const QString program = helperProgram(QStringLiteral("velm-report-pdf"));
    QTemporaryFile source(QDir::temp().filePath(QStringLiteral("velm-report-XXXXXX.html")));
    if (program.isEmpty()) {
        *error = QStringLiteral("%1 not written: velm-report-pdf, which draws the PDF, is not "
                                "installed beside velm-cli")
                     .arg(file);
        return false;
    }
    if (!source.open() || source.write(html.toUtf8()) < 0 || !source.flush()) {
        *error = QStringLiteral("%1 not written: the report cannot be handed over: %2")
                     .arg(file, source.errorString());
        return false;
    }
    QProcess pdf;
    pdf.setProcessChannelMode(QProcess::SeparateChannels);
    pdf.start(program, {title, source.fileName(), file});
    pdf.waitForFinished(-1);
    if (pdf.exitStatus() == QProcess::NormalExit && pdf.exitCode() == 0)
        return true;
    const QString said = QString::fromLocal8Bit(pdf.readAllStandardError()).trimmed();
    *error =
        said.isEmpty() ? QStringLiteral("%1 not written: %2").arg(file, pdf.errorString()) : said;
    return false;
}

} // namespace

void report(const CliOptions& o) {
    ReportRequest request;
    request.databaseFile = o.db;
    request.siteDir = o.siteDir;
    request.site = o.site;
    request.technician = o.technician;
    request.modules = o.modules;
    request.live = o.live;
    request.timerModule = o.timerModule;
    request.replyWaitMs = o.timeoutMs;
    request.scanWaitMs = o.scanWaitMs > 0 ? o.scanWaitMs : o.timeoutGiven ? o.timeoutMs : 200;
    ReportContent content;
    try {
        content = InstallationReport::fromRecords(request);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("cannot read the record database %1: %2")
                             .arg(o.db, QString::fromStdString(e.what()))
                             .toStdString());
    }
    if (o.live) {
        CliLink link(o);
        link.open();
        LiveReading reading(link.bus(), request, content);
        QObject::connect(&reading, &LiveReading::progress, &reading,
                         [](const QString& what, int done, int total) {
                             CliOutput::progress(what, done, total);
                         });
        if (!reading.runHere())
            throw CliFailure(reading.failure().toStdString());
        content = reading.content();
    }
    QString error;
    if (!InstallationReport::save(content, o.reportHtml, o.reportPdf, &error, writePdfByProgram))
        throw CliFailure(error.toStdString());
    for (const QString& file : {o.reportHtml, o.reportPdf})
        if (!file.isEmpty())
            std::fprintf(stdout, "%s\n", qPrintable(QStringLiteral("report written: ") + file));
}

} // namespace cli
