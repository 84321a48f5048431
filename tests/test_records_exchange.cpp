// Export, import and backups of the record database over real SQLite files: the round trip,
// what replace and add do to each table, bad input that must change nothing, one transaction,
// CSV cells, backup names and consistent backups.

#include "records/database_file.h"
#include "records/export_stream.h"
#include "records/record_table.h"
#include "records/records_backup.h"
#include "records/records_export.h"
#include "records/records_import.h"
#include "records/records_values.h"
#include "records/restore_points.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/read_only_mounts.h"
#include "support/record_files.h"
#include "support/odd_files.h"

#include <QDir>
#include <QFile>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTest>

namespace {

const QDateTime kWhen(QDate(2014, 8, 18), QTime(9, 30, 0));

QString insertSql(const QString& table, int values) {
    const schema::TableDef* def = schema::findTable(table);
    QStringList names, marks;
    for (int c = 0; c < values; ++c) {
        names << QStringLiteral("\"%1\"").arg(def->columns[c].name);
        marks << QStringLiteral("?");
    }
    return QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
        .arg(table, names.join(u','), marks.join(u','));
}

void insert(const QString& file, const QString& table, const QVariantList& values) {
    QVERIFY(record_files::exec(file, insertSql(table, int(values.size())), values));
}

void bindSlot(const QString& file, int order, int address, int channel) {
    QVERIFY(record_files::exec(
        file, "UPDATE \"Monitor Bind Records\" SET Address=?, Channel=? WHERE \"Order\"=?",
        {address, channel, order}));
}

// Every table filled with what the tool itself writes (the "none" 255s, read-back spellings,
// IR scenes), names with quotes, commas, line breaks, tabs, backslashes, non-ASCII and empty
// texts, nulls among the integers.
void fillEveryTable(const QString& file) {
    const QVariant null;
    insert(file, "Scene Records",
           {7, "Hall \"main\", left", 1, "On/Open", "No Change", null, "Off/Close", "On/Open",
            "On/Open", "Off/Close", "No Change"});
    insert(file, "Scene Records",
           {2, "", 3, "IR No.255", "IR No.0", "IR No.17", "IR No.255", "IR No.255", "IR No.255",
            "IR No.255", "IR No.255"});
    insert(file, "IR Records", {4, 1, "TV, \"on\""});
    insert(file, "IR Records", {4, 2, "Ventilátor\r\n"});
    insert(file, "IR Records", {4, 3, "two\nlines\ttab\\"});
    insert(file, "IR Records", {4, 250, "Küche 客厅 ✓"});
    insert(file, "Timer Records", {3, "2014-02-24 06:30:00 Monday", "Week(repeat)"});
    insert(file, "Timer Records", {1, null, "Once"});
    insert(file, "Timer Records", {5, "2014-03-24 06:30:00 Monday", "Month(repeat)"});
    insert(file, "Timer Records", {6, "18.08.14 06:30:00 Monday", "Mouth(repeat)"});
    insert(file, "Timer Records", {7, "------", "invalid"});
    insert(file, "Event Records", {3, 1, 2, 1, 0, "Light On"});
    insert(file, "Event Records", {3, 2, null, 2, 5, "Scene Control"});
    insert(file, "Event Records", {3, 3, 255, 255, 255, "Invalid"});
    insert(file, "Bind Records", {5, 1, "NC", 0, 2, 3, "Light Off", 0});
    insert(file, "Bind Records", {5, 2, "------", 255, 255, 255, "Invalid", 255});
    insert(file, "Bind Records", {5, 3, null, 60, 7, 255, "Alarm", 0});
    bindSlot(file, 1, 2, 1);
    bindSlot(file, 2, 255, 256); // an unbound light slot as a read writes it
    bindSlot(file, 224, 6, 9);
}

// A row as another program writes it, behind the tool's back: texts as UTF-8 (a UTF-16
// binding would lose a leading U+FEFF on the way in), whatever the column's rule says.
void insertAsOthersDo(const QString& file, const QString& table, const QVariantList& values) {
    const schema::TableDef* def = schema::findTable(table);
    QStringList names, marks;
    QVariantList bound;
    for (int c = 0; c < values.size(); ++c) {
        names << QStringLiteral("\"%1\"").arg(def->columns[c].name);
        const bool text = values[c].typeId() == QMetaType::QString;
        marks << (text ? QStringLiteral("CAST(? AS TEXT)") : QStringLiteral("?"));
        bound << (text ? QVariant(values[c].toString().toUtf8()) : values[c]);
    }
    QVERIFY(record_files::exec(file,
                               QStringLiteral("INSERT INTO \"%1\" (%2) VALUES (%3)")
                                   .arg(table, names.join(u','), marks.join(u',')),
                               bound));
}

// A row of a table with every column at one end of what it may hold: the lowest numbers, the
// first texts and empty names, or the highest numbers, the last texts and the longest names
// (a leading U+FEFF, characters beyond the basic plane, quotes and line breaks).
QVariantList edgeRow(const schema::TableDef& def, bool high) {
    QVariantList row;
    for (const schema::ColumnDef& c : def.columns) {
        const records_values::Rule& r = *records_values::rule(def.name, c.name);
        switch (r.kind) {
        case records_values::Rule::Kind::Number:
            row << QVariant(high ? r.max : r.min);
            break;
        case records_values::Rule::Kind::Choice:
            row << (high ? (r.irTexts ? records_values::irChannelText(255) : r.choices.last())
                         : r.choices.first());
            break;
        case records_values::Rule::Kind::Text: {
            QString text = QStringLiteral("\uFEFF\"q\"\\\n\t");
            while (records_values::characterCount(text) < r.maxLength)
                text += QString::fromUtf8("\xF0\x9F\x98\x80");
            row << (high ? text : QString());
            break;
        }
        }
    }
    return row;
}

QList<QString> rowsOf(const QString& file, const QString& table) {
    RecordTable t(table);
    t.open(file);
    QStringList out;
    for (int r = 0; r < t.rowCount(); ++r) {
        QStringList cells;
        for (int c = 0; c < t.columnCount(); ++c)
            cells << (t.valueAt(r, c).isNull() ? QStringLiteral("~") : t.valueAt(r, c).toString());
        out << cells.join(u'|');
    }
    return out;
}

template <class F> QString errorOf(F&& work) {
    try {
        work();
    } catch (const RecordError& e) {
        return QString::fromStdString(e.what());
    }
    return QString();
}

QByteArray fileWith(const QByteArray& tables) {
    return "{\"format\": \"velm-records\", \"version\": 1, \"tables\": {" + tables + "}}";
}

} // namespace

