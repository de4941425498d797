#pragma once
// The program's string table: every text shown to the user is looked up by its numeric id. The table is
// compiled in from resources/strings/ru.tsv (one "id<TAB>text" line per id, UTF-8), so a binary never runs
// with its texts missing.

#include <concepts>
#include <cstdint>
#include <initializer_list>
#include <span>
#include <string>
#include <string_view>
#include <utility>
#include <variant>
#include <vector>

namespace velmar::common {

// The text of `id`, UTF-8; empty for an id the table does not hold.
std::string LoadText(int id);

bool StringTableHasId(int id);

// Every id of the table, ascending.
std::vector<int> StringTableIds();

// One argument of a formatted text: a string, a signed or unsigned integer, or a real.
class FormatArg {
  public:
    using Value = std::variant<std::string, std::int64_t, std::uint64_t, double>;

    FormatArg(std::string_view text) : value_(std::string(text)) {}
    FormatArg(const std::string& text) : value_(text) {}
    FormatArg(const char* text) : value_(std::string(text != nullptr ? text : "")) {}
    // A single char is text, not a number.
    FormatArg(char c) : value_(std::string(1, c)) {}
    template <std::signed_integral T>
    FormatArg(T number) : value_(static_cast<std::int64_t>(number)) {}
    template <std::unsigned_integral T>
    FormatArg(T number) : value_(static_cast<std::uint64_t>(number)) {}
    FormatArg(double number) : value_(number) {}
    FormatArg(float number) : value_(static_cast<double>(number)) {}

    const Value& value() const { return value_; }

  private:
    Value value_;
};

// Applies a printf-style format with the extensions the table's texts use:
//   %[index:][-][0][width][.precision]type, width and precision may be "*" (taken from the arguments);
//   type s (text), d (integer; precision = minimum digits, so "%3.3d" of 5 is "005"), u (unsigned),
//   x / X (hex), f, e / E, g / G (reals, printf rules and default precision 6), and "%%" for "%".
//   "index:" picks the argument by its 0-based position; conversions without it continue after the last one
//   used.
// Widths and precisions count characters, not bytes. Numbers always use "." whatever the process locale.
// A conversion without an argument inserts nothing; an argument of the wrong kind (a text for %d, a real for
// %x) or an unknown conversion leaves its text in the result. Extra arguments are ignored. Integers are
// accepted by the real conversions and any argument by %s.
std::string FormatString(std::string_view format, std::initializer_list<FormatArg> args);
std::string FormatString(std::string_view format, std::span<const FormatArg> args);

// FormatString with the table's text of `id` as the format; empty for an unknown id.
std::string FormatText(int id, std::initializer_list<FormatArg> args);
std::string FormatText(int id, std::span<const FormatArg> args);

namespace detail {
// Parses the table's TSV text: lines "id<TAB>text" with "\t", "\n" and "\\" escapes in the text. Empty and
// malformed lines are skipped; for a repeated id the first line wins. The result is sorted by id.
std::vector<std::pair<int, std::string>> ParseStringTableTsv(std::string_view tsv);
}  // namespace detail

}  // namespace velmar::common
