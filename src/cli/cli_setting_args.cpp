// The arguments of the commands that set, clear and test what the window's tab sheets set:
// module administration, the bus switch, scenes, IR codes, input bindings, timers, events and
// monitor bindings, each checked against the ranges of the window's control for it.
#include "cli/cli_words.h"
#include "cli_options/cli_options.h"
#include "protocol/action_codes.h"
#include "protocol/bus_switch_requests.h"
#include "protocol/monitor_requests.h"

#include <QRegularExpression>

namespace {

// "Light On", "light-on" and "light_on" name the same item; "(repeat)" may be left out, and
// the timer list's "Mouth(repeat)" is also "month".
QString itemKey(QString text) {
    text = text.toLower();
    text.replace(QLatin1Char('-'), QLatin1Char(' ')).replace(QLatin1Char('_'), QLatin1Char(' '));
    text.remove(QStringLiteral("(repeat)"));
    text.replace(QStringLiteral("mouth"), QStringLiteral("month"));
    return text.simplified();
}

int itemOf(const Words& w, int index, const QString& what, const QStringList& items) {
    const QString said = w.word(index, what);
    QStringList keys;
    for (int i = 0; i < items.size(); ++i) {
        keys << itemKey(items.at(i)).replace(QLatin1Char(' '), QLatin1Char('-'));
        if (itemKey(items.at(i)) == itemKey(said))
            return i;
    }
    refuse(QStringLiteral("%1: %2 must be one of %3, not '%4'")
               .arg(w.name(), what, keys.join(QStringLiteral(", ")), said));
}

CommandArgs moduleArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"read", "address", "test", "type", "version", "restore"});
    if (c.verb == QLatin1String("read")) {
        w.end(2);
        return c;
    }
    // "Module Addr. :" of the module settings, 0..33; Set carries it as the new address.
    if (c.verb == QLatin1String("address"))
        c.value = w.number(2, QStringLiteral("NEW"), 0, 33);
    else
        c.module = w.number(2, QStringLiteral("MODULE"), 0, 33);
    w.end(3);
    if (c.verb == QLatin1String("restore"))
        c.confirm = QStringLiteral("would restore module %1").arg(c.module);
    return c;
}

// "a.b.c.d" or "aa-bb-cc-dd-ee-ff": the edits of one settings row.
QStringList rowTexts(const Words& w, int index, const QString& what, int fields, bool mac) {
    const QString text = w.word(index, what);
    const QStringList parts =
        mac ? text.split(QRegularExpression(QStringLiteral("[-:]"))) : text.split(QLatin1Char('.'));
    bool fits = parts.size() == fields;
    for (const QString& p : parts) {
        bool ok = false;
        const int v = p.toInt(&ok, mac ? 16 : 10);
        fits = fits && ok && v >= 0 && v <= 255 && p.size() <= (mac ? 2 : 3);
    }
    if (!fits)
        refuse(QStringLiteral("bus-switch set: %1 must be %2, not '%3'")
                   .arg(what,
                        mac ? QStringLiteral("six hexadecimal bytes aa-bb-cc-dd-ee-ff")
                            : QStringLiteral("four numbers 0..255 a.b.c.d"),
                        text));
    return parts;
}

CommandArgs busSwitchArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"read", "type", "version", "set", "password", "restore", "transparent"});
    c.module = 0xFF;
    if (c.verb == QLatin1String("set")) {
        const int subnet = w.number(2, QStringLiteral("SUBNET"), 0, 65535);
        QStringList texts = rowTexts(w, 3, QStringLiteral("IP"), 4, false);
        texts << QString::number(w.number(4, QStringLiteral("PORT"), 0, 65535));
        texts << rowTexts(w, 5, QStringLiteral("MASK"), 4, false);
        texts << rowTexts(w, 6, QStringLiteral("GATEWAY"), 4, false);
        texts << rowTexts(w, 7, QStringLiteral("SERVER-IP"), 4, false);
        texts << QString::number(w.number(8, QStringLiteral("SERVER-PORT"), 0, 65535));
        texts << rowTexts(w, 9, QStringLiteral("MAC"), 6, true);
        w.end(10);
        c.block = busswitch::settingsBlock(subnet, texts).value_or(QByteArray());
        return c;
    }
    if (c.verb == QLatin1String("password")) {
        c.text = w.word(2, QStringLiteral("TEXT"));
        w.end(3);
        if (c.text.isEmpty())
            refuse(QStringLiteral("Please input password！"));
        // The bus switch keeps 16 characters: a longer one would be cut without a word.
        if (c.text.size() > 16 || c.text.toLatin1() != c.text.toUtf8())
            refuse(QStringLiteral("bus-switch password: at most 16 plain ASCII characters"));
        return c;
    }
    w.end(2);
    if (c.verb == QLatin1String("restore"))
        c.confirm = QStringLiteral("would restore the bus switch");
    if (c.verb == QLatin1String("transparent"))
        c.confirm = QStringLiteral("would set the bus switch to transparent mode");
    return c;
}

