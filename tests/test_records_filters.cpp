// Sort and filter expressions on real tables, the local deletes of the pop-up menus, opening
// the six tables at start-up, and velm-initdb.

#include "records/filters.h"
#include "records/record_store.h"
#include "records/schema.h"
#include "support/build_paths.h"

#include <QCryptographicHash>
#include <QFile>
#include <QProcess>
#include <QSignalSpy>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

void addEvent(RecordTable& t, int timer, int event, int address = 1) {
    t.append();
    t.setField("Timer_Order", timer);
    t.setField("Event_Order", event);
    t.setField("Address", address);
    t.setField("Action", QStringLiteral("Light On"));
    t.post();
}

QStringList rows(RecordTable& t, const QStringList& columns) {
    QStringList out;
    for (t.first(); !t.eof(); t.next()) {
        QStringList cells;
        for (const QString& c : columns)
            cells << t.fieldText(c);
        out << cells.join(u'/');
    }
    return out;
}

QByteArray digest(const QString& file) {
    QFile f(file);
    f.open(QIODevice::ReadOnly);
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

} // namespace

class TestRecordsFilters : public QObject {
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_file;
    std::unique_ptr<RecordStore> m_store;

private slots:
    void init() {
        m_file = m_dir.filePath(QStringLiteral("%1.mdb").arg(QTest::currentTestFunction()));
        QFile::remove(m_file);
        schema::createDatabase(m_file);
        m_store = std::make_unique<RecordStore>();
        QCOMPARE(m_store->openAll(m_file), QStringList());
    }
    void cleanup() { m_store.reset(); }

    void sortOrdersAndDefaultRestoresNaturalOrder() {
        RecordTable& t = m_store->events();
        addEvent(t, 2, 1);
        addEvent(t, 1, 2);
        addEvent(t, 2, 0);
        addEvent(t, 1, 1);
        const QStringList natural{"2/1", "1/2", "2/0", "1/1"};
        QCOMPARE(rows(t, {"Timer_Order", "Event_Order"}), natural);
        t.setSort(sortExpression(RecordStore::Events, 1));
        QCOMPARE(rows(t, {"Timer_Order", "Event_Order"}),
                 (QStringList{"1/1", "1/2", "2/0", "2/1"}));
        t.setSort(sortExpression(RecordStore::Events, 2));
        QCOMPARE(rows(t, {"Timer_Order", "Event_Order"}),
                 (QStringList{"2/1", "2/0", "1/2", "1/1"}));
        t.setSort(sortExpression(RecordStore::Events, 0));
        QCOMPARE(rows(t, {"Timer_Order", "Event_Order"}), natural);
    }

    // Every "Order :" list's expressions must name real columns of its table.
    void everySortExpressionApplies() {
        for (int table = 0; table < RecordStore::Count; ++table) {
            RecordTable& t = m_store->table(RecordStore::Table(table));
            for (int item = 0; item < 3; ++item)
                t.setSort(sortExpression(RecordStore::Table(table), item));
            QVERIFY(!t.sort().isEmpty());
        }
        RecordTable& monitor = m_store->monitor();
        monitor.first();
        QCOMPARE(monitor.fieldInt("Order"), 224);
    }

