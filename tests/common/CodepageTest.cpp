#include "common/Codepage.hpp"

#include <gtest/gtest.h>

#include <unistd.h>

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <optional>
#include <string>
#include <utility>
#include <vector>

namespace velmar::common {
namespace {

bool HaveIconv() {
    return std::system("command -v iconv >/dev/null 2>&1") == 0;
}

// Converts with the system's iconv, an implementation independent of ours. `extraFlags` go before the file
// name (for example "-c" to drop what the target cannot hold). Returns nullopt when iconv reports an error.
std::optional<std::string> Iconv(const std::string& from, const std::string& to, const std::string& bytes,
                                 const std::string& extraFlags = "") {
    char name[] = "/tmp/velmar-iconv-XXXXXX";
    const int fd = ::mkstemp(name);
    if (fd < 0) {
        return std::nullopt;
    }
    ::close(fd);
    std::ofstream(name, std::ios::binary) << bytes;
    const std::string command =
        "iconv " + extraFlags + " -f " + from + " -t " + to + " " + name + " 2>/dev/null";
    std::string out;
    FILE* pipe = ::popen(command.c_str(), "r");
    if (pipe == nullptr) {
        ::unlink(name);
        return std::nullopt;
    }
    char buffer[4096];
    std::size_t n;
    while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) {
        out.append(buffer, n);
    }
    const int status = ::pclose(pipe);
    ::unlink(name);
    if (status != 0) {
        return std::nullopt;
    }
    return out;
}

std::string AllBytesExcept(int skipped) {
    std::string bytes;
    for (int b = 0; b < 256; ++b) {
        if (b != skipped) {
            bytes.push_back(static_cast<char>(b));
        }
    }
    return bytes;
}

TEST(Codepage, Cp1251_everyByteMatchesIconvAndRoundTrips) {
    if (!HaveIconv()) {
        GTEST_SKIP() << "iconv is not installed";
    }
    // iconv refuses 0x98, the one byte cp1251 leaves unassigned; it is pinned separately below.
    const std::string bytes = AllBytesExcept(0x98);
    const auto expected = Iconv("CP1251", "UTF-8", bytes);
    ASSERT_TRUE(expected.has_value());
    const std::string utf8 = Cp1251ToUtf8(bytes);
    EXPECT_EQ(utf8, *expected);

    bool lossy = false;
    EXPECT_EQ(Utf8ToCp1251(utf8, &lossy), bytes);
    EXPECT_FALSE(lossy);
}

TEST(Codepage, Cp1251_unassignedByte98RoundTripsAsC1Control) {
    const std::string all = AllBytesExcept(-1);
    bool lossy = false;
    EXPECT_EQ(Utf8ToCp1251(Cp1251ToUtf8(all), &lossy), all);
    EXPECT_FALSE(lossy);
    EXPECT_EQ(Cp1251ToUtf8("\x98"), "\xC2\x98");
}

TEST(Codepage, Cp866_everyByteMatchesIconvAndRoundTrips) {
    if (!HaveIconv()) {
        GTEST_SKIP() << "iconv is not installed";
    }
    const std::string bytes = AllBytesExcept(-1);
    const auto expected = Iconv("CP866", "UTF-8", bytes);
    ASSERT_TRUE(expected.has_value());
    const std::string utf8 = Cp866ToUtf8(bytes);
    EXPECT_EQ(utf8, *expected);

    bool lossy = false;
    EXPECT_EQ(Utf8ToCp866(utf8, &lossy), bytes);
    EXPECT_FALSE(lossy);
}

TEST(Codepage, OemToAnsi_matchesIconvAndTurnsMissingCharactersIntoQuestionMarks) {
    if (!HaveIconv()) {
        GTEST_SKIP() << "iconv is not installed";
    }
    // One upper-half byte per line; with -c iconv drops what cp1251 lacks, leaving an empty line there.
    std::string lines;
    for (int b = 0x80; b < 0x100; ++b) {
        lines.push_back(static_cast<char>(b));
        lines.push_back('\n');
    }
    const auto converted = Iconv("CP866", "CP1251", lines, "-c");
    ASSERT_TRUE(converted.has_value());
    std::vector<std::string> expected;
    std::size_t start = 0;
    for (std::size_t nl = converted->find('\n'); nl != std::string::npos; nl = converted->find('\n', start)) {
        const std::string line = converted->substr(start, nl - start);
        expected.push_back(line.empty() ? "?" : line);
        start = nl + 1;
    }
    ASSERT_EQ(expected.size(), 128u);
    for (int b = 0x80; b < 0x100; ++b) {
        EXPECT_EQ(OemToAnsi(std::string(1, static_cast<char>(b))), expected[b - 0x80]) << "cp866 byte " << b;
    }
    EXPECT_EQ(OemToAnsi(AllBytesExcept(-1).substr(0, 0x80)), AllBytesExcept(-1).substr(0, 0x80));
}

TEST(Codepage, OemToAnsi_knownLetters) {
    // А, я, Ё, №, ░ (box drawing has no cp1251 character)
    EXPECT_EQ(OemToAnsi("\x80\xEF\xF0\xFC\xB0"), "\xC0\xFF\xA8\xB9?");
}

TEST(Codepage, Encode_flagsWhatCannotBeHeld) {
    struct Case {
        std::string utf8;
        std::string cp1251;
        bool lossy;
    };
    const std::vector<Case> cases = {
        {"plain", "plain", false},
        {"", "", false},
        {"\xE2\x82\xAC", "\x88", false},    // € is in cp1251
        {"Ж\xE4\xB8\xAD", "\xC6?", true},   // 中 is not
        {"\xF0\x9F\x98\x80x", "?x", true},  // a four-byte character costs one "?"
        {"a\xD0", "a?", true},              // truncated at the end
        {"\xE2\x82\x41", "?A", true},       // truncated before a character
        {"\xC0\xAF", "??", true},           // overlong "/"
        {"\xED\xA0\x80", "???", true},      // a surrogate
        {"\xFF\xFE", "??", true},           // bytes that never occur in UTF-8
    };
    for (const Case& c : cases) {
        bool lossy = false;
        EXPECT_EQ(Utf8ToCp1251(c.utf8, &lossy), c.cp1251) << c.utf8;
        EXPECT_EQ(lossy, c.lossy) << c.utf8;
    }
    bool lossy = false;
    EXPECT_EQ(Utf8ToCp866("\xE2\x82\xAC", &lossy), "?");  // € is not in cp866
    EXPECT_TRUE(lossy);
    // The flag collects: a clean conversion afterwards does not clear it.
    Utf8ToCp866("ok", &lossy);
    EXPECT_TRUE(lossy);
    EXPECT_EQ(Utf8ToCp1251("中"), "?");  // no flag pointer is fine
}

TEST(Codepage, UpperCase_latinAndCyrillicOfCp1251Only) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"abcxyz ABC", "ABCXYZ ABC"},
        {"0123456789-_.", "0123456789-_."},
        {"а", "А"},
        {"я", "Я"},
        {"ё", "Ё"},
        {"і", "І"},
        {"ї", "Ї"},
        {"ґ", "Ґ"},
        {"ђѓєѕјљњћќўџ", "ЂЃЄЅЈЉЊЋЌЎЏ"},
        {"ПараметрыКонструкции", "ПАРАМЕТРЫКОНСТРУКЦИИ"},
        {"µßéѐѝ", "µßéѐѝ"},    // letters outside cp1251's Cyrillic and a-z stay as they are
        {"x\xFFy", "X\xFFY"},  // ill-formed bytes are copied
        {"", ""},
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(UpperCase(in), out) << in;
    }
}

