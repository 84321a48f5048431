#include "sim/installation.h"

#include "link/frames.h"

#include <QJsonArray>

#include <algorithm>

namespace {

QByteArray defaultSettings(quint16 subnet) {
    // Subnet, gateway 127.0.0.1:2001, mask 255.0.0.0, gateway and server on loopback, server
    // port 2002, a locally administered MAC address.
    QByteArray s = QByteArray::fromHex("0000"
                                       "7F000001"
                                       "07D1"
                                       "FF000000"
                                       "7F000001"
                                       "7F000001"
                                       "07D2"
                                       "020000000001");
    s[0] = char(subnet >> 8);
    s[1] = char(subnet & 0xFF);
    return s;
}

} // namespace

Installation::Installation(const SimConfig& config, QObject* parent)
    : QObject(parent), m_config(config),
      m_busSwitch(config.factorySettings.isEmpty() ? defaultSettings(config.subnet)
                                                   : config.factorySettings,
                  config.password) {
    for (const SimConfig::ModuleEntry& entry : config.modules)
        m_modules.push_back(std::make_unique<SimModule>(entry.kind, entry.address));
    std::sort(m_modules.begin(), m_modules.end(),
              [](const auto& a, const auto& b) { return a->address() < b->address(); });
    m_bench = config.bench >= 0 ? module(quint8(config.bench)) : nullptr;
    for (const auto& m : m_modules)
        if (!m_bench && m->kind() == ModuleKind::Light)
            m_bench = m.get();
    if (!m_bench && config.bench < 0 && !m_modules.empty())
        m_bench = m_modules.front().get();
    for (const auto& [address, channel] : config.stuck)
        setStuck(quint8(address), channel, true);
    m_tick.setInterval(250);
    connect(&m_tick, &QTimer::timeout, this, &Installation::checkTimers);
    m_tick.start();
}

Installation::~Installation() = default;

SimModule* Installation::module(quint8 address) const {
    for (const auto& m : m_modules)
        if (m->address() == address)
            return m.get();
    return nullptr;
}

quint8 Installation::benchAddress() const {
    return m_bench ? m_bench->address() : kNoValue;
}

bool Installation::acceptsSubnet(const SimRequest& r) const {
    if (!r.hasSubnet || r.subnet == subnet())
        return true;
    // The gateway's settings are read and set on subnet FFFF, whatever its own subnet is.
    return r.subnet == kBusSwitchSubnet && r.address == kBroadcast && r.command == 0x00 &&
           (r.sub == 0x00 || r.sub == 0x05);
}

void Installation::deliver(const ReplySink& sink, const SimReply& reply, int delayMs) {
    if (!sink)
        return;
    if (delayMs <= 0) {
        sink(reply);
        return;
    }
    QTimer::singleShot(delayMs, this, [sink, reply] { sink(reply); });
}

QList<SimReply> Installation::request(const SimRequest& r) {
    QList<SimReply> out;
    handleRequest(r, [&out](const SimReply& reply) { out.append(reply); });
    return out;
}

QList<SimReply> Installation::bindTest(const QByteArray& payload) {
    QList<SimReply> out;
    handleBindTest(payload, [&out](const SimReply& reply) { out.append(reply); });
    return out;
}

void Installation::handleRequest(const SimRequest& r, const ReplySink& sink) {
    if (BusSwitch::handles(r)) {
        const SimReply reply = m_busSwitch.handle(r);
        // A restore restarts the gateway: its answer comes when it is back.
        const bool slow = r.sub == 0x0A && reply.status == status::kOk;
        deliver(sink, reply, slow ? m_config.restoreMs : 0);
        return;
    }
    if (r.address == kBroadcast) {
        handleBroadcast(r, sink);
        return;
    }
    // Nobody answers at an address no module has.
    if (SimModule* m = module(r.address))
        handleModule(m, r, sink);
}

void Installation::handleModule(SimModule* m, const SimRequest& r, const ReplySink& sink) {
    const bool wasLearning = m->learningIr() >= 0;
    const SimReply reply = m->handle(r);
    const bool ok = reply.status == status::kOk;
    int delay = 0;
    if (r.command == 0x03 && r.sub == 0x03 && ok)
        delay = m_config.irDeleteAllMs; // erasing every code takes the module a while
    if (wasLearning && m->learningIr() < 0)
        m_learning.remove(m); // learning left or the module restored
    if (r.command == 0x03 && r.sub == 0x00 && ok) {
        PendingLearn& p = m_learning[m];
        p.generation += 1;
        p.sink = sink;
        if (m_config.irLearnMs > 0) {
            const int generation = p.generation;
            QTimer::singleShot(m_config.irLearnMs, this,
                               [this, m, generation] { finishLearningOf(m, generation); });
        }
    }
    deliver(sink, reply, delay);
}

