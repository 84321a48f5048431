#include "app/records_menu.h"

#include "app/import_dialog.h"
#include "app/new_record_file.h"
#include "app/restore_dialog.h"
#include "records/access_convert.h"
#include "records/database_file.h"
#include "records/export_stream.h"
#include "records/record_store.h"
#include "records/records_backup.h"
#include "records/records_export.h"
#include "records/restore_points.h"
#include "widgets/prompt_service.h"

#include <QAction>
#include <QDir>
#include <QFileDialog>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>

namespace {

// A name from a file may be of any length; the box stays readable.
QString errorText(const std::exception& e) {
    return database_file::shortenQuoted(QString::fromStdString(e.what()));
}

// What an export says of rows an import would refuse, on a line of its own.
QString unfitLine(const ExportStream& exported) {
    const QString unfit = exported.unfitWarning();
    return unfit.isEmpty() ? unfit : QStringLiteral("\n") + unfit;
}

QString shown(const QString& path) {
    return QDir::toNativeSeparators(path);
}

} // namespace

RecordsFileDialogs RecordsFileDialogs::standard() {
    return {[](QWidget* parent, const QString& caption, const QString& filters, QString* filter) {
                return QFileDialog::getSaveFileName(parent, caption, QString(), filters, filter);
            },
            [](QWidget* parent, const QString& caption, const QString& filters) {
                return QFileDialog::getOpenFileName(parent, caption, QString(), filters);
            }};
}

RecordsMenu* RecordsMenu::install(QMainWindow& window, RecordStore& records, PromptService& prompts,
                                  const QString& databaseFile) {
    return new RecordsMenu(window, records, prompts, databaseFile);
}

RecordsMenu::RecordsMenu(QMainWindow& window, RecordStore& records, PromptService& prompts,
                         const QString& databaseFile)
    : QObject(&window), m_window(window), m_records(records), m_prompts(prompts),
      m_databaseFile(QFileInfo(databaseFile).absoluteFilePath()),
      m_dialogs(RecordsFileDialogs::standard()) {
    setObjectName(QStringLiteral("RecordsMenu"));
    m_menu = window.menuBar()->addMenu(QStringLiteral("File"));
    m_menu->setObjectName(QStringLiteral("FileMenu"));
    struct Item {
        const char* name;
        const char* caption;
        void (RecordsMenu::*handler)();
    };
    for (const Item& item :
         {Item{"NewRecordFile", "New Record File…", &RecordsMenu::newRecordFile},
          Item{"ExportRecords", "Export Records…", &RecordsMenu::exportRecords},
          Item{"ImportRecords", "Import Records…", &RecordsMenu::importRecords},
          Item{"BackUpRecords", "Back Up Records…", &RecordsMenu::backUpRecords},
          Item{"RestoreRecords", "Restore Records…", &RecordsMenu::restoreRecords},
          Item{"ConvertAccessRecords", "Convert Access Record File…",
               &RecordsMenu::convertAccessRecords}}) {
        QAction* action = m_menu->addAction(QString::fromUtf8(item.caption));
        action->setObjectName(QString::fromLatin1(item.name));
        connect(action, &QAction::triggered, this, item.handler);
    }
    m_menu->addSeparator();
    QAction* quit = m_menu->addAction(QStringLiteral("Quit"));
    quit->setObjectName(QStringLiteral("Quit"));
    quit->setShortcut(QKeySequence::Quit);
    connect(quit, &QAction::triggered, &window, &QWidget::close);
}

bool RecordsMenu::postPending() {
    for (int t = 0; t < RecordStore::Count; ++t) {
        RecordTable& table = m_records.table(RecordStore::Table(t));
        if (!table.isOpen() || table.state() == RecordTable::State::Browse)
            continue;
        try {
            table.post();
        } catch (const RecordError& e) {
            m_prompts.message(QStringLiteral("Can not post the record being edited"), errorText(e));
            return false;
        }
    }
    return true;
}

void RecordsMenu::refreshTables() {
    for (int t = 0; t < RecordStore::Count; ++t) {
        RecordTable& table = m_records.table(RecordStore::Table(t));
        if (!table.isOpen())
            continue;
        try {
            table.refresh();
        } catch (const RecordError& e) {
            m_prompts.message(QStringLiteral("Can not show the imported records"), errorText(e));
        }
    }
}

void RecordsMenu::newRecordFile() {
    if (newrecordfile::create(m_databaseFile, m_records, m_prompts))
        emit recordFileCreated(m_databaseFile);
}

