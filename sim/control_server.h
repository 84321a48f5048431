#pragma once

#include <QObject>
#include <QSocketNotifier>
#include <QTcpServer>

#include <memory>

class ControlInterface;
class QTcpSocket;

// Feeds control command lines from stdin and, when asked, from a loopback TCP port to the
// control interface; answers go back where the line came from. How stdin is waited on is the
// system's (control_server_posix.cpp, control_server_windows.cpp).
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
    // A piece of stdin as it came: whole lines are run, an over-long one is refused.
    void takeStdin(const QByteArray& bytes);
    void onConnection();
    QString run(const QString& line);
    // A client that sends a line longer than any command is told so and disconnected.
    void refuseLongLine(QTcpSocket* socket);

    // Control commands are a few words; a longer line is refused rather than buffered.
    static constexpr qsizetype kMaxLine = 4096;

    ControlInterface& m_control;
    std::unique_ptr<QSocketNotifier> m_stdin;
    QByteArray m_stdinBuffer;
    bool m_stdinSkipping = false; // the rest of an over-long stdin line is dropped
    QTcpServer m_server;
};
