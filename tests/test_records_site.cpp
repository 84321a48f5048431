// A site's files: site.json refuses what the band could not show and keeps the password only
// when it is remembered (owner-only before it is written); history.jsonl takes two writers at
// once without a torn or mixed line, and a line cut short is skipped on reading.
#include "records/record_table.h"
#include "records/site_folder.h"
#include "records/site_history.h"

#include <QFile>
#include <QTemporaryDir>
#include <QTest>

#include <sys/stat.h>

#include <atomic>
#include <thread>

class TestRecordsSite : public QObject {
    Q_OBJECT
private slots:
    void siteJsonRefusesWhatTheBandCannotHold_data();
    void siteJsonRefusesWhatTheBandCannotHold();
    void passwordOnlyWhenRemembered_data();
    void passwordOnlyWhenRemembered();
    void byteOrderMarkKept();
    void newSiteRefusesAFolderWithARecordFile();
    void twoWritersAppendWholeLines();
    void tornLastLineIsSkipped();
};

void TestRecordsSite::siteJsonRefusesWhatTheBandCannotHold_data() {
    QTest::addColumn<QByteArray>("json");
    QTest::addColumn<QString>("message"); // empty: taken
    const QByteArray head = R"({"format": "velm-site", "version": 1, )";
    QTest::newRow("whole") << head + R"("name": "A", "link": {"mode": "network", "baud": 19200,
        "remoteIp": "10.0.0.7", "subnetId": 3}, "modules": [{"address": 255, "type": "0a01"}]})"
                           << QString();
    QTest::newRow("baud off the list") << head + R"("link": {"baud": 12}})" << "link.baud 12";
    QTest::newRow("mode") << head + R"("link": {"mode": "tcp"}})" << "link.mode";
    QTest::newRow("host name") << head + R"("link": {"remoteIp": "gateway.local"}})"
                               << "link.remoteIp";
    QTest::newRow("port") << head + R"("link": {"remotePort": 70000}})" << "link.remotePort";
    QTest::newRow("address 40") << head + R"("modules": [{"address": 40}]})"
                                << "modules[0].address";
    QTest::newRow("twice") << head + R"("modules": [{"address": 4}, {"address": 4}]})"
                           << "modules[1].address 4 is listed twice";
    QTest::newRow("type") << head + R"("modules": [{"address": 4, "type": "01G8"}]})"
                          << "modules[0].type";
    QTest::newRow("newer") << QByteArray(R"({"format": "velm-site", "version": 2})")
                           << "newer VELM";
    QTest::newRow("other file") << QByteArray(R"({"format": "velm-records"})") << "not a site";
    QTest::newRow("name twice") << head + R"("name": "a", "name": "b"})" << "line 1";
    // What the file says shows escaped, on one line.
    QTest::newRow("crafted mode") << head + R"("link": {"mode": "\u001b]0;x\u0007\n\u202e"}})"
                                  << R"(not "\x1b]0;x\x07\n\u202e")";
}

void TestRecordsSite::siteJsonRefusesWhatTheBandCannotHold() {
    QFETCH(QByteArray, json);
    QFETCH(QString, message);
    try {
        const SiteSettings s = SiteSettings::fromJson(json);
        QVERIFY2(message.isEmpty(), "taken");
        QCOMPARE(s.link.baud, 19200);
        QCOMPARE(s.modules.value(0).type, QStringLiteral("0A01"));
        // What is read is written back the same.
        QCOMPARE(SiteSettings::fromJson(s.toJson()).toJson(), s.toJson());
    } catch (const RecordError& e) {
        QVERIFY2(!message.isEmpty() && QString::fromUtf8(e.what()).contains(message), e.what());
    }
}

void TestRecordsSite::passwordOnlyWhenRemembered_data() {
    QTest::addColumn<bool>("remember");
    QTest::newRow("remembered") << true;
    QTest::newRow("not remembered") << false;
}

