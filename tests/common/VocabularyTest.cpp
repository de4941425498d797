#include "common/Vocabulary.hpp"

#include <gtest/gtest.h>

using namespace velmar::common;

namespace {

ViewSettings Modes(int v, int a, int s, int inches) { return ViewSettings{v, a, s, inches}; }

}  // namespace

TEST(Vocabulary, NamesAndUnitsFollowTheTables) {
    const ViewSettings mm;
    const ViewSettings inch = Modes(1, 1, 1, 1);
    EXPECT_EQ(KindName(1024), "");
    EXPECT_EQ(KindName(512), "Огибающая");
    EXPECT_EQ(KindShortName(512), "ОГ");
    EXPECT_EQ(KindName(4), "Спектр всего сигнала");
    EXPECT_EQ(QuantityName(2048), "Сила");
    EXPECT_EQ(QuantityName(256), "");
    EXPECT_EQ(QuantityUnit(256, mm), "т");
    EXPECT_EQ(QuantityUnit(4096, mm), "дБ");
    EXPECT_EQ(QuantityUnit(8, mm), "?");
    // Written with a Latin "c", as installations have always shown it.
    EXPECT_EQ(QuantityUnit(4, mm), "м/\x63" "2");
    EXPECT_EQ(QuantityUnit(2, mm), "мм/\x63");
    EXPECT_EQ(QuantityUnit(2, inch), "дюйм/с");
    EXPECT_EQ(AxisUnit(2), "с");
    EXPECT_EQ(AxisUnit(128), "с");
    EXPECT_EQ(AxisUnit(32), "Гц");
    EXPECT_EQ(AxisUnit(1), "?");
}

TEST(Vocabulary, DomainsAreExactSets) {
    for (std::uint32_t bit = 0; bit < 32; ++bit) {
        const std::uint32_t k = 1u << bit;
        const bool time = k == 2 || k == 128 || k == 512;
        const bool freq = k == 4 || k == 8 || k == 16 || k == 32 || k == 64 || k == 256;
        EXPECT_EQ(IsTimeDomain(k), time) << k;
        EXPECT_EQ(IsFrequencyDomain(k), freq) << k;
    }
    EXPECT_FALSE(IsTimeDomain(6));  // masks are not kinds
}

TEST(Vocabulary, DisplayFactorTable) {
    struct Case {
        std::uint32_t kind, quantity;
        ViewSettings view;
        double expected;
    };
    const double inch = 0.03937007874015748;
    const Case cases[] = {
        {2, 2, Modes(1, 1, 1, 0), 1.0},
        {2, 2, Modes(0, 0, 0, 1), inch},
        {2, 4, Modes(0, 0, 0, 1), 1.0},
        {128, 2, Modes(1, 1, 1, 1), inch},
        {4, 2, Modes(0, 1, 1, 1), 0.7071 / 25.4},
        {4, 2, Modes(2, 1, 1, 0), 2.0},
        {4, 2, Modes(1, 1, 1, 1), inch},
        {4, 16, Modes(0, 0, 0, 1), 1.0},
        {4, 16, Modes(2, 2, 2, 0), 1.0},
        {1, 4, Modes(1, 2, 1, 0), 2.0},
        {1, 4, Modes(1, 0, 1, 0), 0.7071},
        {32, 1, Modes(1, 1, 0, 0), 0.7071},
        {4, 4, Modes(1, 5, 1, 0), 1.0},
        {4, 4, Modes(1, -1, 1, 0), 1.0},
    };
    for (const Case& c : cases) {
        EXPECT_DOUBLE_EQ(DisplayFactor(c.kind, c.quantity, c.view), c.expected)
            << "kind " << c.kind << " quantity " << c.quantity;
    }
    // The sine constant is the program's own, not 1/sqrt(2).
    EXPECT_EQ(DisplayFactor(4, 4, Modes(1, 0, 1, 0)), 0.7071);
}
