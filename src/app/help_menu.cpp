#include "app/help_menu.h"

#include "widgets/prompt_service.h"

#include <QAction>
#include <QDir>
#include <QFileInfo>
#include <QMainWindow>
#include <QMenuBar>

namespace helpmenu {

QString aboutText() {
    return QStringLiteral("VELM %1").arg(QStringLiteral(VELM_VERSION_TEXT));
}

QString aboutDetail(const QString& databaseFile) {
    const QFileInfo file(databaseFile);
    return QStringLiteral("Record file: %1\nData folder: %2\nQt %3")
        .arg(QDir::toNativeSeparators(file.absoluteFilePath()),
             QDir::toNativeSeparators(file.absolutePath()), QString::fromLatin1(qVersion()));
}

void install(QMainWindow& window, PromptService& prompts, const QString& databaseFile) {
    QMenu* menu = window.menuBar()->addMenu(QStringLiteral("Help"));
    menu->setObjectName(QStringLiteral("HelpMenu"));
    QAction* about = menu->addAction(QStringLiteral("About VELM…"));
    about->setObjectName(QStringLiteral("AboutVelm"));
    QObject::connect(about, &QAction::triggered, &window, [&prompts, databaseFile] {
        prompts.message(aboutText(), aboutDetail(databaseFile));
    });
}

} // namespace helpmenu
