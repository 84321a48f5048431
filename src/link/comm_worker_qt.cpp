#include "link/comm_worker.h"

#include "platform/serial_device.h"

#include <QTimer>

#include <limits>

namespace {

// A device that keeps failing reads without a single good one in between is gone.
constexpr int kReadErrorsUntilGone = 3;
constexpr int kModemPollMs = 100;

} // namespace

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

// The Linux side: QSerialPort on the worker's thread, a timer for the quiet that ends a block.
class CommWorker::Driver {
public:
    explicit Driver(CommWorker& owner) : q(owner) {}
    ~Driver() { closePort(); }

    OpenResult open(const QString& path, const CommLineSettings& settings, quint32 quietMs);
    void applyLineSettings(const CommLineSettings& settings);
    void setQuietInterval(quint32 quietMs);
    void write(const QByteArray& block);
    void stop();

private:
    void onReadyRead();
    void onQuiet();
    void onBytesWritten();
    void onError(QSerialPort::SerialPortError error);
    void pollModemLines();
    void deviceGone();
    void closePort();
    void setLines(const CommLineSettings& settings);

    CommWorker& q;
    QSerialPort* m_port = nullptr;
    QTimer* m_quiet = nullptr;
    QTimer* m_modemPoll = nullptr;
    QByteArray m_block;
    bool m_quietEnabled = true;
    int m_acceptedBlocks = 0; // written into the port since the output last drained
    bool m_noticeDue = true;
    int m_readErrors = 0;
    bool m_gone = false;
    bool m_ignoreErrors = false; // while configuring: a setting a device lacks is not a failure
    QSerialPort::PinoutSignals m_pins;
};