void RecordsMenu::exportRecords() {
    const QString json = QString::fromLatin1(kJsonFilter);
    QString filter = json;
    QString file =
        m_dialogs.saveFile(&m_window, QStringLiteral("Export Records"),
                           json + QStringLiteral(";;") + QLatin1StringView(kCsvFilter), &filter);
    if (file.isEmpty() || !postPending())
        return;
    const bool csv = filter == QLatin1StringView(kCsvFilter);
    const QFileInfo chosen(file);
    // The file dialog asked about the name it was given, not about the files written beside it
    // or under a name with a suffix added.
    QStringList targets;
    if (csv) {
        for (int t = 0; t < RecordStore::Count; ++t)
            targets << chosen.absoluteDir().filePath(
                records_export::csvFileName(RecordStore::tableName(RecordStore::Table(t)),
                                            chosen.completeBaseName() + QStringLiteral(" - ")));
    } else if (chosen.suffix().isEmpty()) {
        file += QStringLiteral(".json");
        targets << file;
    }
    QStringList existing;
    for (const QString& target : targets)
        if (QFileInfo::exists(target))
            existing << QFileInfo(target).fileName();
    if (!existing.isEmpty() && !m_prompts.confirm(QStringLiteral("%1 already exists. Replace it?")
                                                      .arg(existing.join(QStringLiteral(", ")))))
        return;
    try {
        ExportStream tables(m_databaseFile);
        if (csv) {
            // "site 42.csv" becomes "site 42 - Scene Records.csv" and its five siblings.
            const QStringList written = tables.writeCsv(
                chosen.absolutePath(), chosen.completeBaseName() + QStringLiteral(" - "));
            const QString unfit = unfitLine(tables);
            m_prompts.message(QStringLiteral("Records exported"),
                              QStringLiteral("%1 CSV files in %2")
                                      .arg(written.size())
                                      .arg(shown(chosen.absolutePath())) +
                                  unfit);
        } else {
            const int rows = tables.writeJson(file);
            const QString unfit = unfitLine(tables);
            m_prompts.message(
                QStringLiteral("Records exported"),
                QStringLiteral("%1 rows of 6 tables in %2").arg(rows).arg(shown(file)) + unfit);
        }
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not export records"), errorText(e));
    }
}

void RecordsMenu::importRecords() {
    if (m_dialog)
        return;
    const QString file =
        m_dialogs.openFile(&m_window, QStringLiteral("Import Records"),
                           QLatin1StringView(kJsonFilter) +
                               QStringLiteral(";;Access record files (*.mdb);;All files (*)"));
    if (file.isEmpty())
        return;
    try {
        ImportSource source = ImportSource::load(file);
        const QString database = m_databaseFile;
        m_dialog = new ImportDialog(
            std::move(source), file,
            [database](const RecordsFile& f, const records_import::Options& o) {
                return records_import::preview(f, database, o);
            },
            &m_window);
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not import records"), errorText(e));
        return;
    }
    m_dialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_dialog, &QDialog::accepted, this, &RecordsMenu::runImport);
    connect(m_dialog, &QObject::destroyed, this, [this] { m_dialog = nullptr; });
    m_dialog->open();
}

void RecordsMenu::runImport() {
    if (!m_dialog || !postPending())
        return;
    const records_import::Options options = m_dialog->options();
    import_source::Outcome outcome;
    try {
        outcome = import_source::run(m_dialog->source(), m_databaseFile, options);
    } catch (const RecordError& e) {
        const QString text = errorText(e);
        emit imported(records_import::leftUnchanged(e) ? QStringLiteral("nothing changed")
                                                       : QStringLiteral("not as before"),
                      QStringLiteral("error: ") + text);
        // "nothing was changed" only when it is so; otherwise the message says where the
        // file stands.
        m_prompts.message(QStringLiteral("Can not import records"),
                          records_import::leftUnchanged(e)
                              ? text + QStringLiteral("; nothing was changed")
                              : text);
        return;
    }
    refreshTables();
    QStringList lines;
    for (const records_import::TableChange& c : outcome.result.tables)
        lines << QStringLiteral("%1: %2").arg(c.table, records_import::describe(c));
    emit imported(lines.join(QStringLiteral("; ")), QStringLiteral("ok"));
    lines << (outcome.result.backup.isEmpty()
                  ? QStringLiteral("Nothing changed, so no restore point was made.")
                  : QStringLiteral("Restore point: %1").arg(shown(outcome.result.backup)));
    if (outcome.setAsideRows > 0)
        lines << QStringLiteral("%1 rows were set aside, written to %2 (mend them there and "
                                "import that file)")
                     .arg(outcome.setAsideRows)
                     .arg(shown(outcome.setAsideFile));
    m_prompts.message(QStringLiteral("Records imported"), lines.join(u'\n'));
}

