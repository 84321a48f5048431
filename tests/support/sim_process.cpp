#include "support/build_paths.h"
#include "support/sim_process.h"

#include <QDeadlineTimer>
#include <QJsonArray>
#include <QJsonDocument>
#include <QTcpServer>
#include <QTcpSocket>
#include <QUdpSocket>

namespace {
constexpr int kStartAttempts = 3;
const QHostAddress kLoopback(QHostAddress::LocalHost);
} // namespace

SimProcess::SimProcess() = default;

SimProcess::~SimProcess() {
    stop();
}

QString SimProcess::binaryPath() {
    return buildpaths::bin("velm-sim");
}

quint16 SimProcess::freeUdpPort() {
    QUdpSocket socket;
    return socket.bind(kLoopback, 0) ? socket.localPort() : 0;
}

quint16 SimProcess::freeTcpPort() {
    QTcpServer server;
    return server.listen(kLoopback, 0) ? server.serverPort() : 0;
}

bool SimProcess::start(const QStringList& arguments, int timeoutMs) {
    stop();
    for (int attempt = 0; attempt < kStartAttempts; ++attempt) {
        bool retry = false;
        if (startOnce(arguments, timeoutMs, &retry))
            return true;
        stop();
        if (!retry)
            break;
    }
    return false;
}

bool SimProcess::startOnce(const QStringList& arguments, int timeoutMs, bool* retry) {
    clear();
    QStringList args = arguments;
    if (!args.contains(QStringLiteral("--udp-port")) && !args.contains(QStringLiteral("--no-udp")))
        args << QStringLiteral("--udp-port") << QString::number(freeUdpPort());
    if (!args.contains(QStringLiteral("--control-port")))
        args << QStringLiteral("--control-port") << QString::number(freeTcpPort());

    m_process = std::make_unique<QProcess>();
    m_process->setProcessChannelMode(QProcess::SeparateChannels);
    m_process->start(binaryPath(), args);
    if (!m_process->waitForStarted(timeoutMs)) {
        m_error = QStringLiteral("cannot start %1: %2").arg(binaryPath(), m_process->errorString());
        return false;
    }

    // The start-up lines end with "ready".
    const QDeadlineTimer deadline(timeoutMs);
    bool ready = false;
    while (!ready && !deadline.hasExpired()) {
        if (m_process->state() != QProcess::Running) {
            takeOutput();
            m_error = QStringLiteral("velm-sim ended: %1")
                          .arg(QString::fromLocal8Bit(m_process->readAllStandardError()).trimmed());
            // A port taken since it was picked: pick new ones.
            *retry = m_error.contains(QLatin1String("udp:")) ||
                     m_error.contains(QLatin1String("control:"));
            return false;
        }
        m_process->waitForReadyRead(int(qMin<qint64>(100, deadline.remainingTime())));
        takeOutput();
        for (const QString& line : std::as_const(m_lines)) {
            if (line.startsWith(QLatin1String("udp: ")))
                m_udpPort = quint16(line.section(':', -1).toUInt());
            else if (line.startsWith(QLatin1String("serial: ")))
                m_serialPath = line.mid(8).trimmed();
            else if (line.startsWith(QLatin1String("control: ")))
                m_controlPort = quint16(line.section(':', -1).toUInt());
            else if (line == QLatin1String("ready"))
                ready = true;
        }
    }
    if (!ready) {
        m_error = QStringLiteral("velm-sim did not report ready within %1 ms").arg(timeoutMs);
        return false;
    }

    m_control = std::make_unique<QTcpSocket>();
    m_control->connectToHost(kLoopback, m_controlPort);
    if (!m_control->waitForConnected(timeoutMs)) {
        m_error =
            QStringLiteral("control port %1: %2").arg(m_controlPort).arg(m_control->errorString());
        return false;
    }
    return true;
}

void SimProcess::stop(int timeoutMs) {
    if (m_process && m_process->state() != QProcess::NotRunning) {
        if (m_control && m_control->state() == QAbstractSocket::ConnectedState) {
            m_control->write("quit\n");
            m_control->waitForBytesWritten(timeoutMs);
        }
        if (!m_process->waitForFinished(timeoutMs)) {
            m_process->kill();
            m_process->waitForFinished(timeoutMs);
        }
    }
    if (m_process)
        takeOutput();
    m_control.reset();
    m_process.reset();
}

void SimProcess::clear() {
    m_control.reset();
    m_process.reset();
    m_pending.clear();
    m_lines.clear();
    m_serialPath.clear();
    m_udpPort = 0;
    m_controlPort = 0;
}

bool SimProcess::isRunning() const {
    return m_process && m_process->state() == QProcess::Running;
}

void SimProcess::takeOutput() {
    if (!m_process)
        return;
    m_pending += m_process->readAllStandardOutput();
    qsizetype end;
    while ((end = m_pending.indexOf('\n')) >= 0) {
        m_lines << QString::fromUtf8(m_pending.left(end));
        m_pending.remove(0, end + 1);
    }
}

QStringList SimProcess::output() {
    takeOutput();
    return m_lines;
}

QString SimProcess::command(const QString& line, int timeoutMs) {
    if (!m_control || m_control->state() != QAbstractSocket::ConnectedState)
        return QString();
    // An answer left over from an earlier command that timed out belongs to nobody now.
    m_control->readAll();
    m_control->write(line.toUtf8() + '\n');
    const QDeadlineTimer deadline(timeoutMs);
    while (!m_control->canReadLine()) {
        if (deadline.hasExpired() ||
            !m_control->waitForReadyRead(int(qMax<qint64>(1, deadline.remainingTime()))))
            return m_control->canReadLine() ? QString::fromUtf8(m_control->readLine()).trimmed()
                                            : QString();
    }
    return QString::fromUtf8(m_control->readLine()).trimmed();
}

QJsonObject SimProcess::dump(int timeoutMs) {
    return QJsonDocument::fromJson(command(QStringLiteral("dump"), timeoutMs).toUtf8()).object();
}

QJsonObject SimProcess::module(const QJsonObject& dump, int address) {
    const QJsonArray modules = dump.value(QLatin1String("modules")).toArray();
    for (const QJsonValue& m : modules) {
        if (m.toObject().value(QLatin1String("address")).toInt(-1) == address)
            return m.toObject();
    }
    return {};
}
