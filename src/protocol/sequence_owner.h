#pragma once

// Who runs a sequence and watches it (the window's processing dialog, velm-cli): it is told
// when a sequence starts and ends and how far it has come, and it decides, after each
// answered step, whether the sequence keeps going.
class SequenceOwner {
public:
    virtual ~SequenceOwner() = default;
    virtual void sequenceStarted() {}
    virtual void sequenceEnded() {}
    virtual void setProgress(int /*done*/, int /*total*/) {}
    virtual bool keepGoing() const = 0;
};
