// Machine passports in their two forms: the INI files and the binary value tables, their group flags and
// the passport record built from them.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <cstring>

#include "ArchiveKindsSupport.hpp"
#include "archive/ProgDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "common/Codepage.hpp"

namespace velmar::archive {
namespace {

namespace fs = std::filesystem;
using test::FixtureArchive;
using ::testing::ElementsAre;

// The text at index n (from 0) of a passport record: its length byte and bytes, as UTF-8.
std::string RecordText(const PassportRecord& record, int n) {
    const std::uint8_t* text = record.data() + 256 * n;
    return common::Cp1251ToUtf8(std::string_view(reinterpret_cast<const char*>(text + 1), text[0]));
}

// A binary passport: "PSP\" and the name at 60 in a 100-byte header, then {u16 offset, u8 length} entries.
std::string BinaryPassport(std::string_view nameCp1251,
                           const std::vector<std::pair<int, std::string>>& values, int entries) {
    std::string bytes(100 + 3 * static_cast<std::size_t>(entries), '\0');
    std::memcpy(bytes.data(), "PSP\\", 4);
    std::memcpy(bytes.data() + 60, nameCp1251.data(), std::min<std::size_t>(nameCp1251.size(), 20));
    for (const auto& [k, value] : values) {
        const std::size_t offset = bytes.size();
        bytes += value;
        bytes[100 + 3 * k] = static_cast<char>(offset & 0xFF);
        bytes[101 + 3 * k] = static_cast<char>(offset >> 8);
        bytes[102 + 3 * k] = static_cast<char>(value.size());
    }
    return bytes;
}

class PassportTest : public ::testing::Test {
  protected:
    void SetUp() override {
        const fs::path psp = fixture.Plant() / "Psp";
        // Cut short before the end of its header.
        velmar::test::WriteBytes(psp / "ZZ_SHORT.psp", std::string("PSP\\") + std::string(50, '\1'));
        // Only the older point-count value, and a name filling its field.
        velmar::test::WriteBytes(psp / "VN_OLD.psp",
                                 BinaryPassport("ABCDEFGHIJKLMNOPQRST", {{23, std::string(1, '\5')}}, 30));
        velmar::test::WriteBytes(
            psp / "NS_LONG.psp",
            common::Utf8ToCp1251("[ПараметрыКонструкции]\r\nНаименование=Насос без марки\r\n"
                                 "[ТехнологическиеПараметры]\r\nПараметр1Наименование=" +
                                 std::string(300, 'x') + "\r\nПараметр3Наименование=Третий\r\n"));
        session = fixture.Open(&ui, nullptr);
    }

    TPspDBLevel& Passport(std::string_view file) {
        TPspDBLevel* passport = session->Root().FindPassport(file);
        EXPECT_NE(passport, nullptr) << file;
        return *passport;
    }

