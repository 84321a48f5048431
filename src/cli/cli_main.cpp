// velm-cli: the tool's link, requests, reply decoders and record tables from the command line.
#include "cli/cli_commands.h"
#include "cli/cli_expect.h"
#include "cli/cli_link.h"
#include "cli/cli_monitor.h"
#include "cli/cli_output.h"
#include "cli/cli_records.h"
#include "cli/cli_replace.h"
#include "cli/cli_report.h"
#include "cli/cli_site.h"
#include "cli/cli_walk.h"
#include "platform/terminal.h"
#include "records/leftover_parts.h"
#include "records/site_history.h"
#include "records/visible_text.h"

#include <QCoreApplication>
#include <QFileInfo>

#include <cstdio>
#include <map>

namespace cli {
namespace {
// The commands that change (or test) a module and print nothing of their own: each says in
// one line that it was done, so that a terminal shows more than silence (--quiet drops the
// line).
bool changesModuleSilently(const CliOptions& options) {
    static const std::map<QString, QStringList> changing = {
        {QStringLiteral("light"), {"on", "off", "toggle", "all-on", "all-off", "duration"}},
        {QStringLiteral("curtain"), {"open", "close", "stop"}},
        {QStringLiteral("clock"), {"set"}}, // with a time; without, it says what it sent
        {QStringLiteral("timers"), {"set"}},
        {QStringLiteral("events"), {"set"}},
        {QStringLiteral("bindings"), {"set"}},
        {QStringLiteral("module"), {"address", "test", "restore"}},
        {QStringLiteral("bus-switch"), {"set", "password", "restore", "transparent"}},
        {QStringLiteral("scene"), {"test", "clear"}},
        {QStringLiteral("ir"), {"send", "delete", "delete-all"}},
        {QStringLiteral("monitor-bindings"), {"set", "test"}},
    };
    const CommandArgs& a = options.given;
    const auto it = changing.find(options.command());
    if (it == changing.end() || !it->second.contains(a.verb))
        return false;
    if (options.command() == QLatin1String("clock") && !a.when)
        return false;
    // A monitor test's status move only reads, and prints what it read.
    return !(options.command() == QLatin1String("monitor-bindings") &&
             a.text == QLatin1String("status"));
}

void confirmDone(const CliOptions& options) {
    if (options.quiet || !changesModuleSilently(options))
        return;
    // The bus-switch password is not repeated on the screen.
    QStringList words = options.args;
    if (options.command() == QLatin1String("bus-switch") &&
        options.given.verb == QLatin1String("password"))
        words = words.mid(0, 2);
    // The options that change what was sent go with it, as given.
    for (qsizetype i = 0; i < options.optionArgs.size(); ++i) {
        const QString& arg = options.optionArgs.at(i);
        for (const char* own : {"--mode", "--delay", "--name"}) {
            const QLatin1StringView name(own);
            if (arg == name && i + 1 < options.optionArgs.size())
                words << arg << options.optionArgs.at(++i);
            else if (arg.startsWith(name + QLatin1Char('=')))
                words << arg;
        }
    }
    QString done = visible_text::escaped(words.join(QLatin1Char(' ')));
    if (options.command() == QLatin1String("light") && options.given.verb.startsWith(u"all-"))
        done += QStringLiteral(" (every light module of the subnet)");
    CliOutput::printObject(options.json, {QStringLiteral("done")}, {done});
}

void runCommandLine(const CliOptions& options, std::unique_ptr<CliLink>& link) {
    // What a killed write left beside the record file goes before the command touches it.
    if (QFileInfo::exists(options.db))
        for (const QString& line : leftover_parts::sweep(options.db))
            CliOutput::error(line);
    // The record database alone: no link is opened.
    using RecordCommand = void (*)(const CliOptions&);
    static const std::map<QString, RecordCommand> recordCommands = {
        {QStringLiteral("export"), &cli::exportRecords},
        {QStringLiteral("import"), &cli::importRecords},
        {QStringLiteral("backup"), &cli::backupRecords},
        {QStringLiteral("convert"), &cli::convertRecords},
        {QStringLiteral("decode"), &cli::decode},
        {QStringLiteral("report"), &cli::report},
        {QStringLiteral("site"), &cli::site},
        {QStringLiteral("history"), &cli::history},
    };
    if (const auto it = recordCommands.find(options.command()); it != recordCommands.end()) {
        it->second(options);
        return;
    }
    using Command = void (*)(CliLink&);
    static const std::map<QString, Command> commands = {
        {QStringLiteral("scan"), &cli::scan},
        {QStringLiteral("light"), &cli::light},
        {QStringLiteral("curtain"), &cli::curtain},
        {QStringLiteral("clock"), &cli::clock},
        {QStringLiteral("timers"), &cli::timers},
        {QStringLiteral("events"), &cli::events},
        {QStringLiteral("bindings"), &cli::bindings},
        {QStringLiteral("audit"), &cli::audit},
        {QStringLiteral("push"), &cli::push},
        {QStringLiteral("module"), &cli::module},
        {QStringLiteral("bus-switch"), &cli::busSwitch},
        {QStringLiteral("scene"), &cli::scene},
        {QStringLiteral("ir"), &cli::irCodes},
        {QStringLiteral("monitor-bindings"), &cli::monitorBindings},
        {QStringLiteral("watch"), &cli::watch},
        {QStringLiteral("walk"), &cli::walk},
        {QStringLiteral("replace"), &cli::replace},
        {QStringLiteral("expect"), &cli::expect},
    };
    if (!link) {
        link = std::make_unique<CliLink>(options);
        link->open();
    }
    link->setOptions(options);
    commands.at(options.command())(*link);
    confirmDone(options);
}
} // namespace

void runLine(const CliOptions& options, std::unique_ptr<CliLink>& link) {
    try {
        runCommandLine(options, link);
        CliOutput::checkStandardOutput();
    } catch (const UsageError&) {
        throw; // nothing was done
    } catch (const std::exception& e) {
        recordHistory(options, HistoryEntry::error(QString::fromStdString(e.what())));
        throw;
    }
    recordHistory(options, HistoryEntry::ok());
}
} // namespace cli

namespace {
int runCommand(const CliOptions& options) {
    if (options.command() == QLatin1String("run"))
        return cli::runScript(options);
    std::unique_ptr<CliLink> link;
    cli::runLine(options, link);
    return 0;
}
} // namespace

int main(int argc, char* argv[]) {
    // Qt Core only: `report --pdf` runs velm-report-pdf, the one program that loads Qt Gui.
    const QCoreApplication app(argc, argv);
    terminal::reportClosedPipes();
    const QStringList arguments = commandLine(app, argc, argv);
    try {
        const CliOptions options = parseOptions(arguments);
        if (options.help) {
            const QString text = commandHelp(options);
            std::fputs(text.toUtf8().constData(), stdout);
            CliOutput::checkStandardOutput();
            return 0;
        }
        return runCommand(options);
    } catch (const UsageError& e) {
        // One line, which also says where the help is.
        CliOutput::error(QString::fromStdString(e.what()));
        return 2;
    } catch (const CliFailure& e) {
        CliOutput::error(QString::fromStdString(e.what()));
        return 1;
    } catch (const CliPartial& e) {
        CliOutput::error(QString::fromStdString(e.what()));
        return 3;
    } catch (const std::exception& e) {
        CliOutput::error(QString::fromStdString(e.what()));
        return 1;
    }
}
