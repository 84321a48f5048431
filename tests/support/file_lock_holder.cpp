#include "support/file_lock_holder.h"

#include <QCoreApplication>
#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>

#include <cstdio>
#include <cstring>

namespace {
constexpr const char* kChildFlag = "--hold-record-lock";
}

FileLockHolder::~FileLockHolder() {
    release();
}

bool FileLockHolder::hold(const QString& file, Lock lock, int timeoutMs) {
    release();
    m_child = std::make_unique<QProcess>();
    m_child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_child->start(
        QCoreApplication::applicationFilePath(),
        {QLatin1StringView(kChildFlag),
         lock == Lock::Exclusive ? QStringLiteral("exclusive") : QStringLiteral("reserved"), file});
    while (!m_child->canReadLine()) {
        if (!m_child->waitForReadyRead(timeoutMs)) {
            m_error =
                QStringLiteral("the lock holder did not start: %1").arg(m_child->errorString());
            return false;
        }
    }
    const QByteArray line = m_child->readLine().trimmed();
    if (line != "locked") {
        m_error = QStringLiteral("the lock holder says: %1").arg(QString::fromUtf8(line));
        return false;
    }
    return true;
}

void FileLockHolder::release() {
    if (!m_child)
        return;
    m_child->closeWriteChannel();
    if (!m_child->waitForFinished(5000)) {
        m_child->kill();
        m_child->waitForFinished(5000);
    }
    m_child.reset();
}

int FileLockHolder::runChildIfAsked(int argc, char** argv) {
    if (argc != 4 || std::strcmp(argv[1], kChildFlag) != 0)
        return -1;
    QCoreApplication app(argc, argv);
    const bool exclusive = std::strcmp(argv[2], "exclusive") == 0;
    int rc = 0;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "hold");
        db.setDatabaseName(QString::fromLocal8Bit(argv[3]));
        // A lock this program can not have is said at once, not after the driver's 5 s.
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=250"));
        QSqlQuery q(db);
        if (!db.open() || !q.exec(exclusive ? QStringLiteral("BEGIN EXCLUSIVE")
                                            : QStringLiteral("BEGIN IMMEDIATE"))) {
            std::printf("error: %s\n", qPrintable(q.lastError().text()));
            rc = 1;
        } else {
            std::printf("locked\n");
            std::fflush(stdout);
            // Until the test closes our stdin (or the test ends).
            while (std::getchar() != EOF) {
            }
            q.exec(QStringLiteral("ROLLBACK"));
        }
        std::fflush(stdout);
    }
    QSqlDatabase::removeDatabase("hold");
    return rc;
}
