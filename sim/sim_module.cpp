#include "sim/sim_module.h"

#include <QJsonArray>

#include <algorithm>
#include <iterator>

SimModule::SimModule(ModuleKind kind, quint8 address) : m_kind(kind), m_address(address) {
    if (kind == ModuleKind::Light)
        m_channels = std::make_unique<ChannelBank>(false, 8);
    else if (kind == ModuleKind::Curtain)
        m_channels = std::make_unique<ChannelBank>(true, 4);
}

namespace {
// By ModuleKind: the name, the type code (the kind in its high byte, the channel count in its
// low byte) and the model in the version text.
struct KindInfo {
    const char* name;
    quint16 typeCode;
    const char* model;
};
constexpr KindInfo kKinds[] = {{"light", 0x0108, "LGT8"},
                               {"curtain", 0x0204, "CUR4"},
                               {"ir", 0x0308, "IR8 "},
                               {"input", 0x040E, "IN14"},
                               {"timer", 0x0520, "TMR "}};
static_assert(std::size(kKinds) == size_t(ModuleKind::Timer) + 1, "one entry per kind");
} // namespace

QString SimModule::kindName() const {
    return QString::fromLatin1(kKinds[int(m_kind)].name);
}

quint16 SimModule::typeCode() const {
    return kKinds[int(m_kind)].typeCode;
}

QByteArray SimModule::versionText() const {
    return QByteArray(kKinds[int(m_kind)].model) + " V1.02";
}

void SimModule::restore() {
    if (m_channels)
        m_channels->reset();
    m_scenes.clear();
    m_irCodes.clear();
    m_learning = -1;
    m_irSent.clear();
    m_inputs.fill(InputBinding{});
    m_timers.clear();
    m_relayDelay = 0;
}

SimReply SimModule::handle(const SimRequest& r) {
    QByteArray data;
    quint8 st = status::kCommandError;
    switch (r.command) {
    case 0x00:
        st = handleModuleCommand(r, &data);
        break;
    case 0x01:
    case 0x02: {
        const bool curtainCommand = r.command == 0x01;
        if (m_channels && m_channels->curtain() == curtainCommand)
            st = m_channels->handle(r.sub, r.params);
        break;
    }
    case 0x03:
        st = handleIr(r, &data);
        break;
    case 0x04:
        st = handleClock(r, &data);
        break;
    default:
        break;
    }
    if (st != status::kOk)
        data.clear();
    return SimReply::to(r, m_address, st, data);
}

quint8 SimModule::handleModuleCommand(const SimRequest& r, QByteArray* data) {
    switch (r.sub) {
    case 0x06:
        data->append(char(typeCode() >> 8)).append(char(typeCode() & 0xFF));
        return status::kOk;
    case 0x07:
        *data = versionText();
        return status::kOk;
    case 0x09:
        ++m_tests;
        return status::kOk;
    case 0x0A:
        restore();
        return status::kOk;
    case 0x02:
        return storeScene(r.params);
    case 0x03:
        if (sceneChannels() == 0)
            return status::kCommandError;
        m_scenes.clear();
        return status::kOk;
    case 0x08:
        if (!m_channels)
            return status::kCommandError;
        *data = QByteArray(1, char(0x01)) + m_channels->stateBytes();
        return status::kOk;
    case 0x0D: {
        if (m_kind != ModuleKind::Light)
            return status::kCommandError;
        const int count = r.param(1) << 8 | r.param(2);
        if (r.params.size() < 3 || count > 30000)
            return status::kParameterError;
        m_relayDelay = count;
        return status::kOk;
    }
    case 0x01:
        return m_kind == ModuleKind::Input ? setInput(r.params) : status::kCommandError;
    case 0x0F:
        return m_kind == ModuleKind::Input ? readInput(r.params, data) : status::kCommandError;
    default:
        return status::kCommandError;
    }
}

int SimModule::sceneChannels() const {
    if (m_channels)
        return m_channels->count();
    return m_kind == ModuleKind::Ir ? kIrSlots : 0;
}

quint8 SimModule::storeScene(const QByteArray& p) {
    if (sceneChannels() == 0)
        return status::kCommandError;
    if (p.size() < 2 || quint8(p[0]) > kMaxScene)
        return status::kParameterError;
    const QByteArray targets = p.mid(1);
    if (targets.size() > sceneChannels())
        return status::kChannelError;
    for (char c : targets) {
        const quint8 v = quint8(c);
        const bool ok = m_kind == ModuleKind::Ir ? (v <= kMaxIrCode || v == kNoValue)
                                                 : (v <= 1 || v == kNoValue);
        if (!ok)
            return status::kParameterError;
    }
    m_scenes.insert(quint8(p[0]), targets);
    return status::kOk;
}

bool SimModule::callScene(int scene) {
    if (!m_scenes.contains(scene))
        return false;
    const QByteArray targets = m_scenes.value(scene);
    for (int i = 0; i < targets.size(); ++i) {
        const quint8 v = quint8(targets[i]);
        if (m_channels)
            m_channels->applyTarget(i, v);
        else if (v != kNoValue && m_irCodes.contains(v))
            noteIrSent(v);
    }
    return true;
}

