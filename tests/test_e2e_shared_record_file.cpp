// End to end: two velm-cli programs on one record database at once, as a technician runs the
// window and velm-cli side by side. Whatever the timing, the file stays sound, each table holds
// one program's whole change or none, "unchanged" is true, and what a program reported as done
// is in the file unless another program's change replaced it.
#include "records/records_export.h"
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/record_files.h"
#include "support/sim_process.h"

#include <QCryptographicHash>
#include <QDir>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QProcess>
#include <QRandomGenerator>
#include <QSet>
#include <QTemporaryDir>
#include <QTest>

#include <memory>

namespace {

constexpr int kRows = 3000;
constexpr int kTimerModule = 6;

// Rows of every table, their texts marked with `mark`; only the tables named, or all.
QByteArray exchangeFile(const QString& mark, const QStringList& only = {}) {
    QJsonObject tables;
    const auto rows = [](const std::function<QJsonObject(int)>& row, int count = kRows) {
        QJsonArray out;
        for (int i = 0; i < count; ++i)
            out.append(row(i));
        return out;
    };
    tables["Scene Records"] = rows([&](int i) {
        return QJsonObject{{"Scene_No", i % 256},
                           {"Information", mark + QString::number(i)},
                           {"Module_Addr", i / 256}};
    });
    tables["IR Records"] = rows([&](int i) {
        return QJsonObject{{"Module_Addr", i / 256},
                           {"IR_No", i % 256},
                           {"Information", mark + QString::number(i)}};
    });
    tables["Timer Records"] = rows([&](int i) {
        return QJsonObject{{"Timer_Order", i % 32 + 1}, {"Time", mark + QString::number(i)}};
    });
    // Numbers only: the length of the mark tells each file's rows apart.
    const qsizetype m = mark.size();
    tables["Event Records"] = rows([m](int i) {
        return QJsonObject{{"Timer_Order", i % 32 + 1}, {"Address", (i + m) % 256}};
    });
    tables["Bind Records"] = rows([m](int i) {
        return QJsonObject{{"Input_Addr", (i + m) % 256}, {"Parameter", i % 256}};
    });
    tables["Monitor Bind Records"] = rows(
        [&](int i) {
            return QJsonObject{{"Order", i + 1}, {"Address", m}, {"Channel", 3}};
        },
        224);
    if (!only.isEmpty()) {
        for (const QString& name : tables.keys()) {
            if (!only.contains(name))
                tables.remove(name);
        }
    }
    return QJsonDocument(
               QJsonObject{{"format", "velm-records"}, {"version", 1}, {"tables", tables}})
        .toJson(QJsonDocument::Compact);
}

// Each table of the file as one hash of its rows in their order.
QHash<QString, QByteArray> tableStates(const QString& file) {
    QHash<QString, QByteArray> out;
    for (const records_format::TableRows& t : records_export::read(file)) {
        QCryptographicHash hash(QCryptographicHash::Sha1);
        for (const QVariantList& row : t.rows) {
            for (const QVariant& v : row)
                hash.addData((v.isNull() ? QStringLiteral("\\N") : v.toString()).toUtf8() + '\x1f');
            hash.addData("\n");
        }
        out.insert(t.table->name, hash.result());
    }
    return out;
}

// One program of a trial and what it did.
struct Program {
    QStringList args;
    QHash<QString, QByteArray> writes; // table -> its state after this program alone; empty
                                       // state: rows no one can foretell (a read-all)
    std::unique_ptr<QProcess> process;
    int exitCode = -1;
    QString err;
};

} // namespace

class TestE2eSharedRecordFile : public QObject {
    Q_OBJECT
private slots:
    void initTestCase();
    void twoProgramsOneFile_data();
    void twoProgramsOneFile();

private:
    QString path(const QString& name) const { return m_dir.filePath(name); }
    void write(const QString& name, const QByteArray& bytes) const {
        QFile f(path(name));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        QCOMPARE(f.write(bytes), bytes.size());
    }
    // Runs velm-cli to its end on a fresh copy of the starting file and returns its states.
    QHash<QString, QByteArray> statesAfterAlone(const QStringList& args);
    void start(Program& p, const QString& db) const;

