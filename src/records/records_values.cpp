#include "records/records_values.h"

#include "records/schema.h"
#include "records/visible_text.h"

#include <QHash>

#include <cmath>

namespace records_values {

namespace {

const QString kIrPrefix = QStringLiteral("IR No.");
constexpr int kIrLast = 255;

Rule numberRule(qint64 min, qint64 max, const QString& note = {}) {
    Rule r;
    r.kind = Rule::Kind::Number;
    r.min = min;
    r.max = max;
    r.note = note;
    return r;
}

Rule choiceRule(const QStringList& texts, bool irTexts = false) {
    Rule r;
    r.kind = Rule::Kind::Choice;
    r.choices = texts;
    r.irTexts = irTexts;
    return r;
}

Rule textRule(int maxLength) {
    Rule r;
    r.kind = Rule::Kind::Text;
    r.maxLength = maxLength;
    return r;
}

QString ruleKey(const QString& table, const QString& column) {
    return table + QChar(0) + column;
}

// Every column of every table, by what the tool writes into it and the request byte it goes
// into: a plain byte 0..255, or a 1-based number that goes out minus one.
QHash<QString, Rule> buildRules() {
    const Rule byte = numberRule(0, 255);
    const Rule oneBased = numberRule(1, 255, QStringLiteral("sent minus one"));
    const Rule channel =
        numberRule(1, 255, QStringLiteral("sent minus one; 255: none, sent as 0xFF"));
    const Rule name = textRule(kNameLength);
    QHash<QString, Rule> rules;
    const auto add = [&rules](const char* table, const QString& column, const Rule& rule) {
        rules.insert(ruleKey(QLatin1StringView(table), column), rule);
    };

    add("Scene Records", QStringLiteral("Scene_No"), byte);
    add("Scene Records", QStringLiteral("Information"), name);
    add("Scene Records", QStringLiteral("Module_Addr"), byte);
    for (int ch = 1; ch <= 8; ++ch)
        add("Scene Records", QStringLiteral("CH%1").arg(ch), choiceRule(sceneTargets(), true));

    add("IR Records", QStringLiteral("Module_Addr"), byte);
    add("IR Records", QStringLiteral("IR_No"), byte);
    add("IR Records", QStringLiteral("Information"), name);

    QStringList modes = timerModes();
    for (const QString& read : timerReadModes())
        if (!modes.contains(read))
            modes << read;
    add("Timer Records", QStringLiteral("Timer_Order"), oneBased);
    add("Timer Records", QStringLiteral("Time"), textRule(kTimeLength));
    add("Timer Records", QStringLiteral("Timer_Mode"), choiceRule(modes));

    add("Event Records", QStringLiteral("Timer_Order"), oneBased);
    add("Event Records", QStringLiteral("Event_Order"), oneBased);
    add("Event Records", QStringLiteral("Address"), byte);
    add("Event Records", QStringLiteral("Channel"), channel);
    add("Event Records", QStringLiteral("Parameter"), byte);
    add("Event Records", QStringLiteral("Action"), choiceRule(eventActions()));

    add("Bind Records", QStringLiteral("Input_Addr"), byte);
    add("Bind Records", QStringLiteral("Input_Channel"), oneBased);
    add("Bind Records", QStringLiteral("Trigger_Mode"),
        choiceRule(bindingModes() + QStringList{noBindingMode()}));
    add("Bind Records", QStringLiteral("Trigger_Delay"),
        numberRule(0, 255, QStringLiteral("seconds; 255: none, sent as 0x7F")));
    add("Bind Records", QStringLiteral("Output_Addr"), byte);
    add("Bind Records", QStringLiteral("Output_Channel"), channel);
    add("Bind Records", QStringLiteral("Action"), choiceRule(bindingActions()));
    add("Bind Records", QStringLiteral("Parameter"), byte);

    add("Monitor Bind Records", QStringLiteral("Order"),
        numberRule(1, schema::monitorSlotCount, QStringLiteral("the slot")));
    add("Monitor Bind Records", QStringLiteral("Room_No"), oneBased);
    add("Monitor Bind Records", QStringLiteral("Device_No"),
        numberRule(1, 16,
                   QStringLiteral("sent minus one; an AC slot sends it in the high four bits")));
    add("Monitor Bind Records", QStringLiteral("Device_Type"), choiceRule(deviceTypes()));
    add("Monitor Bind Records", QStringLiteral("Address"),
        numberRule(0, 255, QStringLiteral("0: not bound")));
    add("Monitor Bind Records", QStringLiteral("Channel"),
        numberRule(0, 256,
                   QStringLiteral("light and curtain slots: the channel, sent minus one "
                                  "(1..256); AC slots: the IR number (0..255)")));
    return rules;
}

// A whole number within [min, max]; a text or a fraction never is.
bool numberWithin(const QVariant& v, qint64 min, qint64 max) {
    switch (v.typeId()) {
    case QMetaType::Int:
    case QMetaType::Long:
    case QMetaType::LongLong:
    case QMetaType::Short:
    case QMetaType::SChar: {
        const qint64 n = v.toLongLong();
        return n >= min && n <= max;
    }
    case QMetaType::UInt:
    case QMetaType::ULong:
    case QMetaType::ULongLong:
    case QMetaType::UShort:
    case QMetaType::UChar: {
        const quint64 n = v.toULongLong();
        return max >= 0 && n <= quint64(max) && (min <= 0 || n >= quint64(min));
    }
    case QMetaType::Double: {
        const double d = v.toDouble();
        return std::trunc(d) == d && d >= double(min) && d <= double(max);
    }
    default:
        return false;
    }
}

// "IR No." and 0..255 as the tool writes it: decimal digits, no sign, no leading zero.
bool isIrText(const QString& text) {
    if (!text.startsWith(kIrPrefix))
        return false;
    const QStringView digits = QStringView(text).mid(kIrPrefix.size());
    if (digits.isEmpty() || digits.size() > 3 || (digits.size() > 1 && digits.front() == u'0'))
        return false;
    for (const QChar c : digits)
        if (c < u'0' || c > u'9')
            return false;
    return digits.toInt() <= kIrLast;
}

QString quotedList(const QStringList& texts) {
    QStringList quoted;
    for (const QString& t : texts)
        quoted << QStringLiteral("\"%1\"").arg(t);
    return quoted.join(QStringLiteral(", "));
}

QString ruleProblem(const Rule& r, const QString& column, const QVariant& v) {
    switch (r.kind) {
    case Rule::Kind::Number:
        if (numberWithin(v, r.min, r.max))
            return {};
        return QStringLiteral("%1 %2 does not fit (%3)").arg(column, shown(v), describe(r));
    case Rule::Kind::Choice: {
        const QString text = v.toString();
        if (v.typeId() == QMetaType::QString &&
            (r.choices.contains(text) || (r.irTexts && isIrText(text))))
            return {};
        return QStringLiteral("%1 %2 is not one of %3").arg(column, shown(v), describe(r));
    }
    case Rule::Kind::Text:
        if (v.typeId() != QMetaType::QString)
            return QStringLiteral("%1 %2 is not a text").arg(column, shown(v));
        if (characterCount(v.toString()) <= r.maxLength)
            return {};
        return QStringLiteral("%1 %2 is longer than %3 characters")
            .arg(column, shown(v))
            .arg(r.maxLength);
    }
    return {};
}

} // namespace

const QStringList& sceneTargets() {
    static const QStringList items{QStringLiteral("Off/Close"), QStringLiteral("On/Open"),
                                   QStringLiteral("No Change")};
    return items;
}

QString irChannelText(int irNo) {
    return kIrPrefix + QString::number(irNo);
}

const QStringList& eventActions() {
    static const QStringList items = {
        QStringLiteral("Light On"),      QStringLiteral("Light Off"),
        QStringLiteral("Light Toggle"),  QStringLiteral("Curtain Open"),
        QStringLiteral("Curtain Close"), QStringLiteral("Curtain Stop"),
        QStringLiteral("Scene Control"), QStringLiteral("IR Control"),
        QStringLiteral("Invalid")};
    return items;
}

const QStringList& bindingActions() {
    static const QStringList items = [] {
        QStringList list = eventActions();
        list.insert(list.size() - 1, QStringLiteral("Alarm"));
        return list;
    }();
    return items;
}

const QStringList& bindingModes() {
    static const QStringList items = {QStringLiteral("NC"), QStringLiteral("NO"),
                                      QStringLiteral("NC/NO")};
    return items;
}

QString noBindingMode() {
    return QStringLiteral("------");
}

const QStringList& timerModes() {
    static const QStringList items = {
        QStringLiteral("Once"),         QStringLiteral("Minute(repeat)"),
        QStringLiteral("Hour(repeat)"), QStringLiteral("Day(repeat)"),
        QStringLiteral("Week(repeat)"), QStringLiteral("Mouth(repeat)"),
        QStringLiteral("Year(repeat)"), QStringLiteral("Invalid")};
    return items;
}

const QStringList& timerReadModes() {
    // A read spells two modes differently from the list a Set writes.
    static const QStringList items = [] {
        QStringList list = timerModes();
        list[5] = QStringLiteral("Month(repeat)");
        list[7] = QStringLiteral("invalid");
        return list;
    }();
    return items;
}

const QStringList& deviceTypes() {
    static const QStringList items = {QStringLiteral("Light"), QStringLiteral("Curtain"),
                                      QStringLiteral("AC")};
    return items;
}

const Rule* rule(const QString& table, const QString& column) {
    static const QHash<QString, Rule> rules = buildRules();
    const auto found = rules.constFind(ruleKey(table, column));
    return found == rules.constEnd() ? nullptr : &*found;
}

QString describe(const Rule& r) {
    switch (r.kind) {
    case Rule::Kind::Number:
        return QStringLiteral("%1..%2").arg(r.min).arg(r.max);
    case Rule::Kind::Choice:
        return quotedList(r.choices) + (r.irTexts
                                            ? QStringLiteral(", \"%1\" .. \"%2\"")
                                                  .arg(irChannelText(0), irChannelText(kIrLast))
                                            : QString());
    case Rule::Kind::Text:
        return QStringLiteral("a text of at most %1 characters").arg(r.maxLength);
    }
    return {};
}

QString problem(const QString& table, const QString& column, const QVariant& value) {
    const Rule* r = rule(table, column);
    if (!r || value.isNull())
        return {};
    return ruleProblem(*r, column, value);
}

QString problem(const Rule& r, const QString& column, const QVariant& value) {
    return value.isNull() ? QString() : ruleProblem(r, column, value);
}

QString requestProblem(const QString& table, const QString& column, const QVariant& value) {
    const Rule* r = rule(table, column);
    if (!r || (value.isNull() && r->kind != Rule::Kind::Number))
        return {};
    return ruleProblem(*r, column, value);
}

QString monitorChannelProblem(int order, const QVariant& channel) {
    const bool ac = schema::monitorSlot(order).deviceType == QLatin1StringView("AC");
    return ruleProblem(ac ? numberRule(0, 255) : numberRule(1, 256), QStringLiteral("Channel"),
                       channel);
}

QString monitorBindingProblem(int order, const QVariant& address, const QVariant& channel) {
    const QString table = QStringLiteral("Monitor Bind Records");
    QString why = problem(table, QStringLiteral("Address"), address);
    if (why.isEmpty())
        why = problem(table, QStringLiteral("Channel"), channel);
    if (why.isEmpty() && !address.isNull() && address.toLongLong() != 0 && !channel.isNull())
        why = monitorChannelProblem(order, channel);
    return why;
}

QString rowProblem(const QString& table, const QStringList& columns, const QVariantList& values) {
    for (int c = 0; c < columns.size(); ++c) {
        const QString why = problem(table, columns[c], values.value(c));
        if (!why.isEmpty())
            return why;
    }
    if (table != QLatin1StringView("Monitor Bind Records"))
        return {};
    const QVariant order = values.value(int(columns.indexOf(QStringLiteral("Order"))));
    if (order.isNull())
        return {};
    return monitorBindingProblem(order.toInt(), values.value(int(columns.indexOf("Address"))),
                                 values.value(int(columns.indexOf("Channel"))));
}

QString shown(const QVariant& v) {
    if (v.isNull())
        return QStringLiteral("(empty)");
    if (v.typeId() == QMetaType::QString) {
        return visible_text::quoted(v.toString());
    }
    if (v.typeId() == QMetaType::Double)
        return QString::number(v.toDouble(), 'g', 17);
    return v.toString();
}

} // namespace records_values
