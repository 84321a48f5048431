#pragma once

#include "platform/system_error.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <memory>
#include <vector>

// The one writer of the files the tool writes whole (exports, reports, site files, walk-test
// results, the bus monitor's files). open() refuses what is not a regular file or a new name
// (a folder, a FIFO, a device, a write-protected file, a symbolic link loop or one to nothing)
// before a byte is written and starts a temporary file beside the target; write() adds bytes,
// as many pieces as the caller likes; commit() puts them on the disk and renames them over the
// target. Every failure throws RecordError with the cause and removes the temporary file, and
// so does the destructor of a file not committed: the target changes only in commit()'s
// rename. A temporary file a kill left behind is removed by the next open() of the same target.
class WholeFile {
public:
    WholeFile() = default;
    ~WholeFile();
    WholeFile(const WholeFile&) = delete;
    WholeFile& operator=(const WholeFile&) = delete;

    // `mode` >= 0 gives the file exactly these permissions before a byte of it is written (a
    // file that holds a password); otherwise a replaced file keeps its own.
    void open(const QString& target, int mode = -1);
    void write(const QByteArray& piece);
    void commit();

    // The bytes on the disk and the handle closed; the target not yet changed.
    void finish();
    // The rename over the target (after finish()); the caller makes the folder durable.
    void replaceTarget();
    QString target() const { return m_target; }

    // Several files, all written first and renamed only when all are whole on the disk: a
    // failure before the renames leaves every old file as it was; a rename that fails half-way
    // says how many were replaced.
    static void save(const QStringList& targets, const QList<QByteArray>& contents, int mode = -1);
    // The renames of save() for files already finish()ed, in order.
    static void replaceAll(const std::vector<std::unique_ptr<WholeFile>>& files);

    // Throws RecordError naming what stands at `file` when a whole-file write may not replace it.
    static void checkTarget(const QString& file);

private:
    [[noreturn]] void fail(const SystemError& error);
    void discard();

    QString m_target; // as the user named it, for messages
    QString m_final;  // where the bytes go (a symbolic link is written through)
    QString m_temp;
    qintptr m_handle = -1;
};
