#include "support/x_server.h"

#include <cstdio>

XServer::~XServer() {
    if (m_process.state() != QProcess::NotRunning) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

QString XServer::start(const QString& screen) {
    m_process.start(QStringLiteral("Xvfb"), {QStringLiteral("-displayfd"), QStringLiteral("1"),
                                             QStringLiteral("-screen"), QStringLiteral("0"), screen,
                                             QStringLiteral("-nolisten"), QStringLiteral("tcp")});
    if (!m_process.waitForStarted(5000))
        return {};
    QByteArray line;
    while (!line.contains('\n') && m_process.waitForReadyRead(10000))
        line += m_process.readAllStandardOutput();
    line = line.trimmed();
    return line.isEmpty() ? QString() : QStringLiteral(":") + QString::fromLatin1(line);
}

bool XServer::startForProgram(const QString& screen) {
    const QString display = start(screen);
    if (display.isEmpty()) {
        std::fprintf(stderr, "Xvfb did not start\n");
        return false;
    }
    qputenv("DISPLAY", display.toLocal8Bit());
    qputenv("QT_QPA_PLATFORM", "xcb");
    return true;
}
