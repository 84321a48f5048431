#pragma once

#include <memory>

class CliLink;
struct CliOptions;

// The commands of velm-cli. Each takes its arguments from the link's options (args[0] is the
// command's name), prints its result, and throws UsageError or CliFailure.
namespace cli {
void scan(CliLink& link);
// The jobs of the window's Tools menu, over the same code.
void audit(CliLink& link);
void push(CliLink& link);
void light(CliLink& link);
void curtain(CliLink& link);
void clock(CliLink& link);
// The read-all sequences, written into the record database as the window writes them.
void timers(CliLink& link);
void events(CliLink& link);
void bindings(CliLink& link);
// The Set buttons, with the row a confirmed Set writes.
void bindingSet(CliLink& link);
void timerSet(CliLink& link);
void eventSet(CliLink& link);
// The other tab sheets.
void module(CliLink& link);
void busSwitch(CliLink& link);
void scene(CliLink& link);
void irCodes(CliLink& link);
void monitorBindings(CliLink& link);
void monitorRead(CliLink& link);

// One command line (of a script, too): opens `link` first when the command needs the link and
// it is not open yet, and keeps it open for the next line.
void runLine(const CliOptions& options, std::unique_ptr<CliLink>& link);
// `run FILE`: returns the exit status.
int runScript(const CliOptions& options);
} // namespace cli