quint8 SimModule::handleIr(const SimRequest& r, QByteArray* data) {
    if (m_kind != ModuleKind::Ir)
        return status::kCommandError;
    const int code = r.param(1);
    if (r.sub <= 0x04 && r.sub != 0x03 && (r.params.size() < 2 || code > kMaxIrCode))
        return status::kParameterError;
    switch (r.sub) {
    case 0x00:
        m_learning = code;
        return status::kOk;
    case 0x01:
        m_learning = -1;
        return status::kOk;
    case 0x02:
        return m_irCodes.remove(code) ? status::kOk : status::kIrError;
    case 0x03:
        m_irCodes.clear();
        return status::kOk;
    case 0x04:
        if (!m_irCodes.contains(code))
            return status::kIrError;
        noteIrSent(code);
        data->append(char(0x00)).append(char(code));
        return status::kOk;
    default:
        return status::kCommandError;
    }
}

int SimModule::completeLearning() {
    const int code = m_learning;
    if (code >= 0)
        m_irCodes.insert(code);
    m_learning = -1;
    return code;
}

void SimModule::noteIrSent(int code) {
    m_irSent.append(code);
    if (m_irSent.size() > 16) // keep the recent ones only
        m_irSent.removeFirst();
}

quint8 SimModule::handleClock(const SimRequest& r, QByteArray* data) {
    if (m_kind != ModuleKind::Timer)
        return status::kCommandError;
    switch (r.sub) {
    case 0x00:
        return m_clock.set(r.params) ? status::kOk : status::kParameterError;
    case 0x01:
        *data = m_clock.bytes();
        return status::kOk;
    case 0x02:
        return m_timers.setTimer(r.params);
    case 0x03:
        return m_timers.readTimer(r.params, data);
    case 0x04:
        return m_timers.setEvent(r.params);
    case 0x05:
        return m_timers.readEvent(r.params, data);
    default:
        return status::kCommandError;
    }
}

quint8 SimModule::setInput(const QByteArray& p) {
    if (p.size() < 8)
        return status::kParameterError;
    const int channel = quint8(p[0]);
    const quint8 mode = quint8(p[1]);
    const quint8 delay = quint8(p[7]);
    if (channel >= kInputs)
        return status::kChannelError;
    if ((mode > 2 && mode != kNoValue) || (delay > 60 && delay != kNoDelay) ||
        !isInputActionPair(quint8(p[2]), quint8(p[3])))
        return status::kParameterError;
    m_inputs[size_t(channel)] = InputBinding{
        mode, Action{quint8(p[2]), quint8(p[3]), quint8(p[4]), quint8(p[5]), quint8(p[6])}, delay};
    return status::kOk;
}

quint8 SimModule::readInput(const QByteArray& p, QByteArray* data) const {
    if (p.isEmpty())
        return status::kParameterError;
    const int channel = quint8(p[0]);
    if (channel >= kInputs)
        return status::kChannelError;
    const InputBinding& b = m_inputs[size_t(channel)];
    data->append(char(b.mode)).append(char(b.action.command)).append(char(b.action.sub));
    data->append(char(b.action.module)).append(char(b.action.channel));
    data->append(char(b.action.param)).append(char(b.delay));
    return status::kOk;
}

Action SimModule::inputAction(int channel, int* delaySeconds) const {
    if (m_kind != ModuleKind::Input || channel < 0 || channel >= kInputs)
        return {};
    const InputBinding& b = m_inputs[size_t(channel)];
    *delaySeconds = b.delay == kNoDelay ? 0 : b.delay;
    return b.action;
}

QJsonObject SimModule::toJson() const {
    QJsonObject o{{"address", m_address},
                  {"kind", kindName()},
                  {"type", QString::asprintf("%04X", typeCode())},
                  {"tests", m_tests}};
    if (m_channels) {
        const QJsonObject c = m_channels->toJson();
        for (auto it = c.begin(); it != c.end(); ++it)
            o.insert(it.key(), it.value());
    }
    if (m_kind == ModuleKind::Light)
        o.insert("relayDelay", m_relayDelay);
    if (sceneChannels() > 0) {
        QJsonObject scenes;
        for (auto it = m_scenes.begin(); it != m_scenes.end(); ++it) {
            QJsonArray targets;
            for (char c : it.value())
                targets.append(quint8(c));
            scenes.insert(QString::number(it.key()), targets);
        }
        o.insert("scenes", scenes);
    }
    if (m_kind == ModuleKind::Ir) {
        QList<int> codes = m_irCodes.values();
        std::sort(codes.begin(), codes.end());
        o.insert("irCodes", QJsonArray::fromVariantList(QVariantList(codes.begin(), codes.end())));
        o.insert("learning", m_learning);
        o.insert("irSent",
                 QJsonArray::fromVariantList(QVariantList(m_irSent.begin(), m_irSent.end())));
    }
    if (m_kind == ModuleKind::Input) {
        QJsonArray inputs;
        for (int i = 0; i < kInputs; ++i) {
            const InputBinding& b = m_inputs[size_t(i)];
            if (b.mode == kNoValue && !b.action.valid())
                continue;
            inputs.append(
                QJsonObject{{"channel", i + 1},
                            {"mode", b.mode},
                            {"action", QJsonArray{b.action.command, b.action.sub, b.action.module,
                                                  b.action.channel, b.action.param}},
                            {"delay", b.delay}});
        }
        o.insert("inputs", inputs);
        o.insert("alarms", m_alarms);
    }
    if (m_kind == ModuleKind::Timer) {
        o.insert("clock", m_clock.now().toString("yyyy-MM-dd hh:mm:ss"));
        o.insert("timers", m_timers.toJson());
    }
    return o;
}
