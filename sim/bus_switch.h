#pragma once

#include "sim/monitor_table.h"
#include "sim/sim_types.h"

#include <QJsonObject>
#include <QString>

// The gateway at address 0xFF: its settings block, password, transparent mode and the
// monitor bindings.
class BusSwitch {
public:
    static constexpr int kSettingsSize = 28;

    BusSwitch(const QByteArray& factorySettings, const QString& factoryPassword);

    // Answers one request to address 0xFF that belongs to the gateway.
    SimReply handle(const SimRequest& r);
    static bool handles(const SimRequest& r);

    quint16 subnet() const;
    QString password() const { return m_password; }
    QByteArray settings() const { return m_settings; }
    const MonitorTable& monitor() const { return m_monitor; }
    void restore();
    void noteAirConditioner(const QByteArray& modeBytes) { m_lastAc = modeBytes; }

    QJsonObject toJson() const;

private:
    QByteArray m_factorySettings;
    QString m_factoryPassword;
    QByteArray m_settings;
    QString m_password;
    bool m_transparent = false;
    MonitorTable m_monitor;
    QByteArray m_lastAc;
};
