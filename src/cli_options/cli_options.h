#pragma once

#include "protocol/binding_requests.h"
#include "protocol/timer_requests.h"

#include <QByteArray>
#include <QDateTime>
#include <QList>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>

class QCoreApplication;
#include <stdexcept>

// A command line that cannot be run as written (exit status 2).
class UsageError : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command that ran and failed: a module answered with an error status, did not answer, or
// the link or the record file could not be used (exit status 1).
class CliFailure : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command that did its work but left some of it undone on purpose: an import that set
// rows aside (exit status 3). Its result is printed already; the message says where they are.
class CliPartial : public std::runtime_error {
public:
    using std::runtime_error::runtime_error;
};

// A command's arguments, checked against the ranges of the window's controls for the same
// operation before anything is sent.
struct CommandArgs {
    QString verb;    // light on, clock set, timers read ...
    int module = 0;  // MODULE
    int channel = 0; // CHANNEL of light and curtain
    int timer = 0;   // TIMER of events read
    int first = 1;   // scan FIRST..LAST
    int last = 32;
    bool busSwitch = true;         // scan: the whole subnet takes the bus switch too
    std::optional<QDateTime> when; // clock set; none: the computer's time at the moment
    QString file;                  // export, import

    // The commands of the window's other tab sheets.
    int scene = 0; // scene set / test / clear: SCENE
    int irNo = 0;  // ir: IRNO
    int slot = 0;  // monitor-bindings set: SLOT
    int room = 0;  // monitor-bindings test: ROOM, DEVICE
    int device = 0;
    QList<int> values;             // scene set: CH item indices; scene set-ir: IR numbers
    int value = 0;                 // module address: NEW; monitor-bindings set: CHANNEL or IRNO
    int modeIndex = 0;             // timers set: the mode list's item
    QString kind;                  // monitor-bindings: light, curtain, ac, scene; the test's move
    QString text;                  // bus-switch password
    QByteArray block;              // bus-switch set: the 28-byte settings block
    QByteArray frame;              // decode: the frame's bytes
    binding::Settings binding;     // bindings set
    timing::event::Settings event; // events set
    // What a command that the window confirms ("Are you sure?") would do; empty for the
    // others. Without --yes it is only said.
    QString confirm;
};

// What `velm-cli [OPTIONS] COMMAND [ARGS]` asks for. Options may stand anywhere.
struct CliOptions {
    enum class Link { None, Udp, Serial };
    Link link = Link::None;
    QString host; // --udp HOST[:PORT]
    quint16 port = 2001;
    QString device; // --serial DEVICE ("COM1" names map as in the window)
    int baud = 9600;
    quint16 localPort = 0; // 0: any free port
    quint16 subnet = 1;
    QString password = QStringLiteral("418273");
    QString siteDir;  // --site-dir DIR: the site's record file and link (options win)
    QString db;       // the record database, an absolute path (see chooseDatabase)
    QString dbOrigin; // why that file: "--db", "$VELM_DB", ...
    bool json = false;
    bool quiet = false; // --quiet: no "done" line after a command that changes a module
    int timeoutMs = 1000;
    bool timeoutGiven = false;
    int scanWaitMs = 0;    // --wait; 0: --timeout when given, else the scan's 200 ms
    bool timers = false;   // --timers: audit and push take the timer and event records
    int sceneChannels = 8; // --channels: channel bytes a pushed scene carries
    bool noStore = false;
    QString csvDir;          // export --csv DIR
    QStringList tables;      // import --tables NAME,...
    bool add = false;        // import --add
    bool yes = false;        // --yes: the window's "Are you sure?" answered Yes
    QString name;            // --name: scene set, ir learn
    int learnWaitMs = 30000; // --learn-wait: ir learn
    QString mode;            // --mode: bindings set ("NC" by default)
    int delay = 0;           // --delay: bindings set, seconds
    bool trace = false;      // --trace: every frame decoded on standard error
    QString pcap;            // --pcap FILE: every frame into a capture file
    QString frameLink;       // decode: "serial" (--serial without a device), "network"
    QString layout;          // decode: --layout short|long
    QString reportHtml;      // report --html FILE
    QString reportPdf;       // report --pdf FILE
    QString site;            // report --site TEXT
    QString technician;      // report --technician TEXT
    QList<int> modules;      // report --modules LIST; empty: every module
    bool live = false;       // report --live: read the modules now
    int timerModule = 0;     // report --timer-module N
    int byteSize = 8;        // serial line settings: the site's, else the band's
    QString parity = QStringLiteral("None"); // defaults
    QString stopBits = QStringLiteral("1");
    bool rememberPassword = false; // site set --remember-password
    bool forgetPassword = false;   // site set --forget-password
    QDate since;                   // history --since YYYY-MM-DD
    bool automatic = false;        // walk --auto: ask nothing, record what answered
    bool continueRun = false;      // walk --continue: the latest run, where it stopped
    int from = -1;                 // replace --from ADDR: where the spare answers
    QString type;                  // replace --type: a family or a type code
    bool help = false;
    QStringList args;       // the command and its arguments
    QStringList optionArgs; // the options as given, with their values
    CommandArgs given;      // the arguments, checked

