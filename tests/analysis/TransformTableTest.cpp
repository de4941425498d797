// The conversion chains read from PREOBR.INI, and the file the program ships.

#include <gtest/gtest.h>

#include <string>

#include "TestSupport.hpp"
#include "analysis/TransformTable.hpp"
#include "common/IniFile.hpp"

namespace velmar::analysis {
namespace {

using S = StepCode;

TransformTable FromText(const std::string& text) {
    TransformTable table;
    table.Load(common::IniFile::FromBytes(text));
    return table;
}

StepChain Chain(S a, S b = S::kNone, S c = S::kNone, S d = S::kNone) {
    return StepChain{a, b, c, d};
}

TEST(TransformTable, valuesBecomeChainsOfFourSteps) {
    const TransformTable table = FromText(
        "[SigSpc]\r\n"
        "AccVel=BpfInt\r\n"
        "AccDis=BpfIntIntGarSpf\r\n"  // more than 12 characters: the fifth step is cut off
        "VelVel=Bpf\r\n"
        "VelAcc=bpfDIF\r\n"  // steps are read in any letter case
        "DisDis=\r\n"        // empty: no operation
        "DisVel=*\r\n"
        "DisAcc=BpfXyzPw\r\n"       // an unknown piece and a short one are no operations
        "VltVlt=Spf Spo Pwb\r\n");  // pieces are cut every three characters, blanks and all
    EXPECT_EQ(table.Chain(2, 4, 4, 2), Chain(S::kFft, S::kIntegrate));
    EXPECT_EQ(table.Chain(2, 4, 4, 1), Chain(S::kFft, S::kIntegrate, S::kIntegrate, S::kHarmonics));
    EXPECT_EQ(table.Chain(2, 2, 4, 2), Chain(S::kFft));
    EXPECT_EQ(table.Chain(2, 2, 4, 4), Chain(S::kFft, S::kDifferentiate));
    EXPECT_EQ(table.Chain(2, 1, 4, 1), Chain(S::kNone));
    EXPECT_EQ(table.Chain(2, 1, 4, 2)[0], S::kImpossible);
    EXPECT_EQ(table.Chain(2, 1, 4, 4), Chain(S::kFft));
    EXPECT_EQ(table.Chain(2, 16, 4, 16), Chain(S::kPartSpectrum, S::kNone, S::kNone, S::kNone));
    // A key the section does not have is "*".
    EXPECT_EQ(table.Chain(2, 4, 4, 4)[0], S::kImpossible);
    // A section that is not there leaves its whole block impossible.
    EXPECT_EQ(table.Chain(4, 4, 4, 2)[0], S::kImpossible);
}

TEST(TransformTable, sameKindAndQuantityIsIdentityOnlyWithItsSection) {
    const TransformTable table = FromText("[SigSig]\r\nAccAcc=Int\r\n[SpcPwb]\r\nVelVel=Pwb\r\n");
    EXPECT_EQ(table.Chain(2, 4, 2, 4), Chain(S::kNone));  // the key is not even read
    EXPECT_TRUE(table.CanConvertKind(2, 2));
    EXPECT_FALSE(table.CanConvertKind(4, 4));
    EXPECT_TRUE(table.CanConvertKind(4, 256));
    EXPECT_FALSE(table.CanConvertKind(2, 4));
    EXPECT_TRUE(table.CanConvertQuantity(2, 2));
    EXPECT_FALSE(table.CanConvertQuantity(2, 4));
    // The driver converts an identity whatever the table says.
    EXPECT_TRUE(table.CanConvert(4, 2, 4, 2));
    EXPECT_TRUE(table.CanConvert(4, 2, 256, 2));
    EXPECT_FALSE(table.CanConvert(4, 2, 256, 4));
}

TEST(TransformTable, codesOutsideTheTablesConvertNothing) {
    const TransformTable table = FromText("[SigSpc]\r\nAccAcc=Bpf\r\n");
    EXPECT_EQ(table.Chain(8, 4, 4, 4)[0], S::kImpossible);      // the power spectrum has no file code
    EXPECT_EQ(table.Chain(2, 128, 4, 128)[0], S::kImpossible);  // "Nkt" has no place in the tables
    EXPECT_EQ(table.Chain(3, 4, 4, 4)[0], S::kImpossible);
    EXPECT_FALSE(table.CanConvertKind(3, 4));
    EXPECT_FALSE(table.CanConvertQuantity(4, 0));
    EXPECT_FALSE(table.CanConvert(3, 4, 4, 4));
}

TEST(LoadTransformTable, readsTheFileInAnyLetterCaseAndSaysWhenItIsMissing) {
    test::TempDir dir;
    TransformTable table;
    TransformTableFile missing = LoadTransformTable(table, dir.path());
    EXPECT_FALSE(missing.found);
    EXPECT_EQ(missing.path, dir.path() / "PREOBR.INI");
    EXPECT_FALSE(table.CanConvertKind(2, 4));
    EXPECT_TRUE(table.CanConvert(2, 4, 2, 4));  // identity stays possible

    test::WriteBytes(dir / "preobr.ini", "[SigSpc]\r\nAccAcc=Bpf\r\n");
    const TransformTableFile found = LoadTransformTable(table, dir.path());
    EXPECT_TRUE(found.found);
    EXPECT_EQ(found.path, dir.path() / "preobr.ini");
    EXPECT_EQ(table.Chain(2, 4, 4, 4), Chain(S::kFft));

    // Loading again starts from an empty table.
    test::WriteBytes(dir / "preobr.ini", "[SpcPwb]\r\nAccAcc=Pwb\r\n");
    LoadTransformTable(table, dir.path());
    EXPECT_EQ(table.Chain(2, 4, 4, 4)[0], S::kImpossible);
}

TEST(ParseKindCode, takesFileCodesInAnyCaseAndCodeNumbers) {
    EXPECT_EQ(ParseKindCode("Spc"), 4u);
    EXPECT_EQ(ParseKindCode("sig"), 2u);
    EXPECT_EQ(ParseKindCode("ENV"), 512u);
    EXPECT_EQ(ParseKindCode(" Pwb "), 256u);
    EXPECT_EQ(ParseKindCode("32"), 32u);
    EXPECT_EQ(ParseKindCode("8"), 8u);  // the power spectrum: no file code, but a kind
    EXPECT_EQ(ParseKindCode("3"), std::nullopt);
    EXPECT_EQ(ParseKindCode("Spectrum"), std::nullopt);
    EXPECT_EQ(ParseKindCode(""), std::nullopt);
    EXPECT_EQ(ParseQuantityCode("Vel"), 2u);
    EXPECT_EQ(ParseQuantityCode("acc"), 4u);
    EXPECT_EQ(ParseQuantityCode("Frc"), 2048u);
    EXPECT_EQ(ParseQuantityCode("1"), 1u);
    EXPECT_EQ(ParseQuantityCode("Xyz"), std::nullopt);
    EXPECT_EQ(ParseQuantityCode("3"), std::nullopt);
    EXPECT_EQ(KindFileCode(128), "Kep");
    EXPECT_EQ(KindFileCode(8), "");
    EXPECT_EQ(QuantityFileCode(64), "Oms");
}

// The shipped file: an acceleration signal turns into a velocity spectrum by FFT and integration of the
// lines; signals change quantity in the time domain; every mechanical quantity reaches every other in
// every kind a signal converts to.
TEST(ShippedTransformTable, holdsTheChainsOfVibrationWork) {
    TransformTable table;
    const TransformTableFile file =
        LoadTransformTable(table, std::filesystem::path(VELMAR_SOURCE_DIR) / "resources" / "ini");
    ASSERT_TRUE(file.found);

    EXPECT_EQ(table.Chain(2, 4, 4, 2), Chain(S::kFft, S::kIntegrate));
    EXPECT_EQ(table.Chain(2, 4, 2, 2), Chain(S::kIntegrate));
    EXPECT_EQ(table.Chain(2, 4, 2, 1), Chain(S::kIntegrate, S::kIntegrate));
    EXPECT_EQ(table.Chain(2, 1, 2, 4), Chain(S::kDifferentiate, S::kDifferentiate));
    EXPECT_EQ(table.Chain(512, 4, 32, 4), Chain(S::kFft));
    EXPECT_EQ(table.Chain(2, 2, 16, 2), Chain(S::kPartSpectrum));
    EXPECT_EQ(table.Chain(2, 16, 4, 16), Chain(S::kFft));

    const std::uint32_t mechanical[] = {4, 2, 1};
    for (std::uint32_t target : {2u, 4u, 16u, 64u, 128u, 256u}) {
        for (std::uint32_t from : mechanical) {
            for (std::uint32_t to : mechanical) {
                EXPECT_TRUE(table.CanConvert(2, from, target, to)) << target << " " << from << " " << to;
            }
        }
    }
    for (std::uint32_t kind : {1u, 2u, 4u, 16u, 32u, 64u, 128u, 256u, 512u}) {
        EXPECT_TRUE(table.CanConvertKind(kind, kind)) << kind;
    }
    // No step turns a spectrum back into a signal.
    EXPECT_FALSE(table.CanConvertKind(4, 2));
}

}  // namespace
}  // namespace velmar::analysis
