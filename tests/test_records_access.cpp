// Record files in the Access format: read through libmdb, mapped onto our six tables, rows our
// tables refuse set aside in a side file, whole-file refusals that change nothing.
#include "records/access_record_file.h"
#include "records/import_source.h"
#include "records/record_table.h"
#include "records/records_export.h"
#include "records/schema.h"
#include "support/build_paths.h"

#include <QDir>
#include <QFile>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include <memory>

namespace {

QString fixture(const QString& name) {
    return buildpaths::source(QStringLiteral("tests/data/access/") + name);
}

QByteArray bytesOf(const QString& path) {
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

// A table of an export or of the side file as rows of values in `columns` order.
QJsonArray rowsOf(const QJsonObject& tables, const QString& table, const QJsonArray& columns) {
    QJsonArray out;
    for (const QJsonValue& row : tables.value(table).toArray()) {
        QJsonArray values;
        for (const QJsonValue& c : columns)
            values.append(row.toObject().value(c.toString()));
        out.append(values);
    }
    return out;
}

QJsonObject tablesIn(const QString& jsonFile) {
    return QJsonDocument::fromJson(bytesOf(jsonFile)).object().value("tables").toObject();
}

} // namespace

class TestRecordsAccess : public QObject {
    Q_OBJECT
private slots:
    void init();
    void decodesStoredText_data();
    void decodesStoredText();
    void importBringsEveryRowOverOrSetsItAside();
    void refusesWholeFileAndChangesNothing_data();
    void refusesWholeFileAndChangesNothing();
    void cliExitStatusSaysWhatCameOver_data();
    void cliExitStatusSaysWhatCameOver();
    void convertKilledAnywhereLeavesOneWholeFile();

private:
    QString path(const QString& name) const { return QDir(m_dir->path()).filePath(name); }
    QString copyOf(const QString& name, const QString& as) const {
        QFile::copy(fixture(name), path(as));
        QFile(path(as)).setPermissions(QFile::ReadOwner | QFile::WriteOwner);
        return path(as);
    }
    QStringList besideDatabase(const QString& pattern) const {
        return QDir(m_dir->path()).entryList({pattern}, QDir::Files);
    }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestRecordsAccess::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(path("VELM.mdb"));
}

void TestRecordsAccess::decodesStoredText_data() {
    QTest::addColumn<QByteArray>("stored");
    QTest::addColumn<QString>("text");
    QTest::newRow("UTF-16LE") << QByteArray::fromHex("4b00fc006300") << QStringLiteral("Küc");
    QTest::newRow("compressed") << QByteArray::fromHex("fffe4b61") << QStringLiteral("Ka");
    // A 0x00 switches to two-byte characters and back.
    QTest::newRow("compressed, two-byte run")
        << QByteArray::fromHex("fffe410021043f040042") << QStringLiteral("AСпB");
    QTest::newRow("emoji (surrogate pair)")
        << QByteArray::fromHex("3dd8a1dc") << QString::fromUtf8("\xF0\x9F\x92\xA1");
    // U+FEFF stored plain would read as the compression mark: it only stands compressed.
    QTest::newRow("U+FEFF first") << QByteArray::fromHex("fffe00fffe0041")
                                  << QString(QChar(0xFEFF)) + u'A';
    QTest::newRow("empty") << QByteArray() << QString();
}

void TestRecordsAccess::decodesStoredText() {
    QFETCH(QByteArray, stored);
    QFETCH(QString, text);
    QCOMPARE(AccessRecordFile::decodeText(stored), text);
}

void TestRecordsAccess::importBringsEveryRowOverOrSetsItAside() {
    const ImportSource source = ImportSource::load(fixture("six-tables.mdb"));
    QVERIFY(source.isAccess());
    const QDateTime when(QDate(2024, 5, 6), QTime(7, 8, 9));
    const import_source::Outcome outcome =
        import_source::run(source, path("VELM.mdb"), source.options({}, false), when);
    QCOMPARE(QFileInfo(outcome.setAsideFile).fileName(),
             QStringLiteral("VELM.mdb.not-imported-20240506-070809.json"));

    records_export::saveJson(records_export::read(path("VELM.mdb")), path("out.json"));
    const QJsonObject stored = tablesIn(path("out.json"));
    const QJsonObject aside = tablesIn(outcome.setAsideFile);
    const QJsonObject expected =
        QJsonDocument::fromJson(bytesOf(fixture("six-tables.expected.json"))).object();
    int setAside = 0;
    for (auto t = expected.begin(); t != expected.end(); ++t) {
        const QJsonArray columns = t->toObject().value("columns").toArray();
        const QJsonArray want = t->toObject().value("rows").toArray();
        const QJsonArray got = rowsOf(stored, t.key(), columns);
        const QJsonArray away = rowsOf(aside, t.key(), columns);
        QCOMPARE(got.size(), want.size());
        // Every row of the file is in the table, exactly, or in the side file, exactly.
        for (int r = 0; r < want.size(); ++r) {
            if (got[r] != want[r])
                QVERIFY2(away.contains(want[r]),
                         qPrintable(t.key() + QStringLiteral(" row %1 lost").arg(r + 1)));
        }
        setAside += int(away.size());
    }
    // The fixture's bound light slots on channel 0 can not go out on the bus.
    QCOMPARE(setAside, 10);
    QCOMPARE(outcome.setAsideRows, setAside);
}

void TestRecordsAccess::refusesWholeFileAndChangesNothing_data() {
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<QByteArray>("patch"); // the byte at 0x14, the Jet version; empty: none
    QTest::addColumn<bool>("lockFile");
    QTest::addColumn<QString>("message");
    QTest::newRow("Access's own file, other tables")
        << "access2000-other-tables.mdb" << QByteArray() << false
        << "holds none of the six record tables (it holds \"Table1\")";
    QTest::newRow("Jet 3") << "six-tables.mdb" << QByteArray(1, '\0') << false << "(Jet 3)";
    QTest::newRow("accdb") << "six-tables.mdb" << QByteArray(1, '\x03') << false << ".accdb";
    QTest::newRow("held open by Access") << "six-tables.mdb" << QByteArray() << true
                                         << "is held open by another program";
}

void TestRecordsAccess::refusesWholeFileAndChangesNothing() {
    QFETCH(QString, fixtureName);
    QFETCH(QByteArray, patch);
    QFETCH(bool, lockFile);
    QFETCH(QString, message);
    const QString file = copyOf(fixtureName, "site.mdb");
    if (!patch.isEmpty()) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadWrite) && f.seek(0x14) && f.write(patch) == 1);
    }
    if (lockFile) {
        QFile lock(path("site.ldb"));
        QVERIFY(lock.open(QIODevice::WriteOnly));
    }
    const QByteArray before = bytesOf(path("VELM.mdb"));
    try {
        const ImportSource source = ImportSource::load(file);
        import_source::run(source, path("VELM.mdb"), source.options({}, false));
        QFAIL("imported");
    } catch (const RecordError& e) {
        QVERIFY2(QString::fromStdString(e.what()).contains(message), e.what());
    }
    QCOMPARE(bytesOf(path("VELM.mdb")), before);
    QVERIFY(besideDatabase("VELM.mdb.*").isEmpty());
}

