#include "protocol/operation_table.h"

#include "link/bus.h"
#include "protocol/action_codes.h"
#include "protocol/binding_requests.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/light_requests.h"
#include "protocol/module_admin_requests.h"
#include "protocol/monitor_requests.h"
#include "protocol/timer_requests.h"

#include <algorithm>

namespace operations {

namespace {

QString num(int v) {
    return QString::number(v);
}

int word(const quint8* p) {
    return p[0] * 256 + p[1];
}

int dataCount(const Reply& r) {
    return std::max(0, int(r[2]) - 9);
}

const quint8* data(const Reply& r) {
    return r.data() + 7;
}

// "Light Off, module 5, channel 4"; "Scene Control, scene 7"; "IR Control, module 4, IR 9";
// "Invalid" alone, as the window's row shows an empty one. channel is 1-based, 255 for none.
QString actionWords(const QString& action, int module, int channel, int parameter) {
    const QStringList& items = actions::bindingItems();
    if (action == items.back())
        return action;
    if (action == items.at(actions::kSceneControl))
        return action + QStringLiteral(", scene ") + num(parameter);
    QString text = action + QStringLiteral(", module ") + num(module);
    if (action == items.at(actions::kIrControl))
        return text + QStringLiteral(", IR ") + num(parameter);
    if (channel != binding::kNone)
        text += QStringLiteral(", channel ") + num(channel);
    return text;
}

// d: mode, command, sub-command, module, channel - 1, scene or IR, delay.
QString bindingWords(const quint8* d) {
    const binding::ReadRow row = binding::readRow(d);
    const QString what = actionWords(row.action, row.outputAddr, row.outputChannel, row.parameter);
    if (row.action == actions::bindingItems().back())
        return what;
    const QString mode = row.mode ? *row.mode : QStringLiteral("mode ") + bytesText(d, 1);
    const QString delay = row.delay == binding::kNone ? QStringLiteral("no delay")
                                                      : QStringLiteral("delay %1 s").arg(row.delay);
    return mode + QStringLiteral(", ") + what + QStringLiteral(", ") + delay;
}

// b: command, sub-command, module, channel - 1, scene or IR.
QString eventWords(const quint8* b) {
    const timing::event::Record r = timing::event::readRecord(b);
    return actionWords(r.action, r.address, r.channel, r.parameter);
}

// mode, then seconds, minutes, hours, day, weekday, month, year.
QString timerWords(quint8 mode, const quint8* t) {
    const timing::timer::ReadRow row = timing::timer::readRow(mode, t);
    QString text = row.mode ? *row.mode : QStringLiteral("mode ") + bytesText(&mode, 1);
    if (row.time != QLatin1String("------"))
        text += QStringLiteral(", ") + row.time;
    return text;
}

QString clockWords(const quint8* t) {
    return timing::timer::readRow(0, t).time;
}

QString slotWords(const quint8* p) {
    const QString room = QStringLiteral(", room ") + num(p[1] + 1);
    switch (p[0]) {
    case monitor::kLight:
        return QStringLiteral("light") + room + QStringLiteral(", device ") + num(p[2] + 1);
    case monitor::kCurtain:
        return QStringLiteral("curtain") + room + QStringLiteral(", device ") + num(p[2] + 1);
    case monitor::kAirConditioner:
        return QStringLiteral("AC") + room + QStringLiteral(", device ") + num((p[2] >> 4) + 1) +
               QStringLiteral(", slot %1 of 4").arg((p[2] & 0x03) + 1);
    default:
        return QStringLiteral("type ") + num(p[0]) + room + QStringLiteral(", device byte ") +
               bytesText(p + 2, 1);
    }
}

QString settingsWords(const QByteArray& block) {
    static const char* const words[] = {"IP",     "port",        "mask", "gateway",
                                        "server", "server port", "MAC"};
    const QStringList texts = busswitch::blockTexts(block);
    QStringList parts{QStringLiteral("subnet ") + num(busswitch::blockSubnet(block))};
    int field = 0;
    int row = 0;
    for (const busswitch::SettingsRow& r : busswitch::settingsRows()) {
        const QString joint =
            r.kind == busswitch::FieldKind::MacByte ? QStringLiteral("-") : QStringLiteral(".");
        parts << QString::fromLatin1(words[row++]) + QLatin1Char(' ') +
                     texts.mid(field, r.fields).join(joint);
        field += r.fields;
    }
    return parts.join(QStringLiteral(", "));
}

// Requests.
QString newAddress(const quint8* p, int) {
    return QStringLiteral("new address ") + num(p[0]);
}
QString settings(const quint8* p, int n) {
    return settingsWords(QByteArray(reinterpret_cast<const char*>(p), n));
}
QString inputSet(const quint8* p, int) {
    return QStringLiteral("input ") + num(p[0] + 1) + QStringLiteral(", ") + bindingWords(p + 1);
}
QString sceneSet(const quint8* p, int n) {
    return QStringLiteral("scene ") + num(p[0]) + QStringLiteral(", channel table ") +
           bytesText(p + 1, n - 1);
}
QString sceneFirst(const quint8* p, int) {
    return QStringLiteral("scene ") + num(p[0]);
}
QString sceneSecond(const quint8* p, int) {
    return QStringLiteral("scene ") + num(p[1]);
}
QString newPassword(const quint8*, int) {
    return QStringLiteral("new password hidden");
}
QString transparent(const quint8* p, int) {
    return p[0] == 1 ? QStringLiteral("on") : QStringLiteral("value ") + num(p[0]);
}
QString relayDelay(const quint8* p, int) {
    return QStringLiteral("delay count ") + num(word(p + 1));
}
QString monitorSet(const quint8* p, int) {
    const QString value = p[0] == monitor::kAirConditioner
                              ? QStringLiteral("IR ") + num(p[4])
                              : QStringLiteral("channel ") + num(p[4] + 1);
    return slotWords(p) + QStringLiteral(", module ") + num(p[3]) + QStringLiteral(", ") + value;
}
QString inputRead(const quint8* p, int) {
    return QStringLiteral("input ") + num(p[0] + 1);
}
QString monitorRead(const quint8* p, int) {
    return slotWords(p);
}
QString channel(const quint8* p, int) {
    return QStringLiteral("channel ") + num(p[0] + 1);
}
QString travelTime(const quint8* p, int) {
    return channel(p, 1) + QStringLiteral(", %1 ms").arg(word(p + 1));
}
QString duration(const quint8* p, int) {
    return channel(p, 1) + QStringLiteral(", %1 s").arg(word(p + 1));
}
QString irCode(const quint8* p, int) {
    return QStringLiteral("IR ") + num(p[1]);
}
QString clockSet(const quint8* p, int) {
    return clockWords(p);
}
QString timerSet(const quint8* p, int) {
    return QStringLiteral("timer ") + num(p[0] + 1) + QStringLiteral(", ") +
           timerWords(p[1], p + 2);
}
QString timerRead(const quint8* p, int) {
    return QStringLiteral("timer ") + num(p[0] + 1);
}
QString eventRead(const quint8* p, int) {
    return timerRead(p, 1) + QStringLiteral(", event ") + num(p[1] + 1);
}
QString eventSet(const quint8* p, int) {
    return eventRead(p, 2) + QStringLiteral(", ") + eventWords(p + 2);
}

// Success replies.
QString settingsReply(const Reply& r) {
    return settingsWords(QByteArray(reinterpret_cast<const char*>(data(r)),
                                    std::min(dataCount(r), busswitch::kSettingsSize)));
}
QString addressReply(const Reply& r) {
    return QStringLiteral("address ") + num(r[7]);
}
QString typeReply(const Reply& r) {
    return QStringLiteral("type ") + moduleadmin::typeText(r);
}
QString versionReply(const Reply& r) {
    QString text = moduleadmin::versionText(r);
    for (QChar& c : text)
        if (c.unicode() < 0x20 || c.unicode() > 0x7E)
            c = QLatin1Char('.');
    return QStringLiteral("version \"%1\"").arg(text);
}
QString statusReply(const Reply& r) {
    const QList<bool> states = light::channelStates(r);
    if (states.isEmpty())
        return QStringLiteral("no channel states");
    QStringList on;
    for (int i = 0; i < states.size(); ++i)
        if (states[i])
            on << num(i + 1);
    return QStringLiteral("%1 channels, ").arg(states.size()) +
           (on.isEmpty() ? QStringLiteral("none on") : QStringLiteral("on: ") + on.join(", "));
}
QString inputReply(const Reply& r) {
    return bindingWords(data(r));
}
QString monitorReply(const Reply& r) {
    return QStringLiteral("module %1, channel %2 or IR %3").arg(r[7]).arg(r[8] + 1).arg(r[8]);
}
QString clockReply(const Reply& r) {
    return clockWords(data(r));
}
QString timerReply(const Reply& r) {
    return timerWords(r[7], data(r) + 1);
}
QString eventReply(const Reply& r) {
    return eventWords(data(r));
}

constexpr auto kAny = Target::Any;
constexpr auto kSwitch = Target::BusSwitch;
constexpr auto kModuleOnly = Target::Module;

} // namespace

const QList<Operation>& all() {
    static const QList<Operation> table = {
        {0x00, 0x00, kSwitch, 28, 28, "Bus Switch", "Set Bus Switch Settings", settings, nullptr,
         0},
        {0x00, 0x00, kModuleOnly, 1, 1, "Module", "Set Module Address", newAddress, nullptr, 0},
        {0x00, 0x01, kAny, 8, 8, "Input Binding", "Set Input Binding", inputSet, nullptr, 0},
        {0x00, 0x02, kAny, 2, 9, "Scene", "Set Scene", sceneSet, nullptr, 0},
        {0x00, 0x03, kAny, 1, 1, "Scene", "Clear All Scenes", sceneFirst, nullptr, 0},
        {0x00, 0x04, kAny, 2, 2, "Scene", "Test Scene", sceneSecond, nullptr, 0, "F."},
        {0x00, 0x05, kSwitch, 0, 0, "Bus Switch", "Read Bus Switch Settings", nullptr,
         settingsReply, 28},
        {0x00, 0x05, kModuleOnly, 0, 0, "Module", "Read Module Address", nullptr, addressReply, 1},
        {0x00, 0x06, kSwitch, 0, 0, "Bus Switch", "Read Bus Switch Type", nullptr, typeReply, 2},
        {0x00, 0x06, kModuleOnly, 0, 0, "Module", "Read Module Type", nullptr, typeReply, 2},
        {0x00, 0x07, kSwitch, 0, 0, "Bus Switch", "Read Bus Switch Version", nullptr, versionReply,
         0},
        {0x00, 0x07, kModuleOnly, 0, 0, "Module", "Read Software Version", nullptr, versionReply,
         0},
        {0x00, 0x08, kAny, 0, 0, "Light/Curtain", "Read Status", nullptr, statusReply, 1},
        {0x00, 0x09, kModuleOnly, 0, 0, "Module", "Test Module", nullptr, nullptr, 0},
        {0x00, 0x0A, kSwitch, 0, 0, "Bus Switch", "Restore Bus Switch", nullptr, nullptr, 0},
        {0x00, 0x0A, kModuleOnly, 0, 0, "Module", "Restore Module", nullptr, nullptr, 0},
        {0x00, 0x0B, kSwitch, 16, 16, "Bus Switch", "Set Bus Switch Password", newPassword, nullptr,
         0},
        {0x00, 0x0C, kSwitch, 1, 1, "Bus Switch", "Set Transparent Mode", transparent, nullptr, 0},
        {0x00, 0x0D, kAny, 3, 3, "Light", "Set Relay Delay", relayDelay, nullptr, 0, "0.."},
        {0x00, 0x0E, kSwitch, 5, 5, "Monitor Binding", "Set Monitor Binding", monitorSet, nullptr,
         0},
        {0x00, 0x0F, kAny, 1, 1, "Input Binding", "Read Input Binding", inputRead, inputReply, 7},
        {0x00, 0x10, kSwitch, 3, 3, "Monitor Binding", "Read Monitor Binding", monitorRead,
         monitorReply, 2},
        {0x01, 0x00, kAny, 3, 3, "Curtain", "Set Travel Time", travelTime, nullptr, 0},
        {0x01, 0x01, kAny, 2, 2, "Curtain", "Curtain Open", channel, nullptr, 0, ".F"},
        {0x01, 0x02, kAny, 2, 2, "Curtain", "Curtain Close", channel, nullptr, 0, ".F"},
        {0x01, 0x03, kAny, 2, 2, "Curtain", "Curtain Stop", channel, nullptr, 0, ".F"},
        {0x01, 0x04, kAny, 2, 2, "Curtain", "All Curtains Open", nullptr, nullptr, 0, "FF"},
        {0x01, 0x05, kAny, 2, 2, "Curtain", "All Curtains Close", nullptr, nullptr, 0, "FF"},
        {0x01, 0x06, kAny, 2, 2, "Curtain", "All Curtains Stop", nullptr, nullptr, 0, "FF"},
        {0x02, 0x00, kAny, 3, 3, "Light", "Set On-State Duration", duration, nullptr, 0},
        {0x02, 0x01, kAny, 2, 2, "Light", "Light On", channel, nullptr, 0, ".F"},
        {0x02, 0x02, kAny, 2, 2, "Light", "Light Off", channel, nullptr, 0, ".F"},
        {0x02, 0x03, kAny, 2, 2, "Light", "Light Toggle", channel, nullptr, 0, ".F"},
        {0x02, 0x04, kAny, 2, 2, "Light", "All Lights On", nullptr, nullptr, 0, "FF"},
        {0x02, 0x05, kAny, 2, 2, "Light", "All Lights Off", nullptr, nullptr, 0, "FF"},
        {0x03, 0x00, kAny, 2, 2, "IR", "Learn IR", irCode, nullptr, 0, "0."},
        {0x03, 0x01, kAny, 2, 2, "IR", "Exit IR Learning", irCode, nullptr, 0, "0."},
        {0x03, 0x02, kAny, 2, 2, "IR", "Delete IR Code", irCode, nullptr, 0, "0."},
        {0x03, 0x03, kAny, 2, 2, "IR", "Delete All IR Codes", nullptr, nullptr, 0, "0F"},
        {0x03, 0x04, kAny, 2, 2, "IR", "Send IR", irCode, nullptr, 0, "0."},
        {0x04, 0x00, kAny, 7, 7, "Timer", "Set Module Clock", clockSet, nullptr, 0},
        {0x04, 0x01, kAny, 0, 0, "Timer", "Read Module Clock", nullptr, clockReply, 7},
        {0x04, 0x02, kAny, 9, 9, "Timer", "Set Timer", timerSet, nullptr, 0},
        {0x04, 0x03, kAny, 1, 1, "Timer", "Read Timer", timerRead, timerReply, 8},
        {0x04, 0x04, kAny, 7, 7, "Event", "Set Event", eventSet, nullptr, 0},
        {0x04, 0x05, kAny, 2, 2, "Event", "Read Event", eventRead, eventReply, 5},
    };
    return table;
}

const QList<BindTest>& bindTests() {
    using bindtest::AcMode;
    using bindtest::CurtainMove;
    static const QList<BindTest> table = {
        {"Binding Test Light On", [](int r, int d) { return bindtest::light(r, d, true); },
         nullptr},
        {"Binding Test Light Off", [](int r, int d) { return bindtest::light(r, d, false); },
         nullptr},
        {"Binding Test Light Status", bindtest::lightStatus, nullptr, true, "On", "Off"},
        {"Binding Test Curtain Open",
         [](int r, int d) { return bindtest::curtain(r, d, CurtainMove::Open); }, nullptr},
        {"Binding Test Curtain Close",
         [](int r, int d) { return bindtest::curtain(r, d, CurtainMove::Close); }, nullptr},
        {"Binding Test Curtain Stop",
         [](int r, int d) { return bindtest::curtain(r, d, CurtainMove::Stop); }, nullptr},
        {"Binding Test Curtain Status", bindtest::curtainStatus, nullptr, true, "Open", "Close"},
        {"Binding Test Air Conditioner",
         [](int r, int d) { return bindtest::airConditioner(r, d, AcMode::Cold); }, "Cold"},
        {"Binding Test Air Conditioner",
         [](int r, int d) { return bindtest::airConditioner(r, d, AcMode::StrongCold); },
         "Strong Cold"},
        {"Binding Test Air Conditioner",
         [](int r, int d) { return bindtest::airConditioner(r, d, AcMode::Wind); }, "Wind"},
        {"Binding Test Air Conditioner",
         [](int r, int d) { return bindtest::airConditioner(r, d, AcMode::PowerOff); },
         "Power Off"},
        {"Binding Test Scene Control", [](int s, int) { return bindtest::scene(s); }, nullptr,
         false, nullptr, nullptr, true},
    };
    return table;
}

bool Operation::fits(const quint8* params, int count) const {
    if (count < minParams || count > maxParams)
        return false;
    for (int i = 0; shape && shape[i] && i < count; ++i) {
        if ((shape[i] == 'F' && params[i] != 0xFF) || (shape[i] == '0' && params[i] != 0x00))
            return false;
    }
    return true;
}

QStringList families() {
    QStringList out;
    for (const Operation& op : all())
        if (!out.contains(QLatin1String(op.family)))
            out << QString::fromLatin1(op.family);
    out << QString::fromLatin1(bindTestFamily());
    return out;
}

bool busSwitchAddressed(quint8 command, quint8 subCommand, bool longLayout, quint16 subnet,
                        quint8 module) {
    if (command != 0x00 || module != 0xFF)
        return false;
    if (subCommand == 0x00 || subCommand == 0x05)
        return longLayout && subnet == 0xFFFF;
    return true;
}

const Operation* findRequest(quint8 command, quint8 subCommand, bool busSwitch,
                             const quint8* params, int paramCount, bool anyTarget, bool anyParams) {
    for (const Operation& op : all()) {
        if (op.command != command || op.subCommand != subCommand)
            continue;
        const bool targetFits =
            anyTarget || op.target == Target::Any || (op.target == Target::BusSwitch) == busSwitch;
        if (targetFits && (anyParams || op.fits(params, paramCount)))
            return &op;
    }
    return nullptr;
}

const Operation* findReply(quint8 command, quint8 subCommand, bool busSwitch) {
    const Operation* op = findRequest(command, subCommand, busSwitch, nullptr, 0, false, true);
    return op ? op : findRequest(command, subCommand, busSwitch, nullptr, 0, true, true);
}

QString bytesText(const quint8* data, int count) {
    QStringList parts;
    for (int i = 0; i < count; ++i)
        parts << QStringLiteral("%1").arg(data[i], 2, 16, QLatin1Char('0')).toUpper();
    return parts.join(QLatin1Char(' '));
}

} // namespace operations
