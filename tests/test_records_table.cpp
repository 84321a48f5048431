// The record table over a real SQLite file: opening, the cursor, writes and what reaches the
// file, failed writes, read-only files and the grid model.

#include "records/filters.h"
#include "records/record_table.h"
#include "records/schema.h"
#include "support/record_files.h"

#include <QAbstractItemModelTester>
#include <QAbstractTableModel>
#include <QFile>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

// A second, independent connection to the file, as another process would see it.
class Peer {
public:
    explicit Peer(const QString& file) : m_name(QStringLiteral("peer-%1").arg(++s_count)) {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        db.open();
    }
    ~Peer() { QSqlDatabase::removeDatabase(m_name); }

    QVariant scalar(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(m_name));
        if (!q.exec(sql) || !q.next())
            return QVariant();
        return q.value(0);
    }
    bool exec(const QString& sql) const {
        QSqlQuery q(QSqlDatabase::database(m_name));
        return q.exec(sql);
    }

private:
    static inline int s_count = 0;
    QString m_name;
};

void addTimer(RecordTable& t, int order, const QString& time) {
    t.append();
    t.setField(QStringLiteral("Timer_Order"), order);
    t.setField(QStringLiteral("Time"), time);
    t.setField(QStringLiteral("Timer_Mode"), QStringLiteral("Once"));
    t.post();
}

