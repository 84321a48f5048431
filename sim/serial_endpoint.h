#pragma once

#include "sim/frame_scanner.h"
#include "sim/sim_types.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSocketNotifier>
#include <QTimer>

#include <memory>

class CaptureWriter;
class FaultInjector;
class Installation;
class TrafficLog;

// The bus side seen from a serial line: a pseudo-terminal of its own or a given device.
// Replies are written at the pace of the chosen baud rate (10 bits a byte). The line itself is
// the system's (serial_endpoint_posix.cpp, serial_endpoint_windows.cpp); framing, replies and
// pacing are the same everywhere.
class SerialEndpoint : public QObject {
    Q_OBJECT
public:
    static constexpr int kSplitPauseMs = 300;
    static constexpr int kStaleMs = 500;

    SerialEndpoint(Installation& installation, FaultInjector& faults, const TrafficLog& log,
                   bool longForm, int baud, QObject* parent = nullptr);
    ~SerialEndpoint() override;

    // Why this system has no serial line for the simulator; empty where it has one.
    static QString unavailableReason();

    // Opens a pseudo-terminal pair; path() is the side the tool opens.
    bool openPty(QString* error);
    bool openDevice(const QString& path, QString* error);
    QString path() const { return m_path; }
    // Every frame (and every run of garbage) on the line also goes into this capture.
    void setCapture(CaptureWriter* capture) { m_capture = capture; }

    // Bytes as if they had come in on the line.
    void receive(const QByteArray& bytes);

private:
    void attach(int fd);
    void onReadable();
    bool isOpen() const;
    // Bytes written, 0 when the line takes none now, -1 when the line is gone.
    qsizetype writeLine(const QByteArray& bytes);
    void send(SimReply reply);
    void pump();

    Installation& m_installation;
    FaultInjector& m_faults;
    const TrafficLog& m_log;
    bool m_longForm;
    qint64 m_byteNs;
    int m_fd = -1;
    int m_slaveFd = -1;
    QString m_path;
    std::unique_ptr<QSocketNotifier> m_notifier;
    FrameScanner m_scanner;
    QElapsedTimer m_sinceRx;

    struct Chunk {
        QByteArray bytes;
        int pauseBeforeMs = 0;
    };
    QList<Chunk> m_queue;
    QByteArray m_current;
    QTimer m_pump;
    QElapsedTimer m_clock;
    qint64 m_lineFreeAt = 0;
    CaptureWriter* m_capture = nullptr;
};
