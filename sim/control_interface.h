#pragma once

#include <QString>

class FaultInjector;
class Installation;

// The text commands for tests and demonstrations: inspect the state, make inputs and timers
// act, finish an IR learning, and break the replies on purpose.
class ControlInterface {
public:
    ControlInterface(Installation& installation, FaultInjector& faults);

    // Runs one command line; the answer is one line ("ok", "error: ...", or the JSON dump).
    QString execute(const QString& line);
    bool quitRequested() const { return m_quit; }

    static QString helpText();

private:
    Installation& m_installation;
    FaultInjector& m_faults;
    bool m_quit = false;
};
