#include "sim/bus_switch.h"

#include "link/frames.h"

BusSwitch::BusSwitch(const QByteArray& factorySettings, const QString& factoryPassword)
    : m_factorySettings(factorySettings.leftJustified(kSettingsSize, '\0', true)),
      m_factoryPassword(factoryPassword) {
    restore();
}

void BusSwitch::restore() {
    m_settings = m_factorySettings;
    m_password = m_factoryPassword;
    m_transparent = false;
    m_monitor.clear();
}

quint16 BusSwitch::subnet() const {
    return quint16(quint8(m_settings[0]) << 8 | quint8(m_settings[1]));
}

// Requests to 0xFF that the gateway answers itself: everything but the module address read
// and set (answered by the module on the bench) and the broadcasts the modules act on.
bool BusSwitch::handles(const SimRequest& r) {
    if (r.address != kBroadcast || r.command != 0x00)
        return false;
    if (r.sub == 0x00 || r.sub == 0x05)
        return r.hasSubnet && r.subnet == kBusSwitchSubnet;
    switch (r.sub) {
    case 0x06:
    case 0x07:
    case 0x0A:
    case 0x0B:
    case 0x0C:
    case 0x0E:
    case 0x10:
        return true;
    default:
        return false;
    }
}

SimReply BusSwitch::handle(const SimRequest& r) {
    QByteArray data;
    quint8 st = status::kOk;
    switch (r.sub) {
    case 0x00:
        if (r.params.size() != kSettingsSize)
            st = status::kParameterError;
        else
            m_settings = r.params;
        break;
    case 0x05:
        data = m_settings;
        break;
    case 0x06:
        data = QByteArray::fromHex("0A01");
        break;
    case 0x07:
        data = "GW-IP V2.10";
        break;
    case 0x0A:
        restore();
        break;
    case 0x0B: {
        // The new password: the characters up to the first 0xFF filler byte.
        const QByteArray field = r.params.left(frames::kPasswordBlockSize);
        const QByteArray text =
            field.left(field.indexOf(char(0xFF)) < 0 ? field.size() : field.indexOf(char(0xFF)));
        if (r.params.size() != frames::kPasswordBlockSize || text.isEmpty())
            st = status::kParameterError;
        else
            m_password = QString::fromLatin1(text);
        break;
    }
    case 0x0C:
        if (r.params.isEmpty() || r.param(0) > 1)
            st = status::kParameterError;
        else
            m_transparent = r.param(0) == 1;
        break;
    case 0x0E:
        st = m_monitor.set(r.params);
        break;
    case 0x10:
        st = m_monitor.read(r.params, &data);
        break;
    default:
        st = status::kCommandError;
        break;
    }
    SimReply reply = SimReply::to(r, kBroadcast, st, st == status::kOk ? data : QByteArray());
    reply.fromBusSwitch = true;
    return reply;
}

QJsonObject BusSwitch::toJson() const {
    return {{"settings", QString::fromLatin1(m_settings.toHex(' ').toUpper())},
            {"subnet", subnet()},
            {"password", m_password},
            {"transparent", m_transparent},
            {"lastAirConditioner", QString::fromLatin1(m_lastAc.toHex(' ').toUpper())},
            {"monitor", m_monitor.toJson()}};
}
