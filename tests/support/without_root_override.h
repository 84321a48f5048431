#pragma once

#include <QString>

// Root reads and writes any file whatever its mode bits. For its lifetime this takes that
// override (CAP_DAC_OVERRIDE, CAP_DAC_READ_SEARCH) from the calling thread's effective
// capabilities, so that a file without read permission is refused to the test as to anyone
// else; the destructor gives it back. Only the calling thread is affected (the main thread of
// a Qt test).
//
//   WithoutRootOverride plain;
//   if (!plain.ok())
//       QSKIP(qPrintable(plain.errorString()));
class WithoutRootOverride {
public:
    WithoutRootOverride();
    ~WithoutRootOverride();
    WithoutRootOverride(const WithoutRootOverride&) = delete;
    WithoutRootOverride& operator=(const WithoutRootOverride&) = delete;

    bool ok() const { return m_error.isEmpty(); }
    QString errorString() const { return m_error; }

private:
    unsigned m_effective = 0; // the first word of the effective set before
    bool m_changed = false;
    QString m_error;
};
