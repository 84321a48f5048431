#pragma once

#include "link/frame_tap.h"
#include "link/link_settings.h"
#include "link/reply_intake.h"
#include "link/tcomm.h"
#include "link/udp_transport.h"
#include "link/wait_view.h"

#include <QObject>

#include <functional>

// The exchange: a framed request goes out over the link of the mode, queued on the serial
// driver or sent as one datagram followed by a bounded wait on the socket for its answer.
// Whatever arrives during the wait (and what arrives outside any wait, as it comes) is handed
// on for intake when it came from the address requests go to (from any of its ports: a
// gateway behind a NAT answers from another one), or from anywhere after a request to the
// bus switch itself or a broadcast.
class PendingRequest;

class FrameExchange : public QObject {
    Q_OBJECT
public:
    using Peer = ReplyIntake::Peer;
    FrameExchange(const LinkSettings& settings, UdpTransport& udp, TComm& comm, FrameTap& tap,
                  QObject* parent = nullptr);

    // A datagram from the address requests go to, and one from anywhere else.
    std::function<void(const QByteArray&, const Peer&)> onDatagram;
    std::function<void(const QByteArray&, const Peer&)> onForeignDatagram;

    void setWaitView(WaitView* view) { m_waitView = view; }
    // Whether the frame about to go out carries the password block (for the tap).
    void setSendingPassword(bool withPassword) { m_sendingPassword = withPassword; }

    // Sends the request's frame, then waits until the request is settled (the intake hands
    // its answer to it) or its wait is over. `anySender`: its answers may come from anywhere.
    void transmit(const QByteArray& frame, PendingRequest& request, bool anySender);
    // Queues the request's frame on the serial driver; a refusal settles the request.
    void queueSerial(const QByteArray& frame, PendingRequest& request);
    // Takes in what waits on the socket outside any exchange's wait.
    void takeLateDatagrams();
    // Takes in, before a request goes out, what already waits on the socket.
    void takeEarlierDatagrams();

signals:
    void requestNotice(const QString& text);
    // The request could not go out (no open link for the mode): why, as the notice says it.
    void notSent(const QString& why);
    // The link or the handling of a reply failed: "Communication Error！" and its detail.
    void message(const QString& text, const QString& detail = QString());

private:
    bool senderAccepted(const QHostAddress& sender) const;
    void refuse(PendingRequest& request, const QString& why);
    void receiveDatagram(const QByteArray& datagram, const Peer& from);
    void tapSent(const QByteArray& frame, bool network, bool sent, quint16 broadcastPort);

    const LinkSettings& m_settings;
    UdpTransport& m_udp;
    TComm& m_comm;
    FrameTap& m_tap;
    WaitView* m_waitView = nullptr;
    bool m_sendingPassword = false;
    // Until the next request: late answers to a bus switch request come from any address.
    bool m_anySender = false;
};
