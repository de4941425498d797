#include "common/DayCount.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace velmar::common {
namespace {

struct Reference {
    CivilTime civil;
    double dayCount;
};

// Made once with /usr/bin/python3:
//   days = (date(y, mo, d) - date(1899, 12, 30)).days
//   frac = (h*3600000 + mi*60000 + s*1000 + ms) / 86400000
//   print(repr(days + frac if days >= 0 else days - frac))
// The sign rule on the last line is the format's own: before the epoch the fraction is subtracted.
const Reference kReferences[] = {
    {{1899, 12, 30, 0, 0, 0, 0}, 0.0},
    {{1899, 12, 31, 0, 0, 0, 0}, 1.0},
    {{1900, 1, 1, 0, 0, 0, 0}, 2.0},
    {{1900, 2, 28, 0, 0, 0, 0}, 60.0},
    {{1900, 3, 1, 0, 0, 0, 0}, 61.0},  // 1900 is not a leap year
    {{1997, 1, 1, 0, 0, 0, 0}, 35431.0},
    {{2000, 1, 1, 0, 0, 0, 0}, 36526.0},
    {{2000, 2, 29, 0, 0, 0, 0}, 36585.0},
    {{2024, 2, 29, 13, 45, 30, 250}, 45351.573266782405},
    {{1997, 1, 1, 12, 0, 0, 0}, 35431.5},
    {{1999, 12, 31, 23, 59, 59, 999}, 36525.999999988424},
    {{2038, 1, 19, 3, 14, 7, 0}, 50424.13480324074},
    {{1899, 12, 29, 6, 0, 0, 0}, -1.25},
    {{1899, 12, 29, 18, 0, 0, 0}, -1.75},
    {{1800, 3, 1, 12, 30, 0, 0}, -36463.520833333336},
    {{1, 1, 1, 0, 0, 0, 0}, -693593.0},
    {{9999, 12, 31, 23, 59, 59, 999}, 2958465.9999999884},
    {{1970, 1, 1, 0, 0, 0, 1}, 25569.000000011572},
};

// Well under half a millisecond (1.16e-8 days), so a value within it decodes to the same millisecond.
constexpr double kTolerance = 1e-9;

TEST(DayCount, EncodesLikeThePythonReference) {
    for (const auto& r : kReferences) {
        const auto& c = r.civil;
        SCOPED_TRACE(testing::Message() << c.year << "-" << c.month << "-" << c.day << " " << c.hour << ":"
                                        << c.minute << ":" << c.second << "." << c.millisecond);
        EXPECT_NEAR(EncodeDayCount(c.year, c.month, c.day, c.hour, c.minute, c.second, c.millisecond),
                    r.dayCount, kTolerance);
        EXPECT_NEAR(EncodeDayCount(c), r.dayCount, kTolerance);
    }
}

TEST(DayCount, DecodesThePythonReferenceToTheMillisecond) {
    for (const auto& r : kReferences) {
        SCOPED_TRACE(r.dayCount);
        EXPECT_EQ(DecodeDayCount(r.dayCount), r.civil);
        EXPECT_EQ(TryDecodeDayCount(r.dayCount), r.civil);
    }
}

TEST(DayCount, DefaultDateIsFirstOfJanuary1997) {
    EXPECT_EQ(kDefaultIniDate, EncodeDayCount(1997, 1, 1));
    EXPECT_EQ(FormatIniDate(kDefaultIniDate), "01.01.1997");
}

TEST(DayCount, NegativeZeroAndSmallNegativesAreTimesOfTheEpochDay) {
    // trunc(-0.5) is day 0, and the fraction's magnitude is the time: noon of 1899-12-30.
    EXPECT_EQ(DecodeDayCount(-0.5), (CivilTime{1899, 12, 30, 12, 0, 0, 0}));
    EXPECT_EQ(DecodeDayCount(-0.0), (CivilTime{1899, 12, 30, 0, 0, 0, 0}));
}

TEST(DayCount, TimeRoundingUpToMidnightCarriesIntoTheNextDay) {
    const double halfMs = 0.5 / 86'400'000.0;
    struct Case {
        double dayCount;
        CivilTime expected;
    };
    const Case cases[] = {
        {36525.0 + 1.0 - halfMs / 4, {2000, 1, 1, 0, 0, 0, 0}},
        // Before the epoch "later in the day" still means "towards the next day": -1.99999... is the end of
        // 1899-12-29, which rounds to the start of 1899-12-30.
        {-2.0 + halfMs / 4, {1899, 12, 30, 0, 0, 0, 0}},
        {2000.0 + 59.9996 / 86'400.0, {1905, 6, 22, 0, 1, 0, 0}},
        {2000.0 + 59.9994 / 86'400.0, {1905, 6, 22, 0, 0, 59, 999}},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dayCount);
        EXPECT_EQ(DecodeDayCount(c.dayCount), c.expected);
    }
}

TEST(DayCount, EncodeRejectsFieldsOutOfRange) {
    struct Case {
        int y, mo, d, h, mi, s, ms;
    };
    const Case bad[] = {
        {0, 1, 1, 0, 0, 0, 0},     {10000, 1, 1, 0, 0, 0, 0},   {2000, 0, 1, 0, 0, 0, 0},
        {2000, 13, 1, 0, 0, 0, 0}, {2000, 1, 0, 0, 0, 0, 0},    {2000, 1, 32, 0, 0, 0, 0},
        {1900, 2, 29, 0, 0, 0, 0}, {2023, 2, 29, 0, 0, 0, 0},   {2000, 4, 31, 0, 0, 0, 0},
        {2000, 1, 1, 24, 0, 0, 0}, {2000, 1, 1, -1, 0, 0, 0},   {2000, 1, 1, 0, 60, 0, 0},
        {2000, 1, 1, 0, 0, 60, 0}, {2000, 1, 1, 0, 0, 0, 1000}, {2000, 1, 1, 0, 0, 0, -1},
    };
    for (const auto& c : bad) {
        SCOPED_TRACE(testing::Message() << c.y << "-" << c.mo << "-" << c.d << " " << c.h << ":" << c.mi
                                        << ":" << c.s << "." << c.ms);
        double out = 123.0;
        EXPECT_FALSE(TryEncodeDayCount(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms, out));
        EXPECT_EQ(out, 123.0);
        EXPECT_THROW(EncodeDayCount(c.y, c.mo, c.d, c.h, c.mi, c.s, c.ms), std::invalid_argument);
    }
    double out = 0.0;
    EXPECT_TRUE(TryEncodeDayCount(2000, 2, 29, 23, 59, 59, 999, out));
}

TEST(DayCount, ValuesOutsideTheCalendarAreRefusedOrClamped) {
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double inf = std::numeric_limits<double>::infinity();
    const CivilTime first{1, 1, 1, 0, 0, 0, 0};
    const CivilTime last{9999, 12, 31, 23, 59, 59, 999};
    for (double v : {nan, inf, -inf, 1e300, -1e300, kMinDayCount - 1.0, kMaxDayCount + 1.0}) {
        EXPECT_FALSE(TryDecodeDayCount(v).has_value()) << v;
    }
    EXPECT_EQ(DecodeDayCount(nan), CivilTime{});
    EXPECT_EQ(DecodeDayCount(1e300), last);
    EXPECT_EQ(DecodeDayCount(inf), last);
    EXPECT_EQ(DecodeDayCount(kMaxDayCount + 1.0), last);
    EXPECT_EQ(DecodeDayCount(-1e300), first);
    EXPECT_EQ(DecodeDayCount(-inf), first);
    // Below the first day's count, yet inside: the integer part names the day, the fraction is its noon.
    EXPECT_EQ(TryDecodeDayCount(kMinDayCount - 0.5), (CivilTime{1, 1, 1, 12, 0, 0, 0}));
    EXPECT_EQ(TryDecodeDayCount(kMinDayCount), first);
    EXPECT_EQ(FormatIniDate(1e300), "31.12.9999");
    EXPECT_EQ(FormatIniTime(nan), "00:00:00");
}

TEST(DayCount, ParsesIniDatesWrittenUnderAnyShortDateFormat) {
    struct Case {
        const char* text;
        int y, mo, d;
    };
    const Case cases[] = {
        {"01.01.97", 1997, 1, 1},      {"01.01.1997", 1997, 1, 1}, {"1.1.97", 1997, 1, 1},
        {"29/02/2000", 2000, 2, 29},   {"29-02-00", 2000, 2, 29},  {"5/7/2049", 2049, 7, 5},
        {"31.12.49", 2049, 12, 31},    {"01.01.50", 1950, 1, 1},   {"15.06.99", 1999, 6, 15},
        {"  07.03.2011 ", 2011, 3, 7}, {"\t07.3.11", 2011, 3, 7},  {"01.01.0001", 1, 1, 1},
        {"01.01.1899", 1899, 1, 1},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = ParseIniDate(c.text);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_EQ(*parsed, EncodeDayCount(c.y, c.mo, c.d));
    }
}

TEST(DayCount, RejectsMalformedOrImpossibleIniDates) {
    const char* const bad[] = {
        "",           " ",          "01.01",    "01.01.",   "01.01.9",        "01.01.199", "01.01.19970",
        "01.01.97x",  "x01.01.97",  "01,01,97", "01.01-97", "01/01.1997",     "001.01.97", "01.001.97",
        "32.01.97",   "29.02.1900", "29.02.23", "00.01.97", "01.00.97",       "01.13.97",  "01.01.0000",
        "1997-01-01", "01 .01.97",  "-1.01.97", "+1.01.97", "01.01.97 12:00",
    };
    for (const char* text : bad) {
        EXPECT_FALSE(ParseIniDate(text).has_value()) << '"' << text << '"';
    }
}

TEST(DayCount, ParsesIniTimes) {
    struct Case {
        const char* text;
        int h, mi, s;
    };
    const Case cases[] = {
        {"00:00:00", 0, 0, 0},    {"0:00", 0, 0, 0},      {"9:05", 9, 5, 0},  {"09:05:07", 9, 5, 7},
        {"23:59:59", 23, 59, 59}, {" 12:30 ", 12, 30, 0}, {"7:3:2", 7, 3, 2},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.text);
        const auto parsed = ParseIniTime(c.text);
        ASSERT_TRUE(parsed.has_value());
        EXPECT_NEAR(*parsed, EncodeDayCount(1899, 12, 30, c.h, c.mi, c.s), kTolerance);
        EXPECT_EQ(DecodeDayCount(*parsed), (CivilTime{1899, 12, 30, c.h, c.mi, c.s, 0}));
    }
    const char* const bad[] = {"",       "12",     "12:",   "12:00:",      "24:00", "12:60",    "12:00:60",
                               "123:00", "12:000", "12.00", "12:00:00:00", "-1:00", "12:00 PM", "12:00:00.5"};
    for (const char* text : bad) {
        EXPECT_FALSE(ParseIniTime(text).has_value()) << '"' << text << '"';
    }
}

TEST(DayCount, FormatsIniDateAndTime) {
    struct Case {
        double dayCount;
        const char* date;
        const char* time;
    };
    const Case cases[] = {
        {0.0, "30.12.1899", "00:00:00"},
        {35431.0, "01.01.1997", "00:00:00"},
        {45351.573266782405, "29.02.2024", "13:45:30"},
        {36525.999999988424, "31.12.1999", "23:59:59"},  // .999 s is dropped, not rounded into the date
        {-1.25, "29.12.1899", "06:00:00"},
        {-693593.0, "01.01.0001", "00:00:00"},
        {36526.0 - 0.1 / 86'400'000.0, "01.01.2000", "00:00:00"},  // rounds to midnight: both texts move on
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.dayCount);
        EXPECT_EQ(FormatIniDate(c.dayCount), c.date);
        EXPECT_EQ(FormatIniTime(c.dayCount), c.time);
    }
}

TEST(DayCount, WrittenIniTextsReadBackToTheSameSecond) {
    for (double v : {0.0, 35431.25, 45351.573266782405, -1.75, -36463.520833333336, 2958465.5}) {
        SCOPED_TRACE(v);
        const auto date = ParseIniDate(FormatIniDate(v));
        const auto time = ParseIniTime(FormatIniTime(v));
        ASSERT_TRUE(date && time);
        const CivilTime original = DecodeDayCount(v);
        const CivilTime day = DecodeDayCount(*date);
        const CivilTime clock = DecodeDayCount(*time);
        EXPECT_EQ((CivilTime{day.year, day.month, day.day, clock.hour, clock.minute, clock.second, 0}),
                  (CivilTime{original.year, original.month, original.day, original.hour, original.minute,
                             original.second, 0}));
    }
}

}  // namespace
}  // namespace velmar::common
