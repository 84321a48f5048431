#pragma once

#include "support/build_paths.h"

#include <QDir>
#include <QDirIterator>
#include <QFile>
#include <QFileInfo>
#include <QStringList>

// What `cmake --install` puts under its prefix (and the package under /usr), as relative
// paths: the programs, each with its manual page, the menu entry and its icons, the documents.
// velm-cli is there when it has been built.
namespace installlayout {

inline QStringList programs() {
    QStringList out{"bin/velm", "bin/velm-initdb", "bin/velm-launch", "bin/velm-sim"};
    if (QFile::exists(buildpaths::bin("velm-cli")))
        out << QStringLiteral("bin/velm-cli");
    out.sort();
    return out;
}

// Programs that velm-cli runs, installed where people do not call them: no manual page.
inline QStringList helpers() {
    if (QFile::exists(buildpaths::bin("velm-cli")))
        return {QStringLiteral("libexec/velm/velm-cli-run"),
                QStringLiteral("libexec/velm/velm-report-pdf")};
    return {};
}

// Every installed file that may be run.
inline QStringList executables() {
    QStringList out = programs() + helpers();
    out.sort();
    return out;
}

inline QStringList iconSizes() {
    return {"16", "24", "32", "48", "64", "128", "256"};
}

// The README ships with the docs/ folder it links, as it is in the repository.
inline QStringList documents() {
    QStringList out{QStringLiteral("README.md")};
    const QDir source(buildpaths::source());
    QDirIterator it(source.filePath(QStringLiteral("docs")), QDir::Files,
                    QDirIterator::Subdirectories);
    while (it.hasNext())
        out << source.relativeFilePath(it.next());
    return out;
}

inline QStringList files() {
    QStringList out = executables();
    out << QStringLiteral("share/applications/velm.desktop")
        << QStringLiteral("share/icons/hicolor/scalable/apps/velm.svg")
        << QStringLiteral("share/doc/velm/copyright")
        << QStringLiteral("share/doc/velm/changelog.gz")
        << QStringLiteral(VELM_WIRESHARK_PLUGIN_DIR "/velm.lua");
    for (const QString& document : documents())
        out << QStringLiteral("share/doc/velm/") + document;
    for (const QString& program : programs())
        out << QStringLiteral("share/man/man1/%1.1.gz").arg(QFileInfo(program).fileName());
    for (const QString& size : iconSizes())
        out << QStringLiteral("share/icons/hicolor/%1x%1/apps/velm.png").arg(size);
    out.sort();
    return out;
}

} // namespace installlayout
