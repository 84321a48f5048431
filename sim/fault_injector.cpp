#include "sim/fault_injector.h"

FaultInjector::Plan FaultInjector::take(SimReply& reply, bool serial) {
    Plan plan;
    plan.delayMs = m_delayMs;
    if (m_drop > 0) {
        --m_drop;
        plan.drop = true;
        return plan;
    }
    if (m_errorStatus >= 0 && !reply.bind) {
        reply.status = quint8(m_errorStatus);
        reply.data.clear();
        m_errorStatus = -1;
    }
    plan.corrupt = m_corrupt;
    m_corrupt = false;
    if (serial) {
        plan.split = m_split;
        m_split = false;
    }
    return plan;
}

void FaultInjector::corrupt(QByteArray& frame) {
    if (!frame.isEmpty())
        frame[frame.size() - 1] = char(quint8(frame[frame.size() - 1]) ^ 0x5A);
}

QString FaultInjector::describe() const {
    return QStringLiteral("drop=%1 delay=%2 error=%3 corrupt=%4 split=%5")
        .arg(m_drop)
        .arg(m_delayMs)
        .arg(m_errorStatus)
        .arg(m_corrupt ? 1 : 0)
        .arg(m_split ? 1 : 0);
}
