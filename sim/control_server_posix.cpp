#include "sim/control_server.h"

#include <cerrno>
#include <unistd.h>

void ControlServer::readStdin() {
    m_stdin = std::make_unique<QSocketNotifier>(STDIN_FILENO, QSocketNotifier::Read);
    connect(m_stdin.get(), &QSocketNotifier::activated, this, &ControlServer::onStdin);
}

void ControlServer::onStdin() {
    char buf[1024];
    const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
    if (n <= 0) {
        if (n == 0 || (errno != EAGAIN && errno != EINTR))
            m_stdin->setEnabled(false); // stdin closed: keep running, other ways still work
        return;
    }
    takeStdin(QByteArray(buf, qsizetype(n)));
}
