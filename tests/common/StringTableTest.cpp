#include "common/StringTable.hpp"

#include <gtest/gtest.h>

#include <charconv>
#include <clocale>
#include <cstdint>
#include <fstream>
#include <optional>
#include <sstream>
#include <string>
#include <vector>

namespace velmar::common {
namespace {

constexpr int kFirstProgramId = 16;
constexpr int kLastProgramId = 21015;
constexpr std::size_t kMaxTextChars = 255;

struct TsvLine {
    int lineNo;
    std::string idText;
    std::string text;  // still escaped
    int tabs;
};

std::vector<TsvLine> ReadTsvLines(std::string& whole) {
    std::ifstream file(VELMAR_SOURCE_DIR "/resources/strings/ru.tsv", std::ios::binary);
    std::ostringstream buffer;
    buffer << file.rdbuf();
    whole = buffer.str();
    std::vector<TsvLine> lines;
    std::size_t start = 0;
    int lineNo = 0;
    while (start < whole.size()) {
        std::size_t end = whole.find('\n', start);
        if (end == std::string::npos) {
            end = whole.size();
        }
        const std::string line = whole.substr(start, end - start);
        start = end + 1;
        ++lineNo;
        const std::size_t tab = line.find('\t');
        int tabs = 0;
        for (char c : line) {
            tabs += c == '\t' ? 1 : 0;
        }
        lines.push_back(
            {lineNo, line.substr(0, tab), tab == std::string::npos ? "" : line.substr(tab + 1), tabs});
    }
    return lines;
}

// Number of code points, or nothing when `text` is not well-formed UTF-8 (overlong forms, surrogates and
// values above U+10FFFF are refused).
std::optional<std::size_t> Utf8CharCount(const std::string& text) {
    std::size_t count = 0;
    for (std::size_t i = 0; i < text.size(); ++count) {
        const auto b0 = static_cast<unsigned char>(text[i]);
        int extra = 0;
        std::uint32_t cp = 0;
        std::uint32_t min = 0;
        if (b0 < 0x80) {
            ++i;
            continue;
        } else if ((b0 & 0xE0) == 0xC0) {
            extra = 1, cp = b0 & 0x1F, min = 0x80;
        } else if ((b0 & 0xF0) == 0xE0) {
            extra = 2, cp = b0 & 0x0F, min = 0x800;
        } else if ((b0 & 0xF8) == 0xF0) {
            extra = 3, cp = b0 & 0x07, min = 0x10000;
        } else {
            return std::nullopt;
        }
        if (i + static_cast<std::size_t>(extra) >= text.size()) {
            return std::nullopt;
        }
        for (int k = 1; k <= extra; ++k) {
            const auto b = static_cast<unsigned char>(text[i + k]);
            if ((b & 0xC0) != 0x80) {
                return std::nullopt;
            }
            cp = (cp << 6) | (b & 0x3F);
        }
        if (cp < min || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF)) {
            return std::nullopt;
        }
        i += static_cast<std::size_t>(extra) + 1;
    }
    return count;
}

std::string UnescapeForTest(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] == '\\' && i + 1 < text.size()) {
            const char n = text[++i];
            out += n == 't' ? '\t' : n == 'n' ? '\n' : n;
        } else {
            out += text[i];
        }
    }
    return out;
}

TEST(StringTableFile, LinesAreWellFormedUniqueAndSorted) {
    std::string whole;
    const auto lines = ReadTsvLines(whole);
    ASSERT_FALSE(lines.empty()) << "resources/strings/ru.tsv is missing or empty";
    EXPECT_EQ(whole.back(), '\n') << "the last line must end with a newline";
    EXPECT_EQ(whole.find('\r'), std::string::npos) << "CR in the table";

    int previousId = 0;
    for (const auto& line : lines) {
        SCOPED_TRACE("line " + std::to_string(line.lineNo) + ": " + line.idText);
        ASSERT_EQ(line.tabs, 1);
        int id = 0;
        const auto [ptr, ec] =
            std::from_chars(line.idText.data(), line.idText.data() + line.idText.size(), id);
        ASSERT_TRUE(ec == std::errc() && ptr == line.idText.data() + line.idText.size()) << "bad id";
        EXPECT_NE(line.idText[0], '0') << "leading zero";
        EXPECT_GE(id, kFirstProgramId);
        EXPECT_LE(id, kLastProgramId);
        EXPECT_GT(id, previousId) << "ids must be unique and ascending";
        previousId = id;

        EXPECT_FALSE(line.text.empty());
        for (std::size_t i = 0; i < line.text.size(); ++i) {
            if (line.text[i] == '\\') {
                ASSERT_LT(i + 1, line.text.size()) << "lone backslash at the end";
                const char n = line.text[++i];
                EXPECT_TRUE(n == 't' || n == 'n' || n == '\\') << "unknown escape \\" << n;
            }
        }
        const auto chars = Utf8CharCount(UnescapeForTest(line.text));
        ASSERT_TRUE(chars.has_value()) << "not valid UTF-8";
        EXPECT_LE(*chars, kMaxTextChars);
    }
}

