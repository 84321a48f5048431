// Record files in the Access format made for the case: the test writer's files read back
// through mdbtools' own mdb-export, then tables and columns mapped onto ours by name, values
// of other types taken where they are whole numbers, rows our tables refuse set aside.
#include "records/import_source.h"
#include "records/record_table.h"
#include "records/records_export.h"
#include "records/schema.h"
#include "support/jet4_writer.h"
#include "support/record_files.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

using Rows = QList<QVariantList>;
Q_DECLARE_METATYPE(Jet4Writer::Type)
Q_DECLARE_METATYPE(Jet4Writer::Table)

namespace {

using T = Jet4Writer::Type;

// Rows as JSON values, so that a whole number compares alike whatever type holds it.
QJsonArray asJson(const Rows& rows) {
    QJsonArray out;
    for (const QVariantList& row : rows)
        out.append(QJsonArray::fromVariantList(row));
    return out;
}

QString mark(const char* utf8) {
    return QString(QChar(0xFEFF)) + QString::fromUtf8(utf8);
}

} // namespace

class TestRecordsAccessMapping : public QObject {
    Q_OBJECT
private slots:
    void init();
    void writtenFileReadsBackThroughMdbExport_data();
    void writtenFileReadsBackThroughMdbExport();
    void importMapsTheFile_data();
    void importMapsTheFile();

private:
    QString path(const QString& name) const { return QDir(m_dir->path()).filePath(name); }
    // Our rows of `table` in the record file, only `columns`.
    QJsonArray stored(const QString& table, const QStringList& columns) const;
    // The rows of `table` in a side file, only `columns`.
    static QJsonArray setAside(const QString& file, const QString& table,
                               const QStringList& columns);

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRecordsAccessMapping::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(path("VELM.mdb"));
}

QJsonArray TestRecordsAccessMapping::stored(const QString& table,
                                            const QStringList& columns) const {
    Rows rows;
    for (const records_format::TableRows& t : records_export::read(path("VELM.mdb"))) {
        if (t.table->name != table)
            continue;
        for (const QVariantList& row : t.rows) {
            QVariantList values;
            for (const QString& c : columns) {
                const auto at =
                    std::find_if(t.table->columns.begin(), t.table->columns.end(),
                                 [&c](const schema::ColumnDef& d) { return d.name == c; });
                values << row.value(int(at - t.table->columns.begin()));
            }
            rows << values;
        }
    }
    return asJson(rows);
}

QJsonArray TestRecordsAccessMapping::setAside(const QString& file, const QString& table,
                                              const QStringList& columns) {
    const QJsonObject tables =
        QJsonDocument::fromJson(record_files::bytes(file)).object().value("tables").toObject();
    QJsonArray out;
    for (const QJsonValue& row : tables.value(table).toArray()) {
        QJsonArray values;
        for (const QString& c : columns)
            values.append(row.toObject().value(c));
        out.append(values);
    }
    return out;
}

void TestRecordsAccessMapping::writtenFileReadsBackThroughMdbExport_data() {
    QTest::addColumn<Jet4Writer::Type>("type");
    QTest::addColumn<QVariant>("value");
    QTest::addColumn<QString>("exported");
    QTest::newRow("Long") << T::Long << QVariant(-70000) << "-70000";
    QTest::newRow("Integer") << T::Integer << QVariant(-3) << "-3";
    QTest::newRow("Byte") << T::Byte << QVariant(200) << "200";
    QTest::newRow("Double") << T::Double << QVariant(3.0) << "3";
    QTest::newRow("Single") << T::Single << QVariant(1.5) << "1.5";
    QTest::newRow("Currency") << T::Currency << QVariant(1.25) << "1.2500";
    QTest::newRow("Boolean") << T::Boolean << QVariant(true) << "1";
    QTest::newRow("Date/Time") << T::DateTime << QVariant(45000.5) << "2023-03-15 12:00:00";
    QTest::newRow("NULL") << T::Long << QVariant() << "NULL";
    QTest::newRow("Text, compressed") << T::Text << QVariant("Hall, \"up\"") << "Hall, \"up\"";
    QTest::newRow("Text, two-byte")
        << T::Text << QVariant(QString::fromUtf8("Спальня")) << QString::fromUtf8("Спальня");
    QTest::newRow("Text, runs") << T::Text << QVariant(QString::fromUtf8("Küche Спальня 2"))
                                << QString::fromUtf8("Küche Спальня 2");
    // A character with a zero low byte can not be told from a run switch: stored plain.
    QTest::newRow("Text, U+0100") << T::Text << QVariant(QString::fromUtf8("Āb"))
                                  << QString::fromUtf8("Āb");
    // Stored plain, its first two bytes would read as the compression mark.
    QTest::newRow("Text led by U+FEFF") << T::Text << QVariant(mark("Hall")) << mark("Hall");
    QTest::newRow("Memo") << T::Memo << QVariant(QString(300, u'm')) << QString(300, u'm');
}

