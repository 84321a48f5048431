// Saves pictures of the main window, every tab sheet at the sizes a technician's screen is
// likely to have, for the README and for looking at the layout:
//   velm-screenshots OUTPUT_DIR [DATABASE]
// writes OUTPUT_DIR/WxH/tabsheetN.png for each size, OUTPUT_DIR/main_window.png (the first
// sheet at the first size) and OUTPUT_DIR/processing.png (the processing dialog mid-sequence) and
// OUTPUT_DIR/import_dialog.png (the import dialog over the database's own export).
#include "app/import_dialog.h"
#include "app/main_window.h"
#include "app/processing_dialog.h"
#include "records/records_export.h"
#include "widgets/prompt_service.h"

#include <QApplication>
#include <QDir>
#include <QPixmap>
#include <QScrollArea>
#include <QSize>
#include <QTabWidget>
#include <QTextStream>
#include <QTimer>

namespace {
const QSize kSizes[] = {{1600, 1000}, {1280, 720}};

void shootPages(TForm1& window, const QSize& size, const QDir& out) {
    window.resize(size);
    QApplication::processEvents();
    const QString folder = QStringLiteral("%1x%2").arg(size.width()).arg(size.height());
    out.mkpath(folder);
    QTextStream err(stderr);
    if (window.size() != size)
        err << "window is " << window.width() << "x" << window.height() << ", not " << folder
            << Qt::endl;
    for (int i = 0; i < window.pages()->count(); ++i) {
        window.pages()->setCurrentIndex(i);
        QApplication::processEvents();
        const QString name = window.pages()->widget(i)->objectName().toLower();
        // Say which sheets scroll at this size, and by how much.
        if (auto* scroll = qobject_cast<QScrollArea*>(window.pages()->widget(i))) {
            const QSize need = scroll->widget()->minimumSizeHint();
            const QSize room = scroll->viewport()->size();
            if (need.width() > room.width() || need.height() > room.height())
                err << folder << " " << name << ": needs " << need.width() << "x" << need.height()
                    << ", has " << room.width() << "x" << room.height() << Qt::endl;
        }
        window.grab().save(out.filePath(folder + QLatin1Char('/') + name + QStringLiteral(".png")));
    }
}
} // namespace

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    const QString out = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QStringLiteral(".");
    const QString db = argc > 2 ? QString::fromLocal8Bit(argv[2]) : QStringLiteral("VELM.mdb");
    const QDir dir(out);
    QDir().mkpath(out);
    ScriptedPrompts prompts;
    TForm1 window(prompts, db);
    window.show();
    QTimer::singleShot(300, [&] {
        QTextStream(stderr) << "least window size " << window.minimumWidth() << "x"
                            << window.minimumHeight() << Qt::endl;
        for (const QSize& size : kSizes)
            shootPages(window, size, dir);
        window.resize(kSizes[0]);
        window.pages()->setCurrentIndex(0);
        QApplication::processEvents();
        window.grab().save(dir.filePath(QStringLiteral("main_window.png")));

        TForm2& dialog = window.processingDialog();
        dialog.sequenceStarted();
        dialog.setProgress(37, 224);
        QApplication::processEvents();
        dialog.grab().save(dir.filePath(QStringLiteral("processing.png")));
        // The import dialog over the database's own export, as "Import Records…" shows it.
        try {
            const QByteArray json =
                records_export::json(records_export::read(db), QDateTime::currentDateTime());
            ImportDialog dialog(
                ImportSource::fromExport(RecordsFile::parse(json)), QStringLiteral("records.json"),
                [&](const RecordsFile& f, const records_import::Options& o) {
                    return records_import::preview(f, db, o);
                },
                &window);
            dialog.show();
            QApplication::processEvents();
            dialog.grab().save(dir.filePath(QStringLiteral("import_dialog.png")));
        } catch (const std::exception&) {
            // No record database: no dialog to show.
        }
        app.quit();
    });
    return app.exec();
}
