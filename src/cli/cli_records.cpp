#include "cli/cli_records.h"

#include "cli/cli_output.h"
#include "cli_options/cli_options.h"
#include "records/database_file.h"
#include "records/export_stream.h"
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/records_export.h"
#include "records/access_convert.h"
#include "records/import_source.h"
#include "records/records_import.h"
#include "records/restore_points.h"
#include "records/schema.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>

#include <cstdio>

namespace cli {

namespace {

[[noreturn]] void recordsUsage(const QString& text) {
    throw UsageError(text.toStdString());
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

// A name from a file or an argument may be of any length; the message stays a line.
QString oneLine(const RecordError& e) {
    QString text = database_file::shortenQuoted(QString::fromStdString(e.what()));
    text.replace(u'\n', u' ');
    return text;
}

// A failure that involves the record database names it, so that one can tell which file
// was used.
[[noreturn]] void databaseFailed(const QString& command, const RecordError& e,
                                 const CliOptions& o) {
    QString text = oneLine(e);
    if (!text.contains(shown(o.db)))
        text += QStringLiteral(" (record database %1)").arg(shown(o.db));
    throw CliFailure(QStringLiteral("%1: %2").arg(command, text).toStdString());
}

// What the file held that the tables did not take comes before the table of what they took.
void printImported(const CliOptions& o, const records_import::Result& result,
                   const import_source::Outcome& outcome, const ImportSource& source) {
    if (!o.json) {
        QStringList lines = source.notes();
        if (outcome.setAsideRows > 0)
            lines += source.setAsideLines();
        for (const QString& line : std::as_const(lines))
            std::fputs((line + u'\n').toUtf8().constData(), stdout);
    }
    CliOutput table(o.json);
    table.setColumns({"table", "rows", "gains", "loses", "changes"},
                     {"Table", "In the file", "Gains", "Loses", "Changes"});
    for (const records_import::TableChange& c : result.tables)
        table.addRow({c.table, c.fileRows, c.gains, c.loses, c.changes});
    if (o.json) {
        QJsonArray tables;
        for (const records_import::TableChange& c : result.tables)
            tables.append(QJsonObject{{"table", c.table},
                                      {"rows", c.fileRows},
                                      {"gains", c.gains},
                                      {"loses", c.loses},
                                      {"changes", c.changes}});
        if (!source.isAccess()) {
            CliOutput::printObject(true, {"backup", "tables"}, {shown(result.backup), tables});
            return;
        }
        CliOutput::printObject(
            true, {"backup", "tables", "notes", "set_aside", "set_aside_file"},
            {shown(result.backup), tables, QJsonArray::fromStringList(source.notes()),
             outcome.setAsideRows,
             outcome.setAsideFile.isEmpty() ? QJsonValue() : shown(outcome.setAsideFile)});
        return;
    }
    table.printRows();
    if (!result.backup.isEmpty())
        CliOutput::printObject(false, {"backup"}, {shown(result.backup)});
}

// Exit status 3 when rows were set aside, with the side file named.
void setAsideStatus(const QString& command, const QString& from,
                    const import_source::Outcome& outcome) {
    if (outcome.setAsideRows == 0)
        return;
    throw CliPartial(QStringLiteral("%1: %2 rows of %3 were set aside, written to %4 (mend them "
                                    "there and import that file)")
                         .arg(command)
                         .arg(outcome.setAsideRows)
                         .arg(database_file::shown(from), shown(outcome.setAsideFile))
                         .toStdString());
}

} // namespace

void exportRecords(const CliOptions& o) {
    const QString& file = o.given.file;
    int rows = 0;
    QStringList csv;
    std::unique_ptr<ExportStream> tables;
    try {
        tables = std::make_unique<ExportStream>(o.db);
    } catch (const RecordError& e) {
        databaseFailed(QStringLiteral("export"), e, o);
    }
    try {
        // Every target is looked at before anything is written: a CSV name that is refused
        // leaves no JSON file behind either.
        records_export::checkTarget(file);
        if (!o.csvDir.isEmpty())
            records_export::checkCsvTargets(o.csvDir);
        rows = tables->writeJson(file);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("export: %1").arg(oneLine(e)).toStdString());
    }
    try {
        if (!o.csvDir.isEmpty())
            csv = tables->writeCsv(o.csvDir);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("export: %1; the JSON file %2 was written, no CSV file was")
                             .arg(oneLine(e), database_file::shown(file))
                             .toStdString());
    }
    // Written as they are, but the technician hears which rows an import will refuse.
    if (const QString unfit = tables->unfitWarning(); !unfit.isEmpty())
        std::fputs(QStringLiteral("export: %1\n").arg(unfit).toUtf8().constData(), stderr);
    if (o.json) {
        QJsonArray csvFiles;
        for (const QString& f : csv)
            csvFiles.append(shown(f));
        CliOutput::printObject(true, {"file", "rows", "csv"}, {shown(file), rows, csvFiles});
        return;
    }
    QString text = QStringLiteral("exported %1 rows of 6 tables to %2").arg(rows).arg(shown(file));
    if (!csv.isEmpty())
        text += QStringLiteral(", and %1 CSV files to %2").arg(csv.size()).arg(shown(o.csvDir));
    std::fputs((text + u'\n').toUtf8().constData(), stdout);
}

