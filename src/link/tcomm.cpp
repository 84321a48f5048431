#include "link/tcomm.h"

#include "link/comm_worker.h"
#include "platform/serial_device.h"

#include <QDeadlineTimer>
#include <QSerialPortInfo>
#include <QThread>

#include <iterator>

namespace {

constexpr int kJoinMs = 10000;
constexpr int kFirstComNumber = 1;
constexpr int kLastComNumber = 5;

CommLineSettings lineSettingsOf(const TComm& comm) {
    CommLineSettings s;
    s.baudRate = comm.BaudRate;
    s.dataBits = QSerialPort::DataBits(5 + int(comm.ByteSize));
    // In the order of TParity and TStopBits.
    static constexpr QSerialPort::Parity kParities[] = {
        QSerialPort::NoParity, QSerialPort::OddParity, QSerialPort::EvenParity,
        QSerialPort::MarkParity, QSerialPort::SpaceParity};
    static constexpr QSerialPort::StopBits kStopBits[] = {
        QSerialPort::OneStop, QSerialPort::OneAndHalfStop, QSerialPort::TwoStop};
    static_assert(std::size(kParities) == size_t(TComm::TParity::Space) + 1);
    static_assert(std::size(kStopBits) == size_t(TComm::TStopBits::_2) + 1);
    s.parity = kParities[int(comm.Parity)];
    s.stopBits = kStopBits[int(comm.StopBits)];
    // The port knows one flow control at a time: the CTS/RTS handshake wins over XON/XOFF.
    if (comm.Outx_CtsFlow || comm.RtsControl == TComm::TRtsControl::RtsHandshake)
        s.flow = QSerialPort::HardwareControl;
    else if (comm.Outx_XonXoffFlow || comm.Inx_XonXoffFlow)
        s.flow = QSerialPort::SoftwareControl;
    else
        s.flow = QSerialPort::NoFlowControl;
    // DTR handshake has no equivalent here; the line is then simply raised.
    s.dtr = comm.DtrControl != TComm::TDtrControl::DtrDisable;
    s.rts = comm.RtsControl != TComm::TRtsControl::RtsDisable;
    return s;
}

// Stops the worker on its own thread, then ends and joins the thread (bounded).
// Returns false when the thread would not end; it must then be left alone, not deleted.
bool stopWorkerThread(QThread& thread, CommWorker* worker) {
    QMetaObject::invokeMethod(
        worker,
        [worker] {
            worker->stop();
            QThread::currentThread()->quit();
        },
        Qt::QueuedConnection);
    if (thread.wait(QDeadlineTimer(kJoinMs)))
        return true;
    thread.terminate();
    return thread.wait(QDeadlineTimer(kJoinMs));
}

} // namespace

struct TComm::Private {
    std::unique_ptr<QThread> thread;
    CommWorker* worker = nullptr; // lives on `thread`, deleted there when it finishes
    std::shared_ptr<CommShared> shared = std::make_shared<CommShared>();

    void releaseThread() {
        if (thread && !stopWorkerThread(*thread, worker))
            (void)thread.release(); // still running: deleting it would abort the program
        thread.reset();
        worker = nullptr;
        shared->writerAlive = false;
        shared->queuedBlocks = 0;
    }
};

TComm::TComm(QObject* parent) : QObject(parent), d(std::make_unique<Private>()) {}

TComm::~TComm() {
    ClosePort();
}

