#include "link/comm_worker.h"

#include "platform/serial_device.h"

#include <QTimer>

#include <limits>

namespace {

// A device that keeps failing reads without a single good one in between is gone.
constexpr int kReadErrorsUntilGone = 3;
constexpr int kModemPollMs = 100;

} // namespace

CommWorker::CommWorker(std::shared_ptr<CommShared> shared) : m_shared(std::move(shared)) {}

namespace {

QString describeOpenFailure(const QString& path, QSerialPort::SerialPortError error,
                            const QString& system) {
    switch (error) {
    case QSerialPort::DeviceNotFoundError:
        return QStringLiteral("%1 does not exist. Check that the adapter is plugged in and "
                              "choose its port under \"Com\".")
            .arg(path);
    case QSerialPort::PermissionError:
        return QStringLiteral("%1: permission denied (%2). Join the group that owns the port "
                              "(sudo adduser $USER dialout, then log in again), or close the "
                              "program that holds it.")
            .arg(path, system);
    case QSerialPort::OpenError:
        return QStringLiteral("%1 is in use: close the program that holds it.").arg(path);
    case QSerialPort::UnsupportedOperationError:
        return QStringLiteral("%1 is not a serial port.").arg(path);
    default:
        return QStringLiteral("%1: %2.").arg(path, system);
    }
}

} // namespace

CommWorker::~CommWorker() {
    closePort();
}

CommWorker::OpenResult CommWorker::open(const QString& path, const CommLineSettings& settings,
                                        quint32 quietMs) {
    m_port = new QSerialPort(this);
    m_port->setPortName(path);
    m_openFailure.clear();
    if (!m_port->open(QIODevice::ReadWrite)) {
        // A regular file or /dev/null opens but refuses the terminal calls.
        const bool notTerminal = m_port->error() == QSerialPort::UnsupportedOperationError;
        m_openFailure = describeOpenFailure(path, m_port->error(), m_port->errorString());
        delete m_port;
        m_port = nullptr;
        return notTerminal ? OpenResult::NotACommDevice : OpenResult::OpenFailed;
    }
    OpenResult result = serial_device::isCharacterDevice(qintptr(m_port->handle()))
                            ? OpenResult::Opened
                            : OpenResult::NotACommDevice;
    // Bytes that waited in the driver from before the open are not ours.
    if (result == OpenResult::Opened && !m_port->clear())
        result = OpenResult::BufferFailed;
    if (result == OpenResult::Opened && !m_port->isWritable())
        result = OpenResult::WriterFailed;
    if (result != OpenResult::Opened) {
        m_openFailure = result == OpenResult::NotACommDevice
                            ? QStringLiteral("%1 is not a serial port.").arg(path)
                            : QStringLiteral("%1: %2.").arg(path, m_port->errorString());
        closePort();
        return result;
    }

    m_ignoreErrors = true;
    setLines(settings);
    // Ptys and some adapters have no modem lines; then there is nothing to watch.
    m_pins = m_port->pinoutSignals();
    const bool modemLines = m_port->error() == QSerialPort::NoError;
    m_port->clearError();
    m_ignoreErrors = false;

    m_quiet = new QTimer(this);
    m_quiet->setSingleShot(true);
    m_quiet->setTimerType(Qt::PreciseTimer);
    setQuietInterval(quietMs);
    connect(m_quiet, &QTimer::timeout, this, &CommWorker::onQuiet);
    if (modemLines) {
        m_modemPoll = new QTimer(this);
        m_modemPoll->setInterval(kModemPollMs);
        connect(m_modemPoll, &QTimer::timeout, this, &CommWorker::pollModemLines);
        m_modemPoll->start();
    }
    connect(m_port, &QSerialPort::readyRead, this, &CommWorker::onReadyRead);
    connect(m_port, &QSerialPort::bytesWritten, this, &CommWorker::onBytesWritten);
    connect(m_port, &QSerialPort::errorOccurred, this, &CommWorker::onError);

    m_block.reserve(kMaxBlock);
    m_gone = false;
    m_readErrors = 0;
    m_acceptedBlocks = 0;
    m_shared->writerAlive = true;
    // The writer starts with an empty queue and says so once.
    m_noticeDue = false;
    emit sendQueueEmptied();
    return OpenResult::Opened;
}

void CommWorker::applyLineSettings(const CommLineSettings& settings) {
    if (!m_port || !m_port->isOpen() || m_gone)
        return;
    m_ignoreErrors = true;
    setLines(settings);
    m_port->clearError();
    m_ignoreErrors = false;
}

