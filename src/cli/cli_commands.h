#pragma once

class CliLink;

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
} // namespace cli