    QTemporaryDir m_dir;
    SimProcess m_sim;
    QHash<QString, QByteArray> m_before;
    QHash<QString, QByteArray> m_allState;
    QHash<QString, QByteArray> m_otherState;
    QHash<QString, QByteArray> m_oneState;
};

void TestE2eSharedRecordFile::initTestCase() {
    QVERIFY(m_dir.isValid());
    QVERIFY2(m_sim.start(), qPrintable(m_sim.errorString()));
    write("before.json", exchangeFile("before"));
    write("all.json", exchangeFile("all"));
    write("other.json", exchangeFile("other"));
    write("one.json", exchangeFile("one", {"Timer Records"}));
    schema::createDatabase(path("start.mdb"));
    QProcess p;
    p.start(buildpaths::bin("velm-cli"),
            {"--db", path("start.mdb"), "import", path("before.json")});
    QVERIFY(p.waitForFinished(60000));
    QVERIFY2(p.exitCode() == 0, p.readAllStandardError().constData());
    for (const QString& name : QDir(m_dir.path()).entryList({"start.mdb.backup-*"}))
        QFile::remove(path(name));
    m_before = tableStates(path("start.mdb"));
    m_allState = statesAfterAlone({"import", path("all.json")});
    m_otherState = statesAfterAlone({"import", path("other.json")});
    m_oneState = statesAfterAlone({"import", path("one.json")});
    // Each program's change of each table differs from every other state of it, or a finding
    // could not tell whose rows the table holds.
    QCOMPARE(m_allState.size(), 6);
    for (const QString& t : m_allState.keys()) {
        const QSet<QByteArray> states{m_before[t], m_allState[t], m_otherState[t]};
        QVERIFY2(states.size() == 3, qPrintable(t));
    }
    QVERIFY(m_oneState["Timer Records"] != m_allState["Timer Records"]);
}

QHash<QString, QByteArray> TestE2eSharedRecordFile::statesAfterAlone(const QStringList& args) {
    const QString db = path("alone.mdb");
    QFile::remove(db);
    QFile::copy(path("start.mdb"), db);
    QProcess p;
    p.start(buildpaths::bin("velm-cli"), QStringList{"--db", db} + args);
    p.waitForFinished(60000);
    return p.exitCode() == 0 ? tableStates(db) : QHash<QString, QByteArray>();
}

void TestE2eSharedRecordFile::start(Program& p, const QString& db) const {
    p.process = std::make_unique<QProcess>();
    p.process->start(
        buildpaths::bin("velm-cli"),
        QStringList{"--udp", QStringLiteral("127.0.0.1:%1").arg(m_sim.udpPort()), "--db", db} +
            p.args);
}

void TestE2eSharedRecordFile::twoProgramsOneFile_data() {
    QTest::addColumn<QString>("second"); // "other" (every table), "one" or "read"
    QTest::addColumn<int>("trials");
    QTest::addColumn<int>("latestStartMs"); // the second starts 0 .. this after the first
    QTest::newRow("an import of every table and one of one table") << "one" << 16 << 300;
    QTest::newRow("two imports of every table") << "other" << 12 << 300;
    QTest::newRow("an import and a timers read") << "read" << 6 << 2500;
}