CommandArgs sceneArgs(const Words& w, const CliOptions& o) {
    CommandArgs c;
    c.verb = w.verb({"set", "set-ir", "test", "clear"});
    if (c.verb == QLatin1String("test")) {
        c.scene = w.number(2, QStringLiteral("SCENE"), 0, 100);
        w.end(3);
        return c;
    }
    // The scene tab's "Module Addr." and "Scene No.".
    c.module = w.number(2, QStringLiteral("MODULE"), 1, 32);
    if (c.verb == QLatin1String("clear")) {
        w.end(3);
        c.confirm = QStringLiteral("would empty every scene of module %1").arg(c.module);
        return c;
    }
    c.scene = w.number(3, QStringLiteral("SCENE"), 0, 100);
    if (w.size() < 5)
        refuse(QStringLiteral("scene %1: give 1 to 8 channels").arg(c.verb));
    w.end(4 + 8);
    const bool ir = c.verb == QLatin1String("set-ir");
    static const QStringList targets{"off", "on", "keep"}; // the CH lists' item order
    for (int i = 4; i < w.size(); ++i)
        c.values << (ir ? w.number(i, QStringLiteral("IRNO"), 0, 255)
                        : itemOf(w, i, QStringLiteral("TARGET"), targets));
    c.text = o.name;
    return c;
}

CommandArgs irArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"learn", "send", "delete", "delete-all"});
    c.module = w.number(2, QStringLiteral("MODULE"), 1, 32);
    if (c.verb == QLatin1String("delete-all")) {
        w.end(3);
        c.confirm = QStringLiteral("would delete every IR code of module %1").arg(c.module);
        return c;
    }
    c.irNo = w.number(3, QStringLiteral("IRNO"), 0, 250);
    w.end(4);
    if (c.verb == QLatin1String("delete"))
        c.confirm =
            QStringLiteral("would delete IR code %1 of module %2").arg(c.irNo).arg(c.module);
    return c;
}

CommandArgs bindingArgs(const Words& w, const CliOptions& o) {
    CommandArgs c;
    c.verb = w.verb({"read", "set", "delete-all"});
    c.module = w.number(
        2, c.verb == QLatin1String("set") ? QStringLiteral("INPUT") : QStringLiteral("MODULE"), 1,
        32);
    if (c.verb == QLatin1String("delete-all")) {
        w.end(3);
        return c;
    }
    binding::Settings& s = c.binding;
    s.inputModule = c.module;
    s.inputChannel = w.number(3, QStringLiteral("CHANNEL"), 1, 32);
    s.actionIndex = itemOf(w, 4, QStringLiteral("ACTION"), actions::bindingItems());
    s.bindingModule = w.optionalNumber(5, QStringLiteral("TARGET"), 1, 32, 1);
    s.bindingChannel = w.optionalNumber(6, QStringLiteral("target CHANNEL"), 1, 20, 1);
    s.sceneOrIr = w.optionalNumber(7, QStringLiteral("PARAMETER"), 0, 255, 0);
    w.end(8);
    s.delaySeconds = o.delay;
    if (!o.mode.isEmpty()) {
        s.modeIndex = int(binding::modeItems().indexOf(o.mode.toUpper()));
        if (s.modeIndex < 0)
            refuse(QStringLiteral("--mode must be NC, NO or NC/NO, not '%1'").arg(o.mode));
    }
    return c;
}

