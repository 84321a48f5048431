#pragma once

#include <QByteArray>
#include <QJsonArray>
#include <QMap>

// The gateway's monitor bindings: a device, known by its type, room and device byte, bound to
// a module and a channel (light, curtain) or an IR code number (air conditioner).
class MonitorTable {
public:
    static constexpr int kLightSlots = 64;
    static constexpr int kCurtainSlots = 32;
    static constexpr int kAcSlots = 128; // 224 slots in all

    // Request parameters: type, room-1, device byte, module, channel or IR number.
    quint8 set(const QByteArray& params);
    // Request parameters: type, room-1, device byte. Data: module, channel (FF FF unbound).
    quint8 read(const QByteArray& params, QByteArray* data) const;
    // The binding of a device; false when unbound.
    bool lookup(int type, int room, int device, quint8* module, quint8* channel) const;
    void clear() { m_slots.clear(); }
    QJsonArray toJson() const;

private:
    static int key(int type, int room, int device) { return type << 16 | room << 8 | device; }
    static int capacity(int type);
    QMap<int, QByteArray> m_slots; // key -> module, channel
};
