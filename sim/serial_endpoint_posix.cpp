#include "sim/serial_endpoint.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <pty.h>
#include <termios.h>
#include <unistd.h>

namespace {
speed_t speedOf(int baud) {
    switch (baud) {
    case 1200:
        return B1200;
    case 2400:
        return B2400;
    case 4800:
        return B4800;
    case 9600:
        return B9600;
    case 19200:
        return B19200;
    case 38400:
        return B38400;
    case 57600:
        return B57600;
    case 115200:
        return B115200;
    default:
        return B9600;
    }
}
} // namespace

QString SerialEndpoint::unavailableReason() {
    return {};
}

SerialEndpoint::~SerialEndpoint() {
    m_notifier.reset();
    if (m_fd >= 0)
        ::close(m_fd);
    if (m_slaveFd >= 0)
        ::close(m_slaveFd);
}

bool SerialEndpoint::openPty(QString* error) {
    char name[256] = {};
    termios raw{};
    cfmakeraw(&raw);
    int master = -1;
    if (::openpty(&master, &m_slaveFd, name, &raw, nullptr) != 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    // The slave stays open here too, so the line stays up while the tool closes and reopens.
    m_path = QString::fromLocal8Bit(name);
    attach(master);
    return true;
}

bool SerialEndpoint::openDevice(const QString& path, QString* error) {
    const int fd = ::open(path.toLocal8Bit().constData(), O_RDWR | O_NOCTTY);
    if (fd < 0) {
        *error = QString::fromLocal8Bit(std::strerror(errno));
        return false;
    }
    termios t{};
    if (::tcgetattr(fd, &t) == 0) {
        cfmakeraw(&t);
        const speed_t speed = speedOf(m_byteNs > 0 ? int(10'000'000'000LL / m_byteNs) : 9600);
        cfsetispeed(&t, speed);
        cfsetospeed(&t, speed);
        ::tcsetattr(fd, TCSANOW, &t);
    }
    m_path = path;
    attach(fd);
    return true;
}

void SerialEndpoint::attach(int fd) {
    ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) | O_NONBLOCK);
    m_fd = fd;
    m_notifier = std::make_unique<QSocketNotifier>(fd, QSocketNotifier::Read);
    connect(m_notifier.get(), &QSocketNotifier::activated, this, &SerialEndpoint::onReadable);
}

void SerialEndpoint::onReadable() {
    char buf[512];
    const ssize_t n = ::read(m_fd, buf, sizeof buf);
    if (n <= 0) {
        if (n < 0 && errno != EAGAIN && errno != EINTR)
            m_notifier->setEnabled(false); // the line is gone
        return;
    }
    receive(QByteArray(buf, qsizetype(n)));
}

bool SerialEndpoint::isOpen() const {
    return m_fd >= 0;
}

qsizetype SerialEndpoint::writeLine(const QByteArray& bytes) {
    const ssize_t n = ::write(m_fd, bytes.constData(), size_t(bytes.size()));
    if (n < 0)
        return errno == EAGAIN || errno == EINTR ? 0 : -1;
    return qsizetype(n);
}