class TestRecordsExchange : public QObject {
    Q_OBJECT
private slots:
    void init();
    void roundTripIsByteIdentical_data();
    void roundTripIsByteIdentical();
    void importChanges_data();
    void importChanges();
    void badInputChangesNothing_data();
    void badInputChangesNothing();
    void columnLimits_data();
    void columnLimits();
    void everyEdgeComesBack_data();
    void everyEdgeComesBack();
    void valuesOutsideTheTable();
    void streamedExportIsTheSame();
    void byteOrderMarkWithoutEscapesComesBack();
    void textsReadAsWritten_data();
    void textsReadAsWritten();
    void fileValuesInMessagesAreEscaped_data();
    void fileValuesInMessagesAreEscaped();
    void documentedLimitsAreTheCodes();
    void failedWriteRollsBackEverything();
    void staleKeysNeverNameImportedRows();
    void csvCells();
    void exportTargets_data();
    void exportTargets();
    void fullDisk();
    void backupNamesNeverCollide();
    void backupHoldsOnlyCommittedRows();
    void killedBackupsLeaveNothing();

private:
    QString db(const QString& name = QStringLiteral("VELM.mdb")) const {
        return m_dir->filePath(name);
    }
    QString writeFile(const QByteArray& bytes) const {
        const QString path = m_dir->filePath(QStringLiteral("in.json"));
        QFile f(path);
        f.open(QIODevice::WriteOnly | QIODevice::Truncate);
        f.write(bytes);
        return path;
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRecordsExchange::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(db());
}

void TestRecordsExchange::roundTripIsByteIdentical_data() {
    QTest::addColumn<bool>("targetFilled");
    QTest::newRow("into a fresh database") << false;
    QTest::newRow("over other rows") << true;
}

void TestRecordsExchange::roundTripIsByteIdentical() {
    QFETCH(bool, targetFilled);
    fillEveryTable(db());
    const QByteArray first = records_export::json(records_export::read(db()), kWhen);
    QVERIFY(first.contains("\"Information\": \"Hall \\\"main\\\", left\""));
    QVERIFY(first.contains("Küche 客厅 ✓"));
    QVERIFY(first.contains("\"CH1\": \"IR No.255\""));

    const QString target = db("other.mdb");
    schema::createDatabase(target);
    if (targetFilled) {
        insert(target, "Scene Records", {9, "Old", 9});
        insert(target, "Timer Records", {3, "old", "Once"});
        bindSlot(target, 100, 1, 1);
    }
    const QString path = writeFile(first);
    const records_import::Result r = records_import::run(RecordsFile::load(path), target, {});
    QCOMPARE(r.tables.size(), 6);
    QVERIFY(QFile::exists(r.backup));
    QCOMPARE(records_export::json(records_export::read(target), kWhen), first);
}

void TestRecordsExchange::importChanges_data() {
    QTest::addColumn<QString>("table");
    QTest::addColumn<bool>("add");
    QTest::addColumn<QByteArray>("rows");
    QTest::addColumn<QList<int>>("counts"); // gains, loses, changes
    QTest::addColumn<QStringList>("after");

    // The database holds scenes (1,1 "Hall") and (2,1 "Bed"), slot 6 bound to 1/1.
    const QByteArray scenes = R"("Scene Records": [
        {"Scene_No": 1, "Information": "Hall2", "Module_Addr": 1},
        {"Scene_No": 3, "Information": "New", "Module_Addr": 1}])";
    QTest::newRow("replace scenes")
        << "Scene Records" << false << scenes << QList<int>{1, 1, 1}
        << QStringList{"1|Hall2|1|~|~|~|~|~|~|~|~", "3|New|1|~|~|~|~|~|~|~|~"};
    QTest::newRow("add scenes") << "Scene Records" << true << scenes << QList<int>{1, 0, 1}
                                << QStringList{"1|Hall2|1|~|~|~|~|~|~|~|~",
                                               "2|Bed|1|~|~|~|~|~|~|~|~",
                                               "3|New|1|~|~|~|~|~|~|~|~"};
    const QByteArray same = R"("Scene Records": [
        {"Scene_No": 1, "Information": "Hall", "Module_Addr": 1},
        {"Scene_No": 2, "Information": "Bed", "Module_Addr": 1}])";
    QTest::newRow("replace with the same rows")
        << "Scene Records" << false << same << QList<int>{0, 0, 0}
        << QStringList{"1|Hall|1|~|~|~|~|~|~|~|~", "2|Bed|1|~|~|~|~|~|~|~|~"};
    QTest::newRow("add twice the same scene")
        << "Scene Records" << true << QByteArray(R"("Scene Records": [
        {"Scene_No": 5, "Information": "A", "Module_Addr": 2},
        {"Scene_No": 5, "Information": "B", "Module_Addr": 2}])")
        << QList<int>{1, 0, 0}
        << QStringList{"1|Hall|1|~|~|~|~|~|~|~|~", "2|Bed|1|~|~|~|~|~|~|~|~",
                       "5|B|2|~|~|~|~|~|~|~|~"};
    const QByteArray slot5 = R"("Monitor Bind Records": [
        {"Order": 5, "Room_No": 99, "Device_Type": "AC", "Address": 3, "Channel": 4}])";
    QTest::newRow("add a monitor slot")
        << "Monitor Bind Records" << true << slot5 << QList<int>{0, 0, 1}
        << QStringList{"5|2|1|Light|3|4", "6|2|2|Light|1|1"};
    QTest::newRow("replace monitor slots clears the others")
        << "Monitor Bind Records" << false << slot5 << QList<int>{0, 0, 2}
        << QStringList{"5|2|1|Light|3|4", "6|2|2|Light|0|0"};
}