void TestRecordsAccess::cliExitStatusSaysWhatCameOver_data() {
    QTest::addColumn<QString>("fixtureName");
    QTest::addColumn<int>("exitCode");
    QTest::addColumn<QString>("message");
    QTest::newRow("rows set aside") << "six-tables.mdb" << 3 << "10 rows of ";
    QTest::newRow("refused") << "access2000-other-tables.mdb" << 1
                             << "holds none of the six record tables";
}

void TestRecordsAccess::cliExitStatusSaysWhatCameOver() {
    QFETCH(QString, fixtureName);
    QFETCH(int, exitCode);
    QFETCH(QString, message);
    // Told apart by content: the name says nothing.
    copyOf(fixtureName, "site-records.dat");
    QProcess cli;
    cli.setWorkingDirectory(m_dir->path());
    cli.start(buildpaths::bin("velm-cli"), {"import", "site-records.dat"});
    QVERIFY(cli.waitForFinished(60000));
    const QString err = QString::fromUtf8(cli.readAllStandardError());
    QCOMPARE(cli.exitCode(), exitCode);
    QVERIFY2(err.contains(message), qPrintable(err));
    if (exitCode == 3)
        QVERIFY2(err.contains(besideDatabase("VELM.mdb.not-imported-*.json").value(0, "?")),
                 qPrintable(err));
    else
        QVERIFY2(err.contains("is unchanged"), qPrintable(err));
}

void TestRecordsAccess::convertKilledAnywhereLeavesOneWholeFile() {
    const QByteArray access = bytesOf(fixture("six-tables.mdb"));
    // Kills spread over the whole convert (about a tenth of a second), then one left to run.
    for (int delayMs = 0; delayMs <= 200; delayMs += 10) {
        QFile::remove(path("VELM.mdb"));
        copyOf("six-tables.mdb", "VELM.mdb");
        QProcess cli;
        cli.setWorkingDirectory(m_dir->path());
        cli.start(buildpaths::bin("velm-cli"), {"convert"});
        QVERIFY(cli.waitForStarted());
        QTest::qSleep(delayMs);
        cli.kill();
        cli.waitForFinished();
        // VELM.mdb is the Access file as it was, or a whole record file beside the kept one.
        const QByteArray now = bytesOf(path("VELM.mdb"));
        const QString where = QStringLiteral("killed after %1 ms").arg(delayMs);
        if (now != access) {
            const QStringList kept = besideDatabase("VELM.access-*.mdb");
            QVERIFY2(kept.size() == 1 && bytesOf(path(kept[0])) == access, qPrintable(where));
            QVERIFY2(records_export::read(path("VELM.mdb")).at(4).rows.size() == 28,
                     qPrintable(where));
            for (const QString& f : besideDatabase("VELM.*"))
                QFile::remove(path(f));
            continue;
        }
        // What the convert left half-made is out of the way the next time.
        QProcess again;
        again.setWorkingDirectory(m_dir->path());
        again.start(buildpaths::bin("velm-cli"), {"convert"});
        QVERIFY(again.waitForFinished(60000));
        QVERIFY2(again.exitCode() == 3, qPrintable(where + again.readAllStandardError()));
        QVERIFY2(besideDatabase("*.convert-part*").isEmpty(), qPrintable(where));
        QCOMPARE(records_export::read(path("VELM.mdb")).at(4).rows.size(), 28);
        for (const QString& f : besideDatabase("VELM.*"))
            QFile::remove(path(f));
    }
}

QTEST_GUILESS_MAIN(TestRecordsAccess)
#include "test_records_access.moc"
