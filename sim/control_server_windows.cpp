#include "sim/control_server.h"

#include <QPointer>

#include <thread>

#include <windows.h>

// The event loop here cannot watch a console or a pipe, so a thread of its own waits on
// standard input and hands each piece to the event loop. A read that waits cannot be stopped:
// the thread ends with its input or with the process, and hands over through a context object
// of its own (alive as long as the thread is), to this server only while the server lives.
void ControlServer::readStdin() {
    auto* context = new QObject;
    const QPointer<ControlServer> self(this);
    std::thread([context, self] {
        const HANDLE input = GetStdHandle(STD_INPUT_HANDLE);
        char buf[1024];
        DWORD n = 0;
        while (input != nullptr && input != INVALID_HANDLE_VALUE &&
               ReadFile(input, buf, sizeof buf, &n, nullptr) && n > 0) {
            const QByteArray bytes(buf, qsizetype(n));
            QMetaObject::invokeMethod(
                context,
                [self, bytes] {
                    if (self)
                        self->takeStdin(bytes);
                },
                Qt::QueuedConnection);
        }
        context->deleteLater(); // stdin closed: keep running, other ways still work
    }).detach();
}