// The compiled-in table must say exactly what the file says: no line lost at the ends, no byte changed.
TEST(StringTable, EmbeddedTableMatchesTheFile) {
    std::string whole;
    const auto lines = ReadTsvLines(whole);
    std::vector<int> fileIds;
    for (const auto& line : lines) {
        const int id = std::stoi(line.idText);
        fileIds.push_back(id);
        EXPECT_EQ(LoadText(id), UnescapeForTest(line.text)) << "id " << id;
        EXPECT_TRUE(StringTableHasId(id)) << "id " << id;
    }
    EXPECT_EQ(StringTableIds(), fileIds);
}

TEST(StringTable, KnownTexts) {
    struct Case {
        int id;
        const char* text;
    };
    const Case cases[] = {
        {16, "Содержание помощи"},
        {152, "Удалить замер ?"},
        {302, "с"},
        {303, "Гц"},
        {501, "СКЗ"},
        {519, "Виброускорение"},
        {525, "Мощность"},
        {527, "ОГ"},
        {133, "%sП"},
        {143, "Экспертная система \"Ordyn\""},
        {705, "Скопировать отсчеты между курсорами в Буфер Обмена"},
        {1502, "%dx"},
        {8201, "Не указан принтер по умолчанию или принтер не установлен !"},
        {8520, "Замер    №%3.3d в %s от %s [%s, %s]"},
        {9999, "Default"},
        // Blanks around captions belong to the layout.
        {21003, " Файл "},
        {21015, " Помощь "},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(LoadText(c.id), c.text) << "id " << c.id;
    }
}

// These texts begin or end with a Latin "c" that looks Cyrillic; installations have always shown them so.
TEST(StringTable, LatinLookAlikesAreKept) {
    EXPECT_EQ(LoadText(308), std::string("c") + "танция");
    EXPECT_EQ(LoadText(308).front(), 'c');
    EXPECT_EQ(LoadText(321), std::string("м/") + "c" + "2");
    EXPECT_EQ(LoadText(322), std::string("мм/") + "c");
}

TEST(StringTable, UnknownIdGivesEmptyText) {
    for (int id : {-1, 0, 15, 22, 21016, 65535, 1 << 30}) {
        EXPECT_EQ(LoadText(id), "") << "id " << id;
        EXPECT_FALSE(StringTableHasId(id)) << "id " << id;
        EXPECT_EQ(FormatText(id, {1, "x"}), "") << "id " << id;
    }
}

TEST(StringTableParse, UnescapesSkipsBadLinesKeepsFirstOfRepeatedId) {
    const auto entries = detail::ParseStringTableTsv(
        "20\tsecond\r\n"
        "17\ta\\tb\\nc\\\\d\\x\n"
        "\n"
        "no tab here\n"
        "x1\tbad id\n"
        "\tno id\n"
        "20\trepeated\n"
        "18\tlast line without newline");
    const std::vector<std::pair<int, std::string>> expected = {
        {17, "a\tb\nc\\d\\x"},
        {18, "last line without newline"},
        {20, "second"},
    };
    EXPECT_EQ(entries, expected);
}