void Installation::finishLearningOf(SimModule* m, int generation) {
    const auto it = m_learning.find(m);
    if (it == m_learning.end() || it->generation != generation || m->learningIr() < 0)
        return;
    const ReplySink sink = it->sink;
    m_learning.erase(it);
    const int code = m->completeLearning();
    SimRequest learned;
    learned.command = 0x03;
    learned.sub = 0x04;
    deliver(sink, SimReply::to(learned, m->address(), status::kOk,
                               QByteArray(1, char(0x00)) + char(code)));
}

QString Installation::finishLearning(int address) {
    for (const auto& m : m_modules) {
        if ((address >= 0 && m->address() != address) || m->learningIr() < 0)
            continue;
        finishLearningOf(m.get(), m_learning.value(m.get()).generation);
        return {};
    }
    return QStringLiteral("no module is learning");
}

QString Installation::setStuck(quint8 address, int channel, bool stuck) {
    SimModule* m = module(address);
    if (!m || !m->channels())
        return QStringLiteral("no light or curtain module at %1").arg(address);
    if (channel < 1 || channel > m->channels()->count())
        return QStringLiteral("channel out of range");
    m->channels()->setStuck(channel - 1, stuck);
    return {};
}

void Installation::setAddress(const SimRequest& r, const ReplySink& sink) {
    if (!m_bench)
        return;
    const quint8 wanted = r.param(0);
    quint8 st = status::kOk;
    if (r.params.size() != 1 || wanted == kBroadcast)
        st = status::kParameterError;
    else if (wanted != m_bench->address() && module(wanted))
        st = status::kAddressOccupied;
    else
        m_bench->setAddress(wanted);
    std::sort(m_modules.begin(), m_modules.end(),
              [](const auto& a, const auto& b) { return a->address() < b->address(); });
    deliver(sink, SimReply::to(r, m_bench->address(), st));
}

// Requests to every module. Every module of the kind concerned acts on them; only the one
// with the lowest address answers, so the tool sees one reply.
void Installation::handleBroadcast(const SimRequest& r, const ReplySink& sink) {
    if (r.command == 0x00 && r.sub == 0x05) { // module address read: the bench module answers
        if (m_bench)
            deliver(sink, SimReply::to(r, m_bench->address(), status::kOk,
                                       QByteArray(1, char(m_bench->address()))));
        // ... and so does every other module left in addressing mode, each on its own.
        for (int address : m_config.alsoAddressing)
            if (SimModule* m = module(quint8(address)); m && m != m_bench)
                deliver(sink,
                        SimReply::to(r, m->address(), status::kOk, QByteArray(1, char(address))),
                        10);
        return;
    }
    if (r.command == 0x00 && r.sub == 0x00) {
        setAddress(r, sink);
        return;
    }
    std::optional<SimReply> first;
    for (const auto& m : m_modules) {
        bool concerned = false;
        SimReply reply;
        if (r.command == 0x00 && r.sub == 0x04) { // Test Scene: the modules holding it
            concerned = m->callScene(r.param(1));
            reply = SimReply::to(r, m->address(), status::kOk);
        } else if ((r.command == 0x01 && m->kind() == ModuleKind::Curtain) ||
                   (r.command == 0x02 && m->kind() == ModuleKind::Light) ||
                   (r.command == 0x00 && r.sub == 0x0D && m->kind() == ModuleKind::Light)) {
            concerned = true;
            reply = m->handle(r);
        }
        if (concerned && !first)
            first = reply;
    }
    if (first)
        deliver(sink, *first);
}