void TestRecordsExchange::importChanges() {
    QFETCH(QString, table);
    QFETCH(bool, add);
    QFETCH(QByteArray, rows);
    QFETCH(QList<int>, counts);
    QFETCH(QStringList, after);
    insert(db(), "Scene Records", {1, "Hall", 1});
    insert(db(), "Scene Records", {2, "Bed", 1});
    bindSlot(db(), 6, 1, 1);

    const RecordsFile file = RecordsFile::parse(fileWith(rows));
    const records_import::Options options{{table}, add};
    const records_import::Result preview = records_import::preview(file, db(), options);
    QCOMPARE(preview.tables.size(), 1);
    const records_import::TableChange& p = preview.tables[0];
    QCOMPARE((QList<int>{p.gains, p.loses, p.changes}), counts);
    QVERIFY(preview.backup.isEmpty());

    const records_import::Result done = records_import::run(file, db(), options, kWhen);
    QCOMPARE(records_import::describe(done.tables[0]), records_import::describe(p));
    QStringList got = rowsOf(db(), table);
    if (records_format::isMonitor(table))
        got = got.mid(4, 2); // slots 5 and 6
    QCOMPARE(got, after);
    if (counts == QList<int>{0, 0, 0}) {
        // Nothing changed: no restore point.
        QVERIFY(done.backup.isEmpty());
        QVERIFY(restore_points::list(db()).isEmpty());
        return;
    }
    QCOMPARE(QFileInfo(done.backup).fileName(),
             QStringLiteral("VELM.mdb.backup-20140818-093000-import"));
    QCOMPARE(rowsOf(done.backup, "Scene Records").size(), 2);
}

void TestRecordsExchange::badInputChangesNothing_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QStringList>("tables");
    QTest::addColumn<QString>("message");
    const QByteArray scene = R"("Scene Records": [{"Scene_No": 1, "Module_Addr": 1}])";
    QTest::newRow("not JSON") << QByteArray("{\n  \"format\": \"velm-records\",\n  oops\n}")
                              << QStringList() << "line 3: not JSON";
    QTest::newRow("another format")
        << QByteArray(R"({"format": "csv-dump", "version": 1, "tables": {}})") << QStringList()
        << "not a VELM records file (its format is \"csv-dump\"";
    QTest::newRow("newer version")
        << QByteArray(R"({"format": "velm-records", "version": 2, "tables": {}})") << QStringList()
        << "version 2 is newer than this tool reads (version 1)";
    QTest::newRow("chosen table missing")
        << fileWith(scene) << QStringList{"IR Records"} << "the file has no table \"IR Records\"";
    QTest::newRow("unknown table")
        << fileWith(R"("Scene Record": [])") << QStringList() << "unknown table \"Scene Record\"";
    QTest::newRow("text for a number")
        << fileWith(R"("Scene Records": [{"Scene_No": 1}, {"Scene_No": "7"}])") << QStringList()
        << "Scene Records row 2: Scene_No must be a whole number, not \"7\"";
    QTest::newRow("fraction") << fileWith(R"("Timer Records": [{"Timer_Order": 1.5}])")
                              << QStringList()
                              << "Timer Records row 1: Timer_Order must be a whole";
    QTest::newRow("number for a text")
        << fileWith(R"("IR Records": [{"Information": 5}])") << QStringList()
        << "IR Records row 1: Information must be a text, not 5";
    QTest::newRow("unknown column")
        << fileWith(R"("Bind Records": [{"Input_Addr": 1, "Colour": "red"}])") << QStringList()
        << "Bind Records row 1: unknown column \"Colour\"";
    QTest::newRow("duplicate slot")
        << fileWith(scene + R"(, "Monitor Bind Records": [{"Order": 5, "Address": 1},
                                {"Order": 6}, {"Order": 5, "Address": 2}])")
        << QStringList() << "Monitor Bind Records rows 1 and 3: both for slot Order 5";
    QTest::newRow("slot the database lacks")
        << fileWith(scene + R"(, "Monitor Bind Records": [{"Order": 200, "Address": 1}])")
        << QStringList() << "Monitor Bind Records row 1: the database has no slot with Order 200";

    // Values no request byte can carry, and texts the window never writes.
    const auto bind = [](const QByteArray& column, const QByteArray& value) {
        return fileWith(R"("Bind Records": [{"Input_Addr": 5, "Input_Channel": 1},
                        {"Input_Channel": 2, ")" +
                        column + "\": " + value + "}]");
    };
    QTest::newRow("257") << bind("Output_Addr", "257") << QStringList()
                         << "Bind Records row 2: Output_Addr 257 does not fit (0..255)";
    QTest::newRow("300") << bind("Trigger_Delay", "300") << QStringList()
                         << "Bind Records row 2: Trigger_Delay 300 does not fit (0..255)";
    QTest::newRow("4294967301") << bind("Input_Addr", "4294967301") << QStringList()
                                << "Bind Records row 2: Input_Addr 4294967301 does not fit";
    QTest::newRow("-255") << bind("Parameter", "-255") << QStringList()
                          << "Bind Records row 2: Parameter -255 does not fit (0..255)";
    QTest::newRow("-1e30") << bind("Parameter", "-1e30") << QStringList()
                           << "Bind Records row 2: Parameter must be a whole number, not -1e+30";
    QTest::newRow("below 64 bits")
        << bind("Parameter", "-9223372036854775809") << QStringList()
        << "line 2: not JSON (the number -9223372036854775809 cannot be read exactly";
    QTest::newRow("whole only when rounded")
        << bind("Parameter", "2.0000000000000001") << QStringList()
        << "line 2: not JSON (the number 2.0000000000000001 cannot be read exactly";
    QTest::newRow("1.") << bind("Parameter", "1.") << QStringList()
                        << "line 2: not JSON (\"1.\" is not a JSON number)";
    QTest::newRow("unknown text")
        << bind("Action", "\"Blink\"") << QStringList()
        << "Bind Records row 2: Action \"Blink\" is not one of \"Light On\", ";
    QTest::newRow("too long name")
        << fileWith("\"IR Records\": [{\"Information\": \"" + QByteArray(256, 'n') + "\"}]")
        << QStringList() << "IR Records row 1: Information \"nnnnn";
    QTest::newRow("raw control character")
        << fileWith("\"IR Records\": [\n{\"Information\": \"a\tb\"}]") << QStringList()
        << "line 2: not JSON (a raw control character (byte 0x09) in a text)";
    QTest::newRow("lone surrogate")
        << fileWith("\"IR Records\": [{\"Information\": \"a\\ud800b\"}]") << QStringList()
        << "line 1: not JSON (a lone surrogate (\\ud800) in a text)";
    QTest::newRow("not UTF-8") << fileWith("\"IR Records\": [{\"Information\": \"\xC3\x28\"}]")
                               << QStringList() << "line 1: not JSON (bytes that are not UTF-8)";
    QTest::newRow("a column twice")
        << bind("Output_Addr\": 1, \"Output_Addr", "2") << QStringList()
        << "line 2: not JSON (the name \"Output_Addr\" a second time in one object)";

    QTest::newRow("two faults: the first column by name")
        << fileWith(R"("IR Records": [{"Information": 5, "IR_No": "x"}])") << QStringList()
        << "IR Records row 1: IR_No must be a whole number, not \"x\"";
    QTest::newRow("a column named with an escape")
        << fileWith(R"("IR Records": [{"IR\u005fNo": "x"}])") << QStringList()
        << "IR Records row 1: IR_No must be a whole number, not \"x\"";
    // Deep in a file of thousands of rows (one a line), read row by row: still by its row and
    // its line, and the good rows before it are not written either.
    QByteArray many;
    for (int i = 0; i < 5000; ++i)
        many += "{\"Module_Addr\": " + QByteArray::number(i / 256) + ", \"IR_No\": " +
                QByteArray::number(i % 256) + ", \"Information\": \"\\u00e9 " +
                QByteArray::number(i) + "\"},\n";
    QTest::newRow("bad row after 5000")
        << fileWith("\"IR Records\": [\n" + many + "{\"IR_No\": 1, \"Information\": 5}]")
        << QStringList() << "IR Records row 5001: Information must be a text, not 5";
    QTest::newRow("bad JSON after 5000")
        << fileWith("\"IR Records\": [\n" + many + "{\"IR_No\": 01}]") << QStringList()
        << "line 5002: not JSON (\"01\" is not a JSON number)";
}

