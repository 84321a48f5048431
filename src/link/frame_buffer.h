#pragma once

#include <QtGlobal>

#include <array>

// The one shared byte buffer: request area 0..199, reply area 200..399.
class FrameBuffer {
public:
    static constexpr int kAreaSize = 200;

    quint8& request(int n) { return m_bytes[static_cast<size_t>(n)]; }
    quint8 request(int n) const { return m_bytes[static_cast<size_t>(n)]; }
    quint8& reply(int n) { return m_bytes[static_cast<size_t>(kAreaSize + n)]; }
    quint8 reply(int n) const { return m_bytes[static_cast<size_t>(kAreaSize + n)]; }

    quint8* requestArea() { return m_bytes.data(); }
    const quint8* requestArea() const { return m_bytes.data(); }
    quint8* replyArea() { return m_bytes.data() + kAreaSize; }
    const quint8* replyArea() const { return m_bytes.data() + kAreaSize; }

private:
    std::array<quint8, 2 * kAreaSize> m_bytes{};
};
