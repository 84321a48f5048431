#pragma once

#include "sim/sim_types.h"

#include <QJsonObject>
#include <QObject>
#include <QTimer>

#include <memory>
#include <vector>

// The output channels of a light (relay) or curtain module and their timers.
// Light state byte: 1 on, 0 off. Curtain state byte: bit 0 open (or opening), bit 1 moving.
class ChannelBank : public QObject {
    Q_OBJECT
public:
    static constexpr int kMaxOnSeconds = 65000;
    static constexpr int kMaxTravelMs = 60000;
    static constexpr int kDefaultTravelMs = 20000;

    ChannelBank(bool curtain, int count, QObject* parent = nullptr);

    bool curtain() const { return m_curtain; }
    int count() const { return int(m_states.size()); }

    // One command of the module's own family (command 0x01 or 0x02); returns the status.
    quint8 handle(quint8 sub, const QByteArray& params);
    QByteArray stateBytes() const;
    // A scene target: 0 off/close, 1 on/open, 0xFF no change.
    void applyTarget(int channel, quint8 target);
    bool isOn(int channel) const;
    void reset();
    // Every channel on/open or off/close (the family's broadcast sub-commands).
    void setAll(bool on);
    // A channel whose relay or motor no longer follows: the module still acknowledges every
    // command, but its state stays where it is (a fault to find by looking at the load).
    void setStuck(int channel, bool stuck);
    bool stuck(int channel) const;

    QJsonObject toJson() const;

private:
    void setLight(int channel, bool on);
    void moveCurtain(int channel, bool open);
    void stopCurtain(int channel);

    bool m_curtain;
    std::vector<quint8> m_states;
    std::vector<int> m_setting; // light: on-state seconds; curtain: travel ms
    std::vector<bool> m_stuck;
    std::vector<std::unique_ptr<QTimer>> m_timers;
};