void TestRecordsExchange::badInputChangesNothing() {
    QFETCH(QByteArray, bytes);
    QFETCH(QStringList, tables);
    QFETCH(QString, message);
    fillEveryTable(db());
    QVERIFY(record_files::exec(db(), "DELETE FROM \"Monitor Bind Records\" WHERE \"Order\"=200"));
    const QByteArray before = record_files::bytes(db());
    const QString path = writeFile(bytes);
    const QString error = errorOf([&] {
        records_import::run(RecordsFile::load(path), db(), {tables, false}, kWhen);
    });
    QVERIFY2(error.contains(message), qPrintable(error));
    QCOMPARE(record_files::bytes(db()), before);
    QCOMPARE(QDir(m_dir->path()).entryList({"*backup*"}, QDir::Files), QStringList());
}

void TestRecordsExchange::columnLimits_data() {
    QTest::addColumn<QByteArray>("tables");
    QTest::addColumn<QString>("message"); // empty: the file is taken
    QTest::newRow("none in a binding") << QByteArray(R"("Bind Records": [{"Trigger_Mode": "------",
        "Trigger_Delay": 255, "Output_Channel": 255, "Action": "Invalid", "Parameter": 255}])")
                                       << QString();
    QTest::newRow("channel 0") << QByteArray(R"("Event Records": [{"Channel": 0}])")
                               << "Event Records row 1: Channel 0 does not fit (1..255)";
    QTest::newRow("IR No.255")
        << QByteArray(R"("Scene Records": [{"CH1": "IR No.0", "CH8": "IR No.255"}])") << QString();
    QTest::newRow("IR No.256") << QByteArray(R"("Scene Records": [{"CH8": "IR No.256"}])")
                               << "Scene Records row 1: CH8 \"IR No.256\" is not one of";
    QTest::newRow("IR No.05") << QByteArray(R"("Scene Records": [{"CH2": "IR No.05"}])")
                              << "Scene Records row 1: CH2 \"IR No.05\" is not one of";
    QTest::newRow("timer modes as Set and read write them")
        << QByteArray(R"x("Timer Records": [{"Timer_Mode": "Mouth(repeat)"},
            {"Timer_Mode": "Month(repeat)"}, {"Timer_Mode": "invalid"}])x")
        << QString();
    QTest::newRow("unbound light slot as read")
        << QByteArray(R"("Monitor Bind Records": [{"Order": 2, "Address": 255, "Channel": 256}])")
        << QString();
    QTest::newRow("channel 257") << QByteArray(R"("Monitor Bind Records": [{"Order": 2,
        "Channel": 257}])") << "Monitor Bind Records row 1: Channel 257 does not fit (0..256)";
    QTest::newRow("slot 225") << QByteArray(R"("Monitor Bind Records": [{"Order": 225}])")
                              << "Monitor Bind Records row 1: Order 225 does not fit (1..224)";
    // A bound slot's Channel is what its request carries; an unbound one may hold anything.
    QTest::newRow("AC slot channel 256") << QByteArray(R"("Monitor Bind Records": [{"Order": 200,
        "Address": 3, "Channel": 256}])")
                                         << "Monitor Bind Records row 1: Channel 256 does not fit "
                                            "(0..255)";
    QTest::newRow("bound light slot channel 0") << QByteArray(R"("Monitor Bind Records": [
        {"Order": 3, "Address": 3, "Channel": 0}])")
                                                << "Monitor Bind Records row 1: Channel 0 "
                                                   "does not fit (1..256)";
    QTest::newRow("unbound slots") << QByteArray(R"("Monitor Bind Records": [{"Order": 3,
        "Address": 0, "Channel": 0}, {"Order": 200, "Address": 0, "Channel": 256}])")
                                   << QString();
    QTest::newRow("255 emoji") << "\"Scene Records\": [{\"Information\": \"" +
                                      QByteArray("\xF0\x9F\x98\x80").repeated(255) + "\"}]"
                               << QString();
    QTest::newRow("20 characters, 2.0, a surrogate pair")
        << QByteArray(
               R"("Scene Records": [{"Scene_No": 2.0, "Information": "Wohnzimmer Küche 客厅!"}],
            "IR Records": [{"Information": "\ud83d\ude00"}])")
        << QString();
}

void TestRecordsExchange::columnLimits() {
    QFETCH(QByteArray, tables);
    QFETCH(QString, message);
    // A byte-order mark is taken as the mark it is.
    const QString error = errorOf(
        [&] { records_import::chosen(RecordsFile::parse("\xEF\xBB\xBF" + fileWith(tables)), {}); });
    QVERIFY2(message.isEmpty() ? error.isEmpty() : error.startsWith(message), qPrintable(error));
}

