#pragma once

#include <QFile>
#include <QStringList>

// What `cmake --install` puts under its prefix (and the package under /usr), as relative
// paths. velm-cli is there when it has been built.
namespace installlayout {

inline QStringList programs() {
    QStringList out{"bin/velm", "bin/velm-initdb", "bin/velm-launch", "bin/velm-sim"};
    if (QFile::exists(QStringLiteral(VELM_BIN_DIR "/velm-cli")))
        out << QStringLiteral("bin/velm-cli");
    out.sort();
    return out;
}

inline QStringList iconSizes() {
    return {"16", "24", "32", "48", "64", "128", "256"};
}

inline QStringList files() {
    QStringList out = programs();
    out << QStringLiteral("share/applications/velm.desktop")
        << QStringLiteral("share/icons/hicolor/scalable/apps/velm.svg")
        << QStringLiteral("share/doc/velm/README.md")
        << QStringLiteral("share/doc/velm/simulator.md")
        << QStringLiteral(VELM_WIRESHARK_PLUGIN_DIR "/velm.lua");
    for (const QString& size : iconSizes())
        out << QStringLiteral("share/icons/hicolor/%1x%1/apps/velm.png").arg(size);
    out.sort();
    return out;
}

} // namespace installlayout
