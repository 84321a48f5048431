#include "sim/frame_scanner.h"

#include "link/frames.h"

namespace {

int headerAt(const QByteArray& b, int from) {
    for (int i = from; i + 1 < b.size(); ++i) {
        const quint8 a = quint8(b[i]);
        const quint8 c = quint8(b[i + 1]);
        if ((a == 0x55 && c == 0xAA) || (a == 0xAE && c == 0xD0))
            return i;
    }
    return -1;
}

} // namespace

QList<FrameScanner::Item> FrameScanner::feed(const QByteArray& data) {
    QList<Item> out;
    m_buffer.append(data);
    for (;;) {
        const int start = headerAt(m_buffer, 0);
        if (start < 0) {
            // Keep a last byte that may begin a header.
            const quint8 last = m_buffer.isEmpty() ? 0 : quint8(m_buffer.back());
            const int keep = (last == 0x55 || last == 0xAE) ? 1 : 0;
            if (m_buffer.size() > keep)
                out.append({m_buffer.left(m_buffer.size() - keep), false});
            m_buffer = m_buffer.right(keep);
            return out;
        }
        if (start > 0) {
            out.append({m_buffer.left(start), false});
            m_buffer.remove(0, start);
        }
        if (m_buffer.size() < 3)
            return out;
        const bool bind = quint8(m_buffer[0]) == 0xAE;
        const int length = quint8(m_buffer[2]);
        if (length < (bind ? 4 : 5) || length > frames::kMaxFrame) {
            out.append({m_buffer.left(2), false}); // a header with a nonsense length
            m_buffer.remove(0, 2);
            continue;
        }
        if (m_buffer.size() < length)
            return out;
        const auto* b = reinterpret_cast<const quint8*>(m_buffer.constData());
        const bool ok = bind ? frames::bindChecksumOk(b, length) : frames::busChecksumOk(b, length);
        if (ok) {
            out.append({m_buffer.left(length), true});
            m_buffer.remove(0, length);
        } else {
            // Resynchronise just after this header: a real frame may start inside.
            const int next = headerAt(m_buffer, 2);
            const int drop = next < 0 ? length : std::min(next, length);
            out.append({m_buffer.left(drop), false});
            m_buffer.remove(0, drop);
        }
    }
}

QByteArray FrameScanner::takePartial() {
    QByteArray partial = m_buffer;
    m_buffer.clear();
    return partial;
}
