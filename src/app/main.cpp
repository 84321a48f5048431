#include "app/main_window.h"
#include "app/message_prompts.h"

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
    std::unique_ptr<TForm1> window;
    try {
        window = std::make_unique<TForm1>(prompts);
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
