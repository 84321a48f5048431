#pragma once

#include <QString>
#include <QStringList>

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
    QString db = QStringLiteral("VELM.mdb");
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
    QStringList args; // the command and its arguments

    QString command() const { return args.value(0); }
};

// Throws UsageError with a one-line message.
CliOptions parseOptions(const QStringList& arguments);

// The whole tool's help, and one command's.
QString usageText();
QString commandHelp(const QString& command);
bool isCommand(const QString& command);
// The commands that work on the record database alone and need no link.
bool isRecordCommand(const QString& command);

// Argument helpers for the commands: a whole number in a range, named in the message.
int numberArg(const QStringList& args, int index, const QString& what, int min, int max);