void TestRecordsSite::passwordOnlyWhenRemembered() {
    QFETCH(bool, remember);
    QTemporaryDir dir;
    SiteSettings s;
    s.name = QStringLiteral("Villa");
    s.rememberPassword = remember;
    s.password = QStringLiteral("s3cret");
    const SiteFolder site = SiteFolder::create(dir.filePath("site"), s);
    QFile f(site.siteFile());
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll().contains("s3cret"), remember);
    struct stat st {};
    QCOMPARE(::stat(QFile::encodeName(site.siteFile()).constData(), &st), 0);
    if (remember)
        QCOMPARE(st.st_mode & 0777, mode_t(0600));
    const SiteFolder again = SiteFolder::open(site.dir());
    QCOMPARE(again.settings().rememberPassword, remember);
    QCOMPARE(again.settings().password, remember ? QStringLiteral("s3cret") : QString());
    QVERIFY(QFile::exists(site.recordFile()));
}

// Qt's reader drops a U+FEFF that begins a text without escapes: site.json writes it escaped,
// and one written with the raw character reads the same.
void TestRecordsSite::byteOrderMarkKept() {
    SiteSettings s;
    s.name = QStringLiteral("\uFEFFVilla");
    s.modules << ExpectedModule{5, QStringLiteral("040E"), QStringLiteral("\uFEFFHall"), {}};
    const QByteArray json = s.toJson();
    QByteArray raw = json;
    raw.replace("\\ufeff", "\xEF\xBB\xBF");
    for (const QByteArray& bytes : {json, raw}) {
        const SiteSettings back = SiteSettings::fromJson(bytes);
        QCOMPARE(back.name, s.name);
        QCOMPARE(back.modules.value(0).name, s.modules.value(0).name);
    }
}

void TestRecordsSite::newSiteRefusesAFolderWithARecordFile() {
    QTemporaryDir dir;
    QFile f(dir.filePath("VELM.mdb"));
    QVERIFY(f.open(QIODevice::WriteOnly));
    f.write("keep me");
    f.close();
    QVERIFY_THROWS_EXCEPTION(RecordError, SiteFolder::create(dir.path(), {}));
    QVERIFY(!SiteFolder::isSite(dir.path()));
    QVERIFY(f.open(QIODevice::ReadOnly));
    QCOMPARE(f.readAll(), QByteArray("keep me"));
}

void TestRecordsSite::twoWritersAppendWholeLines() {
    QTemporaryDir dir;
    const QString file = dir.filePath("history.jsonl");
    constexpr int kLines = 300;
    std::atomic<int> failures{0};
    auto writer = [&file, &failures](const QString& program) {
        for (int i = 0; i < kLines; ++i) {
            HistoryEntry e{QDateTime::currentDateTime(), "Ann", program, i % 33, "set",
                           QString(200, QLatin1Char('x')), HistoryEntry::ok()};
            if (!site_history::append(file, e))
                ++failures;
        }
    };
    std::thread a(writer, QStringLiteral("window"));
    std::thread b(writer, QStringLiteral("velm-cli"));
    a.join();
    b.join();
    QCOMPARE(failures.load(), 0);
    const site_history::Read read = site_history::read(file);
    QCOMPARE(read.skipped, 0);
    QCOMPARE(read.entries.size(), 2 * kLines);
    QCOMPARE(read.entries.first().technician, QStringLiteral("Ann"));
}

void TestRecordsSite::tornLastLineIsSkipped() {
    QTemporaryDir dir;
    const QString file = dir.filePath("history.jsonl");
    const QDateTime then(QDate(2024, 3, 1), QTime(9, 0));
    HistoryEntry e{then, "Ann", "window", 5, "push", "scenes", HistoryEntry::ok()};
    QVERIFY(site_history::append(file, e));
    {
        QFile f(file);
        QVERIFY(f.open(QIODevice::Append));
        f.write(site_history::line(e).left(20)); // a crash in the middle of a line
    }
    QCOMPARE(site_history::read(file).entries.size(), 1);
    QCOMPARE(site_history::read(file).skipped, 1);
    // The next line starts on a line of its own and is read.
    e.time = then.addDays(2);
    e.module = 7;
    QVERIFY(site_history::append(file, e));
    const site_history::Read read = site_history::read(file, QDate(2024, 3, 2));
    QCOMPARE(read.entries.size(), 1);
    QCOMPARE(read.entries.first().module, 7);
    QCOMPARE(read.entries.first().time, e.time);
}

QTEST_GUILESS_MAIN(TestRecordsSite)
#include "test_records_site.moc"