TEST(Codepage, UpperCaseCp1251_mapsExactlyTheLowerCaseLetters) {
    std::vector<int> expected(256);
    for (int b = 0; b < 256; ++b) {
        expected[b] = b;
    }
    for (int b = 'a'; b <= 'z'; ++b) {
        expected[b] = b - 0x20;
    }
    for (int b = 0xE0; b <= 0xFF; ++b) {
        expected[b] = b - 0x20;  // а..я
    }
    // ђ ѓ ё є ѕ і ї ј љ њ ћ ќ ў џ ґ, laid out by hand from the code page chart
    const std::vector<std::pair<int, int>> others = {
        {0x90, 0x80}, {0x83, 0x81}, {0xB8, 0xA8}, {0xBA, 0xAA}, {0xBE, 0xBD},
        {0xB3, 0xB2}, {0xBF, 0xAF}, {0xBC, 0xA3}, {0x9A, 0x8A}, {0x9C, 0x8C},
        {0x9E, 0x8E}, {0x9D, 0x8D}, {0xA2, 0xA1}, {0x9F, 0x8F}, {0xB4, 0xA5},
    };
    for (const auto& [lower, upper] : others) {
        expected[lower] = upper;
    }
    for (int b = 0; b < 256; ++b) {
        const std::string byte(1, static_cast<char>(b));
        EXPECT_EQ(static_cast<unsigned char>(UpperCaseCp1251(byte)[0]), expected[b]) << "byte " << b;
        // The UTF-8 form must agree, or a name would match in one form and not in the other.
        EXPECT_EQ(Cp1251ToUtf8(UpperCaseCp1251(byte)), UpperCase(Cp1251ToUtf8(byte))) << "byte " << b;
    }
}

TEST(Codepage, TrimSpaces_removesBlanksAtBothEndsOnly) {
    const std::vector<std::pair<std::string, std::string>> cases = {
        {"  a b \t\r\n", "a b"},
        {"\r\n\tkey", "key"},
        {"", ""},
        {" \t\r\n ", ""},
        {"\va\v", "\va\v"},                          // only space, tab, CR and LF are blanks
        {"\xC2\xA0x\xC2\xA0", "\xC2\xA0x\xC2\xA0"},  // so is not a no-break space
    };
    for (const auto& [in, out] : cases) {
        EXPECT_EQ(TrimSpaces(in), out) << in;
    }
}

TEST(Codepage, EqualsNoCase_comparesUnderUpperCase) {
    EXPECT_TRUE(EqualsNoCase("Наименование", "НАИМЕНОВАНИЕ"));
    EXPECT_TRUE(EqualsNoCase("unit_d.inf", "UNIT_D.INF"));
    EXPECT_TRUE(EqualsNoCase("ёлка", "ЁЛКА"));
    EXPECT_FALSE(EqualsNoCase("елка", "ЁЛКА"));  // е and ё are different letters
    EXPECT_FALSE(EqualsNoCase("abc", "abd"));
    EXPECT_FALSE(EqualsNoCase("abc", "abc "));
}

}  // namespace
}  // namespace velmar::common
