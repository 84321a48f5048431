#pragma once

#include <QtGlobal>

// What a reply answers, as far as the window is concerned.
enum class Awaiting : quint8 {
    None, // nothing of the window's: a read-back, a stray, another tool's traffic
    Set,  // the Set button pressed last for this command, still unanswered
    Step, // the request of the step a read-all or delete-all sequence is waiting on
};

// How a family's reply handler takes part in the rule below.
enum class ReplyRule : quint8 {
    Always,      // read-backs into fields: any reply with its bytes, outside jobs
    Answer,      // acknowledgements: only a reply the window awaits
    Unsolicited, // what a module sends by itself (a learned IR code): even during a job
};
