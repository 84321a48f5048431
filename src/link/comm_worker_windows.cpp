#include "link/comm_worker.h"

#include "platform/serial_device.h"

#include <deque>
#include <mutex>
#include <string>
#include <thread>

#include <windows.h>

// The Windows side: the device opened for overlapped I/O, a reader thread that collects the
// blocks the driver completes after ReadIntervalTimeout of quiet (and the line events), and a
// writer thread that puts the queued blocks on the line. QSerialPort cannot be used here: it
// reads only after a line-event wait, which some drivers refuse.

namespace {

constexpr DWORD kDriverQueue = 4096;
// Carrier-detect change, line error, ring.
constexpr DWORD kLineEvents = EV_RLSD | EV_ERR | EV_RING;
// With an interval of "deliver at once", a read waits this long for its first byte before it
// comes back empty and is started again.
constexpr DWORD kImmediatePollMs = 100;

// COM10 and up open only through the device namespace; COM1..COM9 open through it as well.
std::wstring deviceName(const QString& path) {
    if (path.startsWith(QLatin1String("\\\\")))
        return path.toStdWString();
    return (QStringLiteral("\\\\.\\") + path).toStdWString();
}

QString describeOpenFailure(const QString& path, DWORD error) {
    switch (error) {
    case ERROR_FILE_NOT_FOUND:
    case ERROR_PATH_NOT_FOUND:
        return QStringLiteral("%1 does not exist. Check that the adapter is plugged in and "
                              "choose its port under \"Com\".")
            .arg(path);
    case ERROR_ACCESS_DENIED:
    case ERROR_SHARING_VIOLATION:
        return QStringLiteral("%1 is in use: close the program that holds it.").arg(path);
    default:
        return QStringLiteral("%1: %2.").arg(path, qt_error_string(int(error)));
    }
}

BYTE parityCode(QSerialPort::Parity parity) {
    switch (parity) {
    case QSerialPort::OddParity:
        return ODDPARITY;
    case QSerialPort::EvenParity:
        return EVENPARITY;
    case QSerialPort::MarkParity:
        return MARKPARITY;
    case QSerialPort::SpaceParity:
        return SPACEPARITY;
    default:
        return NOPARITY;
    }
}

BYTE stopBitsCode(QSerialPort::StopBits stopBits) {
    switch (stopBits) {
    case QSerialPort::OneAndHalfStop:
        return ONE5STOPBITS;
    case QSerialPort::TwoStop:
        return TWOSTOPBITS;
    default:
        return ONESTOPBIT;
    }
}

// An invalid handle means the port was closed under the thread: it ends without a hang-up.
bool handleGone(DWORD error) {
    return error == ERROR_INVALID_HANDLE;
}

} // namespace

class CommWorker::Driver {
public:
    explicit Driver(CommWorker& owner) : q(owner) {}
    ~Driver() { stop(); }

    OpenResult open(const QString& path, const CommLineSettings& settings, quint32 quietMs);
    void applyLineSettings(const CommLineSettings& settings);
    void setQuietInterval(quint32 quietMs);
    void write(const QByteArray& block);
    void stop();

private:
    OpenResult fail(OpenResult result, const QString& why);
    void applyTimeouts();
    void readLoop();
    bool deliver(DWORD count);
    bool handleLineEvent(DWORD events);
    void writeLoop();
    bool writeBlock(const QByteArray& block, OVERLAPPED& overlapped);
    bool closing() const { return WaitForSingleObject(m_close, 0) == WAIT_OBJECT_0; }
    void hangup();
    void dropQueued();

    CommWorker& q;
    HANDLE m_handle = INVALID_HANDLE_VALUE;
    HANDLE m_close = nullptr;  // manual reset: set once when the port closes
    HANDLE m_queued = nullptr; // auto reset: a block joined the writer's queue
    DWORD m_quietMs = 100;
    std::thread m_reader;
    std::thread m_writer;
    std::mutex m_queueMutex;
    std::deque<QByteArray> m_queue;
    char m_readBuffer[kMaxBlock];
};

CommWorker::OpenResult CommWorker::Driver::fail(OpenResult result, const QString& why) {
    q.m_openFailure = why;
    stop();
    return result;
}

