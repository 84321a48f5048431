// velm-report-pdf TITLE HTML-FILE PDF-FILE: the PDF of an installation report that velm-cli
// made as HTML. velm-cli runs it for `report --pdf`, so that velm-cli itself needs no Qt Gui.
// Exit 0 when the PDF is written, 1 with the reason on stderr when it is not.
#include "platform/user_folders.h"
#include "report_pdf/report_pdf.h"

#include <QFile>
#include <QGuiApplication>

#include <cstdio>

int main(int argc, char** argv) {
    // No display is needed for a file: the fonts come from the system.
    qputenv("QT_QPA_PLATFORM", "offscreen");
    user_folders::provideRuntimeFolder();
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() != 4) {
        std::fprintf(stderr, "usage: velm-report-pdf TITLE HTML-FILE PDF-FILE\n");
        return 2;
    }
    QFile html(args[2]);
    if (!html.open(QIODevice::ReadOnly)) {
        std::fprintf(
            stderr, "%s\n",
            qPrintable(QStringLiteral("%1 cannot be read: %2").arg(args[2], html.errorString())));
        return 1;
    }
    QString error;
    if (!reportpdf::write(QString::fromUtf8(html.readAll()), args[1], args[3], &error)) {
        std::fprintf(stderr, "%s\n", qPrintable(error));
        return 1;
    }
    return 0;
}