void TestRecordsAccessMapping::writtenFileReadsBackThroughMdbExport() {
    QFETCH(Jet4Writer::Type, type);
    QFETCH(QVariant, value);
    QFETCH(QString, exported);
    Jet4Writer writer;
    writer.addTable({"Kept Values", {{"Id", T::Long}, {"Value", type}}, {{7, value}, {8, 1}}});
    QVERIFY(writer.save(path("written.mdb")));
    QProcess mdbExport;
    mdbExport.start("mdb-export", {"-H", "-Q", "-0", "NULL", "-d", "|", "-T", "%Y-%m-%d %H:%M:%S",
                                   path("written.mdb"), "Kept Values"});
    QVERIFY(mdbExport.waitForFinished(30000));
    QCOMPARE(QString::fromUtf8(mdbExport.readAllStandardError()), QString());
    const QStringList lines = QString::fromUtf8(mdbExport.readAllStandardOutput()).split(u'\n');
    QCOMPARE(lines.value(0), "7|" + exported);
    QCOMPARE(lines.size(), 3); // and the second row after it
}

void TestRecordsAccessMapping::importMapsTheFile_data() {
    QTest::addColumn<Jet4Writer::Table>("file");
    QTest::addColumn<QString>("table");
    QTest::addColumn<QStringList>("columns");
    QTest::addColumn<Rows>("taken");
    QTest::addColumn<Rows>("aside");
    QTest::addColumn<QString>("said"); // a note of the import, or why the file is refused

    const QStringList ir{"Module_Addr", "IR_No", "Information"};
    QTest::newRow("names in other cases")
        << Jet4Writer::Table{"ir RECORDS",
                             {{"module_addr", T::Long},
                              {"IR_NO", T::Integer},
                              {"information", T::Text}},
                             {{1, 2, "TV"}, {1, 3, "Fan"}}}
        << "IR Records" << ir << Rows{{1, 2, "TV"}, {1, 3, "Fan"}} << Rows{} << QString();
    // The side file holds what can be imported once mended: the text "8" as 8.
    QTest::newRow("whole numbers of other types")
        << Jet4Writer::Table{"IR Records",
                             {{"Module_Addr", T::Text},
                              {"IR_No", T::Double},
                              {"Information", T::Memo}},
                             {{"12", 3.0, "A"}, {" 7 ", 4.0, "B"}, {"8", 2.5, "C"}}}
        << "IR Records" << ir << Rows{{12, 3, "A"}, {7, 4, "B"}} << Rows{{8, 2.5, "C"}}
        << "IR Records row 3: IR_No 2.5 is not a whole number";
    QTest::newRow("autonumber ID orders rows")
        << Jet4Writer::Table{"IR Records",
                             {{"Module_Addr", T::Byte},
                              {"IR_No", T::Long},
                              {"ID", T::Long, true},
                              {"Information", T::Text}},
                             {{1, 3, 3, "third"}, {1, 1, 1, "first"}, {1, 2, 2, "second"}}}
        << "IR Records" << ir << Rows{{1, 1, "first"}, {1, 2, "second"}, {1, 3, "third"}} << Rows{}
        << "IR Records: left out the file's column ID";
    QTest::newRow("missing column stays NULL")
        << Jet4Writer::Table{"IR Records", {{"Module_Addr", T::Long}, {"IR_No", T::Long}}, {{1, 5}}}
        << "IR Records" << ir << Rows{{1, 5, QVariant()}} << Rows{}
        << "IR Records: the file has no column Information, left empty";
    QTest::newRow("texts exactly")
        << Jet4Writer::Table{"IR Records",
                             {{"Module_Addr", T::Long},
                              {"IR_No", T::Long},
                              {"Information", T::Text}},
                             {{1, 1, mark("Hall")},
                              {1, 2, QString::fromUtf8("Lamp \xF0\x9F\x92\xA1")},
                              {1, 3, QString()},
                              {1, 4, QVariant()}}}
        << "IR Records" << ir
        << Rows{{1, 1, mark("Hall")},
                {1, 2, QString::fromUtf8("Lamp \xF0\x9F\x92\xA1")},
                {1, 3, ""},
                {1, 4, QVariant()}}
        << Rows{} << QString();
    const QStringList timers{"Timer_Order", "Time"};
    const QString tooLong = QString(41, u't');
    QTest::newRow("rows that do not fit")
        << Jet4Writer::Table{"Timer Records",
                             {{"Timer_Order", T::Long}, {"Time", T::Text}},
                             {{1, "08:00"}, {0, "09:00"}, {2, tooLong}, {3, "10:00"}}}
        << "Timer Records" << timers << Rows{{1, "08:00"}, {3, "10:00"}}
        << Rows{{0, "09:00"}, {2, tooLong}}
        << "Timer Records row 3: Time \"" + QString(40, u't') + "…\" is longer than 40";
    QTest::newRow("Boolean refused")
        << Jet4Writer::Table{"IR Records",
                             {{"Module_Addr", T::Long}, {"IR_No", T::Boolean}},
                             {{1, true}}}
        << "IR Records" << ir << Rows{} << Rows{}
        << "IR Records column IR_No is of the type Yes/No, which can not hold a whole number";
    QTest::newRow("Date/Time refused")
        << Jet4Writer::Table{"IR Records",
                             {{"Module_Addr", T::Long}, {"Information", T::DateTime}},
                             {{1, 45000.5}}}
        << "IR Records" << ir << Rows{} << Rows{}
        << "IR Records column Information is of the type Date/Time, which can not hold a text";
}