// The documentation's table of what each column may hold is the code's.
void TestRecordsExchange::documentedLimitsAreTheCodes() {
    const QByteArray doc = record_files::bytes(buildpaths::source("docs/records-format.md"));
    const auto stem = [](QString name) {
        while (!name.isEmpty() && name.back().isDigit())
            name.chop(1);
        return name;
    };
    for (const schema::TableDef& t : schema::tables()) {
        // Numbered columns of one rule share a line: `CH1` .. `CH8`.
        for (int c = 0; c < t.columns.size();) {
            const QString& first = t.columns[c].name;
            const records_values::Rule* rule = records_values::rule(t.name, first);
            QVERIFY2(rule, qPrintable(first));
            const QString holds = records_values::describe(*rule) +
                                  (rule->note.isEmpty() ? QString() : " (" + rule->note + ")");
            int last = c;
            while (last + 1 < t.columns.size() && stem(first) != first &&
                   stem(t.columns[last + 1].name) == stem(first))
                ++last;
            const QString columns =
                last == c
                    ? QStringLiteral("`%1`").arg(t.columns[c].name)
                    : QStringLiteral("`%1` .. `%2`").arg(t.columns[c].name, t.columns[last].name);
            const QString line = QStringLiteral("| \"%1\" | %2 | %3 |").arg(t.name, columns, holds);
            QVERIFY2(doc.contains(line.toUtf8()), qPrintable(line));
            c = last + 1;
        }
    }
}

void TestRecordsExchange::everyEdgeComesBack_data() {
    QTest::addColumn<bool>("high");
    QTest::newRow("lowest values, empty texts") << false;
    QTest::newRow("highest values, longest and odd texts") << true;
}

// What another program wrote and the value table allows comes back from an export exactly:
// every column at its ends, names of 255 characters, a leading U+FEFF.
void TestRecordsExchange::everyEdgeComesBack() {
    QFETCH(bool, high);
    for (const schema::TableDef& t : schema::tables()) {
        if (!records_format::isMonitor(t.name))
            insertAsOthersDo(db(), t.name, edgeRow(t, high));
    }
    // Bound light and AC slots at the ends of their channels, as the slots' own rows hold.
    bindSlot(db(), 1, high ? 255 : 1, high ? 256 : 1);
    bindSlot(db(), 224, high ? 255 : 1, high ? 255 : 0);
    const QList<records_format::TableRows> tables = records_export::read(db());
    QCOMPARE(records_export::unfitWarning(tables), QString());
    const QString target = db("other.mdb");
    schema::createDatabase(target);
    records_import::run(RecordsFile::load(writeFile(records_export::json(tables, kWhen))), target,
                        {});
    for (const schema::TableDef& t : schema::tables())
        QCOMPARE(rowsOf(target, t.name), rowsOf(db(), t.name));
    QCOMPARE(records_export::json(records_export::read(target), kWhen),
             records_export::json(tables, kWhen));
    if (high)
        QVERIFY(rowsOf(target, "IR Records").value(0).contains(QChar(0xFEFF)));
}

// A text that begins with U+FEFF and holds nothing JSON escapes: Qt's reader would drop the
// character from it.
void TestRecordsExchange::byteOrderMarkWithoutEscapesComesBack() {
    const QString name = QStringLiteral("\uFEFFHall");
    insertAsOthersDo(db(), "IR Records", {1, 1, name});
    const QString target = db("other.mdb");
    schema::createDatabase(target);
    const QByteArray json = records_export::json(records_export::read(db()), kWhen);
    QVERIFY(!json.contains("\xEF\xBB\xBF"));
    records_import::run(RecordsFile::load(writeFile(json)), target, {});
    QCOMPARE(rowsOf(target, "IR Records"), rowsOf(db(), "IR Records"));
    QVERIFY(rowsOf(target, "IR Records").value(0).contains(u'|' + name));
    // A file written elsewhere with the raw character reads the same.
    QByteArray raw = json;
    raw.replace("\\ufeff", "\xEF\xBB\xBF");
    QVERIFY(raw != json);
    const RecordsFile file = RecordsFile::parse(raw);
    QVERIFY(file.find("IR Records"));
    QVERIFY(file.rows(*file.find("IR Records")).value(0).contains(name));
}

// What a text of the file becomes, escapes and U+FEFF wherever they stand; the file's members
// in any order.
void TestRecordsExchange::textsReadAsWritten_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("text");
    const auto ir = [](const QByteArray& text) {
        return fileWith("\"IR Records\": [{\"IR_No\": 1, \"Information\": \"" + text + "\"}]");
    };
    QTest::newRow("escaped mark first") << ir("\\ufeffA") << u"\uFEFFA"_qs;
    QTest::newRow("raw mark first") << ir("\xEF\xBB\xBF\xEF\xBB\xBF" "A") << u"\uFEFF\uFEFFA"_qs;
    QTest::newRow("raw mark after an escape") << ir("\\\"\xEF\xBB\xBF" "b") << u"\"\uFEFFb"_qs;
    QTest::newRow("surrogate pair") << ir("\\ud83d\\ude00 \\u00e9") << u"\U0001F600 \u00e9"_qs;
    QTest::newRow("quote, backslash, slash") << ir("\\\"\\\\\\/") << u"\"\\/"_qs;
    QTest::newRow("tables before the format")
        << QByteArray(R"({"tables": {"IR Records": [{"Information": "x", "IR_No": 1}]},
                          "exported": 5, "version": 1.0, "format": "velm-records"})")
        << u"x"_qs;
}

void TestRecordsExchange::textsReadAsWritten() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, text);
    const RecordsFile file = RecordsFile::parse(bytes);
    const records_format::TableRows* t = file.find("IR Records");
    QVERIFY(t && t->unfit.isEmpty());
    QCOMPARE(file.rowCount(*t), 1);
    QCOMPARE(file.rows(*t).value(0).value(2).toString(), text);
}

