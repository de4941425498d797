#include "common/Codepage.hpp"

#include <algorithm>
#include <array>
#include <cstdint>

namespace velmar::common {

namespace {

using HighHalf = std::array<char32_t, 128>;

// Characters of bytes 0x80..0xFF.
// clang-format off
constexpr HighHalf kCp1251High = {
    // 0x80
    0x0402, 0x0403, 0x201A, 0x0453, 0x201E, 0x2026, 0x2020, 0x2021,
    0x20AC, 0x2030, 0x0409, 0x2039, 0x040A, 0x040C, 0x040B, 0x040F,
    // 0x90; 0x98 is unassigned and kept as the C1 control of the same number
    0x0452, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
    0x0098, 0x2122, 0x0459, 0x203A, 0x045A, 0x045C, 0x045B, 0x045F,
    // 0xA0
    0x00A0, 0x040E, 0x045E, 0x0408, 0x00A4, 0x0490, 0x00A6, 0x00A7,
    0x0401, 0x00A9, 0x0404, 0x00AB, 0x00AC, 0x00AD, 0x00AE, 0x0407,
    // 0xB0
    0x00B0, 0x00B1, 0x0406, 0x0456, 0x0491, 0x00B5, 0x00B6, 0x00B7,
    0x0451, 0x2116, 0x0454, 0x00BB, 0x0458, 0x0405, 0x0455, 0x0457,
    // 0xC0
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    // 0xD0
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // 0xE0
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    // 0xF0
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
};

constexpr HighHalf kCp866High = {
    // 0x80
    0x0410, 0x0411, 0x0412, 0x0413, 0x0414, 0x0415, 0x0416, 0x0417,
    0x0418, 0x0419, 0x041A, 0x041B, 0x041C, 0x041D, 0x041E, 0x041F,
    // 0x90
    0x0420, 0x0421, 0x0422, 0x0423, 0x0424, 0x0425, 0x0426, 0x0427,
    0x0428, 0x0429, 0x042A, 0x042B, 0x042C, 0x042D, 0x042E, 0x042F,
    // 0xA0
    0x0430, 0x0431, 0x0432, 0x0433, 0x0434, 0x0435, 0x0436, 0x0437,
    0x0438, 0x0439, 0x043A, 0x043B, 0x043C, 0x043D, 0x043E, 0x043F,
    // 0xB0
    0x2591, 0x2592, 0x2593, 0x2502, 0x2524, 0x2561, 0x2562, 0x2556,
    0x2555, 0x2563, 0x2551, 0x2557, 0x255D, 0x255C, 0x255B, 0x2510,
    // 0xC0
    0x2514, 0x2534, 0x252C, 0x251C, 0x2500, 0x253C, 0x255E, 0x255F,
    0x255A, 0x2554, 0x2569, 0x2566, 0x2560, 0x2550, 0x256C, 0x2567,
    // 0xD0
    0x2568, 0x2564, 0x2565, 0x2559, 0x2558, 0x2552, 0x2553, 0x256B,
    0x256A, 0x2518, 0x250C, 0x2588, 0x2584, 0x258C, 0x2590, 0x2580,
    // 0xE0
    0x0440, 0x0441, 0x0442, 0x0443, 0x0444, 0x0445, 0x0446, 0x0447,
    0x0448, 0x0449, 0x044A, 0x044B, 0x044C, 0x044D, 0x044E, 0x044F,
    // 0xF0
    0x0401, 0x0451, 0x0404, 0x0454, 0x0407, 0x0457, 0x040E, 0x045E,
    0x00B0, 0x2219, 0x00B7, 0x221A, 0x2116, 0x00A4, 0x25A0, 0x00A0,
};
// clang-format on

struct ReverseEntry {
    char32_t codePoint;
    unsigned char byte;
};

using ReverseTable = std::array<ReverseEntry, 128>;

constexpr ReverseTable MakeReverse(const HighHalf& high) {
    ReverseTable table{};
    for (std::size_t i = 0; i < high.size(); ++i) {
        table[i] = {high[i], static_cast<unsigned char>(0x80 + i)};
    }
    std::sort(table.begin(), table.end(),
              [](const ReverseEntry& a, const ReverseEntry& b) { return a.codePoint < b.codePoint; });
    return table;
}

constexpr ReverseTable kCp1251Reverse = MakeReverse(kCp1251High);
constexpr ReverseTable kCp866Reverse = MakeReverse(kCp866High);

void AppendUtf8(std::string& out, char32_t cp) {
    if (cp < 0x80) {
        out.push_back(static_cast<char>(cp));
    } else if (cp < 0x800) {
        out.push_back(static_cast<char>(0xC0 | (cp >> 6)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else if (cp < 0x10000) {
        out.push_back(static_cast<char>(0xE0 | (cp >> 12)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    } else {
        out.push_back(static_cast<char>(0xF0 | (cp >> 18)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 12) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | ((cp >> 6) & 0x3F)));
        out.push_back(static_cast<char>(0x80 | (cp & 0x3F)));
    }
}

constexpr char32_t kInvalid = 0xFFFFFFFF;

// Decodes one UTF-8 sequence at text[pos], advancing pos. An ill-formed sequence yields kInvalid and skips
// its maximal valid prefix (at least one byte), so a truncated character costs one "?" and no following
// character.
char32_t DecodeUtf8(std::string_view text, std::size_t& pos) {
    const auto byteAt = [&](std::size_t i) { return static_cast<unsigned char>(text[i]); };
    const unsigned char lead = byteAt(pos);
    if (lead < 0x80) {
        ++pos;
        return lead;
    }
    std::size_t length;
    char32_t cp;
    unsigned char low = 0x80;
    unsigned char high = 0xBF;
    if (lead >= 0xC2 && lead <= 0xDF) {
        length = 2;
        cp = lead & 0x1F;
    } else if (lead >= 0xE0 && lead <= 0xEF) {
        length = 3;
        cp = lead & 0x0F;
        if (lead == 0xE0) {
            low = 0xA0;  // no overlong forms
        } else if (lead == 0xED) {
            high = 0x9F;  // no surrogates
        }
    } else if (lead >= 0xF0 && lead <= 0xF4) {
        length = 4;
        cp = lead & 0x07;
        if (lead == 0xF0) {
            low = 0x90;
        } else if (lead == 0xF4) {
            high = 0x8F;  // nothing above U+10FFFF
        }
    } else {
        ++pos;
        return kInvalid;
    }
    ++pos;
    for (std::size_t i = 1; i < length; ++i) {
        if (pos >= text.size()) {
            return kInvalid;
        }
        const unsigned char next = byteAt(pos);
        if (next < low || next > high) {
            return kInvalid;
        }
        low = 0x80;
        high = 0xBF;
        cp = (cp << 6) | (next & 0x3F);
        ++pos;
    }
    return cp;
}

std::string DecodeSingleByte(std::string_view bytes, const HighHalf& high) {
    std::string out;
    out.reserve(bytes.size() * 2);
    for (char c : bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
        } else {
            AppendUtf8(out, high[b - 0x80]);
        }
    }
    return out;
}

constexpr int EncodeChar(char32_t cp, const ReverseTable& reverse) {
    if (cp < 0x80) {
        return static_cast<int>(cp);
    }
    const auto it =
        std::lower_bound(reverse.begin(), reverse.end(), cp,
                         [](const ReverseEntry& e, char32_t value) { return e.codePoint < value; });
    if (it != reverse.end() && it->codePoint == cp) {
        return it->byte;
    }
    return -1;
}

std::string EncodeSingleByte(std::string_view utf8, const ReverseTable& reverse, bool* lossy) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const char32_t cp = DecodeUtf8(utf8, pos);
        const int byte = cp == kInvalid ? -1 : EncodeChar(cp, reverse);
        if (byte < 0) {
            out.push_back('?');
            if (lossy != nullptr) {
                *lossy = true;
            }
        } else {
            out.push_back(static_cast<char>(byte));
        }
    }
    return out;
}

constexpr char32_t UpperCodePoint(char32_t cp) {
    if (cp >= U'a' && cp <= U'z') {
        return cp - 0x20;
    }
    if (cp >= 0x0430 && cp <= 0x044F) {  // а..я
        return cp - 0x20;
    }
    // ё ђ ѓ є ѕ і ї ј љ њ ћ ќ ў џ; U+0450 and U+045D have no place in cp1251 and stay as they are.
    if (cp >= 0x0451 && cp <= 0x045F && cp != 0x045D) {
        return cp - 0x50;
    }
    if (cp == 0x0491) {  // ґ
        return 0x0490;
    }
    return cp;
}

constexpr std::array<unsigned char, 256> MakeCp1251Upper() {
    std::array<unsigned char, 256> table{};
    for (std::size_t b = 0; b < 256; ++b) {
        table[b] = static_cast<unsigned char>(b);
    }
    for (std::size_t b = 0x80; b < 256; ++b) {
        const char32_t upper = UpperCodePoint(kCp1251High[b - 0x80]);
        if (upper != kCp1251High[b - 0x80]) {
            table[b] = static_cast<unsigned char>(EncodeChar(upper, kCp1251Reverse));
        }
    }
    for (std::size_t b = 'a'; b <= 'z'; ++b) {
        table[b] = static_cast<unsigned char>(b - 0x20);
    }
    return table;
}

constexpr std::array<unsigned char, 256> kCp1251Upper = MakeCp1251Upper();

bool IsBlank(char c) {
    return c == ' ' || c == '\t' || c == '\r' || c == '\n';
}

}  // namespace

std::string Cp1251ToUtf8(std::string_view bytes) {
    return DecodeSingleByte(bytes, kCp1251High);
}

std::string Utf8ToCp1251(std::string_view utf8, bool* lossy) {
    return EncodeSingleByte(utf8, kCp1251Reverse, lossy);
}

std::string Cp866ToUtf8(std::string_view bytes) {
    return DecodeSingleByte(bytes, kCp866High);
}

std::string Utf8ToCp866(std::string_view utf8, bool* lossy) {
    return EncodeSingleByte(utf8, kCp866Reverse, lossy);
}

std::string OemToAnsi(std::string_view cp866Bytes) {
    std::string out;
    out.reserve(cp866Bytes.size());
    for (char c : cp866Bytes) {
        const auto b = static_cast<unsigned char>(c);
        if (b < 0x80) {
            out.push_back(c);
            continue;
        }
        const int ansi = EncodeChar(kCp866High[b - 0x80], kCp1251Reverse);
        out.push_back(ansi < 0 ? '?' : static_cast<char>(ansi));
    }
    return out;
}

std::string UpperCase(std::string_view utf8) {
    std::string out;
    out.reserve(utf8.size());
    std::size_t pos = 0;
    while (pos < utf8.size()) {
        const std::size_t start = pos;
        const char32_t cp = DecodeUtf8(utf8, pos);
        const char32_t upper = cp == kInvalid ? cp : UpperCodePoint(cp);
        if (upper == cp) {
            out.append(utf8.substr(start, pos - start));
        } else {
            AppendUtf8(out, upper);
        }
    }
    return out;
}

std::string UpperCaseCp1251(std::string_view bytes) {
    std::string out(bytes);
    for (char& c : out) {
        c = static_cast<char>(kCp1251Upper[static_cast<unsigned char>(c)]);
    }
    return out;
}

std::string TrimSpaces(std::string_view text) {
    std::size_t begin = 0;
    std::size_t end = text.size();
    while (begin < end && IsBlank(text[begin])) {
        ++begin;
    }
    while (end > begin && IsBlank(text[end - 1])) {
        --end;
    }
    return std::string(text.substr(begin, end - begin));
}

bool EqualsNoCase(std::string_view a, std::string_view b) {
    return UpperCase(a) == UpperCase(b);
}

}  // namespace velmar::common