// The text of the RecordError that `work` throws; empty when it throws none.
template <class F> QString errorOf(F&& work) {
    try {
        work();
    } catch (const RecordError& e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

// How many rows a copy of the database file alone (nothing beside it) holds in a table.
int rowsInCopyAlone(const QString& file, const QString& table) {
    return record_files::queryCopyAlone(file,
                                        QStringLiteral("SELECT COUNT(*) FROM \"%1\"").arg(table))
        .toInt();
}

// Every visible row as "order/time/mode" (a null time shows as "-"), and the current row.
QStringList shown(RecordTable& t) {
    QStringList out;
    for (int r = 0; r < t.rowCount(); ++r) {
        const QVariant time = t.valueAt(r, 1);
        out << QStringLiteral("%1/%2/%3")
                   .arg(t.valueAt(r, 0).toString(),
                        time.isNull() ? QStringLiteral("-") : time.toString(),
                        t.valueAt(r, 2).toString());
    }
    out << QStringLiteral("current %1").arg(t.currentRow());
    return out;
}

QList<int> column(RecordTable& t, const QString& name) {
    QList<int> values;
    for (t.first(); !t.eof(); t.next())
        values << t.fieldInt(name);
    return values;
}

} // namespace

class TestRecordsTable : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;

private slots:
    void init() {
        m_file = m_dir.filePath(QStringLiteral("%1.mdb").arg(QTest::currentTestFunction()));
        QFile::remove(m_file);
        schema::createDatabase(m_file);
    }

    void createsSixTablesAndTheMonitorSlots() {
        for (const schema::TableDef& def : schema::tables()) {
            RecordTable t(def.name);
            t.open(m_file);
            QStringList expected;
            for (const schema::ColumnDef& c : def.columns)
                expected << c.name;
            QCOMPARE(t.columns(), expected);
            QCOMPARE(t.rowCount(), def.name == QLatin1String("Monitor Bind Records") ? 224 : 0);
        }
        RecordTable monitor(QStringLiteral("Monitor Bind Records"));
        monitor.open(m_file);
        int order = 0;
        for (monitor.first(); !monitor.eof(); monitor.next()) {
            ++order;
            QCOMPARE(monitor.fieldInt("Order"), order);
            const QString type = order <= 64 ? "Light" : order <= 96 ? "Curtain" : "AC";
            QCOMPARE(monitor.fieldText("Device_Type"), type);
            QVERIFY(monitor.fieldInt("Room_No") >= 1 && monitor.fieldInt("Room_No") <= 20);
            QVERIFY(monitor.fieldInt("Device_No") >= 1 && monitor.fieldInt("Device_No") <= 16);
            QCOMPARE(monitor.fieldInt("Address"), 0);
            QCOMPARE(monitor.fieldInt("Channel"), 0);
        }
        QCOMPARE(order, 224);
    }

    // What another program commits is read again, the current row kept by its key; a row
    // that went is reported, never silently swapped for its neighbour. Its own writes and an
    // unchanged file read nothing.
    void reloadIfChangedElsewhereKeepsTheRowByKey() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        for (int order : {1, 2, 3}) {
            t.append();
            t.setField(QStringLiteral("Timer_Order"), order);
            t.post();
        }
        t.setCurrentRow(1);
        QVERIFY(!t.reloadIfChangedElsewhere());
        const auto other = [&](const char* sql) { QVERIFY(record_files::exec(m_file, sql)); };
        other("INSERT INTO \"Timer Records\" (Timer_Order) VALUES (9)");
        t.setSort(QStringLiteral("Timer_Order DESC")); // 9 comes first, 2 is now row 2
        other("INSERT INTO \"Timer Records\" (Timer_Order) VALUES (8)");
        bool gone = true;
        QVERIFY(t.reloadIfChangedElsewhere(&gone));
        QVERIFY(!gone);
        QCOMPARE(t.rowCount(), 5);
        QCOMPARE(t.fieldInt(QStringLiteral("Timer_Order")), 2);
        other("DELETE FROM \"Timer Records\" WHERE Timer_Order = 2");
        QVERIFY(t.reloadIfChangedElsewhere(&gone));
        QVERIFY(gone);
        QVERIFY(!t.reloadIfChangedElsewhere(&gone));
    }

    void createRefusesAnExistingFile() {
        const QByteArray before = [&] {
            QFile f(m_file);
            f.open(QIODevice::ReadOnly);
            return f.readAll();
        }();
        QVERIFY_THROWS_EXCEPTION(RecordError, schema::createDatabase(m_file));
        QFile f(m_file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), before);
    }

    void openFailures_data() {
        QTest::addColumn<QByteArray>("content"); // "missing": no file at all
        QTest::addColumn<QString>("table");
        QTest::addColumn<QString>("cause");
        QTest::newRow("missing file") << QByteArray("missing") << "Timer Records"
                                      << "other.mdb does not exist";
        QTest::newRow("not a database")
            << QByteArray("Standard Jet DB").append(QByteArray(200, '\0')) << "Timer Records"
            << "other.mdb is not a record database";
        QTest::newRow("text file") << QByteArray("Scene_No;Module_Addr\n1;2\n") << "Timer Records"
                                   << "other.mdb is not a record database";
        QTest::newRow("empty file")
            << QByteArray("") << "Timer Records"
            << "other.mdb is empty: velm-initdb FILE makes a record database";
        QTest::newRow("no such table") << QByteArray("schema") << "Timer Recordz"
                                       << "other.mdb has no table Timer Recordz";
        QTest::newRow("a column missing") << QByteArray("schema") << "Event Records"
                                          << "other.mdb has no column Action";
    }
    void openFailures() {
        QFETCH(QByteArray, content);
        QFETCH(QString, table);
        QFETCH(QString, cause);
        const QString file = m_dir.filePath(QStringLiteral("other.mdb"));
        QFile::remove(file);
        if (content == "schema") {
            {
                Peer p(m_file); // closing it moves the change into the main file
                QVERIFY(p.exec(R"(ALTER TABLE "Event Records" DROP COLUMN "Action")"));
            }
            QVERIFY(QFile::copy(m_file, file));
        } else if (content != "missing") {
            QFile f(file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(content);
        }
        const QByteArray before = record_files::bytes(file);
        RecordTable t(table);
        const QString error = errorOf([&] { t.open(file); });
        QVERIFY2(error.contains(cause), qPrintable(error));
        QVERIFY(!t.isOpen());
        // Every later operation says why the table is not open.
        const QString later = errorOf([&] { t.first(); });
        QVERIFY2(later.contains(QLatin1String("not open")) && later.contains(cause),
                 qPrintable(later));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.eof());
        QVERIFY_THROWS_EXCEPTION(RecordError, t.append());
        t.close();
        if (content == "missing")
            QVERIFY2(!QFile::exists(file), "a missing database file must never be created");
        else
            QCOMPARE(record_files::bytes(file), before);
        QCOMPARE(record_files::sideFiles(file), QStringList());
    }

    void cursorWalkAndLocate() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        QVERIFY(t.eof());
        QCOMPARE(t.currentRow(), -1);
        addTimer(t, 5, "08:00");
        addTimer(t, 2, "09:00");
        addTimer(t, 9, "10:00");
        QCOMPARE(t.currentRow(), 2); // an appended row is current after its post
        QCOMPARE(column(t, "Timer_Order"), (QList<int>{5, 2, 9}));
        QVERIFY(t.eof());
        t.last();
        QCOMPARE(t.fieldText("Time"), QStringLiteral("10:00"));
        t.setCurrentRow(1);
        QCOMPARE(t.fieldInt("timer_order"), 2); // names in any case
        QVERIFY(t.locate("Timer_Order", QStringLiteral("9")));
        QCOMPARE(t.currentRow(), 2);
        QVERIFY(!t.locate("Timer_Order", 7));
        QCOMPARE(t.currentRow(), 2); // a failed locate stays put
        QVERIFY(t.locate("Time", QStringLiteral("08:00")));
        QCOMPARE(t.currentRow(), 0);
        QVERIFY_THROWS_EXCEPTION(RecordError, t.locate("Nope", 1));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.field("Nope"));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.setField("Nope", 1));
        t.next();
        t.next();
        t.next();
        QVERIFY(t.eof());
        QVERIFY_THROWS_EXCEPTION(RecordError, t.field("Time"));
    }

    void postReachesTheFileAtOnce() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        Peer peer(m_file);
        addTimer(t, 3, "07:30");
        QCOMPARE(peer.scalar(R"(SELECT "Time" FROM "Timer Records" WHERE "Timer_Order"=3)"),
                 QVariant("07:30"));
        t.setField("Time", QStringLiteral("07:45")); // starts editing by itself
        QCOMPARE(t.state(), RecordTable::State::Edit);
        t.post();
        QCOMPARE(peer.scalar(R"(SELECT "Time" FROM "Timer Records")"), QVariant("07:45"));
        t.deleteCurrent();
        QCOMPARE(peer.scalar(R"(SELECT COUNT(*) FROM "Timer Records")").toInt(), 0);
        QVERIFY(t.eof());
        // The file alone holds each post, while the table is still open: it is what gets
        // copied and backed up.
        addTimer(t, 4, "08:00");
        addTimer(t, 5, "09:00");
        QCOMPARE(rowsInCopyAlone(m_file, "Timer Records"), 2);
    }

    // A file an older build left writing ahead into a log: read as it stands when only read,
    // leaving nothing beside it, and moved to the rollback journal by the first writable open.
    void writeAheadFileFromAnOlderBuild() {
        {
            Peer old(m_file);
            QCOMPARE(old.scalar("PRAGMA journal_mode=WAL").toString(), QStringLiteral("wal"));
            QVERIFY(old.exec(R"(INSERT INTO "Timer Records" ("Timer_Order") VALUES (1))"));
        }
        QCOMPARE(record_files::sideFiles(m_file), QStringList());
        {
            RecordTable reader(QStringLiteral("Timer Records"));
            reader.open(m_file, RecordTable::OpenMode::ReadOnly);
            QCOMPARE(reader.rowCount(), 1);
            QVERIFY2(record_files::sideFiles(m_file).isEmpty(),
                     qPrintable(record_files::sideFiles(m_file).join(' ')));
        }
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 2, "b");
        QCOMPARE(rowsInCopyAlone(m_file, "Timer Records"), 2);
        QCOMPARE(Peer(m_file).scalar("PRAGMA journal_mode").toString(), QStringLiteral("delete"));
        t.close();
        QCOMPARE(record_files::sideFiles(m_file), QStringList());
    }

    // "Delete All" walks row by row inside one transaction: a refusal half-way deletes
    // nothing, neither in the file nor in the rows shown.
    void deleteAllIsAllOrNothing_data() {
        QTest::addColumn<bool>("monitor");
        QTest::newRow("timers") << false;
        QTest::newRow("monitor slots") << true;
    }
    void deleteAllIsAllOrNothing() {
        QFETCH(bool, monitor);
        const QString name = monitor ? "Monitor Bind Records" : "Timer Records";
        RecordTable t(name);
        t.open(m_file);
        if (monitor) {
            for (t.first(); !t.eof(); t.next())
                t.setField("Address", 7);
        } else {
            for (int i = 1; i <= 5; ++i)
                addTimer(t, i, "x");
        }
        const int rows = t.rowCount();
        Peer peer(m_file);
        QVERIFY(peer.exec(monitor ? R"(CREATE TRIGGER refuse BEFORE UPDATE ON "Monitor Bind Records"
                                       WHEN OLD."Order" = 100 BEGIN SELECT RAISE(ABORT, 'no'); END)"
                                  : R"(CREATE TRIGGER refuse BEFORE DELETE ON "Timer Records"
                                       WHEN OLD."Timer_Order" = 4 BEGIN SELECT RAISE(ABORT, 'no'); END)"));
        const QString untouched = monitor ? R"(SELECT COUNT(*) FROM "Monitor Bind Records"
                                                WHERE "Address" = 7)"
                                          : R"(SELECT COUNT(*) FROM "Timer Records")";
        QVERIFY_THROWS_EXCEPTION(RecordError, deleteAllRecords(t, monitor));
        QCOMPARE(peer.scalar(untouched).toInt(), rows);
        QCOMPARE(t.rowCount(), rows);
        if (monitor)
            QCOMPARE(column(t, "Address"), QList<int>(rows, 7));
        QVERIFY(peer.exec("DROP TRIGGER refuse"));
        QVERIFY(deleteAllRecords(t, monitor));
        QCOMPARE(peer.scalar(untouched).toInt(), 0);
        QCOMPARE(rowsInCopyAlone(m_file, name), monitor ? rows : 0);
    }

    void movingPostsAPendingEdit() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 1, "a");
        addTimer(t, 2, "b");
        t.first();
        t.setField("Time", QStringLiteral("changed"));
        t.next();
        Peer peer(m_file);
        QCOMPARE(peer.scalar(R"(SELECT "Time" FROM "Timer Records" WHERE "Timer_Order"=1)"),
                 QVariant("changed"));
    }

    void deleteMovesToTheNextRow() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        for (int i = 1; i <= 4; ++i)
            addTimer(t, i, "x");
        t.setCurrentRow(1);
        t.deleteCurrent();
        QCOMPARE(t.fieldInt("Timer_Order"), 3);
        t.last();
        t.deleteCurrent();
        QCOMPARE(t.currentRow(), 1); // after the last row: the new last one
        QCOMPARE(t.fieldInt("Timer_Order"), 3);
        QCOMPARE(column(t, "Timer_Order"), (QList<int>{1, 3}));
    }

    void cancelAndDeleteOfAnUnpostedRow() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 1, "a");
        t.append();
        t.setField("Timer_Order", 2);
        QCOMPARE(t.rowCount(), 2);
        t.cancel();
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.fieldInt("Timer_Order"), 1);
        t.append();
        t.deleteCurrent(); // drops the new row, deletes nothing stored
        QCOMPARE(t.rowCount(), 1);
        Peer peer(m_file);
        QCOMPARE(peer.scalar(R"(SELECT COUNT(*) FROM "Timer Records")").toInt(), 1);
    }

    void refreshKeepsTheCurrentRecord() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 5, "a");
        addTimer(t, 7, "b");
        t.setSort("Timer_Order ASC");
        QVERIFY(t.locate("Timer_Order", 7));
        Peer peer(m_file);
        QVERIFY(peer.exec(R"(INSERT INTO "Timer Records" ("Timer_Order") VALUES (1))"));
        t.refresh();
        QCOMPARE(t.rowCount(), 3);
        QCOMPARE(t.currentRow(), 2);
        QCOMPARE(t.fieldInt("Timer_Order"), 7);
    }

    // A row rewritten in place (a read-all does it every step) reaches the views as a change
    // of that row alone, with its new cells: they keep their place and selection.
    void refreshOfARowRewrittenInPlaceChangesOnlyThatRow() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 5, "a");
        addTimer(t, 7, "b");
        addTimer(t, 8, "c");
        QSignalSpy resets(t.model(), &QAbstractItemModel::modelReset);
        QSignalSpy changed(t.model(), &QAbstractItemModel::dataChanged);
        Peer peer(m_file);
        QVERIFY(peer.exec(R"(UPDATE "Timer Records" SET "Time" = 'new' WHERE "Timer_Order" = 7)"));
        t.refresh();
        QCOMPARE(resets.size(), 0);
        QCOMPARE(changed.size(), 1);
        QCOMPARE(changed[0][0].toModelIndex().row(), 1);
        QVERIFY(t.locate("Timer_Order", 7));
        QCOMPARE(t.fieldText("Time"), QStringLiteral("new"));
        // A record more or less is a new set of rows.
        QVERIFY(peer.exec(R"(DELETE FROM "Timer Records" WHERE "Timer_Order" = 5)"));
        t.refresh();
        QCOMPARE(resets.size(), 1);
        QCOMPARE(t.rowCount(), 2);
    }

    // A step's row goes where a re-read of the file would show it, under any sort and filter,
    // with the cursor on it (or on the same place when the filter drops it); the views learn
    // it as one change, move, insertion or removal, never a reset.
    void placedRowShowsWhereARefreshWouldPutIt_data() {
        QTest::addColumn<QString>("sort");
        QTest::addColumn<QString>("filter");
        QTest::addColumn<int>("editRow"); // -1: appended at the end
        QTest::addColumn<int>("order");
        QTest::addColumn<QString>("time");
        QTest::newRow("appended, table order") << ""
                                               << "" << -1 << 2 << "c";
        QTest::newRow("appended among equal keys") << "Timer_Order ASC"
                                                   << "" << -1 << 2 << "c";
        QTest::newRow("appended first") << "Timer_Order ASC"
                                        << "" << -1 << 0 << "c";
        QTest::newRow("two keys, mixed directions") << "Timer_Order DESC,Time ASC"
                                                    << "" << -1 << 3 << "ab";
        QTest::newRow("texts by byte, nulls first") << "Time ASC"
                                                    << "" << -1 << 5 << "Z";
        QTest::newRow("empty text after null") << "Time ASC"
                                               << "" << -1 << 5 << "";
        QTest::newRow("beyond the BMP") << "Time DESC"
                                        << "" << -1 << 5 << "\U0001F600";
        QTest::newRow("appended, filtered out") << ""
                                                << "Timer_Order='3'" << -1 << 2 << "x";
        QTest::newRow("appended, filtered in") << "Time ASC"
                                               << "Timer_Order='3'" << -1 << 3 << "aa";
        QTest::newRow("edited, moves up") << "Timer_Order ASC"
                                          << "" << 6 << 0 << "q";
        QTest::newRow("edited, moves down") << "Timer_Order ASC"
                                            << "" << 0 << 99 << "q";
        QTest::newRow("edited, stays") << "Timer_Order ASC"
                                       << "" << 3 << 2 << "q";
        QTest::newRow("edited, leaves the filter") << ""
                                                   << "Time like *b*" << 0 << 4 << "z";
        QTest::newRow("last edited, leaves the filter") << ""
                                                        << "Timer_Order='3'" << 1 << 4 << "z";
    }
    void placedRowShowsWhereARefreshWouldPutIt() {
        QFETCH(QString, sort);
        QFETCH(QString, filter);
        QFETCH(int, editRow);
        QFETCH(int, order);
        QFETCH(QString, time);
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        const QList<std::pair<int, const char*>> seed = {{3, "b"}, {1, "B"},       {2, nullptr},
                                                         {3, "a"}, {10, "\u00e9"}, {1, "10"},
                                                         {2, "9"}, {2, "\uFFFD"}};
        int n = 0;
        for (const auto& [o, text] : seed) {
            t.append();
            t.setField("Timer_Order", o);
            if (text)
                t.setField("Time", QString::fromUtf8(text));
            t.setField("Timer_Mode", QStringLiteral("m%1").arg(++n));
            t.post();
        }
        t.setSort(sort);
        t.setFilter(filter);
        t.setFiltered(!filter.isEmpty());
        if (editRow < 0) {
            t.last();
            t.next();
        } else {
            t.setCurrentRow(editRow);
        }
        QAbstractItemModelTester tester(t.model(),
                                        QAbstractItemModelTester::FailureReportingMode::QtTest);
        QSignalSpy resets(t.model(), &QAbstractItemModel::modelReset);
        t.writeRow([&](RecordTable& r) {
            r.setField("Timer_Order", order);
            r.setField("Time", time);
            r.setField("Timer_Mode", QStringLiteral("new"));
        });
        t.placeCurrent();
        QCOMPARE(resets.size(), 0);
        const QStringList placed = shown(t);
        t.refresh();
        QCOMPARE(placed, shown(t));
    }

    // A refused write (here a trigger, in the field a full disk or a locked file) must leave
    // the file and the rows in memory as they were.
    void failedPostChangesNothing() {
        {
            Peer peer(m_file);
            QVERIFY(peer.exec(R"(CREATE TRIGGER refuse BEFORE UPDATE ON "Timer Records"
                                 WHEN NEW."Time" = 'bad' BEGIN SELECT RAISE(ABORT, 'refused'); END)"));
            QVERIFY(peer.exec(R"(CREATE TRIGGER refuse2 BEFORE INSERT ON "Timer Records"
                                 WHEN NEW."Time" = 'bad' BEGIN SELECT RAISE(ABORT, 'refused'); END)"));
        }
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 1, "good");
        t.setField("Time", QStringLiteral("bad"));
        t.setField("Timer_Order", 4);
        QVERIFY_THROWS_EXCEPTION(RecordError, t.post());
        QCOMPARE(t.state(), RecordTable::State::Browse);
        QCOMPARE(t.fieldText("Time"), QStringLiteral("good"));
        QCOMPARE(t.fieldInt("Timer_Order"), 1);
        QVERIFY_THROWS_EXCEPTION(RecordError, addTimer(t, 2, "bad"));
        QCOMPARE(t.rowCount(), 1);
        QCOMPARE(t.fieldText("Time"), QStringLiteral("good"));
        Peer peer(m_file);
        QCOMPARE(peer.scalar(R"(SELECT COUNT(*) FROM "Timer Records")").toInt(), 1);
        QCOMPARE(peer.scalar(R"(SELECT "Timer_Order" FROM "Timer Records")").toInt(), 1);
        addTimer(t, 3, "fine"); // the table goes on working
        QCOMPARE(t.rowCount(), 2);
    }

    // When the rows cannot be read again (the table vanished under us), the sort and filter
    // stay as they were and the rows in memory stay.
    void failedReReadKeepsSortAndFilter() {
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file);
        addTimer(t, 1, "a");
        addTimer(t, 2, "b");
        Peer peer(m_file);
        QVERIFY(peer.exec(R"(DROP TABLE "Timer Records")"));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.setSort("Timer_Order DESC"));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.setFiltered(true));
        QCOMPARE(t.sort(), QString());
        QVERIFY(!t.filtered());
        QCOMPARE(t.rowCount(), 2);
    }

    void readOnlyFileRefusesWritesAndLosesNothing() {
        {
            RecordTable w(QStringLiteral("Timer Records"));
            w.open(m_file);
            addTimer(w, 1, "kept");
        }
        RecordTable t(QStringLiteral("Timer Records"));
        t.open(m_file, RecordTable::OpenMode::ReadOnly);
        QVERIFY(t.isReadOnly());
        QCOMPARE(t.fieldText("Time"), QStringLiteral("kept"));
        t.setField("Time", QStringLiteral("lost?"));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.post());
        QCOMPARE(t.fieldText("Time"), QStringLiteral("kept"));
        QVERIFY_THROWS_EXCEPTION(RecordError, t.deleteCurrent());
        QCOMPARE(t.rowCount(), 1);
        QVERIFY_THROWS_EXCEPTION(RecordError, addTimer(t, 2, "new"));
        QCOMPARE(t.rowCount(), 1);
        Peer peer(m_file);
        QCOMPARE(peer.scalar(R"(SELECT "Time" FROM "Timer Records")"), QVariant("kept"));
        QCOMPARE(peer.scalar(R"(SELECT COUNT(*) FROM "Timer Records")").toInt(), 1);
    }

    void modelShowsTitlesAndWritesThrough() {
        RecordTable t(QStringLiteral("Monitor Bind Records"));
        t.open(m_file);
        QAbstractTableModel* m = t.model();
        QCOMPARE(m->rowCount(), 224);
        QCOMPARE(m->columnCount(), 6);
        QCOMPARE(m->headerData(0, Qt::Horizontal).toString(), QStringLiteral("No."));
        QCOMPARE(m->headerData(5, Qt::Horizontal).toString(),
                 QStringLiteral("Binding Scene No./IR No."));
        QCOMPARE(m->data(m->index(3, 0), Qt::TextAlignmentRole).toInt(), int(Qt::AlignCenter));
        QCOMPARE(m->data(m->index(3, 0)).toInt(), 4);

        t.setEditableColumns({3, 4, 5});
        QVERIFY(!(m->flags(m->index(0, 2)) & Qt::ItemIsEditable));
        QVERIFY(m->flags(m->index(0, 4)) & Qt::ItemIsEditable);
        QVERIFY(!m->setData(m->index(0, 0), 99));
        QSignalSpy moved(&t, &RecordTable::currentRowChanged);
        QVERIFY(m->setData(m->index(10, 4), QStringLiteral("12")));
        QCOMPARE(t.currentRow(), 10);
        QCOMPARE(moved.last().at(0).toInt(), 10);
        Peer peer(m_file);
        QCOMPARE(
            peer.scalar(R"(SELECT "Address" FROM "Monitor Bind Records" WHERE "Order"=11)").toInt(),
            12);
        QSignalSpy failed(&t, &RecordTable::writeFailed);
        QVERIFY(!m->setData(m->index(10, 5), QStringLiteral("abc")));
        QCOMPARE(failed.size(), 1);
        QCOMPARE(t.fieldInt("Channel"), 0);
        // An edit holds only what the tool itself could write there.
        QVERIFY(!m->setData(m->index(10, 4), QStringLiteral("256")));
        QCOMPARE(failed.last().at(0).toString(),
                 QStringLiteral("Address 256 does not fit (0..255)"));
        QCOMPARE(t.fieldInt("Address"), 12);
    }

    void headerFallsBackToTheColumnName() {
        RecordTable t(QStringLiteral("Scene Records"));
        t.open(m_file);
        QCOMPARE(t.model()->headerData(0, Qt::Horizontal).toString(), QStringLiteral("Scene No."));
        QCOMPARE(t.model()->headerData(3, Qt::Horizontal).toString(), QStringLiteral("CH1"));
    }
};

QTEST_GUILESS_MAIN(TestRecordsTable)
#include "test_records_table.moc"