void TestRecordsExchange::fileValuesInMessagesAreEscaped_data() {
    QTest::addColumn<QByteArray>("bytes");
    QTest::addColumn<QString>("shown");
    // A title sequence, a line break and a right-to-left override from the file.
    const QByteArray crafted = R"(\u001b]0;pwned\u0007a\nb\u202ec)";
    const QString escaped = QStringLiteral(R"(\x1b]0;pwned\x07a\nb\u202ec)");
    QTest::newRow("value") << fileWith("\"IR Records\": [{\"Information\": 5}, "
                                       "{\"Information\": \"" +
                                       crafted + QByteArray(300, 'n') + "\"}]")
                           << escaped;
    QTest::newRow("column") << fileWith("\"IR Records\": [{\"" + crafted + "\": 1}]") << escaped;
    QTest::newRow("table") << fileWith("\"" + crafted + "\": []") << escaped;
    QTest::newRow("name twice") << fileWith("\"IR Records\": [{\"" + crafted + "\": 1, \"" +
                                            crafted + "\": 2}]")
                                << escaped;
}

// What a file says comes into a message escaped and on one line: a crafted file can neither
// drive the terminal of whoever imports it nor split or turn round the message.
void TestRecordsExchange::fileValuesInMessagesAreEscaped() {
    QFETCH(QByteArray, bytes);
    QFETCH(QString, shown);
    const QString error = database_file::shortenQuoted(errorOf(
        [&] { records_import::run(RecordsFile::load(writeFile(bytes)), db(), {}, kWhen); }));
    QVERIFY2(error.contains(shown), qPrintable(error));
    for (const QChar c : error)
        QVERIFY2(c >= QChar(0x20) && c != QChar(0x202E), qPrintable(error));
}

// Values an older build or another program left: an export writes them and names their rows,
// an import refuses only the tables that hold them, naming each bad row.
void TestRecordsExchange::valuesOutsideTheTable() {
    insert(db(), "IR Records", {1, 1, "fine"});
    for (int i = 0; i < 12; ++i)
        insert(db(), "Bind Records", {1, i + 1, "NC", 0, 257, 1, "Light On", 0});
    bindSlot(db(), 200, 3, 256); // an AC slot cannot send channel 256
    const QList<records_format::TableRows> tables = records_export::read(db());
    const QString warning = records_export::unfitWarning(tables);
    QVERIFY2(warning.contains("13 rows do not fit: Bind Records row 1: Output_Addr 257 does not "
                              "fit (0..255); Bind Records row 2:"),
             qPrintable(warning));
    QVERIFY2(warning.endsWith("; and 3 more)"), qPrintable(warning));
    const QString path = writeFile(records_export::json(tables, kWhen));
    QVERIFY(records_export::json(tables, kWhen).contains("\"Output_Addr\": 257"));

    const QString target = db("other.mdb");
    schema::createDatabase(target);
    const QByteArray before = record_files::bytes(target);
    const QString refused = errorOf([&] {
        records_import::run(RecordsFile::load(path), target, {{"Monitor Bind Records"}, false});
    });
    QCOMPARE(refused, QStringLiteral("Monitor Bind Records row 200: Channel 256 does not fit "
                                     "(0..255)"));
    QCOMPARE(record_files::bytes(target), before);
    records_import::run(RecordsFile::load(path), target, {{"Scene Records", "IR Records"}, false});
    QCOMPARE(rowsOf(target, "IR Records"), QStringList{"1|1|fine"});
}

// The export that writes row by row (many pieces, names that begin with U+FEFF, a row that does
// not fit) makes the bytes and the warning of the one that holds every table.
void TestRecordsExchange::streamedExportIsTheSame() {
    fillEveryTable(db());
    QVERIFY(record_files::exec(
        db(), "WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n WHERE i < 4000) "
              "INSERT INTO \"Scene Records\" (Scene_No, Information, Module_Addr) "
              "SELECT i % 256, char(65279) || 'scene ' || i, i % 250 FROM n"));
    insert(db(), "Bind Records", {1, 1, "NC", 0, 257, 1, "Light On", 0});
    const QList<records_format::TableRows> tables = records_export::read(db());
    int rows = 0;
    for (const records_format::TableRows& t : tables)
        rows += int(t.rows.size());
    ExportStream stream(db());
    QCOMPARE(stream.writeJson(db("streamed.json"), kWhen), rows);
    QCOMPARE(record_files::bytes(db("streamed.json")), records_export::json(tables, kWhen));
    const QStringList csv = stream.writeCsv(db("sheets"));
    QCOMPARE(csv.size(), 6);
    for (int t = 0; t < 6; ++t)
        QCOMPARE(record_files::bytes(csv[t]), records_export::csv(tables[t]));
    QCOMPARE(stream.unfitWarning(), records_export::unfitWarning(tables));
    QVERIFY(stream.unfitWarning().contains("Bind Records row"));
}

