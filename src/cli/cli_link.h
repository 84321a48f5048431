#pragma once

#include "cli_options/cli_options.h"
#include "jobs/bus_exchange.h"
#include "jobs/module_records.h"
#include "link/bus.h"
#include "link/link_settings.h"

#include <functional>
#include <memory>
#include <optional>

// The bus link of the command line: the same Bus as the window's, in network or serial mode,
// with no window. It waits for the reply a request asks for and says what came back.
class RecordTable;
namespace cli {
class FrameMonitor;
}

class CliLink {
public:
    explicit CliLink(const CliOptions& options);
    ~CliLink();

    // Opens the chosen link; throws CliFailure with the reason.
    void open();
    Bus& bus() { return *m_bus; }
    const CliOptions& options() const { return m_options; }

    using Answer = ExchangeAnswer;
    // Sends the request and waits up to the reply wait for the module's reply to it (same
    // address, command + 0x80, same sub-command), as the window's jobs do. Other replies
    // that come meanwhile are handled as usual and waited past. Throws CliFailure when the
    // link itself fails.
    Answer exchange(const Request& request);
    // Like exchange, and throws CliFailure naming `what` when the module does not answer or
    // answers with an error status.
    Answer require(const Request& request, const QString& what);
    // The same with the reply wait of its own (the window's for that request unless
    // --timeout is given) and, for the bus switch, its layout.
    Answer exchange(const Request& request, int waitMs,
                    RequestOptions options = {});
    Answer require(const Request& request, const QString& what, int waitMs,
                   RequestOptions options = {});
    // The same check of an answer already in (the request's reply wait was `waitMs`).
    Answer require(const Answer& answer, const Request& request, const QString& what,
                   int waitMs) const;

    // Runs `work` on the record table `tableName` of the database (with --no-store on
    // nothing); throws CliFailure when the table cannot be opened or written.
    void store(const QString& tableName, const std::function<void(RecordTable&)>& work) const;
    // A later command of a script: its own arguments and options over the same link.
    void setOptions(const CliOptions& options) { m_options = options; }
    bool isOpen() const { return m_open; }

    // Over the network, while nothing has come from the bus switch since the link was
    // opened: what to check, the module asked (none: -1) among it (empty otherwise).
    QString silenceHint(int module = -1) const;

    // Handles events until `done` holds or `ms` pass without it; true when it holds.
    bool waitUntil(const std::function<bool()>& done, int ms);

    // The status text of a reply, as the window's traffic log shows it.
    static QString statusText(quint8 status);

    // Throws CliFailure when the record database cannot be read.
    ModuleRecords records(int module, bool withTimers) const;

private:
    // An unanswered request with nothing heard yet: says what to check, once, on stderr.
    void reportSilence(int module);

    CliOptions m_options;
    PlainLinkSettings m_settings;
    std::unique_ptr<Bus> m_bus;
    std::unique_ptr<BusExchange> m_exchange;
    bool m_open = false;
    bool m_silenceReported = false;
    std::unique_ptr<cli::FrameMonitor> m_monitor; // --trace, --pcap
};
