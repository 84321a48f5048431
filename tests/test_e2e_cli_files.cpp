// End to end: every file velm-cli writes whole (export, the report's HTML and PDF) against
// targets it must not replace or cannot fill, and a standard output nobody reads.
#include "records/schema.h"
#include "support/build_paths.h"
#include "support/disk_filler.h"
#include "support/read_only_mounts.h"
#include "support/odd_files.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>

#include <fcntl.h>
#include <unistd.h>

namespace {

struct Run {
    int exitCode = -1;
    QString out;
    QString err;
};

enum class Target { Device, Fifo, WriteProtected, FullDisk };

const QByteArray kOld = "the file as it was\n";

} // namespace

class TestE2eCliFiles : public QObject {
    Q_OBJECT
private slots:
    void init();
    void refusedTargets_data();
    void refusedTargets();
    void leftoverRemoved();
    void closedStandardOutput_data();
    void closedStandardOutput();

private:
    Run cli(const QStringList& args, bool closedOutput = false) const;
    QString path(const QString& name) const { return m_dir->filePath(name); }

    std::unique_ptr<QTemporaryDir> m_dir;
};

void TestE2eCliFiles::init() {
    m_dir = std::make_unique<QTemporaryDir>();
    schema::createDatabase(path("VELM.mdb"));
}

Run TestE2eCliFiles::cli(const QStringList& args, bool closedOutput) const {
    QProcess p;
    p.setProgram(buildpaths::bin("velm-cli"));
    p.setArguments(args);
    p.setWorkingDirectory(m_dir->path());
    if (closedOutput) {
        // Standard output is a pipe whose reader has already gone.
        p.setChildProcessModifier([] {
            int fds[2];
            if (::pipe(fds) == 0) {
                ::close(fds[0]);
                ::dup2(fds[1], STDOUT_FILENO);
                ::close(fds[1]);
            }
        });
    }
    p.start();
    Run r;
    if (!p.waitForFinished(60000)) {
        p.kill();
        p.waitForFinished();
        return r;
    }
    r.exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    r.out = QString::fromUtf8(p.readAllStandardOutput());
    r.err = QString::fromUtf8(p.readAllStandardError());
    return r;
}

void TestE2eCliFiles::refusedTargets_data() {
    QTest::addColumn<QString>("option");
    QTest::addColumn<Target>("target");
    QTest::addColumn<QString>("cause");
    const QList<std::pair<const char*, QString>> writers = {
        {"export", QString()}, {"report html", "--html"}, {"report pdf", "--pdf"}};
    for (const auto& [writer, option] : writers) {
        QTest::addRow("%s device", writer) << option << Target::Device << "device";
        QTest::addRow("%s fifo", writer) << option << Target::Fifo << "FIFO";
        QTest::addRow("%s 0444", writer) << option << Target::WriteProtected << "write-protected";
        QTest::addRow("%s full disk", writer) << option << Target::FullDisk << "disk full";
    }
}

// Nothing at the target changes, nothing is left beside it, the cause is named and the exit
// status is 1: never "written".
void TestE2eCliFiles::refusedTargets() {
    QFETCH(QString, option);
    QFETCH(Target, target);
    QFETCH(QString, cause);
    const QString folder = path("out");
    QVERIFY(QDir().mkdir(folder));
    const QString file = QDir(folder).filePath("target");
    ReadOnlyMounts mounts;
    switch (target) {
    case Target::Device:
        QVERIFY(odd_files::make(odd_files::Kind::Device, file));
        break;
    case Target::Fifo:
        QVERIFY(odd_files::make(odd_files::Kind::Fifo, file));
        break;
    case Target::WriteProtected:
    case Target::FullDisk: {
        if (target == Target::FullDisk && !mounts.smallDisk(folder, 64))
            QSKIP(qPrintable(mounts.errorString()));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(kOld);
        f.close();
        if (target == Target::WriteProtected)
            QVERIFY(f.setPermissions(QFile::ReadOwner | QFile::ReadGroup | QFile::ReadOther));
        else
            fillDisk(folder);
        break;
    }
    }
    const QString before = odd_files::fingerprint(file);
    const QStringList args =
        option.isEmpty() ? QStringList{"export", file} : QStringList{"report", option, file};
    const Run r = cli(args);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains(cause), qPrintable(r.err));
    QVERIFY2(!r.out.contains("written") && !r.out.contains("exported"), qPrintable(r.out));
    QCOMPARE(odd_files::fingerprint(file), before);
    if (target == Target::WriteProtected || target == Target::FullDisk) {
        QFile f(file);
        QVERIFY(f.open(QIODevice::ReadOnly));
        QCOMPARE(f.readAll(), kOld);
    }
    QCOMPARE(QDir(folder).entryList({"*.part*"}, QDir::Files | QDir::Hidden | QDir::System),
             QStringList());
}

// A temporary file a killed write left beside its target goes with the next write.
void TestE2eCliFiles::leftoverRemoved() {
    QFile leftover(path("all.json.part-0123456789abcdef"));
    QVERIFY(leftover.open(QIODevice::WriteOnly));
    leftover.write("{\"half");
    leftover.close();
    // A backup's copy killed half-way beside the record file goes too, at the command's start.
    QFile copy(path("VELM.mdb.backup-20261210-101010.part-0123456789abcdef0123456789abcdef"));
    QVERIFY(copy.open(QIODevice::WriteOnly));
    copy.close();
    QCOMPARE(cli({"export", "all.json"}).exitCode, 0);
    QCOMPARE(QDir(m_dir->path()).entryList({"all.json*"}, QDir::Files), QStringList{"all.json"});
    QVERIFY(!copy.exists());
}

void TestE2eCliFiles::closedStandardOutput_data() {
    QTest::addColumn<QStringList>("args");
    QTest::newRow("export --json") << QStringList{"--json", "export", "all.json"};
    QTest::newRow("backup list") << QStringList{"backup", "list"};
    QTest::newRow("help") << QStringList{"--help"};
}

// `velm-cli ... | head -1` where head has gone: the output is lost and the exit status says so.
void TestE2eCliFiles::closedStandardOutput() {
    QFETCH(QStringList, args);
    const Run r = cli(args, true);
    QCOMPARE(r.exitCode, 1);
    QVERIFY2(r.err.contains("standard output"), qPrintable(r.err));
}

QTEST_GUILESS_MAIN(TestE2eCliFiles)
#include "test_e2e_cli_files.moc"
