#pragma once

struct CliOptions;

// The commands of velm-cli that work on the record database alone (no link): export, import
// backup and convert. Each prints its result and throws UsageError or CliFailure.
namespace cli {
void exportRecords(const CliOptions& options);
void importRecords(const CliOptions& options);
void backupRecords(const CliOptions& options);
void convertRecords(const CliOptions& options);
} // namespace cli