void CommWorker::setLines(const CommLineSettings& settings) {
    // Failures are not reported: a pty, for one, has no DTR or RTS line.
    m_port->setBaudRate(settings.baudRate);
    m_port->setDataBits(settings.dataBits);
    m_port->setParity(settings.parity);
    m_port->setStopBits(settings.stopBits);
    m_port->setFlowControl(settings.flow);
    m_port->setDataTerminalReady(settings.dtr);
    if (settings.flow != QSerialPort::HardwareControl)
        m_port->setRequestToSend(settings.rts);
}

void CommWorker::setQuietInterval(quint32 quietMs) {
    // As with the Windows interval time-out: 0 means no interval limit (a block then ends only
    // when it is full), the all-ones value means "deliver what is there at once".
    m_quietEnabled = quietMs != 0;
    if (!m_quiet)
        return;
    const quint32 limit = quint32(std::numeric_limits<int>::max());
    m_quiet->setInterval(
        quietMs == std::numeric_limits<quint32>::max() ? 0 : int(std::min(quietMs, limit)));
}

void CommWorker::onReadyRead() {
    m_readErrors = 0;
    m_block.append(m_port->readAll());
    while (m_block.size() >= kMaxBlock) {
        emit blockReceived(m_block.left(kMaxBlock));
        m_block.remove(0, kMaxBlock);
    }
    if (!m_block.isEmpty() && m_quietEnabled)
        m_quiet->start();
    else
        m_quiet->stop();
}

void CommWorker::onQuiet() {
    if (m_block.isEmpty())
        return;
    emit blockReceived(m_block);
    m_block.clear();
}

void CommWorker::write(const QByteArray& block) {
    if (m_gone || !m_port || !m_port->isOpen()) {
        --m_shared->queuedBlocks; // dropped: nobody will put it on the line
        return;
    }
    m_port->write(block);
    ++m_acceptedBlocks;
    m_noticeDue = true;
}

void CommWorker::onBytesWritten() {
    if (m_port->bytesToWrite() != 0)
        return;
    m_shared->queuedBlocks -= m_acceptedBlocks;
    m_acceptedBlocks = 0;
    // More blocks may already wait in this thread's queue; the notice comes when they are out.
    if (m_noticeDue && m_shared->queuedBlocks.load() <= 0) {
        m_noticeDue = false;
        emit sendQueueEmptied();
    }
}

void CommWorker::onError(QSerialPort::SerialPortError error) {
    if (m_ignoreErrors || m_gone)
        return;
    switch (error) {
    case QSerialPort::ResourceError:
    case QSerialPort::WriteError:
        deviceGone();
        break;
    case QSerialPort::ReadError:
        // A pty whose master closed fails every read from then on; Qt keeps reporting it.
        if (++m_readErrors >= kReadErrorsUntilGone)
            deviceGone();
        break;
    default:
        break;
    }
}

void CommWorker::pollModemLines() {
    if (m_gone || !m_port)
        return;
    m_ignoreErrors = true;
    const QSerialPort::PinoutSignals pins = m_port->pinoutSignals();
    const bool ok = m_port->error() == QSerialPort::NoError;
    m_port->clearError();
    m_ignoreErrors = false;
    if (!ok)
        return;
    quint32 event = 0;
    if ((pins ^ m_pins) & QSerialPort::DataCarrierDetectSignal)
        event |= kCarrierChanged;
    if ((pins & QSerialPort::RingIndicatorSignal) && !(m_pins & QSerialPort::RingIndicatorSignal))
        event |= kRing;
    m_pins = pins;
    if (event != 0)
        emit modemStateChanged(event);
}

void CommWorker::deviceGone() {
    m_gone = true;
    m_shared->writerAlive = false;
    m_shared->queuedBlocks -= m_acceptedBlocks;
    m_acceptedBlocks = 0;
    if (m_quiet)
        m_quiet->stop();
    if (m_modemPoll)
        m_modemPoll->stop();
    // What arrived before the device went is real data.
    onQuiet();
    emit hangupRequested();
    // Not from inside the port's own error signal.
    QTimer::singleShot(0, this, &CommWorker::closePort);
}

void CommWorker::stop() {
    m_shared->writerAlive = false;
    if (m_quiet)
        m_quiet->stop();
    if (m_modemPoll)
        m_modemPoll->stop();
    m_block.clear(); // a block still collecting when the port closes is dropped
    closePort();
}

void CommWorker::closePort() {
    if (!m_port)
        return;
    m_ignoreErrors = true;
    m_port->disconnect(this);
    if (m_port->isOpen()) {
        // Purge first: a real adapter otherwise drains its output queue on close.
        m_port->clear();
        m_port->close();
    }
    delete m_port;
    m_port = nullptr;
    m_ignoreErrors = false;
}

#include "moc_comm_worker.cpp"
