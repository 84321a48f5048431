// Restore points: which files beside the record file are backups and of what action, pruning
// that never takes a backup the user asked for, and restores that refuse what is no sound
// backup of the file without touching a record.
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/restore_points.h"
#include "records/schema.h"
#include "support/record_files.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

class TestRecordsRestorePoints : public QObject {
    Q_OBJECT
private slots:
    void init();
    void backupsByName_data();
    void backupsByName();
    void pruningSparesTheUsersBackups();
    void restoreRefusesAndChangesNothing_data();
    void restoreRefusesAndChangesNothing();

private:
    QString db() const { return m_dir->filePath(QStringLiteral("VELM.mdb")); }
    std::unique_ptr<QTemporaryDir> m_dir;
};

namespace {
const QDateTime kWhen(QDate(2014, 8, 18), QTime(9, 30, 0));

QStringList names(const QList<restore_points::Backup>& backups) {
    QStringList out;
    for (const restore_points::Backup& b : backups)
        out << b.name;
    return out;
}
} // namespace

void TestRecordsRestorePoints::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
    QVERIFY(record_files::exec(db(), "INSERT INTO \"Timer Records\" (Timer_Order, Time, "
                                     "Timer_Mode) VALUES (3, 'x', 'Once')"));
}

void TestRecordsRestorePoints::backupsByName_data() {
    QTest::addColumn<QString>("suffix");
    QTest::addColumn<QString>("action"); // "-": not a backup
    QTest::addColumn<int>("sequence");
    QTest::newRow("asked for") << ""
                               << "" << 1;
    QTest::newRow("asked for twice a second") << "-2"
                                              << "" << 2;
    QTest::newRow("before an import") << "-import"
                                      << "import" << 1;
    QTest::newRow("third in a second") << "-delete-all-timers-3"
                                       << "delete-all-timers" << 3;
    QTest::newRow("a backup's journal") << "-journal"
                                        << "-" << 0;
    QTest::newRow("a restore point's journal") << "-import-journal"
                                               << "-" << 0;
    QTest::newRow("half written") << ".part-0123abcd"
                                  << "-" << 0;
    QTest::newRow("upper case") << "-Import"
                                << "-" << 0;
}

void TestRecordsRestorePoints::backupsByName() {
    QFETCH(QString, suffix);
    QFETCH(QString, action);
    QFETCH(int, sequence);
    const QString name = QStringLiteral("VELM.mdb.backup-20140818-093000") + suffix;
    QVERIFY(QFile::copy(db(), m_dir->filePath(name)));
    const QList<restore_points::Backup> found = restore_points::list(db());
    if (action == QLatin1String("-")) {
        QVERIFY(found.isEmpty());
        return;
    }
    QCOMPARE(found.size(), 1);
    QCOMPARE(found[0].name, name);
    QCOMPARE(found[0].action, action);
    QCOMPARE(found[0].sequence, sequence);
    QCOMPARE(found[0].time, kWhen);
    QCOMPARE(found[0].rows, (QList<int>{0, 0, 1, 0, 0, 224}));
    QCOMPARE(found[0].size, QFileInfo(db()).size());
}

void TestRecordsRestorePoints::pruningSparesTheUsersBackups() {
    // The user's backups are the oldest of all, and one comes in the middle.
    QStringList users;
    for (int i = 0; i < 2; ++i)
        users << QFileInfo(records_backup::backUp(db(), kWhen.addSecs(i))).fileName();
    QStringList points;
    for (int i = 0; i < restore_points::kKept + 3; ++i) {
        if (i == 10)
            users << QFileInfo(records_backup::backUp(db(), kWhen.addSecs(100 + i))).fileName();
        // Two in one second: the second is the newer.
        points << QFileInfo(restore_points::make(db(), QStringLiteral("Delete All Timers"),
                                                 kWhen.addSecs(100 + i / 2)))
                      .fileName();
    }
    QCOMPARE(points[1], points[0] + QStringLiteral("-2"));
    QVERIFY(points[0].endsWith(QLatin1String("-delete-all-timers")));
    const QStringList left = names(restore_points::list(db(), false));
    for (const QString& user : std::as_const(users))
        QVERIFY2(left.contains(user), qPrintable(user));
    for (int i = 0; i < points.size(); ++i)
        QCOMPARE(left.contains(points[i]), i >= 3);
    QCOMPARE(left.size(), restore_points::kKept + users.size());
}

void TestRecordsRestorePoints::restoreRefusesAndChangesNothing_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<QByteArray>("content"); // written under `name` when not empty
    QTest::addColumn<QString>("message");
    QTest::newRow("a path elsewhere")
        << "../VELM.mdb.backup-20140818-093000" << QByteArray() << "is no backup";
    QTest::newRow("the file itself") << "VELM.mdb" << QByteArray() << "is no backup";
    QTest::newRow("no such backup")
        << "VELM.mdb.backup-20140818-093000" << QByteArray() << "is no backup";
    QTest::newRow("not a database") << "VELM.mdb.backup-20140818-093000-import"
                                    << QByteArray("Scene No.;Scene Name\r\n") << "VELM.mdb.backup";
    QTest::newRow("another database")
        << "VELM.mdb.backup-20140818-093000" << QByteArray("other") << "not a record database";
}

void TestRecordsRestorePoints::restoreRefusesAndChangesNothing() {
    QFETCH(QString, name);
    QFETCH(QByteArray, content);
    QFETCH(QString, message);
    const QString target = m_dir->filePath(name);
    if (content == "other") {
        QVERIFY(record_files::exec(target, "CREATE TABLE t (a INTEGER)"));
    } else if (!content.isEmpty()) {
        QFile f(target);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
    }
    const QByteArray before = record_files::bytes(db());
    try {
        restore_points::restore(db(), name, kWhen);
        QFAIL("restored");
    } catch (const RecordError& e) {
        QVERIFY2(QString::fromUtf8(e.what()).contains(message), e.what());
    }
    QCOMPARE(record_files::bytes(db()), before);
    // No restore point for a restore that could not start.
    for (const restore_points::Backup& b : restore_points::list(db(), false))
        QVERIFY2(b.action != QLatin1String("restore"), qPrintable(b.name));
}

QTEST_MAIN(TestRecordsRestorePoints)
#include "test_records_restore_points.moc"
