// Installing like a desktop tool: `make install`'s step into a scratch prefix puts the
// programs, the menu entry and its icons where a desktop finds them, the entry is valid, the
// launcher it runs opens a working tool in a per-user data folder, the manual pages and the
// documents are complete, and `make uninstall` takes it all away again.
#include "support/build_paths.h"
#include "support/install_layout.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QProcess>
#include <QRegularExpression>
#include <QSettings>
#include <QTemporaryDir>
#include <QTest>

namespace {
// Seconds a started tool gets to show a start-up message before we take silence as none.
constexpr int kQuietMs = 5000;
constexpr int kStartMs = 30000;
const QString kInstalledList = QStringLiteral("share/velm/install_manifest.txt");

QString run(const QString& program, const QStringList& args, int* exitCode) {
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(program, args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        *exitCode = -1;
        return QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAll());
}

// The tool's messages also go to its standard error stream, one "velm: TEXT" line each.
QStringList messagesIn(const QString& output) {
    return output.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^velm: ")));
}

void stop(QProcess& p) {
    if (p.state() != QProcess::NotRunning) {
        p.terminate();
        if (!p.waitForFinished(10000)) {
            p.kill();
            p.waitForFinished();
        }
    }
}
} // namespace

class TestInstall : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_prefix;

    QString bin(const QString& name) const { return m_prefix + QStringLiteral("/bin/") + name; }

    // Starts the installed launcher as a menu would: from the home folder, with this
    // environment; stdout and stderr are merged.
    void startLauncher(QProcess& p, const QString& home, const QString& xdgDataHome) {
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("HOME"), home);
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        if (xdgDataHome.isNull())
            env.remove(QStringLiteral("XDG_DATA_HOME"));
        else
            env.insert(QStringLiteral("XDG_DATA_HOME"), xdgDataHome);
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home);
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(bin(QStringLiteral("velm-launch")), {});
        QVERIFY2(p.waitForStarted(kStartMs), qPrintable(p.errorString()));
    }

    // Lets the tool come up and checks that it is still running and said nothing; `output`
    // gets what the launcher and the tool printed.
    void expectQuietStart(QProcess& p, QString* output) {
        QTest::qWait(kQuietMs);
        *output = QString::fromLocal8Bit(p.readAll());
        QVERIFY2(p.state() == QProcess::Running, qPrintable(*output));
        QVERIFY2(messagesIn(*output).isEmpty(), qPrintable(*output));
    }

