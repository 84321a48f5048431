#include "commands/sequencer.h"

#include "link/bus.h"
#include "link/processing_view.h"
#include "link/time_delay.h"
#include "records/record_table.h"

#include <algorithm>

Sequencer::Sequencer(Bus* bus) : m_bus(bus) {}

void Sequencer::start(const SequenceFamily& family) {
    if (!active()) {
        // Whoever took part in an earlier sequence has been stopped by its end or a reset.
        m_running.clear();
        // The table first: if it cannot be used, nothing has started.
        if (family.firstRowOnStart)
            family.table->first();
        if (family.onStart)
            family.onStart();
        m_bus->readTimer().start();
        if (ProcessingView* view = m_bus->processingView())
            view->showProcessing();
    }
    if (std::find(m_running.begin(), m_running.end(), &family) == m_running.end())
        m_running.push_back(&family);
}

bool Sequencer::active() const {
    return m_bus->readTimer().isActive();
}

bool Sequencer::running(const SequenceFamily& family) const {
    return active() && std::find(m_running.begin(), m_running.end(), &family) != m_running.end();
}

void Sequencer::record(const SequenceFamily& family,
                       const std::function<void(RecordTable&)>& fill) {
    record(family, fill, family.nextStep);
}

void Sequencer::record(const SequenceFamily& family, const std::function<void(RecordTable&)>& fill,
                       const std::function<void()>& next) {
    RecordTable& table = *family.table;
    if (table.eof())
        table.append();
    else
        table.edit();
    try {
        fill(table);
        table.post();
    } catch (...) {
        table.cancel();
        throw;
    }
    table.refresh();
    step(family, next);
}

void Sequencer::step(const SequenceFamily& family, const std::function<void()>& next) {
    *family.index += 1;
    if (*family.index <= family.limit() && m_bus->processingVisible()) {
        m_bus->restartReadTimer();
        // Cancel, the watchdog and any other click may run during the pause.
        TimeDelay(family.pauseMs);
        // Past the last row the cursor stays at the end; the next reply appends there.
        if (family.advanceRow && !family.table->eof())
            family.table->next();
        if (m_bus->processingVisible() && next)
            next();
        return;
    }
    end(family);
}

void Sequencer::end(const SequenceFamily& family) {
    if (ProcessingView* view = m_bus->processingView())
        view->hideProcessing();
    // The watchdog is shared: stopping it ends every family that took part, so none of them
    // may keep a half-way index or deleting flag for its next sequence.
    *family.index = 0;
    if (family.deleting)
        *family.deleting = 0;
    for (const SequenceFamily* other : m_running) {
        *other->index = 0;
        if (other->deleting)
            *other->deleting = 0;
    }
    m_running.clear();
    m_bus->readTimer().stop();
    emit m_bus->message(QStringLiteral("Finished！"));
}
