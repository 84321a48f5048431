#pragma once

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

struct Reply;

// Every operation the tool puts on the bus, named once: its command and sub-command, its
// family, its name in the bus monitor, how many parameter bytes its request carries, and
// how the parameters and a success reply's data read in words. The families' request
// builders send exactly these (the decoder tests build each request with its builder and
// read its name back), and the words come from the families' own reply decoders.
namespace operations {

// Who a request goes to, or a reply comes from, where one command serves both.
enum class Target : quint8 { Any, BusSwitch, Module };

struct Operation {
    quint8 command;
    quint8 subCommand;
    Target target;
    int minParams; // parameter bytes after the sub-command, short layout numbering
    int maxParams;
    const char* family;
    const char* name;
    // The request's parameters in words ("channel 3"); nullptr: nothing to name.
    QString (*request)(const quint8* params, int count) = nullptr;
    // A success reply's data in words, given at least replyData data bytes; nullptr: the
    // reply carries no data of its own.
    QString (*reply)(const Reply& reply) = nullptr;
    int replyData = 0;
    // The parameter bytes the builders always send the same, one character a byte from the
    // first: '.' any, 'F' 0xFF, '0' 0x00; nullptr: none. Where both layouts read as an
    // operation, the one whose fixed bytes hold wins.
    const char* shape = nullptr;

    bool fits(const quint8* params, int count) const;
};

const QList<Operation>& all();

// A binding test frame: its name and how its payload is built from room and device (1-based),
// or from the scene number. A status frame's answer adds the state.
struct BindTest {
    const char* name;
    QByteArray (*payload)(int room, int device);
    const char* extra = nullptr; // a word after room and device (the air conditioner's mode)
    bool status = false;         // answered with the state: the box the window ticks
    const char* stateOn = nullptr;
    const char* stateOff = nullptr;
    bool scene = false; // payload(scene, 0)
};
const QList<BindTest>& bindTests();

// The families in table order, then the binding test: the monitor's family filter.
QStringList families();
inline const char* bindTestFamily() {
    return "Binding Test";
}

// Whether a command 0 frame addresses the bus switch itself: its settings (Set, Read) and the
// answers to them carry subnet FF FF and address FF, its other requests address FF.
bool busSwitchAddressed(quint8 command, quint8 subCommand, bool longLayout, quint16 subnet,
                        quint8 module);
// The first operation with this pair whose target and parameters fit (count and fixed
// bytes); nullptr when none. `anyTarget` and `anyParams` relax the two tests.
const Operation* findRequest(quint8 command, quint8 subCommand, bool busSwitch,
                             const quint8* params, int paramCount, bool anyTarget = false,
                             bool anyParams = false);
// The operation a reply answers (command without its 0x80 bit); nullptr when none.
const Operation* findReply(quint8 command, quint8 subCommand, bool busSwitch);

// "01 FF 00": two upper-case hexadecimal digits a byte, one space between.
QString bytesText(const quint8* data, int count);

} // namespace operations
