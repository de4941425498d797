#pragma once
// What every fuzz target uses to state its expectations: a broken one stops the run where it is, so the
// fuzzer keeps the input.

#include <cstddef>
#include <string_view>

namespace velmar::fuzz {

inline void Check(bool condition) {
    if (!condition) {
        __builtin_trap();
    }
}

// Code points of valid UTF-8; -1 when the text is not valid UTF-8.
inline long CodePoints(std::string_view text) {
    long count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto lead = static_cast<unsigned char>(text[i]);
        const std::size_t length = lead < 0x80           ? 1
                                   : (lead >> 5) == 0x6  ? 2
                                   : (lead >> 4) == 0xE  ? 3
                                   : (lead >> 3) == 0x1E ? 4
                                                         : 0;
        if (length == 0 || i + length > text.size()) {
            return -1;
        }
        for (std::size_t k = 1; k < length; ++k) {
            if ((static_cast<unsigned char>(text[i + k]) & 0xC0) != 0x80) {
                return -1;
            }
        }
        i += length;
    }
    return count;
}

}  // namespace velmar::fuzz
