#pragma once

#include <QByteArray>
#include <QObject>
#include <QString>

#include <functional>
#include <memory>
#include <stdexcept>

class QThread;
class CommWorker;

// Raised by OpenPort with one of its seven fixed messages; the detail says which device, what
// the system answered and what to do about it.
class ECommsError : public std::runtime_error {
public:
    explicit ECommsError(const QString& message, const QString& detail = {})
        : std::runtime_error(message.toStdString()), m_message(message), m_detail(detail) {}
    QString message() const { return m_message; }
    QString detail() const { return m_detail; }

private:
    QString m_message;
    QString m_detail;
};

// The serial port component. Reading and writing run on a thread of their own, so that the
// 100 ms of quiet that ends a block is measured on the line; blocks and the notifications
// reach the main thread as queued signals and then the On... callbacks.
class TComm : public QObject {
    Q_OBJECT
public:
    enum class TDtrControl { DtrEnable, DtrDisable, DtrHandshake };
    enum class TRtsControl { RtsEnable, RtsDisable, RtsHandshake, RtsTransmissionAvailable };
    enum class TByteSize { _5, _6, _7, _8 };
    enum class TParity { None, Odd, Even, Mark, Space };
    enum class TStopBits { _1, _1_5, _2 };

    explicit TComm(QObject* parent = nullptr);
    ~TComm() override;

    // Published properties, with the component's own defaults.
    QString CommName = QStringLiteral("COM2");
    qint32 BaudRate = 9600;
    bool ParityCheck = false;
    bool Outx_CtsFlow = false;
    bool Outx_DsrFlow = false;
    TDtrControl DtrControl = TDtrControl::DtrEnable;
    bool DsrSensitivity = false;
    bool TxContinueOnXoff = true;
    bool Outx_XonXoffFlow = true;
    bool Inx_XonXoffFlow = true;
    bool ReplaceWhenParityError = false;
    bool IgnoreNullChar = false;
    TRtsControl RtsControl = TRtsControl::RtsEnable;
    quint16 XonLimit = 500;
    quint16 XoffLimit = 500;
    TByteSize ByteSize = TByteSize::_8;
    TParity Parity = TParity::None;
    TStopBits StopBits = TStopBits::_1;
    char XonChar = 0x11;
    char XoffChar = 0x13;
    char ReplacedChar = 0x00;
    quint32 ReadIntervalTimeout = 100;
    quint32 ReadTotalTimeoutMultiplier = 0;
    quint32 ReadTotalTimeoutConstant = 0;
    quint32 WriteTotalTimeoutMultiplier = 0;
    quint32 WriteTotalTimeoutConstant = 0;

    // Events, called on the main thread. An unassigned event does nothing.
    std::function<void(TComm* sender, const quint8* buffer, quint16 length)> OnReceiveData;
    std::function<void(TComm* sender, quint32 eventMask)> OnReceiveError;
    std::function<void(TComm* sender, quint32 modemEvent)> OnModemStateChange;
    std::function<void(TComm* sender)> OnRequestHangup;
    std::function<void(TComm* sender)> OnSendDataEmpty;

    void OpenPort();  // throws ECommsError
    void ClosePort(); // no-op when closed
    bool QueueWrite(const quint8* data, quint16 size);
    bool isOpen() const;
    // Open, but the device went away (unplugged, or its node removed): nothing can be sent
    // until the port is closed and opened again.
    bool deviceGone() const;
    bool sendQueueEmpty() const;

    // Re-applies the line settings / time-outs while open (a no-op while closed).
    void applyLineSettings();
    void applyTimeouts();

    // The device a "Com" name reaches on this machine (see README: serial port names).
    static QString devicePath(const QString& commName);
    // The five fixed names, then the serial devices found on this machine.
    static QStringList portNames();

private:
    // worker/thread members are private to tcomm.cpp
    struct Private;
    std::unique_ptr<Private> d;
};
