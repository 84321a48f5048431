#pragma once

#include "cli_options/cli_options.h"

class CliLink;
class Words;

// `expect type MODULE TYPE`: a check for scripts that fails (and so stops the script) when
// the module answering at MODULE is not of TYPE (a family or a type code).
namespace cli {

CommandArgs expectArgs(const Words& words);
void expect(CliLink& link);

} // namespace cli
