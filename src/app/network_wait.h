#pragma once

#include "link/wait_view.h"

#include <QElapsedTimer>
#include <QObject>

// The window during a network wait: a wait cursor, its own repaints and nothing else. Clicks
// and keys made while it waits are dropped, also when they reach the window just after the
// wait (they were queued during it), so that nothing the technician pressed in vain runs later.
class NetworkWait : public QObject, public WaitView {
    Q_OBJECT
public:
    explicit NetworkWait(QObject* parent = nullptr);
    ~NetworkWait() override;

    void waitBegins() override;
    void waitGoesOn() override;
    void waitEnds() override;

    // Input that reaches the window this long after a wait still belongs to the wait.
    static constexpr int kAfterWaitMs = 100;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    int m_depth = 0;
    QElapsedTimer m_sinceEnd;
};
