#pragma once

struct CliOptions;

namespace cli {
// `report`: the installation report from the records, and with --live from the modules.
void report(const CliOptions& options);
} // namespace cli
