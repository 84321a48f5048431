#pragma once

#include "cli_options/cli_options.h"

class CliLink;
class Words;

// Guided replacement of a failed module by a spare from the command line:
// `replace FAILED [--from ADDR] [--type TYPE] [--timers] [--yes]`.
namespace cli {

CommandArgs replaceArgs(const Words& words, const CliOptions& options);
void replace(CliLink& link);

} // namespace cli