    void badExpressionsThrowAndChangeNothing_data() {
        QTest::addColumn<bool>("sort");
        QTest::addColumn<QString>("expression");
        QTest::newRow("sort unknown column") << true << "Nope ASC";
        QTest::newRow("sort bad direction") << true << "Timer_Order UP";
        QTest::newRow("sort empty item") << true << "Timer_Order ASC,";
        QTest::newRow("sort injection") << true << "Timer_Order; DROP TABLE x";
        QTest::newRow("filter unknown column") << false << "Nope='1'";
        QTest::newRow("filter not a number") << false << "Timer_Order='abc'";
        QTest::newRow("filter no value") << false << "Timer_Order=";
        QTest::newRow("filter unclosed quote") << false << "Timer_Order='3";
        QTest::newRow("filter bad connector") << false << "Timer_Order='3' XOR Event_Order='1'";
        QTest::newRow("filter no operator") << false << "Timer_Order 3";
    }
    void badExpressionsThrowAndChangeNothing() {
        QFETCH(bool, sort);
        QFETCH(QString, expression);
        RecordTable& t = m_store->events();
        addEvent(t, 3, 1);
        addEvent(t, 1, 1);
        t.setSort("Timer_Order ASC");
        t.setFilter("Event_Order='1'");
        t.setFiltered(true);
        if (sort)
            QVERIFY_THROWS_EXCEPTION(RecordError, t.setSort(expression));
        else
            QVERIFY_THROWS_EXCEPTION(RecordError, t.setFilter(expression));
        QCOMPARE(t.sort(), QStringLiteral("Timer_Order ASC"));
        QCOMPARE(t.filter(), QStringLiteral("Event_Order='1'"));
        QCOMPARE(rows(t, {"Timer_Order"}), (QStringList{"1", "3"}));
    }

    void filters_data() {
        QTest::addColumn<int>("table");
        QTest::addColumn<QString>("expression");
        QTest::addColumn<int>("count");
        QTest::newRow("all events") << int(RecordStore::Events) << eventTimerFilter(0) << 6;
        QTest::newRow("timer 3") << int(RecordStore::Events) << eventTimerFilter(3) << 2;
        QTest::newRow("timer 13 is not timer 3")
            << int(RecordStore::Events) << eventTimerFilter(13) << 1;
        QTest::newRow("timer 30 none") << int(RecordStore::Events) << eventTimerFilter(30) << 0;
        QTest::newRow("all bindings") << int(RecordStore::Binds) << bindModuleFilter(0) << 5;
        QTest::newRow("input 2, column in other case")
            << int(RecordStore::Binds) << bindModuleFilter(2) << 3;
        QTest::newRow("all slots") << int(RecordStore::Monitor) << monitorTypeFilter("All") << 224;
        QTest::newRow("lights") << int(RecordStore::Monitor) << monitorTypeFilter("Light") << 64;
        QTest::newRow("curtains") << int(RecordStore::Monitor) << monitorTypeFilter("Curtain")
                                  << 32;
        QTest::newRow("AC") << int(RecordStore::Monitor) << monitorTypeFilter("AC") << 128;
        QTest::newRow("like is a substring, any case")
            << int(RecordStore::Monitor) << QStringLiteral("Device_Type like *urtai*") << 32;
        QTest::newRow("quote in a value is data")
            << int(RecordStore::Monitor) << QStringLiteral("Device_Type='AC'' OR ''1''=''1'") << 0;
        QTest::newRow("two conditions")
            << int(RecordStore::Monitor) << QStringLiteral("Device_Type like *AC* AND Room_No='1'")
            << 8;
    }
    void filters() {
        QFETCH(int, table);
        QFETCH(QString, expression);
        QFETCH(int, count);
        for (int timer : {3, 3, 13, 1, 2, 4})
            addEvent(m_store->events(), timer, 1);
        RecordTable& binds = m_store->binds();
        for (int input : {2, 1, 2, 12, 2}) {
            binds.append();
            binds.setField("Input_Addr", input);
            binds.post();
        }
        RecordTable& t = m_store->table(RecordStore::Table(table));
        const int all = t.rowCount();
        t.setFiltered(false);
        t.setFilter(expression);
        t.setFiltered(true);
        QCOMPARE(t.rowCount(), count);
        QCOMPARE(t.eof(), count == 0);
        // Back to no filter: every row again.
        t.setFiltered(false);
        QCOMPARE(t.rowCount(), all);
        t.setFilter(QString());
        t.setFiltered(true);
        QCOMPARE(t.rowCount(), all);
    }

