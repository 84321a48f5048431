#pragma once

#include <QList>
#include <QString>
#include <QStringList>
#include <QVariant>

#include <algorithm>

// What each column of the six record tables may hold: every value the tool itself writes
// there, and nothing that the request byte the value goes into cannot carry. One table for
// everyone who asks: the import refuses a file with anything else, the grids refuse such an
// edit, and push and audit leave a record alone that does not fit its request. The texts of
// the window's drop-down lists live here as well, so that each list exists once.
namespace records_values {

// The CH lists of a light or curtain scene, in item order.
const QStringList& sceneTargets();
// What an IR scene writes into a CH column: "IR No." and the number, no space.
QString irChannelText(int irNo);
// An event's "Function :" list, in item order; the last item is "Invalid".
const QStringList& eventActions();
// An input binding's "Function :" list: the event actions with "Alarm" before "Invalid".
const QStringList& bindingActions();
// "NC", "NO", "NC/NO": the "Control Mode :" list; the item index is the mode byte.
const QStringList& bindingModes();
// "------": the mode text of an empty ("Invalid") binding.
QString noBindingMode();
// The "Timer Mode :" list a Set writes ("Mouth(repeat)", "Invalid").
const QStringList& timerModes();
// The same modes as a read step spells them ("Month(repeat)", "invalid"), in the same order.
const QStringList& timerReadModes();
// The device types of the monitor slots.
const QStringList& deviceTypes();

// Scene and IR names: the window's name fields take 20 characters, but a record file written
// by an older build or another program may hold longer ones, and what the tool holds it must
// be able to export and import back.
inline constexpr int kNameLength = 255;
inline constexpr int kNameFieldLength = 20; // Edit10 (scene) and Edit12 (IR)
inline constexpr int kTimeLength = 40;      // a timer's Time: a date, the time and a weekday

// The length of a text in characters (code points): an emoji is one, not two.
inline int characterCount(const QString& text) {
    return int(
        std::count_if(text.begin(), text.end(), [](QChar c) { return !c.isLowSurrogate(); }));
}

struct Rule {
    enum class Kind { Number, Choice, Text };
    Kind kind = Kind::Text;
    qint64 min = 0; // Number: the range
    qint64 max = 0;
    QStringList choices;  // Choice: the texts
    bool irTexts = false; // Choice: also irChannelText(0..255)
    int maxLength = 0;    // Text: the length in characters
    QString note;         // what the documentation adds ("255: none")
};

// The rule of a column of a table (names exact); nullptr for a column no table has.
const Rule* rule(const QString& table, const QString& column);
// The rule in words: "0..255", "\"NC\", \"NO\", \"NC/NO\", \"------\"", "a text of at most
// 20 characters".
QString describe(const Rule& rule);

// Why `value` may not stand in the column, as "Output_Addr 257 does not fit (0..255)"; empty
// when it may. A null fits everywhere: the grids and the sequences append rows whose cells
// stay empty until written.
QString problem(const QString& table, const QString& column, const QVariant& value);
QString problem(const Rule& rule, const QString& column, const QVariant& value);
// The same for a value that goes into a request, where an empty number has no byte to be.
QString requestProblem(const QString& table, const QString& column, const QVariant& value);
// A bound monitor slot's Channel as its request carries it: a light or curtain slot sends
// its channel minus one (1..256), an air-conditioner slot its IR number (0..255).
QString monitorChannelProblem(int order, const QVariant& channel);
// Why a monitor slot may not hold this binding, or empty: the columns' own limits, and for a
// bound slot (Address not 0) its Channel as monitorChannelProblem() says. An unbound slot (0)
// and the unbound light slot a read records (255, 256) fit.
QString monitorBindingProblem(int order, const QVariant& address, const QVariant& channel);

// Why a whole row of `table` (values in the table's column order) may not stand, or empty:
// the first column outside its rule, then what the columns say together (a monitor slot's
// binding). The one check the import, the grids, push and audit share.
QString rowProblem(const QString& table, const QStringList& columns, const QVariantList& values);

// A value as a message shows it: 7, "Hall", (empty); long texts shortened.
QString shown(const QVariant& value);

} // namespace records_values
