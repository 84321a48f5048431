#pragma once

#include "link/run_state.h"
#include "link/step_listener.h"

#include <QObject>
#include <QTimer>

class ProcessingView;
class ReplyOwnership;

// The 5000 ms watchdog of the read-all and delete-all sequences, and the common end of a
// sequence the link puts to it (the watchdog, Cancel, an error reply): the sequence hears why,
// then the run state is cleared and the processing dialog hidden.
class SequenceWatchdog : public QObject {
    Q_OBJECT
public:
    SequenceWatchdog(RunState& state, ReplyOwnership& ownership, QObject* parent = nullptr);

    QTimer& timer() { return m_timer; }
    // Starts the 5000 ms count anew.
    void restart();

    void setProcessingView(ProcessingView* view) { m_processing = view; }
    ProcessingView* processingView() const { return m_processing; }
    void setStepListener(StepListener* listener) { m_stepListener = listener; }

    // Ends a running sequence: the steps it awaits answer nothing any more.
    void stopSequence(SequenceStop why, quint8 status = 0);

signals:
    void expired();

private:
    RunState& m_state;
    ReplyOwnership& m_ownership;
    QTimer m_timer;
    ProcessingView* m_processing = nullptr;
    StepListener* m_stepListener = nullptr;
};