void TestE2eSharedRecordFile::twoProgramsOneFile() {
    QFETCH(QString, second);
    QFETCH(int, trials);
    QFETCH(int, latestStartMs);
    QRandomGenerator random(40);
    int damaged = 0, falseUnchanged = 0, lost = 0, mixed = 0;
    QStringList findings;
    for (int trial = 1; trial <= trials; ++trial) {
        const QString db = path("VELM.mdb");
        QFile::remove(db);
        QVERIFY(QFile::copy(path("start.mdb"), db));
        Program programs[2];
        programs[0].args = QStringList{"import", path("all.json")};
        programs[0].writes = m_allState;
        if (second == QLatin1String("read")) {
            programs[1].args = QStringList{"timers", "read", QString::number(kTimerModule)};
            programs[1].writes.insert("Timer Records", QByteArray());
        } else {
            programs[1].args = QStringList{"import", path(second + ".json")};
            programs[1].writes = second == QLatin1String("other") ? m_otherState : m_oneState;
            if (second == QLatin1String("one"))
                for (const QString& t : m_oneState.keys())
                    if (t != QLatin1String("Timer Records"))
                        programs[1].writes.remove(t);
        }
        // The read-all comes first: the import lands somewhere inside its run.
        const int firstIndex = second == QLatin1String("read") ? 1 : 0;
        start(programs[firstIndex], db);
        QTest::qWait(int(random.bounded(latestStartMs + 1)));
        start(programs[1 - firstIndex], db);
        for (Program& p : programs) {
            // The first may have ended while the test waited to start the second.
            if (p.process->state() != QProcess::NotRunning)
                QVERIFY(p.process->waitForFinished(60000));
            QCOMPARE(p.process->exitStatus(), QProcess::NormalExit);
            p.exitCode = p.process->exitCode();
            p.err = QString::fromUtf8(p.process->readAllStandardError());
        }

        const QString integrity = record_files::query(db, "PRAGMA integrity_check").toString();
        if (integrity != QLatin1String("ok")) {
            ++damaged;
            findings << QStringLiteral("trial %1: integrity_check: %2").arg(trial).arg(integrity);
            continue;
        }
        const QHash<QString, QByteArray> now = tableStates(db);
        for (auto t = now.cbegin(); t != now.cend(); ++t) {
            // A read-all stores rows no one can foretell: its table is judged by the import's
            // report only.
            bool unforeseen = false;
            QList<QByteArray> whole{m_before.value(t.key())};
            for (const Program& p : programs) {
                if (p.writes.contains(t.key()))
                    whole << p.writes[t.key()];
                unforeseen =
                    unforeseen || (p.writes.contains(t.key()) && p.writes[t.key()].isEmpty());
            }
            if (!unforeseen && !whole.contains(*t)) {
                ++mixed;
                findings << QStringLiteral("trial %1: %2 is no program's whole change")
                                .arg(trial)
                                .arg(t.key());
            }
        }
        for (int i = 0; i < 2; ++i) {
            const Program& p = programs[i];
            const Program& other = programs[1 - i];
            for (auto w = p.writes.cbegin(); w != p.writes.cend(); ++w) {
                if (w->isEmpty())
                    continue;
                const bool inFile = now.value(w.key()) == *w;
                const bool replaced = other.exitCode == 0 && other.writes.contains(w.key());
                if (p.err.contains(QStringLiteral("is unchanged")) && inFile) {
                    ++falseUnchanged;
                    findings << QStringLiteral(
                                    "trial %1: \"unchanged\" but %2 holds the import: %3")
                                    .arg(trial)
                                    .arg(w.key(), p.err.trimmed());
                    break;
                }
                if (p.exitCode == 0 && !inFile && !replaced) {
                    ++lost;
                    findings << QStringLiteral("trial %1: %2 lost an exit-0 import")
                                    .arg(trial)
                                    .arg(w.key());
                    break;
                }
            }
        }
    }
    qInfo("%s: %d trials, %d damaged, %d false \"unchanged\", %d lost, %d mixed",
          QTest::currentDataTag(), trials, damaged, falseUnchanged, lost, mixed);
    QVERIFY2(findings.isEmpty(), qPrintable(findings.join(u'\n')));
}

QTEST_MAIN(TestE2eSharedRecordFile)
#include "test_e2e_shared_record_file.moc"