CommWorker::OpenResult CommWorker::Driver::open(const QString& path,
                                                const CommLineSettings& settings, quint32 quietMs) {
    q.m_openFailure.clear();
    if (m_handle != INVALID_HANDLE_VALUE)
        return fail(OpenResult::OpenFailed, QStringLiteral("%1 is already open.").arg(path));
    m_handle = CreateFileW(deviceName(path).c_str(), GENERIC_READ | GENERIC_WRITE, 0, nullptr,
                           OPEN_EXISTING, FILE_FLAG_OVERLAPPED, nullptr);
    if (m_handle == INVALID_HANDLE_VALUE)
        return fail(OpenResult::OpenFailed, describeOpenFailure(path, GetLastError()));
    if (!serial_device::isCharacterDevice(qintptr(m_handle)))
        return fail(OpenResult::NotACommDevice,
                    QStringLiteral("%1 is not a serial port.").arg(path));
    if (!SetupComm(m_handle, kDriverQueue, kDriverQueue))
        return fail(OpenResult::BufferFailed,
                    QStringLiteral("%1: %2.").arg(path, qt_error_string(int(GetLastError()))));
    // Bytes that waited in the driver from before the open are not ours.
    PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    m_quietMs = quietMs;
    applyTimeouts();
    applyLineSettings(settings);

    m_close = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    m_queued = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!m_close || !m_queued)
        return fail(OpenResult::OpenFailed,
                    QStringLiteral("%1: unable to create event.").arg(path));
    try {
        m_reader = std::thread([this] { readLoop(); });
    } catch (const std::system_error&) {
        return fail(OpenResult::OpenFailed,
                    QStringLiteral("%1: unable to create read thread.").arg(path));
    }
    q.m_shared->writerAlive = true;
    try {
        m_writer = std::thread([this] { writeLoop(); });
    } catch (const std::system_error&) {
        return fail(OpenResult::WriterFailed,
                    QStringLiteral("%1: unable to create write thread.").arg(path));
    }
    return OpenResult::Opened;
}

void CommWorker::Driver::applyLineSettings(const CommLineSettings& settings) {
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    DCB dcb{};
    dcb.DCBlength = sizeof dcb;
    // Failures are not reported: a pseudo-terminal, for one, has no modem lines.
    if (!GetCommState(m_handle, &dcb))
        return;
    const bool hardware = settings.flow == QSerialPort::HardwareControl;
    const bool software = settings.flow == QSerialPort::SoftwareControl;
    dcb.BaudRate = DWORD(settings.baudRate);
    dcb.fBinary = TRUE;
    dcb.fParity = settings.parity != QSerialPort::NoParity;
    dcb.fOutxCtsFlow = hardware;
    dcb.fOutxDsrFlow = FALSE;
    dcb.fDtrControl = settings.dtr ? DTR_CONTROL_ENABLE : DTR_CONTROL_DISABLE;
    dcb.fDsrSensitivity = FALSE;
    dcb.fTXContinueOnXoff = TRUE;
    dcb.fOutX = software;
    dcb.fInX = software;
    dcb.fErrorChar = FALSE;
    dcb.fNull = FALSE;
    dcb.fRtsControl = hardware       ? RTS_CONTROL_HANDSHAKE
                      : settings.rts ? RTS_CONTROL_ENABLE
                                     : RTS_CONTROL_DISABLE;
    dcb.XonLim = 500;
    dcb.XoffLim = 500;
    dcb.ByteSize = BYTE(settings.dataBits);
    dcb.Parity = parityCode(settings.parity);
    dcb.StopBits = stopBitsCode(settings.stopBits);
    dcb.XonChar = 0x11;
    dcb.XoffChar = 0x13;
    dcb.ErrorChar = 0;
    SetCommState(m_handle, &dcb);
}

void CommWorker::Driver::setQuietInterval(quint32 quietMs) {
    m_quietMs = quietMs;
    applyTimeouts();
}

