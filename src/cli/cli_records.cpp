#include "cli/cli_records.h"

#include "cli/cli_options.h"
#include "cli/cli_output.h"
#include "records/database_file.h"
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/records_export.h"
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

} // namespace

void exportRecords(const CliOptions& o) {
    const QString& file = o.given.file;
    int rows = 0;
    QStringList csv;
    QList<records_format::TableRows> tables;
    try {
        tables = records_export::read(o.db);
    } catch (const RecordError& e) {
        databaseFailed(QStringLiteral("export"), e, o);
    }
    try {
        // Every target is looked at before anything is written: a CSV name that is refused
        // leaves no JSON file behind either.
        records_export::checkTarget(file);
        if (!o.csvDir.isEmpty())
            records_export::checkCsvTargets(o.csvDir);
        rows = records_export::saveJson(tables, file);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("export: %1").arg(oneLine(e)).toStdString());
    }
    try {
        if (!o.csvDir.isEmpty())
            csv = records_export::saveCsv(tables, o.csvDir);
    } catch (const RecordError& e) {
        throw CliFailure(QStringLiteral("export: %1; the JSON file %2 was written, no CSV file was")
                             .arg(oneLine(e), database_file::shown(file))
                             .toStdString());
    }
    // Written as they are, but the technician hears which rows an import will refuse.
    if (const QString unfit = records_export::unfitWarning(tables); !unfit.isEmpty())
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
    try {
        result = records_import::run(RecordsFile::load(file), o.db, {o.tables, o.add});
    } catch (const RecordError& e) {
        const QString text = oneLine(e);
        // "unchanged" only when it is so; otherwise the message says where the file stands.
        if (!records_import::leftUnchanged(e))
            throw CliFailure(QStringLiteral("import: %1").arg(text).toStdString());
        throw CliFailure(QStringLiteral("import: %1; the record database %2 is unchanged")
                             .arg(text, shown(o.db))
                             .toStdString());
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
        // null: the import changed nothing and made no restore point.
        CliOutput::printObject(
            true, {"backup", "tables"},
            {result.backup.isEmpty() ? QJsonValue() : shown(result.backup), tables});
        return;
    }
    table.printRows();
    CliOutput::printObject(
        false, {"backup"},
        {result.backup.isEmpty() ? QStringLiteral("none, nothing changed") : shown(result.backup)});
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
