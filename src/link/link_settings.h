#pragma once

#include <QString>

// What the send path and the intake read from the "Communication Settings" band at the
// moment they run. The link control panel implements it; tests use a plain struct.
class LinkSettings {
public:
    virtual ~LinkSettings() = default;
    virtual bool networkMode() const = 0;       // "TCP/IP " checked
    virtual bool extensionChannel() const = 0;  // hidden extension channel switch
    virtual bool maskedLog() const = 0;         // hidden masked-log switch
    virtual QString password() const = 0;       // gateway password
    virtual quint16 subnetId() const = 0;       // "Subnet ID"
    virtual QString remotePortText() const = 0; // "Remote Port", used for broadcasts
};

// Plain settings for tests, benchmarks and the simulator's own client code.
struct PlainLinkSettings : LinkSettings {
    bool network = false;
    bool extension = false;
    bool masked = true;
    QString pass = QStringLiteral("418273");
    quint16 subnet = 1;
    QString remotePort = QStringLiteral("2001");

    bool networkMode() const override { return network; }
    bool extensionChannel() const override { return extension; }
    bool maskedLog() const override { return masked; }
    QString password() const override { return pass; }
    quint16 subnetId() const override { return subnet; }
    QString remotePortText() const override { return remotePort; }
};