void CommWorker::Driver::applyTimeouts() {
    if (m_handle == INVALID_HANDLE_VALUE)
        return;
    // A read waits without limit for its first byte, then completes after the quiet interval
    // or when its buffer is full (0: only when full); writes never time out.
    COMMTIMEOUTS timeouts{};
    timeouts.ReadIntervalTimeout = m_quietMs;
    if (m_quietMs == MAXDWORD) {
        timeouts.ReadTotalTimeoutMultiplier = MAXDWORD;
        timeouts.ReadTotalTimeoutConstant = kImmediatePollMs;
    }
    SetCommTimeouts(m_handle, &timeouts);
}

void CommWorker::Driver::hangup() {
    q.m_shared->writerAlive = false;
    emit q.hangupRequested();
}

void CommWorker::Driver::readLoop() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_HIGHEST);
    OVERLAPPED readIo{};
    OVERLAPPED lineIo{};
    readIo.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    lineIo.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    bool lineEvents = SetCommMask(m_handle, kLineEvents);
    DWORD events = 0;
    bool readPending = false;
    bool linePending = false;
    bool ok = readIo.hEvent && lineIo.hEvent;
    if (!ok)
        hangup();
    while (ok && !closing()) {
        DWORD count = 0;
        if (lineEvents && !linePending) {
            if (WaitCommEvent(m_handle, &events, &lineIo)) {
                ok = handleLineEvent(events);
                continue;
            }
            const DWORD error = GetLastError();
            if (error == ERROR_IO_PENDING) {
                linePending = true;
            } else if (error == ERROR_NOT_SUPPORTED) {
                // The driver has no line events (wine on a pseudo-terminal): reading goes on
                // without them rather than stopping.
                lineEvents = false;
            } else {
                if (!handleGone(error) && !closing())
                    hangup();
                break;
            }
        }
        if (!readPending) {
            if (ReadFile(m_handle, m_readBuffer, kMaxBlock, nullptr, &readIo)) {
                ok = GetOverlappedResult(m_handle, &readIo, &count, FALSE) && deliver(count);
                continue;
            }
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (!handleGone(error) && !closing())
                    hangup();
                break;
            }
            readPending = true;
        }
        const HANDLE waits[] = {m_close, readIo.hEvent, lineIo.hEvent};
        const DWORD woke = WaitForMultipleObjects(linePending ? 3 : 2, waits, FALSE, INFINITE);
        if (woke == WAIT_OBJECT_0)
            break;
        if (woke == WAIT_OBJECT_0 + 1) {
            readPending = false;
            if (!GetOverlappedResult(m_handle, &readIo, &count, FALSE)) {
                if (!handleGone(GetLastError()) && !closing())
                    hangup();
                break;
            }
            ok = deliver(count);
        } else if (woke == WAIT_OBJECT_0 + 2) {
            linePending = false;
            if (!GetOverlappedResult(m_handle, &lineIo, &count, FALSE)) {
                if (!handleGone(GetLastError()) && !closing())
                    hangup();
                break;
            }
            ok = handleLineEvent(events);
        } else {
            hangup();
            break;
        }
    }
    // Nothing may still write into this thread's records or buffer once it ends.
    PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR);
    DWORD ignored = 0;
    if (readPending || linePending)
        CancelIo(m_handle);
    if (readPending)
        GetOverlappedResult(m_handle, &readIo, &ignored, TRUE);
    if (linePending) {
        SetCommMask(m_handle, 0); // completes a pending line-event wait
        GetOverlappedResult(m_handle, &lineIo, &ignored, TRUE);
    }
    if (readIo.hEvent)
        CloseHandle(readIo.hEvent);
    if (lineIo.hEvent)
        CloseHandle(lineIo.hEvent);
}

bool CommWorker::Driver::deliver(DWORD count) {
    // An empty read only happens when the interval says "deliver at once" and nothing came.
    if (count > 0)
        emit q.blockReceived(QByteArray(m_readBuffer, int(count)));
    return true;
}

bool CommWorker::Driver::handleLineEvent(DWORD events) {
    if (events & EV_ERR) {
        DWORD errors = 0;
        if (!ClearCommError(m_handle, &errors, nullptr)) {
            if (!handleGone(GetLastError()))
                hangup();
            return false;
        }
        emit q.receiveError(errors);
    }
    const quint32 modem =
        ((events & EV_RLSD) ? kCarrierChanged : 0) | ((events & EV_RING) ? kRing : 0);
    if (modem != 0)
        emit q.modemStateChanged(modem);
    if ((events & kLineEvents) == 0) {
        hangup();
        return false;
    }
    return true;
}

