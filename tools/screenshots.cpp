// Saves pictures of the main window, one per tab sheet, and of the import dialog, for the
// README and for looking at what a technician sees: velm-screenshots OUTPUT_DIR [DATABASE]
#include "app/import_dialog.h"
#include "app/main_window.h"
#include "commands/prompt_service.h"
#include "records/records_export.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QTabWidget>
#include <QTimer>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QString db = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("VELM.mdb");
    QDir().mkpath(out);
    ScriptedPrompts prompts;
    TForm1 window(prompts, db);
    window.resize(1354, 739);
    window.show();
    QTimer::singleShot(300, [&] {
        for (int i = 0; i < window.pages()->count(); ++i) {
            window.pages()->setCurrentIndex(i);
            QApplication::processEvents();
            const QString name = window.pages()->widget(i)->objectName().toLower();
            window.grab().save(QDir(out).filePath(name + QStringLiteral(".png")));
        }
        window.pages()->setCurrentIndex(0);
        QApplication::processEvents();
        window.grab().save(QDir(out).filePath(QStringLiteral("main_window.png")));
        // The import dialog over the database's own export, as "Import Records…" shows it.
        try {
            const QByteArray json =
                records_export::json(records_export::read(db), QDateTime::currentDateTime());
            ImportDialog dialog(
                RecordsFile::parse(json), QStringLiteral("records.json"),
                [&](const RecordsFile& f, const records_import::Options& o) {
                    return records_import::preview(f, db, o);
                },
                &window);
            dialog.show();
            QApplication::processEvents();
            dialog.grab().save(QDir(out).filePath(QStringLiteral("import_dialog.png")));
        } catch (const std::exception&) {
            // No record database: no dialog to show.
        }
        app.quit();
    });
    return app.exec();
}
