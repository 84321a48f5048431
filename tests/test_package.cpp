// The Debian package (make package): built with CPack from this build folder, it holds the
// installed files under /usr and depends on what the tool loads at run time.
#include "support/build_paths.h"
#include "support/install_layout.h"

#include <QDir>
#include <QProcess>
#include <QRegularExpression>
#include <QTemporaryDir>
#include <QTest>

namespace {
QString run(const QString& program, const QStringList& args, int* exitCode) {
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(300000)) {
        p.kill();
        p.waitForFinished();
        *exitCode = -1;
        return QStringLiteral("%1 did not finish: %2").arg(program, p.errorString());
    }
    *exitCode = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -1;
    return QString::fromLocal8Bit(p.readAllStandardOutput() + p.readAllStandardError());
}
} // namespace

class TestPackage : public QObject {
    Q_OBJECT

    QTemporaryDir m_dir;
    QString m_deb;

    QString field(const QString& name) {
        int code = 0;
        const QString out = run(QStringLiteral("dpkg-deb"), {"--field", m_deb, name}, &code);
        return code == 0 ? out.trimmed() : QString();
    }

private slots:
    void initTestCase() {
#if defined(__SANITIZE_ADDRESS__)
        QSKIP("the package is made from the plain build");
#endif
        int code = 0;
        const QString out = run(buildpaths::cpack(),
                                {"-G", "DEB", "-B", m_dir.path(), "--config",
                                 buildpaths::build("CPackConfig.cmake")},
                                &code);
        QVERIFY2(code == 0, qPrintable(out));
        const QStringList debs = QDir(m_dir.path()).entryList({"*.deb"}, QDir::Files);
        QCOMPARE(debs.size(), 1);
        m_deb = m_dir.filePath(debs.front());
    }

    void holdsTheInstalledFiles() {
        int code = 0;
        const QString listing = run(QStringLiteral("dpkg-deb"), {"--contents", m_deb}, &code);
        QVERIFY2(code == 0, qPrintable(listing));
        // "-rwxr-xr-x root/root 455040 2026-12-09 02:23 ./usr/bin/velm"
        QStringList files;
        QStringList programs;
        for (const QString& line : listing.split(QLatin1Char('\n'), Qt::SkipEmptyParts)) {
            const QStringList columns = line.simplified().split(QLatin1Char(' '));
            if (columns.size() < 6 || columns.front().startsWith(QLatin1Char('d')))
                continue;
            const QString path = columns.last().mid(int(qstrlen("./usr/")));
            files << path;
            if (columns.front() == QLatin1String("-rwxr-xr-x"))
                programs << path;
        }
        files.sort();
        programs.sort();
        QCOMPARE(files, installlayout::files());
        QCOMPARE(programs, installlayout::executables());
    }

    // Debian's own checks: among them a copyright file, a changelog, a manual page for every
    // program that man reads without complaint, description lines that fit a terminal.
    void lintianFindsNoErrorOrWarning() {
        int code = 0;
        const QString out =
            run(QStringLiteral("lintian"), {"--fail-on", "error,warning", "--info", m_deb}, &code);
        const QStringList faults =
            out.split(QLatin1Char('\n')).filter(QRegularExpression(QStringLiteral("^[EW]: ")));
        QVERIFY2(code == 0 && faults.isEmpty(),
                 qPrintable(QStringLiteral("lintian (see tools/ensure-deps.sh): ") + out));
    }

    void namesItsDependencies() {
        QCOMPARE(field(QStringLiteral("Package")), QStringLiteral("velm"));
        QCOMPARE(field(QStringLiteral("Version")), QStringLiteral(VELM_VERSION));
        int code = 0;
        const QString arch =
            run(QStringLiteral("dpkg"), {QStringLiteral("--print-architecture")}, &code);
        QCOMPARE(field(QStringLiteral("Architecture")), arch.trimmed());
        const QString depends = field(QStringLiteral("Depends"));
        for (const char* package : {"libqt6widgets6", "libqt6network6", "libqt6serialport6",
                                    "libqt6sql6", "libqt6sql6-sqlite", "qt6-qpa-plugins",
                                    "fonts-dejavu-core", "libmdb3"})
            QVERIFY2(depends.contains(QLatin1String(package)),
                     qPrintable(QStringLiteral("%1 in %2").arg(package, depends)));
    }
};

QTEST_MAIN(TestPackage)
#include "test_package.moc"
