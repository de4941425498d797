#pragma once

// Moments as day counts: a double counting days from 1899-12-30, the fraction being the time of day. Binary
// files store moments this way, and INI files store them as date and time texts.
//
// Before the epoch the integer part is still the day and the magnitude of the fraction the time of day, so
// 1899-12-29 06:00 is -1.25, not -0.75. Civil dates are proleptic Gregorian, years 1 to 9999.

#include <optional>
#include <string>
#include <string_view>

namespace velmar::common {

struct CivilTime {
    int year = 1899;
    int month = 12;
    int day = 30;
    int hour = 0;
    int minute = 0;
    int second = 0;
    int millisecond = 0;

    friend bool operator==(const CivilTime&, const CivilTime&) = default;
};

// 1997-01-01, the date a new node shows until it gets its own.
inline constexpr double kDefaultIniDate = 35431.0;

// Day counts of 0001-01-01 and 9999-12-31, the ends of the representable range.
inline constexpr double kMinDayCount = -693593.0;
inline constexpr double kMaxDayCount = 2958465.0;

// False (and `result` untouched) when a field is out of its range: year 1-9999, month 1-12, day within the
// month, hour 0-23, minute and second 0-59, millisecond 0-999.
bool TryEncodeDayCount(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       double& result) noexcept;
bool TryEncodeDayCount(const CivilTime& time, double& result) noexcept;

// Throws std::invalid_argument where TryEncodeDayCount answers false.
double EncodeDayCount(int year, int month, int day, int hour = 0, int minute = 0, int second = 0,
                      int millisecond = 0);
double EncodeDayCount(const CivilTime& time);

// Rounded to the millisecond; a time that rounds up to 24:00 becomes 00:00 of the next day. Empty for NaN,
// infinities and moments outside years 1-9999 (which a damaged file may well hold).
std::optional<CivilTime> TryDecodeDayCount(double dayCount) noexcept;

// As TryDecodeDayCount, but never fails: moments outside the range are clamped to its nearer end and NaN
// gives the epoch, so that a damaged date still shows as something.
CivilTime DecodeDayCount(double dayCount) noexcept;

// Dates as INI files hold them, written under whatever short date format the writing machine had: day,
// month and year separated by ".", "/" or "-" (the same both times), one or two digits for the day and the
// month, two or four for the year; two-digit years 00-49 are 2000-2049, 50-99 are 1950-1999. Blanks around
// the text are ignored. The result is a whole day count; empty for anything else or an impossible date.
std::optional<double> ParseIniDate(std::string_view text) noexcept;

// "h:mm" or "hh:mm:ss" (one or two digits for each field) → fraction of a day; empty for anything else.
std::optional<double> ParseIniTime(std::string_view text) noexcept;

// "dd.MM.yyyy" and "hh:mm:ss" of the moment (milliseconds are dropped from the time, not rounded into it, so
// the two texts of one moment always belong together).
std::string FormatIniDate(double dayCount);
std::string FormatIniTime(double dayCount);

}  // namespace velmar::common