void Installation::handleBindTest(const QByteArray& p, const ReplySink& sink) {
    if (p.size() < 3)
        return;
    const quint8 kind = quint8(p[0]);
    if (kind == 0x01) { // scene call
        SimRequest scene{false, 0, kBroadcast, 0x00, 0x04, QByteArray::fromHex("FF") + p[2]};
        handleRequest(scene, {});
        deliver(sink, SimReply{true, false, 0, 0, 0, status::kOk, {}, p});
        return;
    }
    if (p.size() < 4)
        return;
    const int type = (kind & 0x7F) == 0x02 ? 1 : (kind & 0x7F) == 0x03 ? 2 : kind == 0x04 ? 3 : 0;
    quint8 address = 0;
    quint8 channel = 0;
    if (type == 0 ||
        !m_busSwitch.monitor().lookup(type, quint8(p[2]), quint8(p[3]), &address, &channel))
        return; // an unbound device: nobody answers
    SimModule* target = module(address);
    if (!target)
        return;
    SimReply reply{true, false, 0, 0, 0, status::kOk, {}, p};
    if (kind & 0x80) { // status read, answered from the bound channel
        if (!target->channels())
            return;
        reply.payload = p.left(4) + char(target->channels()->isOn(channel) ? 1 : 0);
    } else if (type == 3) {
        m_busSwitch.noteAirConditioner(p.mid(4));
        handleRequest(
            SimRequest{false, 0, address, 0x03, 0x04, QByteArray(1, char(0)) + char(channel)}, {});
    } else {
        const quint8 value = p.size() > 4 ? quint8(p[4]) : 0;
        const quint8 sub = value == 1 ? 1 : value == 0 ? 2 : 3;
        if (type == 1 && sub == 3)
            return;
        handleRequest(SimRequest{false, 0, address, quint8(type == 1 ? 0x02 : 0x01), sub,
                                 QByteArray(1, char(channel)) + char(0xFF)},
                      {});
    }
    deliver(sink, reply);
}

void Installation::performAction(quint8 from, const Action& a) {
    SimRequest r;
    r.command = a.command;
    r.sub = a.sub;
    r.address = a.module;
    if (a.command == 0x05) { // alarm: the input module raises it on the bus, nobody acts
        if (SimModule* m = module(from))
            m->raiseAlarm();
        r.address = kBroadcast;
        r.params = QByteArray(1, char(from));
    } else if (a.command == 0x00) {
        r.address = kBroadcast;
        r.params = QByteArray(1, char(0xFF)) + char(a.param);
    } else if (a.command == 0x03) {
        r.params = QByteArray(1, char(0)) + char(a.param);
    } else {
        r.params = QByteArray(1, char(a.channel)) + char(0xFF);
    }
    emit busFrame(frames::busReply(QByteArray(1, char(r.address)) + char(r.command) + char(r.sub) +
                                   r.params));
    if (a.command != 0x05)
        handleRequest(r, {});
}

QString Installation::triggerInput(quint8 address, int channel) {
    SimModule* m = module(address);
    if (!m || m->kind() != ModuleKind::Input)
        return QStringLiteral("no input module at %1").arg(address);
    if (channel < 1 || channel > SimModule::kInputs)
        return QStringLiteral("input channel out of range");
    int delay = 0;
    const Action a = m->inputAction(channel - 1, &delay);
    if (!a.valid())
        return QStringLiteral("input %1 is not bound").arg(channel);
    if (delay == 0)
        performAction(address, a);
    else
        QTimer::singleShot(delay * 1000, this, [this, address, a] { performAction(address, a); });
    return {};
}

QString Installation::fireTimer(quint8 address, int timer) {
    SimModule* m = module(address);
    if (!m || m->kind() != ModuleKind::Timer)
        return QStringLiteral("no timer module at %1").arg(address);
    if (timer < 1 || timer > TimerTable::kTimers)
        return QStringLiteral("timer out of range");
    for (const Action& a : m->timers().events(timer - 1))
        performAction(address, a);
    return {};
}

void Installation::checkTimers() {
    for (const auto& m : m_modules) {
        if (m->kind() != ModuleKind::Timer)
            continue;
        const qint64 now = m->clock().now().toSecsSinceEpoch();
        const qint64 last = m_lastSecond.value(m.get(), now - 1);
        m_lastSecond.insert(m.get(), now);
        // Every second since the last look, but no catching up after a clock jump.
        for (qint64 s = std::max(last + 1, now - 4); s <= now; ++s)
            for (int timer : m->timers().dueTimers(QDateTime::fromSecsSinceEpoch(s)))
                fireTimer(m->address(), timer + 1);
    }
}

QJsonObject Installation::toJson() const {
    QJsonArray modules;
    for (const auto& m : m_modules)
        modules.append(m->toJson());
    return {{"subnet", subnet()},
            {"bench", benchAddress()},
            {"busSwitch", m_busSwitch.toJson()},
            {"modules", modules}};
}

#include "moc_installation.cpp"
