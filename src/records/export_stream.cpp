#include "records/export_stream.h"

#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_export.h"
#include "records/strict_json.h"
#include "records/whole_file.h"

#include <QDir>
#include <QFileInfo>

#include <memory>
#include <vector>

namespace {

// Bytes gathered before they go to the file: few system calls, little memory.
constexpr qsizetype kPieceBytes = 256 * 1024;

void writeWhenFull(WholeFile& file, QByteArray& piece, bool json) {
    if (piece.size() < kPieceBytes)
        return;
    file.write(json ? strict_json::byteOrderMarksEscaped(piece) : piece);
    piece.clear();
}

} // namespace

ExportStream::ExportStream(const QString& databaseFile)
    : m_db(databaseFile, RecordsConnection::Mode::Read) {
    m_db.begin();
}

int ExportStream::writeJson(const QString& file, const QDateTime& exported) {
    WholeFile out;
    out.open(file);
    QByteArray piece = records_export::jsonHead(exported);
    int total = 0;
    bool firstTable = true;
    for (const schema::TableDef& t : schema::tables()) {
        piece += records_export::jsonTableStart(t, firstTable);
        firstTable = false;
        const int number = eachRow(t, [&](const QVariantList& row, int n) {
            records_export::appendJsonRow(piece, t, row, n == 1);
            writeWhenFull(out, piece, true);
        });
        piece += records_export::jsonTableEnd(number == 0);
        total += number;
    }
    piece += records_export::jsonTail();
    out.write(strict_json::byteOrderMarksEscaped(piece));
    out.commit();
    m_unfitGathered = true;
    return total;
}

QStringList ExportStream::writeCsv(const QString& folder, const QString& prefix) {
    records_export::checkCsvTargets(folder, prefix);
    if (!QFileInfo(folder).isDir() && !QDir().mkpath(folder))
        throw RecordError(
            QStringLiteral("Can not make the folder %1").arg(database_file::shown(folder)));
    const QStringList paths = records_export::csvPaths(folder, prefix);
    std::vector<std::unique_ptr<WholeFile>> files;
    int t = 0;
    for (const schema::TableDef& table : schema::tables()) {
        files.push_back(std::make_unique<WholeFile>());
        WholeFile& out = *files.back();
        out.open(paths[t++]);
        QByteArray piece = records_export::csvHead(table);
        eachRow(table, [&](const QVariantList& row, int) {
            records_export::appendCsvRow(piece, table, row);
            writeWhenFull(out, piece, false);
        });
        out.write(piece);
        out.finish();
    }
    m_unfitGathered = true;
    WholeFile::replaceAll(files);
    return paths;
}

int ExportStream::eachRow(const schema::TableDef& table,
                          const std::function<void(const QVariantList&, int)>& take) {
    int number = 0;
    m_db.forEachRow(table, [&](const StoredRow& stored) {
        const QVariantList row = records_format::canonicalRow(stored.values, table);
        ++number;
        if (!m_unfitGathered) {
            if (QString why = records_format::unfitRow(table, row, number); !why.isEmpty())
                m_unfit << why;
        }
        take(row, number);
    });
    return number;
}

QString ExportStream::unfitWarning() const {
    return records_export::unfitWarning(m_unfit);
}
