#include "app/main_window.h"
#include "app/message_prompts.h"
#include "app/site_menu.h"
#include "records/record_table.h"

#include <QApplication>
#include <QIcon>

#include <cstdio>
#include <exception>
#include <memory>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The menu entry velm.desktop and its icon belong to this window.
    QGuiApplication::setDesktopFileName(QStringLiteral("velm"));
    QIcon icon(QStringLiteral(":/velm/velm.svg"));
    icon.addFile(QStringLiteral(":/velm/hicolor/64x64/velm.png"));
    QApplication::setWindowIcon(icon);
    MessagePrompts prompts;
    // --site-dir DIR: started in a site, its record file and its link.
    const QStringList args = QApplication::arguments();
    QString siteDir;
    for (int i = 1; i < args.size(); ++i) {
        if (args.at(i) == QLatin1String("--site-dir") && i + 1 < args.size())
            siteDir = args.at(++i);
        else if (args.at(i).startsWith(QLatin1String("--site-dir=")))
            siteDir = args.at(i).mid(11);
        else if (args.at(i) == QLatin1String("--site-dir")) {
            std::fprintf(stderr, "velm: --site-dir needs a folder\n");
            return 2;
        }
    }
    SiteFolder site;
    if (!siteDir.isEmpty()) {
        try {
            site = SiteFolder::open(siteDir);
        } catch (const RecordError& e) {
            std::fprintf(stderr, "velm: %s\n", e.what());
            prompts.message(QStringLiteral("Can not open the site"),
                            QString::fromStdString(e.what()));
            return 2;
        }
    }
    std::unique_ptr<TForm1> window;
    try {
        window = site.isNull() ? std::make_unique<TForm1>(prompts)
                               : std::make_unique<TForm1>(prompts, site.recordFile());
        if (!site.isNull())
            window->siteMenu().startIn(site);
    } catch (const std::exception& e) {
        // A fault of the program itself (two families claiming one reply): say so and stop
        // rather than run with a family that never hears its replies.
        std::fprintf(stderr, "velm: %s\n", e.what());
        prompts.message(QString::fromLocal8Bit(e.what()));
        return 1;
    }
    prompts.setParent(window.get());
    window->showMaximized();
    return app.exec();
}
