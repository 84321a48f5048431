#pragma once

#include <QByteArray>
#include <QObject>
#include <QSerialPort>
#include <QString>

#include <atomic>
#include <memory>

// The line settings as the port understands them (TComm translates its properties).
struct CommLineSettings {
    qint32 baudRate = 9600;
    QSerialPort::DataBits dataBits = QSerialPort::Data8;
    QSerialPort::Parity parity = QSerialPort::NoParity;
    QSerialPort::StopBits stopBits = QSerialPort::OneStop;
    QSerialPort::FlowControl flow = QSerialPort::NoFlowControl;
    bool dtr = true;
    bool rts = true; // left to the driver under hardware flow control
};

// State the main thread and the worker both touch; only the latest values matter.
struct CommShared {
    std::atomic<int> queuedBlocks{0};     // blocks handed to the worker and not yet on the line
    std::atomic<bool> writerAlive{false}; // false once the device is gone or the port is closed
};

// Owns the serial port from the port's own thread: collects received bytes into blocks ended by
// a quiet interval or by the block size, writes the queued blocks, and watches for the device
// disappearing. Everything it reports leaves as a signal (queued to the main thread).
class CommWorker : public QObject {
    Q_OBJECT
public:
    enum class OpenResult { Opened, OpenFailed, NotACommDevice, BufferFailed, WriterFailed };
    static constexpr int kMaxBlock = 2048;
    static constexpr quint32 kCarrierChanged = 8;
    static constexpr quint32 kRing = 4;

    explicit CommWorker(std::shared_ptr<CommShared> shared);
    ~CommWorker() override;

    // All of these run on the worker's thread.
    OpenResult open(const QString& path, const CommLineSettings& settings, quint32 quietMs);
    // Why the last open failed, in words a technician can act on; empty after a success.
    QString openFailure() const { return m_openFailure; }
    void applyLineSettings(const CommLineSettings& settings);
    void setQuietInterval(quint32 quietMs);
    void write(const QByteArray& block);
    void stop();

signals:
    void blockReceived(const QByteArray& block);
    // Carries the Windows line-error flags (on Linux Qt reports no parity, framing or overrun
    // errors, so nothing raises it there).
    void receiveError(quint32 eventMask);
    void modemStateChanged(quint32 modemEvent);
    void hangupRequested();
    void sendQueueEmptied();

private:
    // The system's side of the port: QSerialPort on Linux, Win32 overlapped I/O on Windows.
    // CMake builds the one source for the target system.
    class Driver;
    std::shared_ptr<CommShared> m_shared;
    QString m_openFailure;
    std::unique_ptr<Driver> m_driver; // last: it goes first and may still touch the above
};