CommandArgs timerArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"read", "set", "delete-all"});
    c.module = w.number(2, QStringLiteral("MODULE"), 0, 33);
    if (c.verb == QLatin1String("delete-all")) {
        w.end(3);
        return c;
    }
    c.timer = w.number(3, QStringLiteral("TIMER"), 1, 33);
    c.modeIndex = itemOf(w, 4, QStringLiteral("MODE"), timing::timer::modeItems());
    const QString text =
        w.word(5, QStringLiteral("DATE")) + QLatin1Char(' ') + w.word(6, QStringLiteral("TIME"));
    w.end(7);
    c.when = QDateTime::fromString(text, QStringLiteral("yyyy-MM-dd HH:mm:ss"));
    if (!c.when->isValid() || c.when->date().year() < 2000 || c.when->date().year() > 2099)
        refuse(QStringLiteral("timers set: '%1' is not a time YYYY-MM-DD HH:MM:SS of the years "
                              "2000 to 2099")
                   .arg(text));
    return c;
}

CommandArgs eventArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"read", "set", "delete-all"});
    c.module = w.number(2, QStringLiteral("MODULE"), 0, 33);
    if (c.verb == QLatin1String("delete-all")) {
        // The "Timer No." list below the grid: Timer1..Timer32.
        c.timer = w.number(3, QStringLiteral("TIMER"), 1, 32);
        w.end(4);
        return c;
    }
    timing::event::Settings& s = c.event;
    s.timerNo = c.timer = w.number(3, QStringLiteral("TIMER"), 1, 33);
    s.eventNo = w.number(4, QStringLiteral("EVENT"), 1, 33);
    s.actionIndex = itemOf(w, 5, QStringLiteral("ACTION"), actions::eventItems());
    s.controlledModule = w.optionalNumber(6, QStringLiteral("TARGET"), 1, 33, 1);
    s.controlledChannel = w.optionalNumber(7, QStringLiteral("CHANNEL"), 1, 33, 1);
    s.sceneOrIr = w.optionalNumber(8, QStringLiteral("PARAMETER"), 0, 255, 0);
    w.end(9);
    return c;
}

CommandArgs monitorArgs(const Words& w) {
    CommandArgs c;
    c.verb = w.verb({"set", "read", "test"});
    if (c.verb == QLatin1String("set")) {
        c.slot = w.number(2, QStringLiteral("SLOT"), 1, monitor::kSlotCount);
        c.module = w.number(3, QStringLiteral("MODULE"), 1, 32);
        c.value = monitor::typeCode(c.slot) == monitor::kAirConditioner
                      ? w.number(4, QStringLiteral("IRNO"), 0, 255)
                      : w.number(4, QStringLiteral("CHANNEL"), 1, 8);
        w.end(5);
        return c;
    }
    const QStringList kinds = c.verb == QLatin1String("read")
                                  ? QStringList{"light", "curtain", "ac"}
                                  : QStringList{"light", "curtain", "ac", "scene"};
    c.kind = kinds.at(itemOf(w, 2, QStringLiteral("TYPE"), kinds));
    if (c.verb == QLatin1String("read")) {
        w.end(3);
        return c;
    }
    if (c.kind == QLatin1String("scene")) {
        c.scene = w.number(3, QStringLiteral("SCENE"), 0, 16);
        w.end(4);
        return c;
    }
    c.room = w.number(3, QStringLiteral("ROOM"), 1, 20);
    c.device = w.number(4, QStringLiteral("DEVICE"), 1, 16);
    const QStringList moves = c.kind == QLatin1String("light") ? QStringList{"on", "off", "status"}
                              : c.kind == QLatin1String("curtain")
                                  ? QStringList{"open", "close", "stop", "status"}
                                  : QStringList{"cold", "strong-cold", "wind", "off"};
    c.modeIndex = itemOf(w, 5, QStringLiteral("MOVE"), moves);
    c.text = moves.at(c.modeIndex);
    w.end(6);
    return c;
}

} // namespace

CommandArgs parseSettingArgs(const QStringList& args, const CliOptions& options) {
    const Words w(args);
    const QString name = w.name();
    if (name == QLatin1String("module"))
        return moduleArgs(w);
    if (name == QLatin1String("bus-switch"))
        return busSwitchArgs(w);
    if (name == QLatin1String("scene"))
        return sceneArgs(w, options);
    if (name == QLatin1String("ir"))
        return irArgs(w);
    if (name == QLatin1String("bindings"))
        return bindingArgs(w, options);
    if (name == QLatin1String("timers"))
        return timerArgs(w);
    if (name == QLatin1String("events"))
        return eventArgs(w);
    return monitorArgs(w);
}