void TComm::OpenPort() {
    if (d->thread)
        throw ECommsError(QStringLiteral("This serial port already opened"));

    const QString path = devicePath(CommName);
    auto thread = std::make_unique<QThread>();
    thread->setObjectName(QStringLiteral("TComm ") + CommName);
    auto* worker = new CommWorker(d->shared);
    worker->moveToThread(thread.get());
    connect(thread.get(), &QThread::finished, worker, &QObject::deleteLater);

    connect(worker, &CommWorker::blockReceived, this, [this](const QByteArray& block) {
        if (OnReceiveData)
            OnReceiveData(this, reinterpret_cast<const quint8*>(block.constData()),
                          quint16(block.size()));
    });
    connect(worker, &CommWorker::receiveError, this, [this](quint32 mask) {
        if (OnReceiveError)
            OnReceiveError(this, mask);
    });
    connect(worker, &CommWorker::modemStateChanged, this, [this](quint32 event) {
        if (OnModemStateChange)
            OnModemStateChange(this, event);
    });
    connect(worker, &CommWorker::hangupRequested, this, [this] {
        if (OnRequestHangup)
            OnRequestHangup(this);
    });
    connect(worker, &CommWorker::sendQueueEmptied, this, [this] {
        if (OnSendDataEmpty)
            OnSendDataEmpty(this);
    });

    // Reading and writing share the port, so one thread does both.
    thread->start(QThread::HighestPriority);
    if (!thread->isRunning()) {
        delete worker;
        throw ECommsError(QStringLiteral("Unable to create read thread"));
    }

    d->shared->queuedBlocks = 0;
    const CommLineSettings settings = lineSettingsOf(*this);
    const quint32 quietMs = ReadIntervalTimeout;
    auto result = CommWorker::OpenResult::OpenFailed;
    QString failure;
    // The caller learns the outcome at once, so the main thread waits for the worker here.
    const bool ran = QMetaObject::invokeMethod(
        worker,
        [&] {
            result = worker->open(path, settings, quietMs);
            failure = worker->openFailure();
        },
        Qt::BlockingQueuedConnection);

    d->thread = std::move(thread);
    d->worker = worker;
    if (ran && result == CommWorker::OpenResult::Opened)
        return;

    d->releaseThread();
    if (!ran)
        throw ECommsError(QStringLiteral("Unable to create event"));
    switch (result) {
    case CommWorker::OpenResult::NotACommDevice:
        throw ECommsError(QStringLiteral("File handle is not a comm handle "), failure);
    case CommWorker::OpenResult::BufferFailed:
        throw ECommsError(QStringLiteral("Cannot setup comm buffer"), failure);
    case CommWorker::OpenResult::WriterFailed:
        throw ECommsError(QStringLiteral("Unable to create write thread"), failure);
    default:
        throw ECommsError(QStringLiteral("Error opening serial port"), failure);
    }
}

void TComm::ClosePort() {
    if (!d->thread)
        return;
    // The worker purges both directions before it closes: a write still pending is abandoned.
    d->releaseThread();
}

bool TComm::QueueWrite(const quint8* data, quint16 size) {
    if (!d->worker || size == 0 || !data || !d->shared->writerAlive)
        return false;
    QByteArray block(reinterpret_cast<const char*>(data), size);
    CommWorker* worker = d->worker;
    // Counted before it is handed over, so the writer can never report an empty queue while
    // this block is on its way.
    ++d->shared->queuedBlocks;
    const bool posted = QMetaObject::invokeMethod(
        worker, [worker, block] { worker->write(block); }, Qt::QueuedConnection);
    if (!posted)
        --d->shared->queuedBlocks;
    return posted;
}

bool TComm::isOpen() const {
    return d->thread != nullptr;
}

bool TComm::deviceGone() const {
    return d->thread != nullptr && !d->shared->writerAlive;
}

bool TComm::sendQueueEmpty() const {
    return d->shared->queuedBlocks.load() <= 0;
}

void TComm::applyLineSettings() {
    if (!d->worker)
        return;
    CommWorker* worker = d->worker;
    const CommLineSettings settings = lineSettingsOf(*this);
    QMetaObject::invokeMethod(
        worker, [worker, settings] { worker->applyLineSettings(settings); }, Qt::QueuedConnection);
}

void TComm::applyTimeouts() {
    if (!d->worker)
        return;
    CommWorker* worker = d->worker;
    const quint32 quietMs = ReadIntervalTimeout;
    QMetaObject::invokeMethod(
        worker, [worker, quietMs] { worker->setQuietInterval(quietMs); }, Qt::QueuedConnection);
}

QString TComm::devicePath(const QString& commName) {
    return serial_device::path(commName);
}

QStringList TComm::portNames() {
    QStringList names;
    for (int n = kFirstComNumber; n <= kLastComNumber; ++n)
        names << QStringLiteral("COM%1").arg(n);
    const auto ports = QSerialPortInfo::availablePorts();
    for (const QSerialPortInfo& info : ports) {
        const QString location = serial_device::listedName(info);
        if (!location.isEmpty() && !names.contains(location))
            names << location;
    }
    return names;
}

#include "moc_tcomm.cpp"
