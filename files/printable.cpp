#include "files/printable.h"

namespace tavrel {

std::size_t PrintablePiece(std::string_view text, int* shown) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned lead = byte(0);
    if (lead < 0x80) {
        *shown = lead < 0x20 || lead == 0x7F ? static_cast<int>(lead) : -1;
        return 1;
    }
    // The well-formed sequences of UTF-8: no overlong forms, no surrogates,
    // nothing past U+10FFFF.
    std::size_t length = 0;
    unsigned low = 0x80, high = 0xBF;  // the bounds of the second byte
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        low = lead == 0xE0 ? 0xA0 : 0x80;
        high = lead == 0xED ? 0x9F : 0xBF;
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        low = lead == 0xF0 ? 0x90 : 0x80;
        high = lead == 0xF4 ? 0x8F : 0xBF;
    }
    bool valid = length != 0 && text.size() >= length && byte(1) >= low && byte(1) <= high;
    for (std::size_t i = 2; valid && i < length; ++i) {
        valid = byte(i) >= 0x80 && byte(i) <= 0xBF;
    }
    if (!valid) {
        *shown = static_cast<int>(lead);
        return 1;
    }
    // C1 controls are U+0080 to U+009F: C2 80 to C2 9F.
    *shown = lead == 0xC2 && byte(1) <= 0x9F ? static_cast<int>(byte(1)) : -1;
    return length;
}

}  // namespace tavrel
