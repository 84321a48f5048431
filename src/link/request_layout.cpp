#include "link/request_layout.h"

Request::Request(quint8 m, quint8 c, quint8 s, std::initializer_list<int> p)
    : module(m), command(c), subCommand(s) {
    for (int v : p)
        params.append(char(quint8(v)));
}

int RequestLayout::length(const Request& r) const {
    return 8 + int(r.params.size()) + (longLayout ? 2 : 0);
}

QByteArray RequestLayout::bytes(const Request& r) const {
    QByteArray out(3, '\0');
    out[2] = char(length(r));
    if (longLayout)
        out.append(char(subnet >> 8)).append(char(subnet & 0xFF));
    out.append(char(r.module)).append(char(r.command)).append(char(r.subCommand));
    out.append(r.params);
    out.append(2, '\0'); // room for the checksum the send routine computes
    return out;
}

void RequestLayout::write(FrameBuffer& buffer, const Request& r) const {
    const QByteArray b = bytes(r);
    const int n = std::min<int>(int(b.size()), FrameBuffer::kAreaSize);
    for (int i = 2; i < n; ++i)
        buffer.request(i) = quint8(b[i]);
}