private slots:
    void initTestCase() {
        QVERIFY(m_dir.isValid());
        m_prefix = m_dir.filePath(QStringLiteral("prefix"));
        // What `make install` does once the programs are built.
        int code = 0;
        const QString out =
            run(buildpaths::cmake(),
                {"-DACTION=install", "-DBUILD=" + buildpaths::build(), "-DPREFIX=" + m_prefix, "-P",
                 buildpaths::source("dist/install.cmake")},
                &code);
        QVERIFY2(code == 0, qPrintable(out));
    }

    void installsTheExpectedFiles() {
        QStringList found;
        QDirIterator it(m_prefix, QDir::Files, QDirIterator::Subdirectories);
        while (it.hasNext())
            found << QDir(m_prefix).relativeFilePath(it.next());
        found.sort();
        // Beside the installed files, the list of them that `make uninstall` goes by.
        QStringList expected = installlayout::files() << kInstalledList;
        expected.sort();
        QCOMPARE(found, expected);
        for (const QString& program : installlayout::executables())
            QVERIFY2(QFileInfo(m_prefix + QLatin1Char('/') + program).isExecutable(),
                     qPrintable(program));
    }

    void desktopEntryValidatesAndRunsTheLauncher() {
        const QString entry = m_prefix + QStringLiteral("/share/applications/velm.desktop");
        int code = 0;
        const QString out = run(QStringLiteral("desktop-file-validate"), {entry}, &code);
        QVERIFY2(code == 0 && out.trimmed().isEmpty(),
                 qPrintable(QStringLiteral("desktop-file-validate (desktop-file-utils, see "
                                           "tools/ensure-deps.sh): ") +
                            out));
        QSettings desktop(entry, QSettings::IniFormat);
        desktop.beginGroup(QStringLiteral("Desktop Entry"));
        QCOMPARE(desktop.value(QStringLiteral("Exec")).toString(), QStringLiteral("velm-launch"));
        QCOMPARE(desktop.value(QStringLiteral("Icon")).toString(), QStringLiteral("velm"));
        QVERIFY(QFileInfo(bin(QStringLiteral("velm-launch"))).isExecutable());
    }

    void iconsHaveTheirSizes() {
        for (const QString& size : installlayout::iconSizes()) {
            const QImage icon(m_prefix +
                              QStringLiteral("/share/icons/hicolor/%1x%1/apps/velm.png").arg(size));
            QCOMPARE(icon.size(), QSize(size.toInt(), size.toInt()));
        }
    }

    // What the launcher is for: the tool alone, started in a folder without VELM.mdb,
    // greets the user with one message per table.
    void toolAloneInAnEmptyFolderComplains() {
        QTemporaryDir home;
        QProcess p;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
        p.setProcessEnvironment(env);
        p.setWorkingDirectory(home.path());
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(bin(QStringLiteral("velm")), {});
        QVERIFY(p.waitForStarted(kStartMs));
        // Each text with its cause, the path as it can be copied into a terminal.
        const QString line =
            QStringLiteral("velm: Can not find Scene Records database: %1 does not exist; File › "
                           "New Record File… creates it\n")
                .arg(QFileInfo(home.filePath(QStringLiteral("VELM.mdb"))).absoluteFilePath());
        QString output;
        QTRY_VERIFY_WITH_TIMEOUT(
            (output += QString::fromLocal8Bit(p.readAll()), output.contains(line)), kStartMs);
        stop(p);
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("VELM.mdb"))));
    }

    void launcherOpensAWorkingTool_data() {
        QTest::addColumn<QString>("xdgDataHome"); // relative to a scratch home; null: unset
        QTest::addColumn<QString>("dataFolder");  // where VELM.mdb must appear
        QTest::newRow("XDG_DATA_HOME") << "data"
                                       << "data/velm";
        QTest::newRow("no XDG_DATA_HOME") << QString() << ".local/share/velm";
        QTest::newRow("relative XDG_DATA_HOME is ignored") << "rel"
                                                           << ".local/share/velm";
    }

    void launcherOpensAWorkingTool() {
        QFETCH(QString, xdgDataHome);
        QFETCH(QString, dataFolder);
        QTemporaryDir home;
        QString xdg;
        if (xdgDataHome == QLatin1String("rel"))
            xdg = QStringLiteral("relative/data");
        else if (!xdgDataHome.isNull())
            xdg = home.filePath(xdgDataHome);
        const QString database = home.filePath(dataFolder + QStringLiteral("/VELM.mdb"));

        QString output;
        QProcess first;
        startLauncher(first, home.path(), xdg);
        QTRY_VERIFY_WITH_TIMEOUT(QFile::exists(database), kStartMs);
        expectQuietStart(first, &output);
        stop(first);
        QVERIFY2(output.contains(QStringLiteral("velm-initdb: created")), qPrintable(output));
        // Nothing lands in the folder the menu started it from.
        QVERIFY(!QFile::exists(home.filePath(QStringLiteral("VELM.mdb"))));

        // A second start uses the database as it is.
        QProcess second;
        startLauncher(second, home.path(), xdg);
        expectQuietStart(second, &output);
        stop(second);
        QVERIFY2(!output.contains(QStringLiteral("velm-initdb")), qPrintable(output));
    }

    // The installed README and documents link only what is installed beside them.
    void documentsLinkOnlyInstalledFiles() {
        const QRegularExpression link(QStringLiteral(R"(\]\(([^)#\s]+)[^)]*\))"));
        const QDir docs(m_prefix + QStringLiteral("/share/doc/velm"));
        QDirIterator it(docs.path(), {"*.md"}, QDir::Files, QDirIterator::Subdirectories);
        int links = 0;
        while (it.hasNext()) {
            const QString document = it.next();
            QFile file(document);
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QString text = QString::fromUtf8(file.readAll());
            for (const QRegularExpressionMatch& m : link.globalMatch(text)) {
                const QString target = m.captured(1);
                if (target.contains(QLatin1Char(':')))
                    continue; // a web address
                ++links;
                QVERIFY2(QFileInfo::exists(QFileInfo(document).dir().filePath(target)),
                         qPrintable(docs.relativeFilePath(document) + " links " + target));
            }
        }
        QVERIFY(links > 0);
    }

    // The installed velm-cli answers --help itself and runs a command through velm-cli-run in
    // the program folder; a velm-cli without it still helps, and a command says what is gone.
    void cliHandsCommandsOn_data() {
        QTest::addColumn<bool>("alone");
        QTest::addColumn<QStringList>("args");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("says");
        if (!installlayout::programs().contains(QStringLiteral("bin/velm-cli")))
            QSKIP("velm-cli is not built");
        const QStringList help{"--help"};
        const QStringList command{"decode", "55", "AA"};
        QTest::newRow("help") << false << help << 0 << "Usage: velm-cli [OPTIONS] COMMAND";
        QTest::newRow("command") << false << command << 1 << "velm-cli: decode: incomplete frame";
        QTest::newRow("help, alone") << true << help << 0 << "Usage: velm-cli [OPTIONS] COMMAND";
        QTest::newRow("command, alone")
            << true << command << 1 << "velm-cli-run, which runs the commands, is not installed";
    }

    void cliHandsCommandsOn() {
        QFETCH(bool, alone);
        QFETCH(QStringList, args);
        QFETCH(int, exitCode);
        QFETCH(QString, says);
        QString program = m_prefix + QStringLiteral("/bin/velm-cli");
        if (alone) {
            const QString copy = m_dir.filePath(QStringLiteral("alone/velm-cli"));
            QVERIFY(QDir().mkpath(QFileInfo(copy).path()));
            QVERIFY(QFile::exists(copy) || QFile::copy(program, copy));
            program = copy;
        }
        int code = 0;
        const QString out = run(program, args, &code);
        QCOMPARE(code, exitCode);
        QVERIFY2(out.contains(says), qPrintable(out));
    }

    // A manual page made from a program's --help holds every line of it (the usage line
    // becomes the synopsis).
    // velm-cli's page holds each command's help too (but the record database line).
    void manualPagesHoldTheHelp_data() {
        QTest::addColumn<QString>("program");
        QTest::addColumn<QStringList>("args");
        QTest::newRow("velm-sim") << "velm-sim" << QStringList{"--help"};
        if (!installlayout::programs().contains(QStringLiteral("bin/velm-cli")))
            return;
        QTest::newRow("velm-cli") << "velm-cli" << QStringList{"--help"};
        for (const char* command : {"light", "audit", "bus-switch", "watch", "backup"})
            QTest::addRow("velm-cli %s", command) << "velm-cli" << QStringList{command, "--help"};
    }

    void manualPagesHoldTheHelp() {
        QFETCH(QString, program);
        QFETCH(QStringList, args);
        int code = 0;
        const QString help = run(buildpaths::bin(program), args, &code);
        QCOMPARE(code, 0);
        QString page =
            run(QStringLiteral("gzip"),
                {"-dc", m_prefix + QStringLiteral("/share/man/man1/%1.1.gz").arg(program)}, &code);
        QCOMPARE(code, 0);
        page.replace(QStringLiteral("\\-"), QStringLiteral("-"))
            .replace(QStringLiteral("\\e"), QStringLiteral("\\"))
            .replace(QStringLiteral("\\&"), QString())
            .replace(QStringLiteral("\\(dq"), QStringLiteral("\""));
        const QStringList lines = help.split(QLatin1Char('\n'), Qt::SkipEmptyParts).mid(1);
        QVERIFY(lines.size() >= 3);
        for (QString line : lines) {
            line = line.trimmed();
            if (args.size() > 1 && line.startsWith(QLatin1String("Record database: ")))
                continue;
            if (line.endsWith(QLatin1Char(':')))
                line.chop(1); // a heading
            QVERIFY2(page.contains(line), qPrintable(line));
        }
    }

    // Last, as it takes the installation away: `make uninstall` removes every file the
    // install put there and the folders of our own, and leaves other programs' files and the
    // shared folders alone.
    void uninstallRemovesWhatWasInstalled() {
        const QStringList others{"bin/other-tool", "share/applications/other.desktop"};
        for (const QString& other : others) {
            QFile file(m_prefix + QLatin1Char('/') + other);
            QVERIFY(file.open(QIODevice::WriteOnly));
        }
        const QStringList uninstall{"-C", buildpaths::source(), "--no-print-directory", "uninstall",
                                    "PREFIX=" + m_prefix};
        int code = 0;
        QString out = run(QStringLiteral("make"), uninstall, &code);
        QVERIFY2(code == 0, qPrintable(out));

        QStringList left;
        QDirIterator it(m_prefix, QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot,
                        QDirIterator::Subdirectories);
        while (it.hasNext()) {
            const QString path = QDir(m_prefix).relativeFilePath(it.next());
            if (it.fileInfo().isFile() || path.contains(QStringLiteral("velm")))
                left << path;
        }
        left.sort();
        QCOMPARE(left, others);
        QVERIFY(QFileInfo(m_prefix + QStringLiteral("/share/man/man1")).isDir());

        // A second time there is nothing to remove, and it says so.
        out = run(QStringLiteral("make"), uninstall, &code);
        QVERIFY2(code != 0 && out.contains(QStringLiteral("Nothing to uninstall")),
                 qPrintable(out));
    }
};

QTEST_MAIN(TestInstall)
#include "test_install.moc"
