// velm-cli report: the installation report of the window's File menu.
#include "cli/cli_report.h"

#include "cli/cli_link.h"
#include "cli/cli_output.h"
#include "records/record_table.h"
#include "report/live_reading.h"

#include <QDir>
#include <QFile>
#include <QGuiApplication>

#include <cstring>

#ifdef Q_OS_UNIX
#include <sys/stat.h>
#include <unistd.h>
#endif

namespace cli {

void report(const CliOptions& o) {
    if (!o.reportPdf.isEmpty() && !qobject_cast<QGuiApplication*>(QCoreApplication::instance()))
        throw CliFailure("report --pdf runs as a command of its own, not in a script");
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
    if (!InstallationReport::save(content, o.reportHtml, o.reportPdf, &error))
        throw CliFailure(error.toStdString());
    for (const QString& file : {o.reportHtml, o.reportPdf})
        if (!file.isEmpty())
            std::fprintf(stdout, "%s\n", qPrintable(QStringLiteral("report written: ") + file));
}

namespace {
// Where XDG_RUNTIME_DIR is unset (a root shell, a service) Qt's platform layer would make
// its own and say so on standard error before every PDF report: give it a private folder
// of ours (this user's, 0700) instead. Anything odd there and Qt does as it would.
void provideRuntimeDir() {
#ifdef Q_OS_UNIX
    if (!qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR"))
        return;
    const QByteArray dir =
        QFile::encodeName(QDir::tempPath()) + "/velm-runtime-" + QByteArray::number(::getuid());
    ::mkdir(dir.constData(), 0700);
    struct stat st {};
    if (::lstat(dir.constData(), &st) != 0 || !S_ISDIR(st.st_mode) || st.st_uid != ::getuid() ||
        (st.st_mode & 0777) != 0700)
        return;
    qputenv("XDG_RUNTIME_DIR", dir);
#endif
}
} // namespace

std::unique_ptr<QCoreApplication> makeApplication(int& argc, char** argv) {
    bool report = false;
    bool pdf = false;
    for (int i = 1; i < argc; ++i) {
        report = report || std::strcmp(argv[i], "report") == 0;
        pdf = pdf || std::strncmp(argv[i], "--pdf", 5) == 0;
    }
    if (!report || !pdf)
        return std::make_unique<QCoreApplication>(argc, argv);
    // No display is needed for a file: the fonts come from the system.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    provideRuntimeDir();
    return std::make_unique<QGuiApplication>(argc, argv);
}

} // namespace cli
