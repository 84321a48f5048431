#include "support/record_files.h"

#include <QFile>
#include <QFileInfo>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>

#include <atomic>

namespace record_files {

QByteArray bytes(const QString& file) {
    if (QFileInfo::exists(file) && !QFileInfo(file).isFile())
        return QByteArray("(not a file)");
    QFile f(file);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray("(unreadable)");
}

QStringList sideFiles(const QString& file) {
    QStringList found;
    for (const char* suffix : {"-journal", "-wal", "-shm"}) {
        if (QFile::exists(file + QLatin1StringView(suffix)))
            found << QLatin1StringView(suffix);
    }
    return found;
}

namespace {
QString nextName() {
    static std::atomic<int> counter{0};
    return QStringLiteral("record-files-%1").arg(++counter);
}
} // namespace

bool exec(const QString& file, const QString& sql, const QVariantList& values) {
    const QString name = nextName();
    bool ok = false;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.prepare(sql)) {
                for (int i = 0; i < values.size(); ++i)
                    q.bindValue(i, values[i]);
                ok = q.exec();
            }
        }
    }
    QSqlDatabase::removeDatabase(name);
    return ok;
}

QVariant query(const QString& file, const QString& sql) {
    const QString name = nextName();
    QVariant value;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            if (q.exec(sql) && q.next())
                value = q.value(0);
        }
    }
    QSqlDatabase::removeDatabase(name);
    return value;
}

QVariant queryCopyAlone(const QString& file, const QString& sql) {
    QTemporaryDir elsewhere;
    const QString copy = elsewhere.filePath(QStringLiteral("copy.mdb"));
    if (!QFile::copy(file, copy))
        return QVariant();
    return query(copy, sql);
}

bool leaveUnfinishedWrite(const QString& file) {
    const QString name = nextName();
    const QByteArray before = bytes(file);
    QByteArray image, journal;
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        if (db.open()) {
            QSqlQuery q(db);
            // A cache of a few pages spills the transaction into the file long before its end.
            q.exec(QStringLiteral("PRAGMA cache_size=10"));
            q.exec(QStringLiteral("BEGIN"));
            q.prepare(QStringLiteral(R"(INSERT INTO "Timer Records" ("Timer_Order","Time")
                                        VALUES (?,?))"));
            for (int i = 1; i <= 100; ++i) {
                q.bindValue(0, 1000 + i);
                q.bindValue(1, QString(2000, u'x'));
                q.exec();
            }
            // Taken while the transaction is open: what the disk holds at a kill.
            image = bytes(file);
            journal = bytes(file + QStringLiteral("-journal"));
            q.exec(QStringLiteral("ROLLBACK"));
        }
    }
    QSqlDatabase::removeDatabase(name);
    if (image == before || journal.isEmpty() || journal == "(unreadable)")
        return false;
    QFile f(file), j(file + QStringLiteral("-journal"));
    return f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(image) == image.size() &&
           j.open(QIODevice::WriteOnly | QIODevice::NewOnly) && j.write(journal) == journal.size();
}

void fillTimers(const QString& file, int rows, const std::function<int(int)>& order,
                const std::function<QString(int)>& time) {
    const QString name = QStringLiteral("fill");
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
        db.setDatabaseName(file);
        db.open();
        db.transaction();
        QSqlQuery q(db);
        q.prepare(QStringLiteral(R"(INSERT INTO "Timer Records" ("Timer_Order","Time","Timer_Mode")
                     VALUES (?,?,'Once'))"));
        for (int i = 1; i <= rows; ++i) {
            q.bindValue(0, order(i));
            q.bindValue(1, time(i));
            q.exec();
        }
        q.finish();
        db.commit();
    }
    QSqlDatabase::removeDatabase(name);
}

} // namespace record_files