void TestRecordsExchange::failedWriteRollsBackEverything() {
    fillEveryTable(db());
    // The event rows fail half-way, after the scene and timer rows were written.
    QVERIFY(record_files::exec(db(),
                               "CREATE TRIGGER refuse BEFORE INSERT ON \"Event Records\" "
                               "WHEN NEW.Action = 'Curtain Stop' BEGIN SELECT RAISE(ABORT, 'no'); "
                               "END"));
    const QByteArray before = record_files::bytes(db());
    const RecordsFile file = RecordsFile::parse(fileWith(R"(
        "Scene Records": [{"Scene_No": 1}], "Timer Records": [],
        "Event Records": [{"Event_Order": 1}, {"Event_Order": 2, "Action": "Curtain Stop"}])"));
    QVERIFY(!errorOf([&] { records_import::run(file, db(), {}, kWhen); }).isEmpty());
    QCOMPARE(record_files::bytes(db()), before);
    QCOMPARE(record_files::sideFiles(db()), QStringList());
    // The backup made before it would be the same again, beside a message that says so.
    QCOMPARE(QDir(m_dir->path()).entryList({"*backup*"}, QDir::Files), QStringList());
}

void TestRecordsExchange::staleKeysNeverNameImportedRows() {
    insert(db(), "Timer Records", {1, "a", "Once"});
    insert(db(), "Timer Records", {2, "b", "Once"});
    RecordTable window(QStringLiteral("Timer Records"));
    window.open(db());
    const RecordsFile file = RecordsFile::parse(fileWith(R"("Timer Records": [
        {"Timer_Order": 7, "Time": "x", "Timer_Mode": "Once"},
        {"Timer_Order": 8, "Time": "y", "Timer_Mode": "Once"}])"));
    records_import::run(file, db(), {}, kWhen);
    // The window still shows the old rows: an edit of one must not land on an imported row.
    window.first();
    window.setField(QStringLiteral("Time"), QStringLiteral("edited"));
    QVERIFY(errorOf([&] { window.post(); }).contains(QStringLiteral("no longer")));
    QCOMPARE(rowsOf(db(), "Timer Records"), (QStringList{"7|x|Once", "8|y|Once"}));
}

void TestRecordsExchange::csvCells() {
    const schema::TableDef* ir = schema::findTable(QStringLiteral("IR Records"));
    records_format::TableRows t{ir,
                                {{qint64(4), qint64(1), "plain"},
                                 {qint64(4), QVariant(), "comma, \"quote\""},
                                 {qint64(-1), qint64(2), "line\r\nbreak"},
                                 {QVariant(), qint64(3), ""},
                                 {"text in a number", qint64(4), "Küche"},
                                 {qint64(5), qint64(5), "=HYPERLINK(\"x\")"},
                                 {"-1", qint64(6), "+1"},
                                 {qint64(7), qint64(7), "@cmd|' /c calc'!A0"},
                                 {qint64(8), qint64(8), "\tTab"}},
                                {}};
    QCOMPARE(records_export::csv(t), QByteArray("\xEF\xBB\xBFModule_Addr,IR_No,Information\r\n"
                                                "4,1,plain\r\n"
                                                "4,,\"comma, \"\"quote\"\"\"\r\n"
                                                "-1,2,\"line\r\nbreak\"\r\n"
                                                ",3,\"\"\r\n"
                                                "text in a number,4,Küche\r\n"
                                                // formula-like texts are guarded, numbers not
                                                "5,5,\"'=HYPERLINK(\"\"x\"\")\"\r\n"
                                                "'-1,6,'+1\r\n"
                                                "7,7,'@cmd|' /c calc'!A0\r\n"
                                                "8,8,'\tTab\r\n"));
    const QStringList written =
        records_export::saveCsv(records_export::read(db()), m_dir->filePath("csv"));
    QCOMPARE(written.size(), 6);
    QVERIFY(written[5].endsWith(QStringLiteral("/csv/Monitor Bind Records.csv")));
    QCOMPARE(record_files::bytes(written[5]).count("\r\n"), 225);
}

// An export replaces a regular file or makes a new one, and refuses whatever else stands at
// its name before it writes anything: the thing stays as it was, nothing is left beside it.
void TestRecordsExchange::exportTargets_data() {
    QTest::addColumn<QString>("kind");
    QTest::addColumn<QString>("target"); // the JSON file, or one of the CSV files
    QTest::addColumn<QString>("message");
    const QString json = "out.json", csv = "csv/IR Records.csv";
    QTest::newRow("new name") << "new" << json << QString();
    QTest::newRow("regular file") << "file" << json << QString();
    QTest::newRow("link to a file") << "link" << json << QString();
    QTest::newRow("FIFO") << "FIFO" << json << "out.json is a FIFO (named pipe), not a file";
    QTest::newRow("device") << "device" << json << "out.json is a device, not a file";
    QTest::newRow("folder") << "folder" << json << "out.json is a folder, not a file";
    QTest::newRow("symlink loop") << "loop" << json << "out.json is a symbolic link loop";
    QTest::newRow("link to nothing")
        << "dangling" << json << "out.json is a symbolic link to a missing file";
    QTest::newRow("CSV set, one a FIFO")
        << "FIFO" << csv << "IR Records.csv is a FIFO (named pipe), not a file";
    // A viewer that has the file open and will not share it (Windows only).
    QTest::newRow("held open")
        << "held" << json
        << "out.json is open in another program, which does not let it be replaced: close it "
           "there and try again";
}

void TestRecordsExchange::exportTargets() {
    QFETCH(QString, kind);
    QFETCH(QString, target);
    QFETCH(QString, message);
    const QList<records_format::TableRows> empty = records_export::read(db());
    const QString folder = m_dir->filePath("csv");
    records_export::saveCsv(empty, folder);
    fillEveryTable(db());
    const QList<records_format::TableRows> tables = records_export::read(db());
    const QString path = m_dir->filePath(target);
    QFile::remove(path);
    if (kind == "file" || kind == "link" || kind == "held")
        QVERIFY(QFile(m_dir->filePath("old")).open(QIODevice::WriteOnly));
    using odd_files::Kind;
    bool made = true;
    std::shared_ptr<void> holder;
    if (kind == "file" || kind == "held")
        QVERIFY(QFile::rename(m_dir->filePath("old"), path));
    if (kind == "held")
        made = bool(holder = odd_files::holdOpen(path));
    else if (kind == "link" || kind == "dangling")
        made = odd_files::make(Kind::LinkTo, path, m_dir->filePath("old"));
    else if (kind == "loop")
        made = odd_files::make(Kind::LinkTo, path, path);
    else if (kind == "FIFO")
        made = odd_files::make(Kind::Fifo, path);
    else if (kind == "device")
        made = odd_files::make(Kind::Device, path);
    else if (kind == "folder")
        QVERIFY(QDir().mkdir(path));
    if (!made)
        QSKIP("this system has no such thing to refuse");
    const QString before = odd_files::fingerprint(path);
    QMap<QString, QByteArray> csvBefore;
    for (const QString& f : QDir(folder).entryList(QDir::Files | QDir::System))
        csvBefore[f] = record_files::bytes(QDir(folder).filePath(f));

    const QString error = errorOf([&] {
        if (target.startsWith("csv/"))
            records_export::saveCsv(tables, folder);
        else
            records_export::saveJson(tables, path, kWhen);
    });
    QVERIFY2(message.isEmpty() ? error.isEmpty() : error.endsWith(message), qPrintable(error));
    if (message.isEmpty()) {
        QCOMPARE(record_files::bytes(path), records_export::json(tables, kWhen));
        QCOMPARE(QFileInfo(path).isSymLink(), kind == "link");
    } else {
        QCOMPARE(odd_files::fingerprint(path), before);
        for (auto f = csvBefore.cbegin(); f != csvBefore.cend(); ++f)
            QCOMPARE(record_files::bytes(QDir(folder).filePath(f.key())), f.value());
    }
    const QStringList left = QDir(m_dir->path()).entryList({"*.part-*"}, QDir::Files) +
                             QDir(folder).entryList({"*.part-*"}, QDir::Files);
    QCOMPARE(left, QStringList());
}

// A disk that fills up half-way: the six CSV files stay the old six (none of the new ones is
// renamed over them before all are whole), a backup leaves nothing, and both say "disk full".
void TestRecordsExchange::fullDisk() {
    const QString disk = m_dir->filePath("disk");
    QVERIFY(QDir().mkdir(disk));
    ReadOnlyMounts mounts;
    if (!mounts.smallDisk(disk, 256))
        QSKIP(qPrintable(mounts.errorString()));
    const QString folder = disk + "/csv";
    const QStringList old = records_export::saveCsv(records_export::read(db()), folder);
    QMap<QString, QByteArray> before;
    for (const QString& f : old)
        before[f] = record_files::bytes(f);
    // The last of the six files no longer fits.
    fillEveryTable(db());
    QVERIFY(record_files::exec(db(),
                               "UPDATE \"Monitor Bind Records\" SET Device_Type=? "
                               "WHERE \"Order\"=1",
                               {QString(300 * 1024, u'x')}));
    QString error = errorOf([&] { records_export::saveCsv(records_export::read(db()), folder); });
    QVERIFY2(error.startsWith("disk full"), qPrintable(error));
    for (const QString& f : old)
        QCOMPARE(record_files::bytes(f), before[f]);
    QCOMPARE(QDir(folder).entryList(QDir::Files).size(), 6);

    // A database that fits, and a disk full beside it.
    QVERIFY(QDir(folder).removeRecursively());
    const QString small = disk + "/VELM.mdb";
    schema::createDatabase(small);
    QFile filler(disk + "/filler");
    QVERIFY(filler.open(QIODevice::WriteOnly));
    while (filler.write(QByteArray(4096, 'f')) == 4096 && filler.flush()) {
    }
    filler.close();
    error = errorOf([&] { records_backup::backUp(small, kWhen); });
    QVERIFY2(error.contains("disk full"), qPrintable(error));
    QCOMPARE(QDir(disk).entryList({"*backup*"}, QDir::Files), QStringList());

    // Room for the backup, not for the import: it says so, and leaves the file as it was, with
    // no journal beside it.
    QVERIFY(filler.remove());
    QByteArray rows;
    const QByteArray name = QByteArray("\xF0\x9F\x98\x80").repeated(255);
    for (int i = 0; i < 600; ++i)
        rows += (i ? ",{" : "{") + QByteArray("\"Module_Addr\": ") + QByteArray::number(i / 256) +
                ", \"IR_No\": " + QByteArray::number(i % 256) + ", \"Information\": \"" + name +
                "\"}";
    const QByteArray image = record_files::bytes(small);
    error = errorOf([&] {
        records_import::run(RecordsFile::parse(fileWith("\"IR Records\": [" + rows + "]")), small,
                            {}, kWhen);
    });
    QVERIFY2(error.contains("disk full"), qPrintable(error));
    QCOMPARE(record_files::sideFiles(small), QStringList());
    QCOMPARE(record_files::bytes(small), image);
    QCOMPARE(QDir(disk).entryList({"*backup*"}, QDir::Files), QStringList());
}

void TestRecordsExchange::backupNamesNeverCollide() {
    const QString first = records_backup::backUp(db(), kWhen);
    const QString second = records_backup::backUp(db(), kWhen);
    QCOMPARE(QFileInfo(first).fileName(), QStringLiteral("VELM.mdb.backup-20140818-093000"));
    QCOMPARE(QFileInfo(second).fileName(), QStringLiteral("VELM.mdb.backup-20140818-093000-2"));
    QCOMPARE(records_export::json(records_export::read(first), kWhen),
             records_export::json(records_export::read(db()), kWhen));
    QVERIFY(errorOf([&] {
                records_backup::backUp(db("missing.mdb"), kWhen);
            }).contains(QStringLiteral("does not exist")));
}

void TestRecordsExchange::backupHoldsOnlyCommittedRows() {
    insert(db(), "Timer Records", {1, "committed", "Once"});
    // Another program is half-way through a write transaction.
    {
        QSqlDatabase peer = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "peer");
        peer.setDatabaseName(db());
        QVERIFY(peer.open());
        QSqlQuery q(peer);
        QVERIFY(q.exec("BEGIN IMMEDIATE"));
        QVERIFY(q.exec("INSERT INTO \"Timer Records\" (Timer_Order) VALUES (2)"));
        const QString backup = records_backup::backUp(db(), kWhen);
        QVERIFY(q.exec("COMMIT"));
        QCOMPARE(rowsOf(backup, "Timer Records"), QStringList{"1|committed|Once"});
    }
    QSqlDatabase::removeDatabase("peer");
    QCOMPARE(rowsOf(db(), "Timer Records").size(), 2);
}