void CommWorker::Driver::writeLoop() {
    SetThreadPriority(GetCurrentThread(), THREAD_PRIORITY_ABOVE_NORMAL);
    OVERLAPPED io{};
    io.hEvent = CreateEventW(nullptr, TRUE, TRUE, nullptr);
    bool ok = io.hEvent != nullptr;
    if (!ok)
        hangup();
    bool noticeDue = true; // the writer starts with an empty queue and says so once
    while (ok) {
        QByteArray block;
        bool have = false;
        {
            std::lock_guard lock(m_queueMutex);
            if (!m_queue.empty()) {
                block = std::move(m_queue.front());
                m_queue.pop_front();
                have = true;
            }
        }
        if (!have) {
            // More blocks may already be on their way here; the notice comes when they are out.
            if (noticeDue && q.m_shared->queuedBlocks.load() <= 0) {
                noticeDue = false;
                emit q.sendQueueEmptied();
            }
            const HANDLE waits[] = {m_close, m_queued};
            const DWORD woke = WaitForMultipleObjects(2, waits, FALSE, INFINITE);
            if (woke == WAIT_OBJECT_0 + 1)
                continue;
            if (woke != WAIT_OBJECT_0)
                hangup();
            break;
        }
        if (closing()) {
            --q.m_shared->queuedBlocks;
            break;
        }
        ok = writeBlock(block, io);
        --q.m_shared->queuedBlocks;
        noticeDue = true;
    }
    PurgeComm(m_handle, PURGE_TXABORT | PURGE_TXCLEAR);
    if (!ok)
        q.m_shared->writerAlive = false;
    if (io.hEvent)
        CloseHandle(io.hEvent);
}

bool CommWorker::Driver::writeBlock(const QByteArray& block, OVERLAPPED& io) {
    DWORD done = 0;
    while (done < DWORD(block.size())) {
        DWORD written = 0;
        if (!WriteFile(m_handle, block.constData() + done, DWORD(block.size()) - done, nullptr,
                       &io)) {
            const DWORD error = GetLastError();
            if (error != ERROR_IO_PENDING) {
                if (!handleGone(error) && !closing())
                    hangup();
                return false;
            }
            const HANDLE waits[] = {m_close, io.hEvent};
            if (WaitForMultipleObjects(2, waits, FALSE, INFINITE) != WAIT_OBJECT_0 + 1) {
                // Closing: the write is abandoned, but it must be finished with this record.
                CancelIo(m_handle);
                GetOverlappedResult(m_handle, &io, &written, TRUE);
                return false;
            }
        }
        if (!GetOverlappedResult(m_handle, &io, &written, TRUE)) {
            if (!handleGone(GetLastError()) && !closing())
                hangup();
            return false;
        }
        done += written;
    }
    return true;
}

void CommWorker::Driver::write(const QByteArray& block) {
    if (!m_writer.joinable() || !q.m_shared->writerAlive) {
        --q.m_shared->queuedBlocks; // dropped: nobody will put it on the line
        return;
    }
    {
        std::lock_guard lock(m_queueMutex);
        m_queue.push_back(block);
    }
    SetEvent(m_queued);
}

void CommWorker::Driver::dropQueued() {
    std::lock_guard lock(m_queueMutex);
    q.m_shared->queuedBlocks -= int(m_queue.size());
    m_queue.clear();
}

void CommWorker::Driver::stop() {
    q.m_shared->writerAlive = false;
    if (m_close)
        SetEvent(m_close);
    if (m_handle != INVALID_HANDLE_VALUE)
        PurgeComm(m_handle, PURGE_RXABORT | PURGE_RXCLEAR | PURGE_TXABORT | PURGE_TXCLEAR);
    if (m_reader.joinable())
        m_reader.join();
    if (m_writer.joinable())
        m_writer.join();
    dropQueued();
    for (HANDLE* event : {&m_close, &m_queued}) {
        if (*event)
            CloseHandle(*event);
        *event = nullptr;
    }
    if (m_handle != INVALID_HANDLE_VALUE)
        CloseHandle(m_handle);
    m_handle = INVALID_HANDLE_VALUE;
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
