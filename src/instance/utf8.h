// UTF-8 as JSON and file names need it.
#pragma once

#include <cstddef>
#include <string>

namespace converter {

// The length of the well-formed UTF-8 sequence that starts `text` (of `size`
// bytes, at least 1): 1 to 4, or 0 when it is none (a stray continuation byte,
// an overlong form, a surrogate, a code point above U+10FFFF, a cut sequence).
inline std::size_t utf8_sequence_length(const char* text, std::size_t size) {
    const auto byte = static_cast<unsigned char>(text[0]);
    if (byte < 0x80) return 1;
    const std::size_t length = byte >= 0xc2 && byte < 0xe0   ? 2
                               : byte >= 0xe0 && byte < 0xf0 ? 3
                               : byte >= 0xf0 && byte < 0xf5 ? 4
                                                             : 0;
    if (length == 0 || size < length) return 0;
    unsigned code = byte & (0x7fu >> length);
    for (std::size_t index = 1; index < length; ++index) {
        const auto next = static_cast<unsigned char>(text[index]);
        if ((next & 0xc0) != 0x80) return 0;
        code = code << 6 | (next & 0x3fu);
    }
    const unsigned least = length == 2 ? 0x80 : length == 3 ? 0x800 : 0x10000;
    if (code < least || (code >= 0xd800 && code < 0xe000) || code > 0x10ffff) return 0;
    return length;
}

// Appends code point `code` (below U+110000, no surrogate) as UTF-8.
inline void append_utf8(std::string& out, unsigned code) {
    if (code < 0x80) {
        out += static_cast<char>(code);
    } else if (code < 0x800) {
        out += static_cast<char>(0xc0 | (code >> 6));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else if (code < 0x10000) {
        out += static_cast<char>(0xe0 | (code >> 12));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    } else {
        out += static_cast<char>(0xf0 | (code >> 18));
        out += static_cast<char>(0x80 | ((code >> 12) & 0x3f));
        out += static_cast<char>(0x80 | ((code >> 6) & 0x3f));
        out += static_cast<char>(0x80 | (code & 0x3f));
    }
}

} // namespace converter