// A backup killed half-way leaves its temporary copy and perhaps the copy's journal; the next
// backup removes them (and any other cut write's leftovers in the folder), but not a copy
// another program is still writing (it holds a lock).
void TestRecordsExchange::killedBackupsLeaveNothing() {
    // The copies' names end as the backup makes them: ".part-" and 32 hexadecimal digits.
    const QString part = db() + ".backup-20140101-000000.part-";
    const QString a = part + QString(32, u'a'), b = part + QString(32, u'b');
    // Another file's cut write in the same folder is left over as much.
    const QStringList dead{a, a + "-journal", b + "-journal",
                           db("other.mdb") + ".backup-20140101-000000.part-" + QString(32, u'c')};
    for (const QString& f : dead)
        QVERIFY(QFile(f).open(QIODevice::WriteOnly));
    {
        QSqlDatabase live = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "live");
        live.setDatabaseName(part + QString(32, u'd'));
        QVERIFY(live.open());
        QSqlQuery q(live);
        QVERIFY(q.exec("CREATE TABLE t (x)") && q.exec("BEGIN IMMEDIATE") &&
                q.exec("INSERT INTO t VALUES (1)"));
        records_backup::backUp(db(), kWhen);
    }
    QSqlDatabase::removeDatabase("live");
    for (const QString& f : dead)
        QVERIFY2(!QFile::exists(f), qPrintable(f));
    QVERIFY(QFile::exists(part + QString(32, u'd')));
}

QTEST_MAIN(TestRecordsExchange)
#include "test_records_exchange.moc"