namespace {

// `backup list`: every backup beside the record database, newest first.
void listBackups(const CliOptions& o) {
    QStringList keys{"name", "time", "action"};
    QStringList titles{"Name", "Time", "Action"};
    for (const schema::TableDef& t : schema::tables()) {
        keys << t.name;
        titles << QString(t.name).remove(QStringLiteral(" Records"));
    }
    keys << "size";
    titles << "Size";
    CliOutput table(o.json);
    table.setColumns(keys, titles);
    qint64 total = 0;
    for (const restore_points::Backup& b : restore_points::list(o.db)) {
        QList<QJsonValue> cells{b.name, b.time.toString(Qt::ISODate),
                                b.isRestorePoint() ? b.action : QStringLiteral("backup")};
        for (int t = 0; t < schema::tables().size(); ++t)
            cells << (b.rows.value(t, -1) < 0 ? QJsonValue() : QJsonValue(b.rows.at(t)));
        cells << double(b.size);
        table.addRow(cells);
        total += b.size;
        if (!b.problem.isEmpty())
            CliOutput::error(QStringLiteral("%1: %2").arg(b.name, b.problem));
    }
    table.printRows();
    if (!o.json)
        std::fputs(QStringLiteral("backups: %1 bytes; the folder: %2 bytes\n")
                       .arg(total)
                       .arg(restore_points::folderSize(o.db))
                       .toUtf8()
                       .constData(),
                   stdout);
}

// `backup restore NAME --yes`
void restoreBackup(const CliOptions& o) {
    QString point;
    try {
        point = restore_points::restore(o.db, o.given.file);
    } catch (const RecordError& e) {
        databaseFailed(QStringLiteral("backup restore"), e, o);
    }
    CliOutput::printObject(o.json, {"restored", "restore_point"}, {o.given.file, shown(point)});
    if (!o.json)
        CliOutput::error(QStringLiteral("only the records come back: a module a delete-all "
                                        "cleared keeps nothing until its records are pushed"));
}

} // namespace

void importRecords(const CliOptions& o) {
    const QString& file = o.given.file;
    for (const QString& t : o.tables) {
        if (!schema::findTable(t)) {
            QStringList names;
            for (const schema::TableDef& def : schema::tables())
                names << def.name;
            recordsUsage(QStringLiteral("--tables: there is no table \"%1\" (the tables are %2)")
                             .arg(database_file::shortName(t), names.join(QStringLiteral(", "))));
        }
    }
    records_import::Result result;
    import_source::Outcome outcome;
    ImportSource source;
    try {
        source = ImportSource::load(file);
        outcome = import_source::run(source, o.db, source.options(o.tables, o.add));
        result = outcome.result;
    } catch (const RecordError& e) {
        const QString text = oneLine(e);
        // "unchanged" only when it is so; otherwise the message says where the file stands.
        if (!records_import::leftUnchanged(e))
            throw CliFailure(QStringLiteral("import: %1").arg(text).toStdString());
        throw CliFailure(QStringLiteral("import: %1; the record database %2 is unchanged")
                             .arg(text, shown(o.db))
                             .toStdString());
    }
    printImported(o, result, outcome, source);
    setAsideStatus(QStringLiteral("import"), file, outcome);
}

void convertRecords(const CliOptions& o) {
    const QString file = o.given.file.isEmpty() ? o.db : o.given.file;
    access_convert::Result converted;
    try {
        converted = access_convert::convert(file);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("convert: %1; %2 is unchanged")
                             .arg(oneLine(e), database_file::shown(file))
                             .toStdString());
    }
    printImported(o, converted.outcome.result, converted.outcome, converted.source);
    CliOutput::printObject(o.json, {"kept"}, {shown(converted.kept)});
    setAsideStatus(QStringLiteral("convert"), converted.kept, converted.outcome);
}

void backupRecords(const CliOptions& o) {
    if (o.given.verb == QLatin1String("list"))
        return listBackups(o);
    if (o.given.verb == QLatin1String("restore"))
        return restoreBackup(o);
    QString path;
    try {
        path = records_backup::backUp(o.db);
    } catch (const RecordError& e) {
        databaseFailed(QStringLiteral("backup"), e, o);
    }
    CliOutput::printObject(o.json, {"backup"}, {shown(path)});
}

} // namespace cli
