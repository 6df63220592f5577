#pragma once

// Names and messages as the command-line programs print them, without Qt:
// one line that cannot drive the terminal. The Qt side (files/console.h)
// keeps to the same rule through this.

#include <cstddef>
#include <string_view>

namespace tavrel {

// The length of the piece that starts text (not empty): a character whole,
// or one byte that is not part of valid UTF-8. *shown is the value to show
// as \xNN instead (the byte, or the code of a control character: C0, line
// breaks included, DEL or C1), -1 for a piece shown as it is.
std::size_t PrintablePiece(std::string_view text, int* shown);

// Hands text to put as printable pieces. Allocates nothing, so that a
// message about memory can still be printed.
template <typename Put>
void PutPrintable(std::string_view text, Put&& put) {
    static constexpr char kHex[] = "0123456789abcdef";
    std::size_t plain = 0;  // start of the run not yet handed on
    for (std::size_t i = 0; i < text.size();) {
        int shown = -1;
        const std::size_t length = PrintablePiece(text.substr(i), &shown);
        if (shown >= 0) {
            put(text.substr(plain, i - plain));
            const char escaped[] = {'\\', 'x', kHex[shown >> 4], kHex[shown & 15]};
            put(std::string_view(escaped, sizeof escaped));
            plain = i + length;
        }
        i += length;
    }
    put(text.substr(plain));
}

}  // namespace tavrel
