#pragma once

#include "cli_options/cli_options.h"
#include "jobs/site_scan.h"

class Words;

// Sites from the command line: `site new|show|set`, `history`, the link of --site-dir, and
// the history line of each command that changed a module or the records.
namespace cli {

// --site-dir: the site's link and line settings for every link option not given, and its
// link when neither --udp nor --serial is. Throws UsageError when the folder is no site,
// CliFailure when its site.json cannot be read.
void takeSiteLink(CliOptions& options, bool& udp, bool& serial);
// The arguments of `site` and `history`.
CommandArgs siteArgs(const Words& words, const CliOptions& options);

void site(const CliOptions& options);
void history(const CliOptions& options);

// A scan's modules held against the site's: expected (type as expected or not), expected but
// silent, answered but not expected, with the site's names and rooms.
void printSiteScan(const CliOptions& options, const QList<ScanHit>& hits, const QList<int>& asked);

// With --site-dir: one line in the site's history when the command changed a module or the
// records (`outcome`: "ok" or "error: ..."). A line that cannot be written is said on
// standard error; the command's own result stands.
void recordHistory(const CliOptions& options, const QString& outcome);
// With --site-dir: one line of the command's own making (each step of a walk test or a
// replacement). The same when it cannot be written.
void appendHistory(const CliOptions& options, int module, const QString& action,
                   const QString& detail, const QString& outcome);
// The site's technician; empty without a site.
QString siteTechnician(const CliOptions& options);
// The site's expected modules; empty without a site.
QList<ExpectedModule> siteModules(const CliOptions& options);

} // namespace cli
