#pragma once

#include <QProcess>
#include <QString>

// An X server (Xvfb) for a test program that drives the window through the window system,
// started before the application and stopped with it.
class XServer {
public:
    ~XServer();
    // The display, e.g. ":7"; empty when Xvfb did not come up. `screen` as Xvfb takes it.
    QString start(const QString& screen = QStringLiteral("1280x1024x24"));
    // Starts the server and points the program at it (DISPLAY, the xcb platform); false, with
    // a line on standard error, when it did not come up.
    bool startForProgram(const QString& screen = QStringLiteral("1280x1024x24"));

private:
    QProcess m_process;
};
