#pragma once

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// The link a site is reached by: what the "Communication Settings" band holds, without the
// Local IP (this machine's, looked up at every start) and the extension channel (never
// changed). Texts are the band's own items ("COM1", "None", "1.5").
struct SiteLink {
    bool network = false; // "mode": "network" (TCP/IP) or "serial" (Com)
    QString serialDevice = QStringLiteral("COM1");
    int baud = 9600;
    int byteSize = 8;
    QString parity = QStringLiteral("None");
    QString stopBits = QStringLiteral("1");
    int localPort = 2002;
    QString remoteIp; // empty: the band's default
    int remotePort = 2001;
    int subnetId = 1;

    // The band's pick-lists: a site.json value outside them is refused.
    static const QStringList& baudRates();
    static const QStringList& parities();
    static const QStringList& stopBitsTexts();
};

// A module the site expects on its subnet: where, of which type, and what the technician
// calls it.
struct ExpectedModule {
    int address = 0; // 1..32, 255 the bus switch
    QString type;    // four hexadecimal digits as a scan shows them ("0108"); empty: unknown
    QString name;
    QString room;
};

// What site.json holds: the installation, its link and its modules. The password is there
// only when the technician asked for it to be remembered.
struct SiteSettings {
    QString name;
    QString address;
    QString technician;
    QString notes;
    SiteLink link;
    bool rememberPassword = false;
    QString password; // kept only while rememberPassword holds
    QList<ExpectedModule> modules;
    // Keys a later build wrote: kept as they were when the file is written again.
    QJsonObject otherKeys;

    const ExpectedModule* expected(int address) const;
    // Adds the module, or sets the type of the one at its address (its name and room stay).
    void expect(int address, const QString& type);

    // The file's bytes, UTF-8, one key a line.
    QByteArray toJson() const;
    // Throws RecordError saying what is wrong and where ("line 3: ...", "link.baud 12 is not
    // one of the band's rates").
    static SiteSettings fromJson(const QByteArray& bytes);
};