    FixtureArchive fixture;
    test::ScriptedUi ui;
    std::unique_ptr<ArchiveSession> session;
};

TEST_F(PassportTest, IniForm_givesNameBrandPointsAndTheParameterRecord) {
    TPspDBLevel& psp = Passport("NS_D320.PSP");
    EXPECT_EQ(psp.GetForm(), TPspDBLevel::Form::Ini);
    EXPECT_EQ(psp.GetName(), "Насосный агрегат Д320-50");
    EXPECT_EQ(psp.PointCount(), 2);
    EXPECT_TRUE(psp.IsEnabled());
    EXPECT_EQ(psp.GroupNumber(), 1);
    EXPECT_FALSE(psp.NoPassport());
    PassportRecord record;
    record.fill(0xEE);
    ASSERT_TRUE(psp.GetPassport(record));
    EXPECT_EQ(RecordText(record, 0), "Частота вращения вала, об/мин=000000");
    EXPECT_EQ(RecordText(record, 1), "Нагрузка, %=000000");
    EXPECT_EQ(record[256 * 2], 0);
    EXPECT_TRUE(std::all_of(record.begin() + 256 * 2, record.end(), [](std::uint8_t b) { return b == 0; }));
    TPspDBLevel::ValueBuffer value;
    EXPECT_EQ(psp.PassportValue(3, value), 0);
    EXPECT_FALSE(psp.ShaftSpeedRpm(1).has_value());
    EXPECT_EQ(psp.MaxTextLength(kPromptDelete), 55);
}

TEST_F(PassportTest, IniForm_endsTheRecordAtTheFirstMissingNameAndCutsLongTexts) {
    TPspDBLevel& psp = Passport("NS_LONG.psp");
    EXPECT_EQ(psp.GetName(), "Насос без марки");
    EXPECT_EQ(psp.PointCount(), 0);
    PassportRecord record;
    ASSERT_TRUE(psp.GetPassport(record));
    EXPECT_EQ(record[0], 255);
    EXPECT_EQ(RecordText(record, 0), std::string(255, 'x'));
    // Parameter 2 has no name, so parameter 3 never gets in.
    EXPECT_EQ(record[256], 0);
    EXPECT_THAT(psp.TechParamNames(), ElementsAre(std::string(300, 'x')));
}

TEST_F(PassportTest, BinaryForm_readsItsValueTable) {
    TPspDBLevel& psp = Passport("VN_BIN.psp");
    EXPECT_EQ(psp.GetForm(), TPspDBLevel::Form::Binary);
    EXPECT_EQ(psp.GetName(), "Дымосос ДН-10");
    EXPECT_EQ(psp.PointCount(), 3);
    TPspDBLevel::ValueBuffer value;
    ASSERT_EQ(psp.PassportValue(3, value), 19);
    // 990 = 1.93359375 * 2^9: exponent 9 + 129; 0.93359375 = 0.11101111b at the top of the mantissa.
    EXPECT_THAT(std::vector<std::uint8_t>(value.begin(), value.begin() + 7),
                ElementsAre(0x00, 0x8A, 0x00, 0x00, 0x00, 0x80, 0x77));
    EXPECT_TRUE(std::all_of(value.begin() + 19, value.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(psp.PassportValue(23, value), 0);   // zero entry
    EXPECT_EQ(psp.PassportValue(72, value), 0);   // points beyond the file
    EXPECT_EQ(psp.PassportValue(999, value), 0);  // beyond the table
    EXPECT_EQ(psp.PassportValue(-1, value), 0);
    EXPECT_TRUE(std::all_of(value.begin(), value.end(), [](std::uint8_t b) { return b == 0; }));
    EXPECT_EQ(psp.ShaftSpeedRpm(1), 990.0);
    EXPECT_EQ(psp.ShaftSpeedRpm(2), 1480.0);
    EXPECT_FALSE(psp.ShaftSpeedRpm(3).has_value());
    PassportRecord record;
    ASSERT_TRUE(psp.GetPassport(record));
    EXPECT_EQ(RecordText(record, 0), "Частота вращения=0990");
    EXPECT_EQ(RecordText(record, 1), "Температура подшипника=0045");
    EXPECT_EQ(record[512], 0);
}

TEST_F(PassportTest, BinaryForm_fallsBackToTheOlderPointCountAndReadsAFullNameField) {
    TPspDBLevel& psp = Passport("vn_old.psp");
    EXPECT_EQ(psp.GetName(), "ABCDEFGHIJKLMNOPQRST");
    EXPECT_EQ(psp.PointCount(), 5);
    PassportRecord record;
    EXPECT_FALSE(psp.GetPassport(record));
    // A file cut inside its header is no passport.
    EXPECT_EQ(session->Root().FindPassport("ZZ_SHORT.psp"), nullptr);
    EXPECT_EQ(session->Root().FindPassport("empty.psp"), nullptr);
}

TEST_F(PassportTest, Groups_decideEnabledAndNoPassportFlags) {
    struct Row {
        const char* file;
        bool enabled;
        bool noPassport;
        int group;
    };
    const Row rows[] = {
        {"NS_D320.psp", true, false, 1},
        {"vn_bin.PSP", true, true, 2},    // flags 2: machines without passport
        {"KM_4VU.psp", false, false, 3},  // flags 1: disabled group
        {"XX_OTHER.psp", false, false, 0},
    };
    for (const Row& row : rows) {
        SCOPED_TRACE(row.file);
        TPspDBLevel& psp = Passport(row.file);
        EXPECT_EQ(psp.IsEnabled(), row.enabled);
        EXPECT_EQ(psp.NoPassport(), row.noPassport);
        EXPECT_EQ(psp.GroupNumber(), row.group);
    }
    TProgDBLevel& root = session->Root();
    EXPECT_TRUE(root.GroupFlags(12, "km_new.psp").disabled);
    EXPECT_TRUE(root.GroupFlags(12, "VN").noPassport);
    EXPECT_FALSE(root.GroupFlags(12, "XX_OTHER.psp").disabled);
    EXPECT_FALSE(root.GroupFlags(3, "NS_D320.psp").disabled);
    EXPECT_EQ(root.GroupTableWidth(), 31);
    EXPECT_EQ(root.FindPassportByGroup("vn")->GetPath().filename(), "VN_OLD.psp");
    EXPECT_TRUE(Passport("NS_D320.psp").MatchesGroup("ns"));
    EXPECT_FALSE(Passport("NS_D320.psp").MatchesGroup("NX"));
    EXPECT_EQ(root.FindPassportByGroup("QQ"), nullptr);
}

}  // namespace
}  // namespace velmar::archive
