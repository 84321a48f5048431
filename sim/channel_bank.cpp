#include "sim/channel_bank.h"

#include <QJsonArray>

namespace {
constexpr quint8 kOpenBit = 0x01;
constexpr quint8 kMovingBit = 0x02;
} // namespace

ChannelBank::ChannelBank(bool curtain, int count, QObject* parent)
    : QObject(parent), m_curtain(curtain), m_states(size_t(count), 0),
      m_setting(size_t(count), curtain ? kDefaultTravelMs : 0), m_stuck(size_t(count), false) {
    for (int i = 0; i < count; ++i) {
        auto timer = std::make_unique<QTimer>();
        timer->setSingleShot(true);
        connect(timer.get(), &QTimer::timeout, this, [this, i] {
            if (m_curtain)
                m_states[size_t(i)] &= quint8(~kMovingBit); // travel done
            else
                m_states[size_t(i)] = 0; // on-state duration ran out
        });
        m_timers.push_back(std::move(timer));
    }
}

void ChannelBank::reset() {
    for (size_t i = 0; i < m_states.size(); ++i) {
        m_timers[i]->stop();
        m_states[i] = 0;
        m_setting[i] = m_curtain ? kDefaultTravelMs : 0;
    }
}

quint8 ChannelBank::handle(quint8 sub, const QByteArray& params) {
    const int lastSub = m_curtain ? 6 : 5;
    if (sub > lastSub)
        return status::kCommandError;
    if (params.isEmpty())
        return status::kParameterError;
    const quint8 channel = quint8(params[0]);
    if (sub >= 4) { // every channel, whatever the channel byte says
        for (int i = 0; i < count(); ++i) {
            if (sub == 6)
                stopCurtain(i);
            else if (m_curtain)
                moveCurtain(i, sub == 4);
            else
                setLight(i, sub == 4);
        }
        return status::kOk;
    }
    if (channel != kBroadcast && channel >= count())
        return status::kChannelError;
    const int first = channel == kBroadcast ? 0 : channel;
    const int last = channel == kBroadcast ? count() - 1 : channel;
    if (sub == 0) {
        if (params.size() < 3)
            return status::kParameterError;
        const int value = quint8(params[1]) << 8 | quint8(params[2]);
        if (value > (m_curtain ? kMaxTravelMs : kMaxOnSeconds))
            return status::kParameterError;
        for (int i = first; i <= last; ++i)
            m_setting[size_t(i)] = value;
        return status::kOk;
    }
    for (int i = first; i <= last; ++i) {
        if (m_curtain) {
            if (sub == 3)
                stopCurtain(i);
            else
                moveCurtain(i, sub == 1);
        } else {
            setLight(i, sub == 1 || (sub == 3 && !isOn(i)));
        }
    }
    return status::kOk;
}

void ChannelBank::setAll(bool on) {
    for (int i = 0; i < count(); ++i)
        applyTarget(i, on ? 1 : 0);
}

void ChannelBank::setStuck(int channel, bool stuck) {
    if (channel >= 0 && channel < count())
        m_stuck[size_t(channel)] = stuck;
}

bool ChannelBank::stuck(int channel) const {
    return channel >= 0 && channel < count() && m_stuck[size_t(channel)];
}

void ChannelBank::setLight(int channel, bool on) {
    const size_t i = size_t(channel);
    if (m_stuck[i])
        return;
    m_states[i] = on ? 1 : 0;
    m_timers[i]->stop();
    if (on && m_setting[i] > 0)
        m_timers[i]->start(m_setting[i] * 1000);
}

void ChannelBank::moveCurtain(int channel, bool open) {
    const size_t i = size_t(channel);
    if (m_stuck[i])
        return;
    m_states[i] = quint8((open ? kOpenBit : 0) | (m_setting[i] > 0 ? kMovingBit : 0));
    m_timers[i]->stop();
    if (m_setting[i] > 0)
        m_timers[i]->start(m_setting[i]);
}

void ChannelBank::stopCurtain(int channel) {
    const size_t i = size_t(channel);
    m_timers[i]->stop();
    m_states[i] &= quint8(~kMovingBit);
}

void ChannelBank::applyTarget(int channel, quint8 target) {
    if (channel < 0 || channel >= count() || target == kNoValue)
        return;
    if (m_curtain)
        moveCurtain(channel, target != 0);
    else
        setLight(channel, target != 0);
}

bool ChannelBank::isOn(int channel) const {
    return channel >= 0 && channel < count() && (m_states[size_t(channel)] & kOpenBit);
}

QByteArray ChannelBank::stateBytes() const {
    return QByteArray(reinterpret_cast<const char*>(m_states.data()), qsizetype(m_states.size()));
}

QJsonObject ChannelBank::toJson() const {
    QJsonArray states;
    QJsonArray settings;
    QJsonArray stuck;
    for (size_t i = 0; i < m_states.size(); ++i) {
        states.append(m_states[i]);
        settings.append(m_setting[i]);
        if (m_stuck[i])
            stuck.append(int(i) + 1);
    }
    return {{"states", states},
            {m_curtain ? "travelMs" : "onSeconds", settings},
            {"stuck", stuck}};
}

#include "moc_channel_bank.cpp"
