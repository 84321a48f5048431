#include "report/report_words.h"

#include "records/records_values.h"

#include <QRegularExpression>

#include <algorithm>

namespace reportwords {

namespace {
constexpr int kNone = 255; // a number column without a value

// Actions whose target is a module and a channel.
bool takesChannel(const QString& action) {
    return action.startsWith(QLatin1String("Light ")) ||
           action.startsWith(QLatin1String("Curtain "));
}
} // namespace

QString cell(const ReportRecords::Row& row, const char* column) {
    const QVariant v = row.value(column);
    return v.isNull() || v.toString().isEmpty() ? QStringLiteral("(empty)") : v.toString();
}

QString scene(const ReportRecords::Row& row) {
    QStringList channels;
    for (int ch = 1; ch <= 8; ++ch) {
        const QByteArray column = QStringLiteral("CH%1").arg(ch).toLatin1();
        channels << QStringLiteral("CH%1 %2").arg(ch).arg(cell(row, column.constData()));
    }
    const QString name = row.text("Information");
    return QStringLiteral("Scene %1%2: %3")
        .arg(cell(row, "Scene_No"), name.isEmpty() ? QString() : QStringLiteral(", ") + name,
             channels.join(QStringLiteral(", ")));
}

bool isEmptyAction(const ReportRecords::Row& row) {
    return row.text("Action") == records_values::eventActions().last();
}

QString target(const ReportRecords::Row& row, const char* addressColumn,
               const char* channelColumn) {
    const QString action = cell(row, "Action");
    if (action == QLatin1String("Scene Control"))
        return QStringLiteral("scene %1: %2").arg(cell(row, "Parameter"), action);
    if (action == QLatin1String("IR Control"))
        return QStringLiteral("module %1 IR No.%2: %3")
            .arg(cell(row, addressColumn), cell(row, "Parameter"), action);
    if (takesChannel(action))
        return QStringLiteral("module %1 channel %2: %3")
            .arg(cell(row, addressColumn), cell(row, channelColumn), action);
    // "Alarm", and a text outside the list, shown as stored with its numbers.
    if (records_values::bindingActions().contains(action))
        return action;
    return QStringLiteral("%1 (module %2 channel %3, no. %4)")
        .arg(action, cell(row, addressColumn), cell(row, channelColumn), cell(row, "Parameter"));
}

QString binding(const ReportRecords::Row& row) {
    const QString head = QStringLiteral("Input %1, channel %2")
                             .arg(cell(row, "Input_Addr"), cell(row, "Input_Channel"));
    if (isEmptyAction(row))
        return head + QStringLiteral(": no action (Invalid)");
    const std::optional<int> delay = row.number("Trigger_Delay");
    const QString delayText = !delay ? cell(row, "Trigger_Delay")
                              : *delay == 0 || *delay == kNone
                                  ? QStringLiteral("no delay")
                                  : QStringLiteral("delay %1 s").arg(*delay);
    return QStringLiteral("%1, %2, %3 → %4")
        .arg(head, cell(row, "Trigger_Mode"), delayText,
             target(row, "Output_Addr", "Output_Channel"));
}

bool isSetTimer(const ReportRecords::Row& row) {
    return row.text("Timer_Mode").compare(QLatin1String("Invalid"), Qt::CaseInsensitive) != 0;
}

QString timer(const ReportRecords::Row& row) {
    const QString mode = cell(row, "Timer_Mode");
    QString when = cell(row, "Time");
    static const QRegularExpression clock(QStringLiteral("^\\d\\d:\\d\\d:\\d\\d$"));
    // The time of day stands after the date, whatever the date's format.
    if (mode == QLatin1String("Day(repeat)"))
        for (const QString& part : when.split(QLatin1Char(' '), Qt::SkipEmptyParts))
            if (clock.match(part).hasMatch()) {
                when = part;
                break;
            }
    return QStringLiteral("Timer %1, %2, %3").arg(cell(row, "Timer_Order"), mode, when);
}

QString event(const ReportRecords::Row& row) {
    const QString head = QStringLiteral("Event %1").arg(cell(row, "Event_Order"));
    if (isEmptyAction(row))
        return head + QStringLiteral(": no action (Invalid)");
    return head + QStringLiteral(" → ") + target(row, "Address", "Channel");
}

QString ranges(QList<int> numbers) {
    std::sort(numbers.begin(), numbers.end());
    QStringList parts;
    for (qsizetype i = 0; i < numbers.size();) {
        qsizetype j = i;
        while (j + 1 < numbers.size() && numbers.at(j + 1) == numbers.at(j) + 1)
            ++j;
        parts << (j > i ? QStringLiteral("%1–%2").arg(numbers.at(i)).arg(numbers.at(j))
                        : QString::number(numbers.at(i)));
        i = j + 1;
    }
    return parts.join(QStringLiteral(", "));
}

} // namespace reportwords
