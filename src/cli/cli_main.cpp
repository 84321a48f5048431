// velm-cli: the tool's link, requests, reply decoders and record tables from the command line.
#include "cli/cli_commands.h"
#include "cli/cli_link.h"
#include "cli/cli_monitor.h"
#include "cli/cli_output.h"
#include "cli/cli_records.h"
#include "cli/cli_report.h"

#include <QCoreApplication>

#include <cstdio>
#include <map>

namespace cli {
void runLine(const CliOptions& options, std::unique_ptr<CliLink>& link) {
    // The record database alone: no link is opened.
    using RecordCommand = void (*)(const CliOptions&);
    static const std::map<QString, RecordCommand> recordCommands = {
        {QStringLiteral("export"), &cli::exportRecords},
        {QStringLiteral("import"), &cli::importRecords},
        {QStringLiteral("backup"), &cli::backupRecords},
        {QStringLiteral("decode"), &cli::decode},
        {QStringLiteral("report"), &cli::report},
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
    };
    if (!link) {
        link = std::make_unique<CliLink>(options);
        link->open();
    }
    link->setOptions(options);
    commands.at(options.command())(*link);
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
    const std::unique_ptr<QCoreApplication> app = cli::makeApplication(argc, argv);
    QStringList arguments = app->arguments();
    arguments.removeFirst();
    try {
        const CliOptions options = parseOptions(arguments);
        if (options.help) {
            const QString text = commandHelp(options);
            std::fputs(text.toUtf8().constData(), stdout);
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
    } catch (const std::exception& e) {
        CliOutput::error(QString::fromStdString(e.what()));
        return 1;
    }
}
