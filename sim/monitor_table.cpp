#include "sim/monitor_table.h"

#include "sim/sim_types.h"

#include <QJsonObject>

int MonitorTable::capacity(int type) {
    switch (type) {
    case 1:
        return kLightSlots;
    case 2:
        return kCurtainSlots;
    case 3:
        return kAcSlots;
    default:
        return 0;
    }
}

quint8 MonitorTable::set(const QByteArray& p) {
    if (p.size() < 5)
        return status::kParameterError;
    const int type = quint8(p[0]);
    if (capacity(type) == 0)
        return status::kParameterError;
    const int k = key(type, quint8(p[1]), quint8(p[2]));
    if (!m_slots.contains(k)) {
        int used = 0;
        for (auto it = m_slots.keyBegin(); it != m_slots.keyEnd(); ++it)
            used += (*it >> 16) == type;
        if (used >= capacity(type))
            return status::kMemoryError;
    }
    m_slots.insert(k, p.mid(3, 2));
    return status::kOk;
}

quint8 MonitorTable::read(const QByteArray& p, QByteArray* data) const {
    if (p.size() < 3 || capacity(quint8(p[0])) == 0)
        return status::kParameterError;
    *data =
        m_slots.value(key(quint8(p[0]), quint8(p[1]), quint8(p[2])), QByteArray(2, char(kNoValue)));
    return status::kOk;
}

bool MonitorTable::lookup(int type, int room, int device, quint8* module, quint8* channel) const {
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it) {
        const int k = it.key();
        if ((k >> 16) != type || ((k >> 8) & 0xFF) != room)
            continue;
        // An air conditioner's device byte carries the device number in its high nibble.
        const int stored = type == 3 ? (k & 0xFF) >> 4 : (k & 0xFF);
        if (stored != device)
            continue;
        *module = quint8(it.value()[0]);
        *channel = quint8(it.value()[1]);
        return true;
    }
    return false;
}

QJsonArray MonitorTable::toJson() const {
    QJsonArray out;
    for (auto it = m_slots.begin(); it != m_slots.end(); ++it)
        out.append(QJsonObject{{"type", it.key() >> 16},
                               {"room", ((it.key() >> 8) & 0xFF) + 1},
                               {"device", it.key() & 0xFF},
                               {"module", quint8(it.value()[0])},
                               {"channel", quint8(it.value()[1])}});
    return out;
}