CommWorker::OpenResult CommWorker::Driver::open(const QString& path,
                                                const CommLineSettings& settings, quint32 quietMs) {
    m_port = new QSerialPort(&q);
    m_port->setPortName(path);
    q.m_openFailure.clear();
    if (!m_port->open(QIODevice::ReadWrite)) {
        // A regular file or /dev/null opens but refuses the terminal calls.
        const bool notTerminal = m_port->error() == QSerialPort::UnsupportedOperationError;
        q.m_openFailure = describeOpenFailure(path, m_port->error(), m_port->errorString());
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
        q.m_openFailure = result == OpenResult::NotACommDevice
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

    m_quiet = new QTimer(&q);
    m_quiet->setSingleShot(true);
    m_quiet->setTimerType(Qt::PreciseTimer);
    setQuietInterval(quietMs);
    QObject::connect(m_quiet, &QTimer::timeout, &q, [this] { onQuiet(); });
    if (modemLines) {
        m_modemPoll = new QTimer(&q);
        m_modemPoll->setInterval(kModemPollMs);
        QObject::connect(m_modemPoll, &QTimer::timeout, &q, [this] { pollModemLines(); });
        m_modemPoll->start();
    }
    QObject::connect(m_port, &QSerialPort::readyRead, &q, [this] { onReadyRead(); });
    QObject::connect(m_port, &QSerialPort::bytesWritten, &q, [this] { onBytesWritten(); });
    QObject::connect(m_port, &QSerialPort::errorOccurred, &q,
                     [this](QSerialPort::SerialPortError error) { onError(error); });

    m_block.reserve(kMaxBlock);
    m_gone = false;
    m_readErrors = 0;
    m_acceptedBlocks = 0;
    q.m_shared->writerAlive = true;
    // The writer starts with an empty queue and says so once.
    m_noticeDue = false;
    emit q.sendQueueEmptied();
    return OpenResult::Opened;
}

void CommWorker::Driver::applyLineSettings(const CommLineSettings& settings) {
    if (!m_port || !m_port->isOpen() || m_gone)
        return;
    m_ignoreErrors = true;
    setLines(settings);
    m_port->clearError();
    m_ignoreErrors = false;
}

void CommWorker::Driver::setLines(const CommLineSettings& settings) {
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

void CommWorker::Driver::setQuietInterval(quint32 quietMs) {
    // As with the Windows interval time-out: 0 means no interval limit (a block then ends only
    // when it is full), the all-ones value means "deliver what is there at once".
    m_quietEnabled = quietMs != 0;
    if (!m_quiet)
        return;
    const quint32 limit = quint32(std::numeric_limits<int>::max());
    m_quiet->setInterval(
        quietMs == std::numeric_limits<quint32>::max() ? 0 : int(std::min(quietMs, limit)));
}

void CommWorker::Driver::onReadyRead() {
    m_readErrors = 0;
    m_block.append(m_port->readAll());
    while (m_block.size() >= kMaxBlock) {
        emit q.blockReceived(m_block.left(kMaxBlock));
        m_block.remove(0, kMaxBlock);
    }
    if (!m_block.isEmpty() && m_quietEnabled)
        m_quiet->start();
    else
        m_quiet->stop();
}

void CommWorker::Driver::onQuiet() {
    if (m_block.isEmpty())
        return;
    emit q.blockReceived(m_block);
    m_block.clear();
}

void CommWorker::Driver::write(const QByteArray& block) {
    if (m_gone || !m_port || !m_port->isOpen()) {
        --q.m_shared->queuedBlocks; // dropped: nobody will put it on the line
        return;
    }
    m_port->write(block);
    ++m_acceptedBlocks;
    m_noticeDue = true;
}

void CommWorker::Driver::onBytesWritten() {
    if (m_port->bytesToWrite() != 0)
        return;
    q.m_shared->queuedBlocks -= m_acceptedBlocks;
    m_acceptedBlocks = 0;
    // More blocks may already wait in this thread's queue; the notice comes when they are out.
    if (m_noticeDue && q.m_shared->queuedBlocks.load() <= 0) {
        m_noticeDue = false;
        emit q.sendQueueEmptied();
    }
}

void CommWorker::Driver::onError(QSerialPort::SerialPortError error) {
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

void CommWorker::Driver::pollModemLines() {
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
        emit q.modemStateChanged(event);
}

void CommWorker::Driver::deviceGone() {
    m_gone = true;
    q.m_shared->writerAlive = false;
    q.m_shared->queuedBlocks -= m_acceptedBlocks;
    m_acceptedBlocks = 0;
    if (m_quiet)
        m_quiet->stop();
    if (m_modemPoll)
        m_modemPoll->stop();
    // What arrived before the device went is real data.
    onQuiet();
    emit q.hangupRequested();
    // Not from inside the port's own error signal.
    QTimer::singleShot(0, &q, [this] { closePort(); });
}

void CommWorker::Driver::stop() {
    q.m_shared->writerAlive = false;
    if (m_quiet)
        m_quiet->stop();
    if (m_modemPoll)
        m_modemPoll->stop();
    m_block.clear(); // a block still collecting when the port closes is dropped
    closePort();
}

void CommWorker::Driver::closePort() {
    if (!m_port)
        return;
    m_ignoreErrors = true;
    m_port->disconnect(&q);
    if (m_port->isOpen()) {
        // Purge first: a real adapter otherwise drains its output queue on close.
        m_port->clear();
        m_port->close();
    }
    delete m_port;
    m_port = nullptr;
    m_ignoreErrors = false;
}

CommWorker::CommWorker(std::shared_ptr<CommShared> shared)
    : m_shared(std::move(shared)), m_driver(std::make_unique<Driver>(*this)) {}

CommWorker::~CommWorker() = default;

CommWorker::OpenResult CommWorker::open(const QString& path, const CommLineSettings& settings,
                                        quint32 quietMs) {
    return m_driver->open(path, settings, quietMs);
}

void CommWorker::applyLineSettings(const CommLineSettings& settings) {
    m_driver->applyLineSettings(settings);
}

void CommWorker::setQuietInterval(quint32 quietMs) {
    m_driver->setQuietInterval(quietMs);
}

void CommWorker::write(const QByteArray& block) {
    m_driver->write(block);
}

void CommWorker::stop() {
    m_driver->stop();
}

#include "moc_comm_worker.cpp"
