#pragma once

#include <QDateTime>
#include <QString>
#include <QStringList>

#include <optional>
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
    QString db;       // the record database, an absolute path (see chooseDatabase)
    QString dbOrigin; // why that file: "--db", "$VELM_DB", ...
    bool json = false;
    int timeoutMs = 1000;
    bool timeoutGiven = false;
    int scanWaitMs = 0;    // --wait; 0: --timeout when given, else the scan's 200 ms
    bool timers = false;   // --timers: audit and push take the timer and event records
    int sceneChannels = 8; // --channels: channel bytes a pushed scene carries
    bool noStore = false;
    QString csvDir;     // export --csv DIR
    QStringList tables; // import --tables NAME,...
    bool add = false;   // import --add
    bool help = false;
    QStringList args;  // the command and its arguments
    CommandArgs given; // the arguments, checked

    QString command() const { return args.value(0); }
};

// Throws UsageError with a one-line message that says where help is.
CliOptions parseOptions(const QStringList& arguments);

// The record database the window started from the menu would use, so that both work on the
// same records: --db, else $VELM_DB, else ./VELM.mdb when it exists, else VELM.mdb in the
// per-user data folder ($XDG_DATA_HOME/velm, ~/.local/share/velm) where the menu entry's
// launcher starts the window. Sets db and dbOrigin.
void chooseDatabase(CliOptions& options, const QString& dbOption);

// The whole tool's help, and one command's; both name the record database chosen.
QString usageText(const CliOptions& options);
QString commandHelp(const CliOptions& options);
bool isCommand(const QString& command);
// The commands that work on the record database alone and need no link.
bool isRecordCommand(const QString& command);

// The command's arguments (args[0] is its name), checked; throws UsageError.
CommandArgs parseCommandArgs(const QStringList& args);
// A whole number in a range, named in the message; throws UsageError.
int numberValue(const QString& text, const QString& what, int min, int max);
