// Import of a record file in the Access format: 2,000 rows of "Bind Records" written by the
// test writer, read through libmdb and imported into a fresh record file, beside mdbtools'
// mdb-export of the same file in the same run (a program start included). Target: under half
// a second for the import in a Release build. Three rounds; the best counts.

#include "records/import_source.h"
#include "records/records_values.h"
#include "records/schema.h"
#include "support/jet4_writer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <algorithm>
#include <cstdio>

namespace {

constexpr int kRows = 2000;
constexpr int kRounds = 3;

// Every column of "Bind Records" with values the import takes: within each column's range, or
// one of its texts.
Jet4Writer::Table bindRecords() {
    const schema::TableDef& def = *schema::findTable(QStringLiteral("Bind Records"));
    Jet4Writer::Table table{def.name, {}, {}};
    table.columns << Jet4Writer::Column{QStringLiteral("ID"), Jet4Writer::Type::Long, true};
    for (const schema::ColumnDef& c : def.columns)
        table.columns << Jet4Writer::Column{c.name, c.integer ? Jet4Writer::Type::Long
                                                              : Jet4Writer::Type::Text};
    for (int i = 0; i < kRows; ++i) {
        QVariantList row{i + 1};
        for (int c = 0; c < def.columns.size(); ++c) {
            const records_values::Rule& rule = *records_values::rule(def.name, def.columns[c].name);
            if (rule.kind == records_values::Rule::Kind::Number)
                row << rule.min + (i * 7 + c) % (rule.max - rule.min + 1);
            else
                row << rule.choices.at((i + c) % rule.choices.size());
        }
        table.rows << row;
    }
    return table;
}

double ms(const QElapsedTimer& t) {
    return double(t.nsecsElapsed()) / 1e6;
}

} // namespace

int main(int argc, char** argv) {
    QCoreApplication app(argc, argv);
    QTemporaryDir dir;
    const QString access = dir.filePath(QStringLiteral("site.mdb"));
    Jet4Writer writer;
    writer.addTable(bindRecords());
    if (!writer.save(access)) {
        std::fprintf(stderr, "can not write %s\n", qPrintable(access));
        return 1;
    }
    double bestRead = 1e9, bestImport = 1e9, bestExport = 1e9;
    for (int round = 0; round < kRounds; ++round) {
        const QString database = dir.filePath(QStringLiteral("VELM-%1.mdb").arg(round));
        schema::createDatabase(database);
        QElapsedTimer t;
        t.start();
        const ImportSource source = ImportSource::load(access);
        const double read = ms(t);
        const import_source::Outcome outcome =
            import_source::run(source, database, source.options({}, false));
        const double total = ms(t);
        const auto binds = std::find_if(
            outcome.result.tables.begin(), outcome.result.tables.end(),
            [](const auto& c) { return c.table == QLatin1StringView("Bind Records"); });
        if (binds == outcome.result.tables.end() || binds->fileRows != kRows ||
            outcome.setAsideRows != 0) {
            std::fprintf(stderr, "the import did not take the %d rows\n", kRows);
            return 1;
        }
        QProcess mdbExport;
        t.restart();
        mdbExport.start(QStringLiteral("mdb-export"), {access, QStringLiteral("Bind Records")});
        mdbExport.waitForFinished(60000);
        const double exported = ms(t);
        const qsizetype lines = mdbExport.readAllStandardOutput().count('\n');
        std::printf("round %d: read %.1f ms, read and import %.1f ms; mdb-export %.1f ms (%lld "
                    "lines)\n",
                    round + 1, read, total, exported, static_cast<long long>(lines));
        bestRead = std::min(bestRead, read);
        bestImport = std::min(bestImport, total);
        bestExport = std::min(bestExport, exported);
    }
    std::printf("%d rows, %lld bytes: read %.1f ms, read and import %.1f ms (target < 500 ms); "
                "mdb-export of the same file %.1f ms\n",
                kRows, static_cast<long long>(QFile(access).size()), bestRead, bestImport,
                bestExport);
    return 0;
}
