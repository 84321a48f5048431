#pragma once

#include <QtGlobal>

struct Reply;

// Why the link ended a running sequence before its last step.
enum class SequenceStop : quint8 {
    Cancelled, // the processing dialog's Cancel, or the caller gave up on it
    TimedOut,  // the watchdog: no step answered for 5000 ms
    Refused,   // the module asked answered the outstanding step with an error status
};

// What runs a read-all or delete-all sequence, as the link sees it: the replies that answer
// its outstanding step, and the ends the link puts to it.
class StepListener {
public:
    virtual ~StepListener() = default;
    // A success reply that answers the outstanding step.
    virtual void stepAnswered(const Reply& reply) = 0;
    // Called before the link clears the run state and hides the processing dialog.
    virtual void sequenceStopped(SequenceStop why, quint8 status) = 0;
};
