#pragma once

#include "cli_options/cli_options.h"

class CliLink;
class Words;

// The walk test from the command line: `walk [MODULE...] [--auto] [--continue]`.
namespace cli {

// Checked before the link opens: without a terminal only --auto can run.
CommandArgs walkArgs(const Words& words, const CliOptions& options);
void walk(CliLink& link);

} // namespace cli
