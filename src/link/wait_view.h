#pragma once

// What the window does while the send path waits on the network for a reply: show that it
// waits and keep its picture current, and nothing else (no timer, no serial block, no
// datagram, no click or key is handled during the wait).
class WaitView {
public:
    virtual ~WaitView() = default;
    virtual void waitBegins() = 0;
    // Called every few tens of milliseconds while the wait goes on.
    virtual void waitGoesOn() = 0;
    virtual void waitEnds() = 0;
};
