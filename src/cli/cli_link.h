#pragma once

#include "cli/cli_options.h"
#include "link/bus.h"
#include "link/link_settings.h"

#include <functional>
#include <memory>

// The bus link of the command line: the same Bus as the window's, in network or serial mode,
// with no window. It waits for the reply a request asks for and says what came back.
class CliLink {
public:
    explicit CliLink(const CliOptions& options);
    ~CliLink();

    // Opens the chosen link; throws CliFailure with the reason.
    void open();
    Bus& bus() { return *m_bus; }
    const CliOptions& options() const { return m_options; }

    struct Answer {
        bool answered = false;
        quint8 status = 0;  // 1 is success
        FrameBuffer buffer; // its reply area as it was when the reply came
        quint8 operator[](int n) const { return buffer.reply(n); }
        Reply reply() const { return Reply{buffer, false}; }
    };
    // Sends the request and waits up to the reply wait for the module's reply to it (same
    // address, command + 0x80, same sub-command). Other replies that come meanwhile are
    // handled as usual and waited past.
    Answer exchange(const Request& request);
    // Like exchange, and throws CliFailure naming `what` when the module does not answer or
    // answers with an error status.
    Answer require(const Request& request, const QString& what);

    // Handles events until `done` holds or `ms` pass without it; true when it holds.
    bool waitUntil(const std::function<bool()>& done, int ms);

    // The status text of a reply, as the window's traffic log shows it.
    static QString statusText(quint8 status);

private:
    void matchReply(const Reply& reply);

    CliOptions m_options;
    PlainLinkSettings m_settings;
    std::unique_ptr<Bus> m_bus;
    QString m_busMessage;
    // The reply being waited for.
    bool m_waiting = false;
    quint8 m_address = 0;
    quint8 m_command = 0;
    quint8 m_sub = 0;
    Answer m_answer;
};
