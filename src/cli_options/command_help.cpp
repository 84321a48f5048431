#include "cli_options/command_help.h"

// The longer help texts, kept apart from the table of commands.
namespace cli {

const char* const kSiteHelp =
    "A site is a folder: its record file VELM.mdb, site.json (the installation, its link, the\n"
    "modules it expects) and history.jsonl (what was done to it).\n"
    "new DIR: makes DIR a new site with a new record file (as velm-initdb makes it).\n"
    "show: prints the site of --site-dir (never the password: only whether it is kept).\n"
    "set: writes the link options given (--udp HOST[:PORT] or --serial DEVICE, --baud,\n"
    "--local-port, --subnet), --name and --technician into the site of --site-dir. The\n"
    "password is kept only with --remember-password (site.json is then readable by its\n"
    "owner alone); --forget-password removes it.";

const char* const kHistoryHelp =
    "Lists the history of the site of --site-dir: one line per action that changed a module\n"
    "or the records, by the window or velm-cli, with its time, technician, module, action,\n"
    "what was done and its outcome. --since YYYY-MM-DD: from that day on.";

const char* const kWalkHelp =
    "Switches every output of the modules in turn while someone watches the load, and keeps\n"
    "what they saw: each channel of a light module (on, the answer, off), each curtain\n"
    "channel (open, the answer, stop and close), each IR code the records hold for the\n"
    "module (sent), then each scene the records hold, called on the whole bus (every module\n"
    "holding it acts). MODULE is 1..32; without any, the modules the site of --site-dir\n"
    "expects. An output whose module does not acknowledge is \"no answer\" without asking.\n"
    "Keys: Return works, d does not work, s skip, n a note, Esc stop (what is on is switched\n"
    "off again, a curtain stopped). Without a terminal it needs --auto, which asks nothing\n"
    "and records only what answered. The results go into DIR/walk/YYYYMMDD-HHMMSS.json of\n"
    "the site (else VELM.mdb.walk-YYYYMMDD-HHMMSS.json beside the record database), each\n"
    "answer also into the site's history; --continue goes on with the latest run at its\n"
    "first untested output. Exit status 0 when every output was tested and none failed.";

const char* const kReplaceHelp =
    "Puts a spare in the place of the failed module FAILED (1..32). Connect the spare alone\n"
    "(or on the bench) first: the address Read goes to every module, and when more than one\n"
    "answers nothing is written. Then its type and version are read at the address it\n"
    "answers with (--from ADDR: where it must answer); a type other than the failed module's\n"
    "(the site's expected modules of --site-dir, else --type light|curtain|ir|input|timer or a\n"
    "type code; without either it is not checked) stops before anything is written unless\n"
    "--yes answers \"Are you sure?\". The spare gets address FAILED and is read back, a timer\n"
    "module's clock is set from this computer and read back, the records of FAILED are pushed\n"
    "(--timers: the timer and event records too) and audited. It ends with what must be done\n"
    "by hand (each IR code to learn again) and what the audit found different. Each step is a\n"
    "line of the site's history. Exit status 0 when it was replaced and every record read back\n"
    "agrees (a module without records: nothing to push or check, and it says so).";

const char* const kExpectHelp =
    "type: reads the type code of MODULE (1..32) and fails when it is not TYPE: a type code\n"
    "of four hexadecimal digits (0108) or a family, light, curtain, ir, input or timer. In a\n"
    "script it stops the run before a line meant for another kind of module goes out.";

} // namespace cli