    // One statement deletes what the filter lets through, whatever kind of condition it is;
    // the grid learns it as one reset, not row by row.
    void deleteAllUnderAFilterDeletesOnlyThoseRows_data() {
        QTest::addColumn<QString>("filter");
        QTest::addColumn<QStringList>("kept");
        QTest::newRow("number") << eventTimerFilter(3) << QStringList{"1/1", "2/3"};
        QTest::newRow("text") << "Action='Light Off'" << QStringList{"1/1", "2/3", "3/5"};
        QTest::newRow("like") << "Action like *off*" << QStringList{"1/1", "2/3", "3/5"};
        QTest::newRow("or") << "Address=4 OR Timer_Order<2" << QStringList{"3/2", "2/3", "3/5"};
    }
    void deleteAllUnderAFilterDeletesOnlyThoseRows() {
        QFETCH(QString, filter);
        QFETCH(QStringList, kept);
        RecordTable& t = m_store->events();
        int event = 0;
        for (int timer : {1, 3, 2, 3, 3}) {
            ++event;
            addEvent(t, timer, event, event);
            if (event == 2 || event == 4) {
                t.setField("Action", QStringLiteral("Light Off"));
                t.post();
            }
        }
        t.setFilter(filter);
        t.setFiltered(true);
        QSignalSpy resets(t.model(), &QAbstractItemModel::modelReset);
        QSignalSpy removed(t.model(), &QAbstractItemModel::rowsRemoved);
        QVERIFY(deleteAllRecords(t, false));
        QCOMPARE(t.rowCount(), 0);
        QCOMPARE(resets.size(), 1);
        QCOMPARE(removed.size(), 0);
        QVERIFY(!deleteAllRecords(t, false)); // "No records!"
        QVERIFY(!deleteCurrentRecord(t, false));
        t.setFiltered(false);
        QCOMPARE(rows(t, {"Timer_Order", "Event_Order"}), kept);
    }

    void deleteCurrentRemovesOneRow() {
        RecordTable& t = m_store->events();
        addEvent(t, 1, 1);
        addEvent(t, 2, 1);
        t.first();
        QVERIFY(deleteCurrentRecord(t, false));
        QCOMPARE(rows(t, {"Timer_Order"}), QStringList{"2"});
    }

    void monitorDeletesClearTheBindingAndKeepTheRow() {
        RecordTable& t = m_store->monitor();
        for (t.first(); !t.eof(); t.next()) {
            t.setField("Address", 7);
            t.setField("Channel", 4);
            t.post();
        }
        QVERIFY(t.locate("Order", 5));
        QVERIFY(deleteCurrentRecord(t, true));
        QCOMPARE(t.rowCount(), 224);
        QCOMPARE(t.fieldInt("Order"), 5);
        QCOMPARE(t.fieldInt("Address"), 0);
        QCOMPARE(t.fieldInt("Channel"), 0);

        t.setFilter(monitorTypeFilter("Curtain"));
        t.setFiltered(true);
        QVERIFY(deleteAllRecords(t, true));
        t.setFiltered(false);
        QCOMPARE(t.rowCount(), 224);
        int cleared = 0;
        for (t.first(); !t.eof(); t.next()) {
            const bool curtain = t.fieldText("Device_Type") == QLatin1String("Curtain");
            const bool zero = t.fieldInt("Address") == 0 && t.fieldInt("Channel") == 0;
            cleared += zero;
            QVERIFY(zero == (curtain || t.fieldInt("Order") == 5));
        }
        QCOMPARE(cleared, 33);
    }

    void emptyTablesHaveNoRecords() {
        for (int table = 0; table < RecordStore::Monitor; ++table) {
            RecordTable& t = m_store->table(RecordStore::Table(table));
            QVERIFY(!deleteCurrentRecord(t, false));
            QVERIFY(!deleteAllRecords(t, false));
        }
        RecordTable& monitor = m_store->monitor();
        monitor.setFilter("Device_Type like *Fan*");
        monitor.setFiltered(true);
        QVERIFY(!deleteCurrentRecord(monitor, true));
        QVERIFY(!deleteAllRecords(monitor, true));
    }