void RecordsMenu::backUpRecords() {
    if (!postPending())
        return;
    try {
        const QString backup = records_backup::backUp(m_databaseFile);
        m_prompts.message(QStringLiteral("Records backed up"), shown(backup));
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not back up records"), errorText(e));
    }
}

void RecordsMenu::convertAccessRecords() {
    const QString file = shown(m_databaseFile);
    if (!m_prompts.confirm(QStringLiteral("Convert %1 from the Access format into a record file? "
                                          "The Access file is kept beside it, unchanged.")
                               .arg(file)))
        return;
    access_convert::Result converted;
    try {
        converted = access_convert::convert(m_databaseFile);
    } catch (const RecordError& e) {
        m_prompts.message(QStringLiteral("Can not convert the record file"),
                          errorText(e) + QStringLiteral("; nothing was changed"));
        return;
    }
    QStringList lines = converted.source.notes();
    for (const records_import::TableChange& c : converted.outcome.result.tables)
        lines << QStringLiteral("%1: %2 rows").arg(c.table).arg(c.fileRows);
    lines << QStringLiteral("The Access file is kept as %1").arg(shown(converted.kept));
    if (converted.outcome.setAsideRows > 0)
        lines << QStringLiteral("%1 rows were set aside, written to %2 (mend them there and "
                                "import that file)")
                     .arg(converted.outcome.setAsideRows)
                     .arg(shown(converted.outcome.setAsideFile))
              << converted.source.setAsideLines();
    m_records.openAll(m_databaseFile, [this](const QString& message, const QString& cause) {
        m_prompts.message(message, cause);
    });
    emit recordFileConverted();
    m_prompts.message(QStringLiteral("Record file converted"), lines.join(u'\n'));
}

void RecordsMenu::restoreRecords() {
    if (m_restoreDialog) {
        m_restoreDialog->reload();
        m_restoreDialog->raise();
        m_restoreDialog->activateWindow();
        return;
    }
    m_restoreDialog = new RestoreDialog(m_databaseFile, &m_window);
    m_restoreDialog->setAttribute(Qt::WA_DeleteOnClose);
    connect(m_restoreDialog, &RestoreDialog::restoreChosen, this, &RecordsMenu::restoreBackup);
    connect(m_restoreDialog, &QObject::destroyed, this, [this] { m_restoreDialog = nullptr; });
    m_restoreDialog->open();
}

void RecordsMenu::reloadTables() {
    for (int t = 0; t < RecordStore::Count; ++t) {
        RecordTable& table = m_records.table(RecordStore::Table(t));
        try {
            if (table.isOpen())
                table.reloadIfChangedElsewhere();
        } catch (const RecordError& e) {
            m_prompts.message(QStringLiteral("Can not show the restored records"), errorText(e));
        }
    }
}

void RecordsMenu::restoreBackup(const QString& name) {
    if (m_busy && m_busy()) {
        m_prompts.message(QStringLiteral("A sequence or job is running"),
                          QStringLiteral("Restore the records once it has ended."));
        return;
    }
    if (!m_prompts.confirm(QStringLiteral("Put the records of %1 back into %2? The records as "
                                          "they are now are kept as a restore point first.")
                               .arg(name, shown(m_databaseFile))) ||
        !postPending())
        return;
    QString point;
    try {
        point = restore_points::restore(m_databaseFile, name);
    } catch (const RecordError& e) {
        emit restored(name, QStringLiteral("error: ") + errorText(e));
        m_prompts.message(QStringLiteral("Can not restore records"), errorText(e));
        return;
    }
    reloadTables();
    if (m_restoreDialog)
        m_restoreDialog->reload();
    emit restored(QStringLiteral("%1; the records before it are in %2")
                      .arg(name, QFileInfo(point).fileName()),
                  QStringLiteral("ok"));
    m_prompts.message(
        QStringLiteral("Records restored"),
        QStringLiteral(
            "%1 is back in %2\nThe records as they were before are in %3\nOnly the records "
            "come back: a module cleared by a delete-all sequence keeps nothing "
            "until its records are pushed to it again.")
            .arg(name, shown(m_databaseFile), shown(point)));
}

#include "moc_records_menu.cpp"
