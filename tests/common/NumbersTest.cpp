#include "common/Numbers.hpp"

#include <algorithm>
#include <cmath>
#include <clocale>
#include <random>

#include <gtest/gtest.h>

#include "TestSupport.hpp"
#include "common/IniFile.hpp"

using namespace velmar::common;

TEST(Numbers, FormatCompactTable) {
    struct Case {
        int width;
        double value;
        const char* expected;
    };
    const Case cases[] = {
        {8, 0.0, "0"},
        {8, -0.0, "0"},
        {8, -1.5, "-1.5"},
        {8, 1.23456, "1.235"},
        {8, 12.3456, "12.3456"},
        {8, 100.0, "100"},
        {8, 0.5, "0.5"},
        {8, 0.00123, "0.00123"},
        {8, 1.5e-10, "1.5e-10"},
        {8, 123456789.0, "1.235e8"},
        {6, 1234567.0, "1.23e6"},
        {3, 0.5, "0.5"},  // widths below 6 count as 6
        // Rounding the mantissa up to 10 must renormalise, not print "10e-5".
        {6, 9.9996e-5, "1e-4"},
        {8, 9.9996e-5, "0.0001"},
        {8, -250.0, "-250"},
    };
    for (const Case& c : cases) {
        EXPECT_EQ(FormatCompact(c.width, c.value), c.expected) << c.width << " " << c.value;
    }
    EXPECT_EQ(FormatCompact(8, std::nan("")), "NaN");
    EXPECT_EQ(FormatCompact(8, -INFINITY), "-Inf");
}

TEST(Numbers, FormatCompactVariantsPad) {
    EXPECT_EQ(FormatCompactPadLeft(7, 1.5), "    1.5");
    EXPECT_EQ(FormatCompactPadRight(7, 1.5), "1.5    ");
    EXPECT_EQ(FormatCompactCentre(7, 1.5), "  1.5  ");
    EXPECT_EQ(FormatCompactPadLeftZero(7, 3e-10), "      0");
    EXPECT_EQ(FormatCompactPadLeft(6, 3e-10), " 3e-10");
}

TEST(Numbers, FormatCompactReadsBackWithinItsRounding) {
    std::mt19937_64 rng(12345);
    std::uniform_real_distribution<double> mant(1.0, 10.0);
    std::uniform_int_distribution<int> exp(-12, 12);
    for (int i = 0; i < 2000; ++i) {
        const double v = mant(rng) * std::pow(10.0, exp(rng)) * (i % 2 ? -1 : 1);
        // Wide enough that the mantissa of a two-digit exponent is never cut.
        const std::string text = FormatCompact(10, v);
        double back = 0;
        ASSERT_TRUE(ParseReal(text, back)) << text;
        // Three significant decimals at worst; the fixed form of small values keeps width - 2 decimals
        // (one less for the sign).
        EXPECT_NEAR(back, v, std::max(std::fabs(v) * 6e-4, 0.5e-7)) << text;
    }
}

TEST(Numbers, ParseRealTable) {
    struct Case {
        const char* text;
        bool ok;
        double value;
    };
    const Case cases[] = {
        {"1,5", true, 1.5},       {" 1 . 5 ", true, 1.5}, {"-2.5e3", true, -2500}, {"+3", true, 3},
        {"0", true, 0},           {"abc", false, 0},      {"", false, 0},          {"   ", false, 0},
        {"nan", false, 0},        {"inf", false, 0},      {"0x10", false, 0},      {"1.5.2", false, 0},
        {"1e400", false, 0},      {"12abc", false, 0},    {"1,5,", false, 0},
    };
    for (const Case& c : cases) {
        double v = 42.0;
        EXPECT_EQ(ParseReal(c.text, v), c.ok) << c.text;
        EXPECT_EQ(v, c.ok ? c.value : 42.0) << "a failed parse leaves the value unchanged: " << c.text;
    }
}

TEST(Numbers, ParseRealIgnoresTheProcessLocale) {
    if (!std::setlocale(LC_NUMERIC, "ru_RU.UTF-8")) {
        GTEST_SKIP() << "no Russian locale here";
    }
    double v = 0;
    EXPECT_TRUE(ParseReal("2.75", v));
    EXPECT_EQ(v, 2.75);
    EXPECT_EQ(FormatCompact(8, 2.75), "2.75");
    std::setlocale(LC_NUMERIC, "C");
}

TEST(Numbers, IniRealsDropCommentsAndFallBack) {
    velmar::test::TempDir dir;
    velmar::test::WriteBytes(dir / "a.ini",
                             "[S]\r\nA=12.5 ; comment\r\nB=3,25 // note\r\nC=\r\nD=x\r\nE= -7 \r\n");
    const IniFile ini(dir / "a.ini");
    EXPECT_EQ(ReadIniReal(ini, "S", "A", 0), 12.5);
    EXPECT_EQ(ReadIniReal(ini, "S", "B", 0), 3.25);
    EXPECT_EQ(ReadIniReal(ini, "S", "C", 9), 9);
    EXPECT_EQ(ReadIniReal(ini, "S", "D", 9), 9);
    EXPECT_EQ(ReadIniReal(ini, "s", "e", 9), -7);
    EXPECT_EQ(ReadIniReal(ini, "S", "Missing", 4), 4);
}

TEST(Numbers, NormalizeAngleTable) {
    struct Case {
        double in, out;
    };
    const Case cases[] = {
        {-30, 330},  {36090, 90},   {4000000, 0}, {-4000000, 0}, {360, 0},    {720.5, 0.5},
        {-36090, 270}, {0, 0},      {359.5, 359.5}, {3600000, 0},
        // A tiny negative angle must not come back as 360.
        {-1e-14, 0},
    };
    for (const Case& c : cases) {
        const double r = NormalizeAngle(c.in);
        EXPECT_NEAR(r, c.out, 1e-9) << c.in;
        EXPECT_GE(r, 0.0);
        EXPECT_LT(r, 360.0);
    }
    EXPECT_EQ(NormalizeAngle(std::nan("")), 0.0);
}