    void openAllReportsEachMissingTable_data() {
        QTest::addColumn<QString>("damage");
        QTest::addColumn<QStringList>("messages");
        const QStringList all{
            "Can not find Scene Records database", "Can not find IR Records database",
            "Can not find Timer Records database", "Can not find Event Records database",
            "Can not find Bind Records database",  "Can not find Monitor Bind Records database"};
        QTest::newRow("no file") << "missing" << all;
        QTest::newRow("not a database") << "garbage" << all;
        QTest::newRow("no timer table")
            << "Timer Records" << QStringList{"Can not find Timer Records database"};
        QTest::newRow("no monitor table")
            << "Monitor Bind Records" << QStringList{"Can not find Monitor Bind Records database"};
    }
    void openAllReportsEachMissingTable() {
        QFETCH(QString, damage);
        QFETCH(QStringList, messages);
        m_store.reset();
        if (damage == QLatin1String("missing")) {
            QFile::remove(m_file);
        } else if (damage == QLatin1String("garbage")) {
            QFile::remove(m_file);
            QFile f(m_file);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(QByteArray(4096, 'x'));
        } else {
            {
                QSqlDatabase db = QSqlDatabase::addDatabase("QSQLITE", "damage");
                db.setDatabaseName(m_file);
                QVERIFY(db.open());
                QVERIFY(QSqlQuery(db).exec(QStringLiteral("DROP TABLE \"%1\"").arg(damage)));
            }
            QSqlDatabase::removeDatabase("damage");
        }
        RecordStore store;
        QCOMPARE(store.openAll(m_file), messages);
        for (int t = 0; t < RecordStore::Count; ++t) {
            const bool failed =
                messages.contains(RecordStore::missingMessage(RecordStore::Table(t)));
            QCOMPARE(store.table(RecordStore::Table(t)).isOpen(), !failed);
        }
        if (damage == QLatin1String("missing"))
            QVERIFY(!QFile::exists(m_file));
    }

    void initdbRefusesAnExistingFile() {
        const QString tool = buildpaths::bin("velm-initdb");
        QVERIFY2(QFile::exists(tool), "build velm-initdb first");
        m_store.reset();
        const QByteArray before = digest(m_file);
        QProcess p;
        p.setWorkingDirectory(m_dir.path());
        p.start(tool, {QFileInfo(m_file).fileName()});
        QVERIFY(p.waitForFinished(30000));
        QVERIFY(p.exitCode() != 0);
        QVERIFY(p.readAllStandardError().contains("already exists; nothing was changed"));
        QCOMPARE(digest(m_file), before);
    }

    void initdbCreatesVelmMdbInTheWorkingDirectory() {
        const QString tool = buildpaths::bin("velm-initdb");
        QVERIFY2(QFile::exists(tool), "build velm-initdb first");
        QTemporaryDir dir;
        QProcess p;
        p.setWorkingDirectory(dir.path());
        p.start(tool, QStringList());
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 0);
        QCOMPARE(QDir(dir.path()).entryList(QDir::Files), QStringList{"VELM.mdb"});
        RecordStore store;
        QCOMPARE(store.openAll(dir.filePath("VELM.mdb")), QStringList());
        QCOMPARE(store.monitor().rowCount(), 224);
    }

    void initdbLeavesNothingBehindOnFailure() {
        const QString tool = buildpaths::bin("velm-initdb");
        QVERIFY2(QFile::exists(tool), "build velm-initdb first");
        QTemporaryDir dir;
        QProcess p;
        p.start(tool, {dir.filePath("no-such-folder/VELM.mdb")});
        QVERIFY(p.waitForFinished(30000));
        QCOMPARE(p.exitCode(), 2);
        QVERIFY(QDir(dir.path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestRecordsFilters)
#include "test_records_filters.moc"
