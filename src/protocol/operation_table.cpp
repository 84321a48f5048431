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
        {.command = 0x00,
         .subCommand = 0x00,
         .target = kSwitch,
         .minParams = 28,
         .maxParams = 28,
         .family = "Bus Switch",
         .name = "Set Bus Switch Settings",
         .request = settings},
        {.command = 0x00,
         .subCommand = 0x00,
         .target = kModuleOnly,
         .minParams = 1,
         .maxParams = 1,
         .family = "Module",
         .name = "Set Module Address",
         .request = newAddress},
        {.command = 0x00,
         .subCommand = 0x01,
         .target = kAny,
         .minParams = 8,
         .maxParams = 8,
         .family = "Input Binding",
         .name = "Set Input Binding",
         .request = inputSet},
        {.command = 0x00,
         .subCommand = 0x02,
         .target = kAny,
         .minParams = 2,
         .maxParams = 9,
         .family = "Scene",
         .name = "Set Scene",
         .request = sceneSet},
        {.command = 0x00,
         .subCommand = 0x03,
         .target = kAny,
         .minParams = 1,
         .maxParams = 1,
         .family = "Scene",
         .name = "Clear All Scenes",
         .request = sceneFirst},
        {.command = 0x00,
         .subCommand = 0x04,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Scene",
         .name = "Test Scene",
         .request = sceneSecond,
         .shape = "F."},
        {.command = 0x00,
         .subCommand = 0x05,
         .target = kSwitch,
         .minParams = 0,
         .maxParams = 0,
         .family = "Bus Switch",
         .name = "Read Bus Switch Settings",
         .reply = settingsReply,
         .replyData = 28},
        {.command = 0x00,
         .subCommand = 0x05,
         .target = kModuleOnly,
         .minParams = 0,
         .maxParams = 0,
         .family = "Module",
         .name = "Read Module Address",
         .reply = addressReply,
         .replyData = 1},
        {.command = 0x00,
         .subCommand = 0x06,
         .target = kSwitch,
         .minParams = 0,
         .maxParams = 0,
         .family = "Bus Switch",
         .name = "Read Bus Switch Type",
         .reply = typeReply,
         .replyData = 2},
        {.command = 0x00,
         .subCommand = 0x06,
         .target = kModuleOnly,
         .minParams = 0,
         .maxParams = 0,
         .family = "Module",
         .name = "Read Module Type",
         .reply = typeReply,
         .replyData = 2},
        {.command = 0x00,
         .subCommand = 0x07,
         .target = kSwitch,
         .minParams = 0,
         .maxParams = 0,
         .family = "Bus Switch",
         .name = "Read Bus Switch Version",
         .reply = versionReply},
        {.command = 0x00,
         .subCommand = 0x07,
         .target = kModuleOnly,
         .minParams = 0,
         .maxParams = 0,
         .family = "Module",
         .name = "Read Software Version",
         .reply = versionReply},
        {.command = 0x00,
         .subCommand = 0x08,
         .target = kAny,
         .minParams = 0,
         .maxParams = 0,
         .family = "Light/Curtain",
         .name = "Read Status",
         .reply = statusReply,
         .replyData = 1},
        {.command = 0x00,
         .subCommand = 0x09,
         .target = kModuleOnly,
         .minParams = 0,
         .maxParams = 0,
         .family = "Module",
         .name = "Test Module"},
        {.command = 0x00,
         .subCommand = 0x0A,
         .target = kSwitch,
         .minParams = 0,
         .maxParams = 0,
         .family = "Bus Switch",
         .name = "Restore Bus Switch"},
        {.command = 0x00,
         .subCommand = 0x0A,
         .target = kModuleOnly,
         .minParams = 0,
         .maxParams = 0,
         .family = "Module",
         .name = "Restore Module"},
        {.command = 0x00,
         .subCommand = 0x0B,
         .target = kSwitch,
         .minParams = 16,
         .maxParams = 16,
         .family = "Bus Switch",
         .name = "Set Bus Switch Password",
         .request = newPassword},
        {.command = 0x00,
         .subCommand = 0x0C,
         .target = kSwitch,
         .minParams = 1,
         .maxParams = 1,
         .family = "Bus Switch",
         .name = "Set Transparent Mode",
         .request = transparent},
        {.command = 0x00,
         .subCommand = 0x0D,
         .target = kAny,
         .minParams = 3,
         .maxParams = 3,
         .family = "Light",
         .name = "Set Relay Delay",
         .request = relayDelay,
         .shape = "0.."},
        {.command = 0x00,
         .subCommand = 0x0E,
         .target = kSwitch,
         .minParams = 5,
         .maxParams = 5,
         .family = "Monitor Binding",
         .name = "Set Monitor Binding",
         .request = monitorSet},
        {.command = 0x00,
         .subCommand = 0x0F,
         .target = kAny,
         .minParams = 1,
         .maxParams = 1,
         .family = "Input Binding",
         .name = "Read Input Binding",
         .request = inputRead,
         .reply = inputReply,
         .replyData = 7},
        {.command = 0x00,
         .subCommand = 0x10,
         .target = kSwitch,
         .minParams = 3,
         .maxParams = 3,
         .family = "Monitor Binding",
         .name = "Read Monitor Binding",
         .request = monitorRead,
         .reply = monitorReply,
         .replyData = 2},
        {.command = 0x01,
         .subCommand = 0x00,
         .target = kAny,
         .minParams = 3,
         .maxParams = 3,
         .family = "Curtain",
         .name = "Set Travel Time",
         .request = travelTime},
        {.command = 0x01,
         .subCommand = 0x01,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "Curtain Open",
         .request = channel,
         .shape = ".F"},
        {.command = 0x01,
         .subCommand = 0x02,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "Curtain Close",
         .request = channel,
         .shape = ".F"},
        {.command = 0x01,
         .subCommand = 0x03,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "Curtain Stop",
         .request = channel,
         .shape = ".F"},
        {.command = 0x01,
         .subCommand = 0x04,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "All Curtains Open",
         .shape = "FF"},
        {.command = 0x01,
         .subCommand = 0x05,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "All Curtains Close",
         .shape = "FF"},
        {.command = 0x01,
         .subCommand = 0x06,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Curtain",
         .name = "All Curtains Stop",
         .shape = "FF"},
        {.command = 0x02,
         .subCommand = 0x00,
         .target = kAny,
         .minParams = 3,
         .maxParams = 3,
         .family = "Light",
         .name = "Set On-State Duration",
         .request = duration},
        {.command = 0x02,
         .subCommand = 0x01,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Light",
         .name = "Light On",
         .request = channel,
         .shape = ".F"},
        {.command = 0x02,
         .subCommand = 0x02,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Light",
         .name = "Light Off",
         .request = channel,
         .shape = ".F"},
        {.command = 0x02,
         .subCommand = 0x03,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Light",
         .name = "Light Toggle",
         .request = channel,
         .shape = ".F"},
        {.command = 0x02,
         .subCommand = 0x04,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Light",
         .name = "All Lights On",
         .shape = "FF"},
        {.command = 0x02,
         .subCommand = 0x05,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Light",
         .name = "All Lights Off",
         .shape = "FF"},
        {.command = 0x03,
         .subCommand = 0x00,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "IR",
         .name = "Learn IR",
         .request = irCode,
         .shape = "0."},
        {.command = 0x03,
         .subCommand = 0x01,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "IR",
         .name = "Exit IR Learning",
         .request = irCode,
         .shape = "0."},
        {.command = 0x03,
         .subCommand = 0x02,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "IR",
         .name = "Delete IR Code",
         .request = irCode,
         .shape = "0."},
        {.command = 0x03,
         .subCommand = 0x03,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "IR",
         .name = "Delete All IR Codes",
         .shape = "0F"},
        {.command = 0x03,
         .subCommand = 0x04,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "IR",
         .name = "Send IR",
         .request = irCode,
         .shape = "0."},
        {.command = 0x04,
         .subCommand = 0x00,
         .target = kAny,
         .minParams = 7,
         .maxParams = 7,
         .family = "Timer",
         .name = "Set Module Clock",
         .request = clockSet},
        {.command = 0x04,
         .subCommand = 0x01,
         .target = kAny,
         .minParams = 0,
         .maxParams = 0,
         .family = "Timer",
         .name = "Read Module Clock",
         .reply = clockReply,
         .replyData = 7},
        {.command = 0x04,
         .subCommand = 0x02,
         .target = kAny,
         .minParams = 9,
         .maxParams = 9,
         .family = "Timer",
         .name = "Set Timer",
         .request = timerSet},
        {.command = 0x04,
         .subCommand = 0x03,
         .target = kAny,
         .minParams = 1,
         .maxParams = 1,
         .family = "Timer",
         .name = "Read Timer",
         .request = timerRead,
         .reply = timerReply,
         .replyData = 8},
        {.command = 0x04,
         .subCommand = 0x04,
         .target = kAny,
         .minParams = 7,
         .maxParams = 7,
         .family = "Event",
         .name = "Set Event",
         .request = eventSet},
        {.command = 0x04,
         .subCommand = 0x05,
         .target = kAny,
         .minParams = 2,
         .maxParams = 2,
         .family = "Event",
         .name = "Read Event",
         .request = eventRead,
         .reply = eventReply,
         .replyData = 5},
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
