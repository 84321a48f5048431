#pragma once

#include <QProcess>
#include <QString>

#include <memory>

// Another program holding the record database: a child process (the test program itself,
// started again) that opens the file with SQLite and keeps a lock on it until released.
//   Reserved:  it is writing; others may still read, nobody else may write.
//   Exclusive: it is committing; nobody else may read or write.
// A test's main() hands its arguments to runChildIfAsked() first.
class FileLockHolder {
public:
    enum class Lock { Reserved, Exclusive };

    FileLockHolder() = default;
    ~FileLockHolder();
    FileLockHolder(const FileLockHolder&) = delete;
    FileLockHolder& operator=(const FileLockHolder&) = delete;

    // Starts the child and waits until it holds the lock; false (see errorString()) otherwise.
    bool hold(const QString& file, Lock lock, int timeoutMs = 10000);
    // The child rolls back, closes the file and ends.
    void release();
    QString errorString() const { return m_error; }

    // In the child: holds the lock and returns its exit code. In the test itself: -1.
    static int runChildIfAsked(int argc, char** argv);

private:
    std::unique_ptr<QProcess> m_child;
    QString m_error;
};
