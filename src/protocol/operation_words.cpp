#include "protocol/operation_words.h"

#include "link/bus.h"
#include "protocol/action_codes.h"
#include "protocol/binding_requests.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/light_requests.h"
#include "protocol/module_admin_requests.h"
#include "protocol/monitor_requests.h"
#include "protocol/operation_table.h"
#include "protocol/timer_requests.h"

namespace operations::words {

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

} // namespace

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

} // namespace operations::words
