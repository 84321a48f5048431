#include "platform/interrupt_rename.h"

#include <QFile>

#include <csignal>
#include <cstring>

#include <limits.h>
#include <stdio.h>
#include <unistd.h>

namespace {

char renameFrom[PATH_MAX];
char renameTo[PATH_MAX];
volatile sig_atomic_t armed = 0;
volatile sig_atomic_t holds = 0;
volatile sig_atomic_t waiting = 0; // the signal that came during a Hold

void renameAndEnd(int signal) {
    if (armed)
        (void)::rename(renameFrom, renameTo);
    ::_exit(128 + signal);
}

void interrupted(int signal) {
    if (holds > 0) {
        waiting = signal;
        return;
    }
    renameAndEnd(signal);
}

bool copyPath(char* into, const QString& path) {
    const QByteArray native = QFile::encodeName(path);
    if (native.size() >= PATH_MAX)
        return false;
    std::memcpy(into, native.constData(), size_t(native.size()) + 1);
    return true;
}

} // namespace

namespace interrupt_rename {

void arm(const QString& from, const QString& to) {
    armed = 0;
    if (!copyPath(renameFrom, from) || !copyPath(renameTo, to))
        return;
    armed = 1;
    struct sigaction action {};
    action.sa_handler = interrupted;
    sigemptyset(&action.sa_mask);
    sigaddset(&action.sa_mask, SIGINT);
    sigaddset(&action.sa_mask, SIGTERM);
    ::sigaction(SIGINT, &action, nullptr);
    ::sigaction(SIGTERM, &action, nullptr);
}

void disarm() {
    armed = 0;
    std::signal(SIGINT, SIG_DFL);
    std::signal(SIGTERM, SIG_DFL);
}

Hold::Hold() {
    holds = holds + 1;
}

Hold::~Hold() {
    holds = holds - 1;
    if (holds == 0 && waiting)
        renameAndEnd(waiting);
}

} // namespace interrupt_rename