TEST(FormatString, Cases) {
    struct Case {
        const char* format;
        std::vector<FormatArg> args;
        const char* expected;
    };
    const Case cases[] = {
        {"Точка %s", {"3"}, "Точка 3"},
        {"%s и %s", {"а", "б"}, "а и б"},
        {"%d", {42}, "42"},
        {"%d", {-7}, "-7"},
        {"%d", {std::int64_t{-9223372036854775807 - 1}}, "-9223372036854775808"},
        {"%u", {7u}, "7"},
        {"%x %X", {255, 255}, "ff FF"},
        {"%5d|", {42}, "   42|"},
        {"%-5d|", {42}, "42   |"},
        {"%05d", {-42}, "-0042"},
        {"%-5s|", {"ab"}, "ab   |"},
        // Width counts characters, not UTF-8 bytes.
        {"%5s|", {"Гц"}, "   Гц|"},
        {"%.2s", {"абв"}, "аб"},
        {"%3.3d", {5}, "005"},
        {"№%3.3d", {1234}, "№1234"},
        {"%.3d", {-5}, "-005"},
        {"%%", {}, "%"},
        {"100%% %d%%", {5}, "100% 5%"},
        {"%.2f", {3.14159}, "3.14"},
        {"%f", {1.5}, "1.500000"},
        {"%8.3f", {-1.5}, "  -1.500"},
        {"%08.3f", {-1.5}, "-001.500"},
        {"%.2f", {5}, "5.00"},
        {"%e", {12345.678}, "1.234568e+04"},
        {"%.2E", {0.000123}, "1.23E-04"},
        {"%g %g %g", {0.0001, 100000.0, 1e6}, "0.0001 100000 1e+06"},
        {"%s %s %s", {42, 2.5, std::uint64_t{18446744073709551615u}}, "42 2.5 18446744073709551615"},
        {"%c", {'c'}, "%c"},
        {"%1:s %0:s", {"a", "b"}, "b a"},
        {"%1:s %s", {"a", "b", "c"}, "b c"},
        {"%*d|%-*d|", {4, 7, 3, 1}, "   7|1  |"},
        {"%.*f", {1, 2.25}, "2.2"},
        // Missing arguments insert nothing.
        {"%s и %s", {"а"}, "а и "},
        {"[%5d]", {}, "[]"},
        // Extra arguments are ignored.
        {"%s", {"a", "b", 3}, "a"},
        // A wrong kind of argument keeps the conversion visible.
        {"%d!", {"abc"}, "%d!"},
        {"%x", {1.5}, "%x"},
        {"%.1f", {"x"}, "%.1f"},
        // Unknown or cut-off conversions stay as written and take no argument.
        {"%q %d", {1}, "%q 1"},
        {"50%", {}, "50%"},
        {"%-", {1}, "%-"},
        {"%5.", {1}, "%5."},
        {"", {1}, ""},
    };
    for (const auto& c : cases) {
        EXPECT_EQ(FormatString(c.format, std::span<const FormatArg>(c.args)), c.expected)
            << "format \"" << c.format << "\"";
    }
}

TEST(FormatString, AbsurdWidthOrPrecisionStaysBounded) {
    EXPECT_LE(FormatString("%999999999999d", {1}).size(), 2000u);
    EXPECT_LE(FormatString("%.999999999999f", {1e308}).size(), 2000u);
    EXPECT_LE(FormatString("%*d", {std::int64_t{-9223372036854775807 - 1}, 1}).size(), 2000u);
    EXPECT_EQ(FormatString("%.0f", {1e308}).size(), 309u);
}

TEST(FormatText, UsesTheTableTextAsFormat) {
    EXPECT_EQ(FormatText(151, {"10.01.24", "12:00:00"}), "Замер от 10.01.24 в 12:00:00");
    EXPECT_EQ(FormatText(8522, {7, "СИГ", "Виброскорость"}), "Замер    №007 [СИГ, Виброскорость]");
    EXPECT_EQ(FormatText(1502, {3}), "3x");
    EXPECT_EQ(FormatText(1215, {"2"}), "Обнаружено перекрытие диапазонов 2 и  полос");
}

// Numbers in texts always use ".", whatever decimal separator the process locale has.
TEST(FormatString, IgnoresTheNumericLocale) {
    const std::string previous = std::setlocale(LC_NUMERIC, nullptr);
    if (std::setlocale(LC_NUMERIC, "ru_RU.UTF-8") == nullptr) {
        GTEST_SKIP() << "locale ru_RU.UTF-8 is not installed";
    }
    const std::string separator = std::localeconv()->decimal_point;
    const std::string fixed = FormatString("%.2f", {3.14159});
    const std::string general = FormatString("%g|%e|%s", {0.5, 0.5, 0.5});
    std::setlocale(LC_NUMERIC, previous.c_str());
    EXPECT_EQ(separator, ",") << "the test locale should use a comma";
    EXPECT_EQ(fixed, "3.14");
    EXPECT_EQ(general, "0.5|5.000000e-01|0.5");
}

}  // namespace
}  // namespace velmar::common
