// Records exchange timings: export of the six tables with 10,000 rows in each of the five
// open tables (the 224 monitor slots are all that table ever holds) to JSON and to CSV, and
// their import into a fresh database (replace), again over it (replace, nothing to change),
// and added over it (add: every row names a row the database holds already).

#include "records/records_backup.h"
#include "records/records_export.h"
#include "records/records_import.h"
#include "records/records_values.h"
#include "records/schema.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <cstdio>

namespace {

constexpr int kRows = 10000;

void fill(const QString& file) {
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "fill");
        db.setDatabaseName(file);
        db.open();
        db.transaction();
        for (const schema::TableDef& t : schema::tables()) {
            if (t.name == QLatin1StringView("Monitor Bind Records"))
                continue;
            QStringList names, marks;
            for (const schema::ColumnDef& c : t.columns) {
                names << QStringLiteral("\"%1\"").arg(c.name);
                marks << QStringLiteral("?");
            }
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                          .arg(t.name, names.join(u','), marks.join(u',')));
            for (int i = 0; i < kRows; ++i) {
                // Values the import takes: within each column's range, or one of its texts.
                for (int c = 0; c < t.columns.size(); ++c) {
                    const records_values::Rule& rule =
                        *records_values::rule(t.name, t.columns[c].name);
                    if (rule.kind == records_values::Rule::Kind::Number)
                        q.bindValue(c, rule.min + (i * 7 + c) % (rule.max - rule.min + 1));
                    else if (rule.kind == records_values::Rule::Kind::Choice)
                        q.bindValue(c, rule.choices.at((i + c) % rule.choices.size()));
                    else
                        q.bindValue(c, QStringLiteral("Text %1, \"%2\" ü").arg(i).arg(c));
                }
                q.exec();
            }
        }
        QSqlQuery(db).exec(
            "UPDATE \"Monitor Bind Records\" SET Address = \"Order\" % 32, Channel = 1");
        db.commit();
    }
    QSqlDatabase::removeDatabase("fill");
}

double ms(QElapsedTimer& t) {
    const double v = double(t.nsecsElapsed()) / 1e6;
    t.restart();
    return v;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString source = dir.filePath(QStringLiteral("VELM.mdb"));
    const QString target = dir.filePath(QStringLiteral("other.mdb"));
    const QString json = dir.filePath(QStringLiteral("records.json"));
    schema::createDatabase(source);
    schema::createDatabase(target);
    fill(source);

    try {
        QElapsedTimer t;
        t.start();
        const auto tables = records_export::read(source);
        const double readMs = ms(t);
        const int rows = records_export::saveJson(tables, json);
        const double jsonMs = ms(t);
        records_export::saveCsv(tables, dir.filePath(QStringLiteral("csv")));
        const double csvMs = ms(t);
        const RecordsFile file = RecordsFile::load(json);
        const double parseMs = ms(t);
        const auto fresh = records_import::run(file, target, {});
        const double freshMs = ms(t);
        records_import::run(file, target, {});
        const double againMs = ms(t);
        records_import::run(file, target, {{}, true});
        const double addMs = ms(t);
        records_backup::backUp(target);
        const double backupMs = ms(t);

        std::printf("records exchange, %d rows (%lld bytes of JSON, %lld of database)\n", rows,
                    qlonglong(QFileInfo(json).size()), qlonglong(QFileInfo(source).size()));
        std::printf("  export: read %.1f ms, JSON %.1f ms, CSV %.1f ms\n", readMs, jsonMs, csvMs);
        std::printf("  import: read and check %.1f ms, into a fresh database %.1f ms (%d "
                    "scenes gained)\n",
                    parseMs, freshMs, fresh.tables[0].gains);
        std::printf("          replace with the same rows %.1f ms, add over them %.1f ms\n",
                    againMs, addMs);
        std::printf("  backup: %.1f ms (part of every import above)\n", backupMs);
    } catch (const std::exception& e) {
        std::fprintf(stderr, "bench_records_exchange: %s\n", e.what());
        return 1;
    }
    return 0;
}
