#include "sim/control_server.h"

#include "sim/control_interface.h"
#include "sim/traffic_log.h"

#include <QHostAddress>
#include <QTcpSocket>

ControlServer::ControlServer(ControlInterface& control, QObject* parent)
    : QObject(parent), m_control(control) {
    connect(&m_server, &QTcpServer::newConnection, this, &ControlServer::onConnection);
}

bool ControlServer::listen(quint16 port, QString* error) {
    if (!m_server.listen(QHostAddress::LocalHost, port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

QString ControlServer::run(const QString& line) {
    const QString answer = m_control.execute(line);
    if (m_control.quitRequested())
        emit quitRequested();
    return answer;
}

void ControlServer::takeStdin(const QByteArray& bytes) {
    m_stdinBuffer.append(bytes);
    qsizetype end;
    while ((end = m_stdinBuffer.indexOf('\n')) >= 0) {
        const QString line = QString::fromUtf8(m_stdinBuffer.left(end));
        m_stdinBuffer.remove(0, end + 1);
        if (m_stdinSkipping) {
            m_stdinSkipping = false;
            continue;
        }
        const QString answer = run(line);
        if (!answer.isEmpty())
            TrafficLog::toStdout(answer);
    }
    if (m_stdinBuffer.size() > kMaxLine) {
        if (!m_stdinSkipping)
            TrafficLog::toStdout(QStringLiteral("error: line too long"));
        m_stdinBuffer.clear();
        m_stdinSkipping = true;
    }
}

void ControlServer::onConnection() {
    while (QTcpSocket* socket = m_server.nextPendingConnection()) {
        connect(socket, &QTcpSocket::disconnected, socket, &QObject::deleteLater);
        connect(socket, &QTcpSocket::readyRead, this, [this, socket] {
            while (socket->canReadLine()) {
                const QByteArray line = socket->readLine(kMaxLine + 1);
                if (!line.endsWith('\n')) {
                    refuseLongLine(socket);
                    return;
                }
                const QString answer = run(QString::fromUtf8(line));
                if (!answer.isEmpty())
                    socket->write(answer.toUtf8() + '\n');
            }
            if (socket->bytesAvailable() > kMaxLine)
                refuseLongLine(socket);
        });
    }
}

void ControlServer::refuseLongLine(QTcpSocket* socket) {
    socket->write("error: line too long\n");
    socket->disconnectFromHost();
    socket->readAll(); // nothing more of this client is buffered or run
}

#include "moc_control_server.cpp"
