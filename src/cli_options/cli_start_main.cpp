// velm-cli as people start it, with Qt Core alone: it answers --help itself and hands every
// other command line to velm-cli-run, which runs the commands and loads the link, the records
// and the rest. A help it cannot give alone (a usage error, the site of --site-dir, a standard
// output that could not be written) goes there too, which says what is wrong.
#include "cli_options/cli_options.h"
#include "platform/user_folders.h"

#include <QCoreApplication>
#include <QFile>

#include <cerrno>
#include <csignal>
#include <cstdio>
#include <cstring>
#include <unistd.h>
#include <vector>

namespace {

// A part of the command line that only velm-cli-run reads.
struct LeftToCommands {};

// True when the help was written whole.
bool answerHelp(const QStringList& arguments) {
    if (!arguments.contains(QStringLiteral("--help")) && !arguments.contains(QStringLiteral("-h")))
        return false;
    const auto leftToCommands = [](auto&&...) -> CommandArgs { throw LeftToCommands(); };
    try {
        const CliOptions options =
            parseOptions(arguments, {[](CliOptions&, bool&, bool&) { throw LeftToCommands(); },
                                     leftToCommands, &user_folders::data});
        if (!options.help)
            return false;
        // A closed pipe fails the write instead of ending the program, as in velm-cli-run.
        std::signal(SIGPIPE, SIG_IGN);
        const QByteArray text = commandHelp(options).toUtf8();
        return std::fwrite(text.constData(), 1, size_t(text.size()), stdout) ==
                   size_t(text.size()) &&
               std::fflush(stdout) == 0;
    } catch (const UsageError&) {
        return false;
    } catch (const LeftToCommands&) {
        return false;
    }
}

} // namespace

int main(int argc, char* argv[]) {
    std::vector<char*> given(argv, argv + argc);
    given.push_back(nullptr);
    const QCoreApplication app(argc, argv);
    if (answerHelp(commandLine(app, argc, argv)))
        return 0;
    const QString program = helperProgram(QStringLiteral("velm-cli-run"));
    if (program.isEmpty()) {
        std::fputs("velm-cli: velm-cli-run, which runs the commands, is not installed beside "
                   "velm-cli\n",
                   stderr);
        return 1;
    }
    const QByteArray path = QFile::encodeName(program);
    ::execv(path.constData(), given.data());
    std::fprintf(stderr, "velm-cli: can not start %s: %s\n", path.constData(),
                 std::strerror(errno));
    return 1;
}
