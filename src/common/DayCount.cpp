#include "common/DayCount.hpp"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <stdexcept>

namespace velmar::common {

namespace {

constexpr std::int64_t kMsPerDay = 86'400'000;
// 1899-12-30 counted from 1970-01-01, the origin of the civil-date arithmetic below.
constexpr std::int64_t kEpochFromUnixDays = -25'569;
constexpr std::int64_t kFirstMs = static_cast<std::int64_t>(kMinDayCount) * kMsPerDay;
constexpr std::int64_t kLastMs = static_cast<std::int64_t>(kMaxDayCount) * kMsPerDay + kMsPerDay - 1;

bool IsLeapYear(int year) noexcept {
    return (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
}

int DaysInMonth(int year, int month) noexcept {
    static constexpr int kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return month == 2 && IsLeapYear(year) ? 29 : kDays[month - 1];
}

// Days from 1970-01-01 of a proleptic Gregorian date (the era arithmetic of H. Hinnant's civil calendar
// algorithms, which stays exact for every year we accept).
std::int64_t DaysFromCivil(int year, int month, int day) noexcept {
    const std::int64_t y = year - (month <= 2 ? 1 : 0);
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const std::int64_t yearOfEra = y - era * 400;
    const std::int64_t dayOfYear = (153 * (month + (month > 2 ? -3 : 9)) + 2) / 5 + day - 1;
    const std::int64_t dayOfEra = yearOfEra * 365 + yearOfEra / 4 - yearOfEra / 100 + dayOfYear;
    return era * 146'097 + dayOfEra - 719'468;
}

void CivilFromDays(std::int64_t days, int& year, int& month, int& day) noexcept {
    days += 719'468;
    const std::int64_t era = (days >= 0 ? days : days - 146'096) / 146'097;
    const std::int64_t dayOfEra = days - era * 146'097;
    const std::int64_t yearOfEra =
        (dayOfEra - dayOfEra / 1460 + dayOfEra / 36'524 - dayOfEra / 146'096) / 365;
    const std::int64_t dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const std::int64_t mp = (5 * dayOfYear + 2) / 153;
    day = static_cast<int>(dayOfYear - (153 * mp + 2) / 5 + 1);
    month = static_cast<int>(mp < 10 ? mp + 3 : mp - 9);
    year = static_cast<int>(yearOfEra + era * 400 + (month <= 2 ? 1 : 0));
}

// Milliseconds from the epoch on a straight time line, from a finite day count near the valid range. The
// integer part is the day whatever the sign, and the fraction's magnitude runs forward within that day.
std::int64_t LinearMs(double dayCount) noexcept {
    const double whole = std::trunc(dayCount);
    const double fraction = std::fabs(dayCount - whole);
    const auto ms = static_cast<std::int64_t>(std::nearbyint(fraction * static_cast<double>(kMsPerDay)));
    return static_cast<std::int64_t>(whole) * kMsPerDay + ms;
}

CivilTime CivilFromLinearMs(std::int64_t linear) noexcept {
    std::int64_t days = linear / kMsPerDay;
    std::int64_t msOfDay = linear % kMsPerDay;
    if (msOfDay < 0) {
        msOfDay += kMsPerDay;
        --days;
    }
    CivilTime t;
    CivilFromDays(days + kEpochFromUnixDays, t.year, t.month, t.day);
    t.hour = static_cast<int>(msOfDay / 3'600'000);
    t.minute = static_cast<int>(msOfDay / 60'000 % 60);
    t.second = static_cast<int>(msOfDay / 1000 % 60);
    t.millisecond = static_cast<int>(msOfDay % 1000);
    return t;
}

bool InsideRange(double dayCount) noexcept {
    // A day either side of the range still decodes into it for some fractions; LinearMs decides those.
    return dayCount >= kMinDayCount - 1.0 && dayCount <= kMaxDayCount + 1.0;
}

std::string_view TrimBlanks(std::string_view text) noexcept {
    while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) {
        text.remove_prefix(1);
    }
    while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) {
        text.remove_suffix(1);
    }
    return text;
}

// Reads minDigits..maxDigits decimal digits at pos; answers the count read, 0 when fewer than minDigits.
int ReadNumber(std::string_view text, std::size_t& pos, int minDigits, int maxDigits, int& value) noexcept {
    int count = 0;
    value = 0;
    while (pos < text.size() && count < maxDigits && text[pos] >= '0' && text[pos] <= '9') {
        value = value * 10 + (text[pos] - '0');
        ++pos;
        ++count;
    }
    return count >= minDigits ? count : 0;
}

}  // namespace

bool TryEncodeDayCount(int year, int month, int day, int hour, int minute, int second, int millisecond,
                       double& result) noexcept {
    if (year < 1 || year > 9999 || month < 1 || month > 12 || day < 1 || day > DaysInMonth(year, month) ||
        hour < 0 || hour > 23 || minute < 0 || minute > 59 || second < 0 || second > 59 || millisecond < 0 ||
        millisecond > 999) {
        return false;
    }
    const std::int64_t days = DaysFromCivil(year, month, day) - kEpochFromUnixDays;
    const std::int64_t msOfDay = ((hour * 60LL + minute) * 60 + second) * 1000 + millisecond;
    const double timeOfDay = static_cast<double>(msOfDay) / static_cast<double>(kMsPerDay);
    result = days >= 0 ? static_cast<double>(days) + timeOfDay : static_cast<double>(days) - timeOfDay;
    return true;
}

bool TryEncodeDayCount(const CivilTime& t, double& result) noexcept {
    return TryEncodeDayCount(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond, result);
}

double EncodeDayCount(int year, int month, int day, int hour, int minute, int second, int millisecond) {
    double result = 0.0;
    if (!TryEncodeDayCount(year, month, day, hour, minute, second, millisecond, result)) {
        throw std::invalid_argument("date or time out of range");
    }
    return result;
}

double EncodeDayCount(const CivilTime& t) {
    return EncodeDayCount(t.year, t.month, t.day, t.hour, t.minute, t.second, t.millisecond);
}

std::optional<CivilTime> TryDecodeDayCount(double dayCount) noexcept {
    if (!std::isfinite(dayCount) || !InsideRange(dayCount)) {
        return std::nullopt;
    }
    const std::int64_t linear = LinearMs(dayCount);
    if (linear < kFirstMs || linear > kLastMs) {
        return std::nullopt;
    }
    return CivilFromLinearMs(linear);
}

CivilTime DecodeDayCount(double dayCount) noexcept {
    if (std::isnan(dayCount)) {
        return CivilTime{};
    }
    std::int64_t linear = 0;
    if (dayCount < kMinDayCount - 1.0) {
        linear = kFirstMs;
    } else if (dayCount > kMaxDayCount + 1.0) {
        linear = kLastMs;
    } else {
        linear = std::clamp(LinearMs(dayCount), kFirstMs, kLastMs);
    }
    return CivilFromLinearMs(linear);
}

std::optional<double> ParseIniDate(std::string_view text) noexcept {
    text = TrimBlanks(text);
    std::size_t pos = 0;
    int day = 0;
    int month = 0;
    int year = 0;
    if (!ReadNumber(text, pos, 1, 2, day) || pos >= text.size()) {
        return std::nullopt;
    }
    const char separator = text[pos++];
    if (separator != '.' && separator != '/' && separator != '-') {
        return std::nullopt;
    }
    if (!ReadNumber(text, pos, 1, 2, month) || pos >= text.size() || text[pos++] != separator) {
        return std::nullopt;
    }
    const int yearDigits = ReadNumber(text, pos, 2, 4, year);
    if (pos != text.size() || (yearDigits != 2 && yearDigits != 4)) {
        return std::nullopt;
    }
    if (yearDigits == 2) {
        year += year < 50 ? 2000 : 1900;
    }
    double result = 0.0;
    if (!TryEncodeDayCount(year, month, day, 0, 0, 0, 0, result)) {
        return std::nullopt;
    }
    return result;
}

std::optional<double> ParseIniTime(std::string_view text) noexcept {
    text = TrimBlanks(text);
    std::size_t pos = 0;
    int hour = 0;
    int minute = 0;
    int second = 0;
    if (!ReadNumber(text, pos, 1, 2, hour) || pos >= text.size() || text[pos++] != ':' ||
        !ReadNumber(text, pos, 1, 2, minute)) {
        return std::nullopt;
    }
    if (pos < text.size()) {
        if (text[pos++] != ':' || !ReadNumber(text, pos, 1, 2, second) || pos != text.size()) {
            return std::nullopt;
        }
    }
    if (hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    return static_cast<double>((hour * 60 + minute) * 60 + second) / 86'400.0;
}

std::string FormatIniDate(double dayCount) {
    const CivilTime t = DecodeDayCount(dayCount);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d.%02d.%04d", t.day, t.month, t.year);
    return buffer;
}

std::string FormatIniTime(double dayCount) {
    const CivilTime t = DecodeDayCount(dayCount);
    char buffer[16];
    std::snprintf(buffer, sizeof buffer, "%02d:%02d:%02d", t.hour, t.minute, t.second);
    return buffer;
}

}  // namespace velmar::common
