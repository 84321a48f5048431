#pragma once

#include "sim/channel_bank.h"
#include "sim/module_clock.h"
#include "sim/sim_types.h"
#include "sim/timer_table.h"

#include <QJsonObject>
#include <QMap>
#include <QSet>
#include <QString>

#include <array>
#include <memory>

// One bus module: its address, its kind and everything the requests change in it.
class SimModule {
public:
    static constexpr int kInputs = 14;
    static constexpr int kIrSlots = 8;
    static constexpr int kMaxScene = 100;
    static constexpr int kMaxIrCode = 250;
    static constexpr quint8 kNoDelay = 0x7F;

    SimModule(ModuleKind kind, quint8 address);

    ModuleKind kind() const { return m_kind; }
    QString kindName() const;
    quint8 address() const { return m_address; }
    void setAddress(quint8 address) { m_address = address; }
    quint16 typeCode() const;
    QByteArray versionText() const;

    // Answers one request addressed to this module (address already matched).
    SimReply handle(const SimRequest& r);

    ChannelBank* channels() const { return m_channels.get(); }
    ModuleClock& clock() { return m_clock; }
    const TimerTable& timers() const { return m_timers; }

    // Applies a stored scene; false when this module holds no such scene.
    bool callScene(int scene);
    // Finishes a pending IR learning: the code is stored, its number returned (-1: none).
    int completeLearning();
    int learningIr() const { return m_learning; }
    // The binding of input channel `channel` (0-based) and its delay in seconds.
    Action inputAction(int channel, int* delaySeconds) const;
    void raiseAlarm() { ++m_alarms; }
    void noteIrSent(int code);
    bool hasIrCode(int code) const { return m_irCodes.contains(code); }
    void restore();

    QJsonObject toJson() const;

private:
    struct InputBinding {
        quint8 mode = kNoValue;
        Action action;
        quint8 delay = kNoDelay;
    };
    quint8 handleModuleCommand(const SimRequest& r, QByteArray* data);
    quint8 handleIr(const SimRequest& r, QByteArray* data);
    quint8 handleClock(const SimRequest& r, QByteArray* data);
    quint8 storeScene(const QByteArray& params);
    quint8 setInput(const QByteArray& params);
    quint8 readInput(const QByteArray& params, QByteArray* data) const;
    int sceneChannels() const;

    ModuleKind m_kind;
    quint8 m_address;
    std::unique_ptr<ChannelBank> m_channels;
    QMap<int, QByteArray> m_scenes;
    QSet<int> m_irCodes;
    int m_learning = -1;
    QList<int> m_irSent;
    std::array<InputBinding, kInputs> m_inputs{};
    ModuleClock m_clock;
    TimerTable m_timers;
    int m_relayDelay = 0;
    int m_tests = 0;
    int m_alarms = 0;
};