void TestRecordsAccessMapping::importMapsTheFile() {
    QFETCH(Jet4Writer::Table, file);
    QFETCH(QString, table);
    QFETCH(QStringList, columns);
    QFETCH(Rows, taken);
    QFETCH(Rows, aside);
    QFETCH(QString, said);
    Jet4Writer writer;
    writer.addTable(file);
    QVERIFY(writer.save(path("site.mdb")));
    const QByteArray before = record_files::bytes(path("VELM.mdb"));
    const bool refused = said.contains("of the type");
    try {
        const ImportSource source = ImportSource::load(path("site.mdb"));
        QVERIFY(!refused);
        QVERIFY2(said.isEmpty() ||
                     (source.notes() + source.setAsideLines()).join('\n').contains(said),
                 qPrintable((source.notes() + source.setAsideLines()).join('\n')));
        const import_source::Outcome outcome =
            import_source::run(source, path("VELM.mdb"), source.options({table}, false));
        QCOMPARE(outcome.setAsideRows, int(aside.size()));
        if (!aside.isEmpty())
            QCOMPARE(setAside(outcome.setAsideFile, table, columns), asJson(aside));
    } catch (const RecordError& e) {
        QVERIFY2(refused && QString::fromStdString(e.what()).contains(said), e.what());
        QCOMPARE(record_files::bytes(path("VELM.mdb")), before);
        return;
    }
    QCOMPARE(stored(table, columns), asJson(taken));
}

QTEST_GUILESS_MAIN(TestRecordsAccessMapping)
#include "test_records_access_mapping.moc"
