#include "protocol/sequencer.h"

#include "link/bus.h"
#include "link/processing_view.h"
#include "link/time_delay.h"
#include "records/record_table.h"

#include <QScopeGuard>

#include <algorithm>
#include <stdexcept>

Sequencer::Sequencer(Bus* bus) : m_bus(bus) {}

void Sequencer::start(SequenceFamily& family) {
    if (!active()) {
        // A scan, audit or push owns the link until it ends; the click says so and sends
        // nothing.
        if (!m_bus->runningJob().isEmpty())
            throw std::runtime_error(
                QStringLiteral("%1 is running: wait for it to end or cancel it.")
                    .arg(m_bus->runningJob())
                    .toStdString());
        // Whoever took part in an earlier sequence has been stopped by its end or a reset.
        m_running.clear();
        m_bus->ownership().sequenceStarted();
        // The table first: if it cannot be used, nothing has started.
        family.table->reloadIfChangedElsewhere();
        if (family.firstIndex)
            *family.index = family.firstIndex();
        else
            family.table->first();
        m_bus->readTimer().start();
        if (ProcessingView* view = m_bus->processingView())
            view->showProcessing();
    }
    if (std::find(m_running.begin(), m_running.end(), &family) == m_running.end())
        m_running.push_back(&family);
    showProgress(family);
}

void Sequencer::send(const Request& request) {
    m_bus->sendStep(request);
}

bool Sequencer::seek(SequenceFamily& family) {
    while (!family.seekRow()) {
        *family.index += 1;
        if (*family.index > family.limit()) {
            end(family);
            return false;
        }
    }
    return true;
}

bool Sequencer::active() const {
    return m_bus->readTimer().isActive();
}

bool Sequencer::running(const SequenceFamily& family) const {
    return active() && std::find(m_running.begin(), m_running.end(), &family) != m_running.end();
}

void Sequencer::record(SequenceFamily& family, const std::function<void(RecordTable&)>& fill) {
    record(family, fill, family.nextStep);
}

void Sequencer::record(SequenceFamily& family, const std::function<void(RecordTable&)>& fill,
                       const std::function<void()>& next) {
    RecordTable& table = *family.table;
    if (!(family.fixedRows && table.eof())) {
        table.writeRow(fill);
        table.refresh();
    }
    step(family, next);
}

void Sequencer::acknowledge(SequenceFamily& family, const Reply& reply,
                            const std::function<void()>& deleteStep,
                            const std::function<void()>& recordSet) {
    if (reply.answers == Awaiting::Step) {
        if (family.deleting && *family.deleting != 0 && running(family))
            deleteStep();
        return;
    }
    if (reply.answers == Awaiting::Set)
        keepPlace(family, recordSet);
}

void Sequencer::keepPlace(SequenceFamily& family, const std::function<void()>& work) {
    if (!running(family)) {
        if (!active())
            family.table->reloadIfChangedElsewhere();
        work();
        return;
    }
    // The running sequence writes its next reply into the table's current row: keep it.
    RecordTable& table = *family.table;
    const int row = table.currentRow();
    const auto back = qScopeGuard([&table, row] {
        if (row >= 0) {
            table.setCurrentRow(row);
        } else {
            table.last();
            if (!table.eof())
                table.next();
        }
    });
    work();
}

void Sequencer::step(SequenceFamily& family, const std::function<void()>& next) {
    *family.index += 1;
    if (*family.index <= family.limit() && m_bus->processingVisible()) {
        m_bus->restartReadTimer();
        showProgress(family);
        // Cancel, the watchdog and any other click may run during the pause.
        TimeDelay(family.pauseMs);
        // Past the last row the cursor stays at the end; the next reply appends there.
        if (!family.seekRow && !family.table->eof())
            family.table->next();
        if (m_bus->processingVisible() && next)
            next();
        return;
    }
    end(family);
}

void Sequencer::end(SequenceFamily& family) {
    if (ProcessingView* view = m_bus->processingView())
        view->hideProcessing();
    // The watchdog is shared: stopping it ends every family that took part, so none of them
    // may keep a half-way index or deleting flag for its next sequence.
    *family.index = 0;
    if (family.deleting)
        *family.deleting = 0;
    for (SequenceFamily* other : m_running) {
        *other->index = 0;
        if (other->deleting)
            *other->deleting = 0;
    }
    m_running.clear();
    m_bus->readTimer().stop();
    emit m_bus->message(QStringLiteral("Finished！"));
}

void Sequencer::showProgress(const SequenceFamily& family) const {
    ProcessingView* view = m_bus->processingView();
    if (!view)
        return;
    const int first = family.firstIndex ? family.firstIndex() : 0;
    view->setProgress(*family.index - first + 1, family.limit() - first + 1);
}
