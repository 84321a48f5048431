#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>

#include <memory>

class ControlInterface;

// Feeds control command lines from stdin and, when asked, from a loopback TCP port to the
// control interface; answers go back where the line came from.
class ControlServer : public QObject {
    Q_OBJECT
public:
    explicit ControlServer(ControlInterface& control, QObject* parent = nullptr);

    void readStdin();
    bool listen(quint16 port, QString* error);
    quint16 port() const { return m_server.serverPort(); }

signals:
    void quitRequested();

private:
    void onStdin();
    void onConnection();
    QString run(const QString& line);

    ControlInterface& m_control;
    std::unique_ptr<QSocketNotifier> m_stdin;
    QByteArray m_stdinBuffer;
    QTcpServer m_server;
};
