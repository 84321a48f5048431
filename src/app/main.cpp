#include "app/main_window.h"
#include "app/message_prompts.h"

#include <QApplication>

int main(int argc, char* argv[]) {
    QApplication app(argc, argv);
    // The menu entry velm.desktop and its icon belong to this window.
    QGuiApplication::setDesktopFileName(QStringLiteral("velm"));
    MessagePrompts prompts;
    TForm1 window(prompts);
    prompts.setParent(&window);
    window.showMaximized();
    return app.exec();
}
