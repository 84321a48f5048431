#pragma once

// The help of the commands whose text is longer than a few lines (`velm-cli COMMAND --help`).
namespace cli {
extern const char* const kSiteHelp;
extern const char* const kHistoryHelp;
extern const char* const kWalkHelp;
extern const char* const kReplaceHelp;
extern const char* const kExpectHelp;
} // namespace cli
