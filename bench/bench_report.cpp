// What the installation report costs from the records alone, for a record file with every
// table full: 32 modules with 16 scenes, 16 IR codes and 14 input bindings each, 32 timers
// with 16 events each, all 224 monitor slots bound. Prints the time to read the records, to
// build the HTML document and to make the PDF, and their sizes.
#include "records/schema.h"
#include "report/installation_report.h"
#include "report/report_document.h"
#include "report_pdf/report_pdf.h"

#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>
#include <ctime>

namespace {

double msSince(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

// Every table full, in one transaction of plain inserts.
bool fillRecords(const QString& file) {
    bool ok = true;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("fill"));
        db.setDatabaseName(file);
        db.open();
        db.transaction();
        QSqlQuery q(db);
        const auto exec = [&](const QString& sql) { ok = q.exec(sql) && ok; };
        const char* targets[] = {"On/Open", "Off/Close", "No Change"};
        for (int m = 1; m <= 32; ++m) {
            for (int s = 1; s <= 16; ++s) {
                QString sql =
                    QStringLiteral("INSERT INTO \"Scene Records\" (Scene_No, Information, "
                                   "Module_Addr, CH1, CH2, CH3, CH4, CH5, CH6, CH7, CH8) "
                                   "VALUES (%1, 'Scene <%1> \"of\" %2', %2")
                        .arg(s)
                        .arg(m);
                for (int ch = 0; ch < 8; ++ch)
                    sql += QStringLiteral(", '%1'").arg(QLatin1String(targets[(s + ch) % 3]));
                exec(sql + QLatin1Char(')'));
                exec(QStringLiteral("INSERT INTO \"IR Records\" (Module_Addr, IR_No, Information) "
                                    "VALUES (%1, %2, 'TV %2')")
                         .arg(m)
                         .arg(s));
            }
            for (int i = 1; i <= 14; ++i)
                exec(QStringLiteral("INSERT INTO \"Bind Records\" (Input_Addr, Input_Channel, "
                                    "Trigger_Mode, Trigger_Delay, Output_Addr, Output_Channel, "
                                    "Action, Parameter) VALUES (%1, %2, 'NO', %2, %3, 1, "
                                    "'Light On', 0)")
                         .arg(m)
                         .arg(i)
                         .arg(i % 32 + 1));
        }
        for (int t = 1; t <= 32; ++t) {
            exec(QStringLiteral("INSERT INTO \"Timer Records\" (Timer_Order, Time, Timer_Mode) "
                                "VALUES (%1, '2014-02-24 07:%2:00 Monday', 'Day(repeat)')")
                     .arg(t)
                     .arg(t % 60, 2, 10, QLatin1Char('0')));
            for (int e = 1; e <= 16; ++e)
                exec(QStringLiteral("INSERT INTO \"Event Records\" (Timer_Order, Event_Order, "
                                    "Address, Channel, Parameter, Action) VALUES (%1, %2, %2, 1, "
                                    "0, 'Curtain Open')")
                         .arg(t)
                         .arg(e));
        }
        exec(QStringLiteral("UPDATE \"Monitor Bind Records\" SET Address = 3, Channel = 1"));
        ok = db.commit() && ok;
    }
    QSqlDatabase::removeDatabase(QStringLiteral("fill"));
    return ok;
}

} // namespace

int main(int argc, char* argv[]) {
    QGuiApplication app(argc, argv);
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("VELM.mdb"));
    schema::createDatabase(file);
    if (!fillRecords(file)) {
        std::fprintf(stderr, "failed to fill the record file\n");
        return 1;
    }
    ReportRequest request;
    request.databaseFile = file;
    request.site = QStringLiteral("Full house");

    QElapsedTimer total;
    total.start();
    const std::clock_t cpuStart = std::clock();
    QElapsedTimer t;
    t.start();
    const ReportContent content = InstallationReport::fromRecords(request);
    const double readMs = msSince(t);
    t.restart();
    const QString html = reportdocument::html(content);
    const double htmlMs = msSince(t);
    t.restart();
    QString error;
    const QString pdf = dir.filePath(QStringLiteral("report.pdf"));
    const QString htmlFile = dir.filePath(QStringLiteral("report.html"));
    if (!InstallationReport::save(content, htmlFile, pdf, &error, reportpdf::write)) {
        std::fprintf(stderr, "failed: %s\n", qPrintable(error));
        return 1;
    }
    const double saveMs = msSince(t);
    const double totalMs = msSince(total);
    const double cpuMs = double(std::clock() - cpuStart) * 1000.0 / CLOCKS_PER_SEC;
    std::printf("full record file: %lld scenes, %lld IR codes, %lld bindings, %lld timers, "
                "%lld events, 224 slots\n",
                qlonglong(content.records.scenes.size()), qlonglong(content.records.irCodes.size()),
                qlonglong(content.records.bindings.size()),
                qlonglong(content.records.timers.size()), qlonglong(content.records.events.size()));
    std::printf("read the records      %8.1f ms\n", readMs);
    std::printf("build the HTML        %8.1f ms  (%lld KiB)\n", htmlMs,
                qlonglong(html.toUtf8().size() / 1024));
    std::printf("write HTML and PDF    %8.1f ms  (PDF %lld KiB)\n", saveMs,
                qlonglong(QFileInfo(pdf).size() / 1024));
    // On a machine busy with other work the wall time grows; the processor time does not.
    std::printf("offline report        %8.1f ms  (processor time %.1f ms; target: under 1000 ms)\n",
                totalMs, cpuMs);
    return 0;
}
