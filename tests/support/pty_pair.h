#pragma once

#include <QByteArray>
#include <QString>

// A pseudo-terminal pair made by a test: the tool opens slavePath() as its serial device,
// the test reads and writes the master side.
class PtyPair {
public:
    PtyPair();
    ~PtyPair();
    bool ok() const { return m_master >= 0; }
    QString slavePath() const { return m_slavePath; }
    int masterFd() const { return m_master; }

    bool write(const QByteArray& bytes);
    // Reads what is there within timeoutMs (returns early once nothing more comes for 50 ms).
    QByteArray read(int timeoutMs);
    void closeMaster();

private:
    int m_master = -1;
    int m_slave = -1; // kept open so the line stays up while the tool opens and closes it
    QString m_slavePath;
};
