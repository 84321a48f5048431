// What a write cut short leaves beside the record file goes; what is another's, or a user's
// file that only looks alike, stays.
#include "records/leftover_parts.h"
#include "records/record_table.h"
#include "records/whole_file.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QTest>

namespace {
const QString kToken = QStringLiteral("0123456789abcdef0123456789abcdef");
}

class TestRecordsLeftoverParts : public QObject {
    Q_OBJECT
private slots:
    void sweep_data();
    void sweep();
};

void TestRecordsLeftoverParts::sweep_data() {
    QTest::addColumn<QString>("name");
    QTest::addColumn<bool>("removed");
    QTest::newRow("backup copy") << "VELM.mdb.backup-20261210-101010.part-" + kToken << true;
    QTest::newRow("backup copy's journal")
        << "VELM.mdb.backup-20261210-101010-import.part-" + kToken + "-journal" << true;
    // A convert in progress holds no lock between transactions: its file is the convert's own.
    QTest::newRow("conversion") << "VELM.mdb.convert-part" << false;
    QTest::newRow("conversion's journal") << "VELM.mdb.convert-part-journal" << false;
    QTest::newRow("site file") << "site.json.part-" + kToken << true;
    QTest::newRow("history") << "history.jsonl.part-" + kToken << true;
    QTest::newRow("walk results") << "walk-results.json.part-" + kToken << true;
    QTest::newRow("a user's file") << "notes.part-1" << false;
    QTest::newRow("another database's conversion") << "OTHER.mdb.convert-part" << false;
}

void TestRecordsLeftoverParts::sweep() {
    QFETCH(QString, name);
    QFETCH(bool, removed);
    QTemporaryDir dir;
    const QString database = dir.filePath(QStringLiteral("VELM.mdb"));
    for (const QString& file : {database, dir.filePath(name)}) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("half");
    }
    // A write another program is in the middle of holds its temporary file: it stays, and its
    // write still ends well.
    WholeFile running;
    running.open(dir.filePath(QStringLiteral("export.csv")));
    running.write("a,b\n");

    QCOMPARE(leftover_parts::sweep(database), QStringList());
    QCOMPARE(QFile::exists(dir.filePath(name)), !removed);
    QVERIFY(QFile::exists(database));
    QCOMPARE(leftover_parts::find(database).size(), 1); // the running write's
    running.commit();
    QVERIFY(QFile::exists(dir.filePath(QStringLiteral("export.csv"))));
    QCOMPARE(leftover_parts::find(database), QStringList());
}

QTEST_GUILESS_MAIN(TestRecordsLeftoverParts)
#include "test_records_leftover_parts.moc"
