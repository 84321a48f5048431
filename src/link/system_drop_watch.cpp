#include "link/system_drop_watch.h"

#include "link/frame_tap.h"

quint32 SystemDropWatch::newDrops(const TappedFrame& f) {
    if (f.link != TappedFrame::Link::Network || f.direction != TappedFrame::Direction::Received)
        return 0;
    const quint32 now = f.systemDrops;
    const quint32 before = !m_last ? now : (now < *m_last ? 0 : *m_last);
    m_last = now;
    return now - before;
}
