#pragma once

#include "link/wait_view.h"

#include <QObject>

// The window during a network wait: a wait cursor and its own repaints, nothing else. Clicks
// and keys made meanwhile stay in the window system's queue and are handled, in the order they
// were made, as soon as the wait is over (in the pause between two steps, or back in the loop).
class NetworkWait : public QObject, public WaitView {
    Q_OBJECT
public:
    explicit NetworkWait(QObject* parent = nullptr);
    ~NetworkWait() override;

    void waitBegins() override;
    void waitGoesOn() override;
    void waitEnds() override;

private:
    int m_depth = 0;
};