    QString command() const { return args.value(0); }
    // The reply wait of a request: --timeout when given, else the window's wait for it.
    int waitFor(int windowsWaitMs) const { return timeoutGiven ? timeoutMs : windowsWaitMs; }
};

// What reading a command line needs from the rest of velm-cli. The program that answers
// --help (velm-cli itself, with Qt Core alone) has less than velm-cli-run, which runs the
// commands: where it lacks a part, its reader throws and the run goes on there.
struct OptionReaders {
    // --site-dir's link and line settings, into the options (called only with --site-dir).
    std::function<void(CliOptions&, bool& udp, bool& serial)> siteLink;
    // The command's arguments, checked (never called for --help).
    std::function<CommandArgs(const QStringList& args, const CliOptions&)> commandArgs;
    // The per-user data folder, where VELM from the menu keeps its record file.
    std::function<QString()> userDataFolder;
};

// The command line's words after the program's name, as given.
QStringList commandLine(const QCoreApplication& app, int argc, char* argv[]);

// Throws UsageError with a one-line message that says where help is.
CliOptions parseOptions(const QStringList& arguments, const OptionReaders& readers);
// The same with every reader of velm-cli-run (defined there).
CliOptions parseOptions(const QStringList& arguments);

// The record database the window started from the menu would use, so that both work on the
// same records: --db (or the site's of --site-dir), else $VELM_DB, else ./VELM.mdb when it
// exists, else VELM.mdb in the per-user data folder ($XDG_DATA_HOME/velm, ~/.local/share/velm;
// %LOCALAPPDATA%\VELM on Windows) where the menu entry's launcher starts the window. Sets db and
// dbOrigin.
void chooseDatabase(CliOptions& options, const QString& dbOption,
                    const std::function<QString()>& userDataFolder);

// The whole tool's help, and one command's; both name the record database chosen.
QString usageText(const CliOptions& options);
QString commandHelp(const CliOptions& options);
bool isCommand(const QString& command);
// The commands that need no link: those that work on the record database alone, and decode.
bool isRecordCommand(const QString& command);

// The command's arguments (args[0] is its name), checked; throws UsageError. The options
// that some commands take (--name, --mode, --delay) come in `options`.
CommandArgs parseCommandArgs(const QStringList& args, const CliOptions& options);
// The commands of the window's other tab sheets (module, bus-switch, scene, ir,
// monitor-bindings; set and delete-all of bindings, timers and events).
CommandArgs parseSettingArgs(const QStringList& args, const CliOptions& options);

// A script's lines (`run FILE`): each one parsed as a command line of its own on top of the
// script's options. Throws UsageError naming every line that cannot run (one a line), and
// every line that the window would confirm and that has no --yes.
struct ScriptLine {
    int number = 0;
    QString text;
    CliOptions options;
};
QList<ScriptLine> parseScript(const QString& text, const CliOptions& scriptOptions);
// The words of one line: blanks separate them, "double" or 'single' quotes keep blanks inside.
QStringList splitWords(const QString& line, bool* ok);
// A whole number in a range, named in the message; throws UsageError.
int numberValue(const QString& text, const QString& what, int min, int max);

// A program of velm-cli's: beside velm-cli in the build and in the Windows folder, in the
// program folder (libexec/velm) of an installation; empty when it is in neither.
QString helperProgram(const QString& name);
