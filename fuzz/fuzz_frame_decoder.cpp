// The bus monitor reads whatever comes off the wire: any bytes, under any hints, through the
// frame decoder, its words and its bytes with the password hidden.
//
// Input byte 0 picks the hints: bits 0-1 the link, bits 2-3 the direction, bits 4-5 the layout
// (each 0 unknown, 1 or 2 known, 3 unknown), bit 6 the password block. The rest is the input.
#include "protocol/frame_decoder.h"

#include <cstddef>
#include <cstdint>

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    using namespace framedecoder;
    if (size < 1 || size > 2100)
        return 0;
    const auto pick = [&](int shift) { return ((data[0] >> shift) & 3) % 3; };
    Hints hints;
    hints.link = Link(pick(0));
    hints.direction = Direction(pick(2));
    hints.layout = Layout(pick(4));
    hints.passwordBlock = (data[0] & 0x40) != 0;
    const QByteArray bytes(reinterpret_cast<const char*>(data + 1), qsizetype(size - 1));
    const DecodedFrame d = decode(bytes, hints);
    const QString hex = maskedHex(bytes, d);
    // Hidden bytes stay inside the input.
    for (const auto& [first, count] : d.hidden)
        if (first < 0 || count < 0 || first + count > bytes.size())
            __builtin_trap();
    volatile qsizetype n = d.summary().size() + d.moduleText().size() + hex.size();
    (void)n;
    return 0;
}
