#include "common/ExpertSystem.hpp"

#include <gtest/gtest.h>

#include "TestSupport.hpp"
#include "common/Codepage.hpp"
#include "common/MeasurementParams.hpp"

using namespace velmar::common;
using velmar::test::TempDir;
using velmar::test::WriteBytes;

namespace {

// Writes UTF-8 text as the cp1251 bytes with CRLF line ends that installations keep their INI files in.
void WriteIni(const std::filesystem::path& path, const std::string& utf8) {
    std::string crlf;
    for (char c : utf8) {
        if (c == '\n') {
            crlf += "\r\n";
        } else {
            crlf += c;
        }
    }
    WriteBytes(path, Utf8ToCp1251(crlf));
}

struct Installation {
    TempDir dir;
    ExpertSystemRegistry registry;

    explicit Installation(const std::string& slotIni = "") {
        WriteIni(dir / "INI/MAIN.INI",
                 "[Main]\nName12=Архив\nProgram12=Slot12.ini\nSection12=Arch12\n"
                 "Name3=Без обработчика\nProgram3=slot3.ini\nSection3=S3\n"
                 "Program5=deep.ini\nProgram6=missing.ini\n");
        if (!slotIni.empty()) {
            // Stored in another case than MAIN.INI names it.
            WriteIni(dir / "INI/SLOT12.INI", slotIni);
        }
        WriteIni(dir / "INI/slot3.ini", "[Main]\nMaxStantionLevel=9\n");
        WriteIni(dir / "INI/deep.ini", "[Main]\nMaxStantionLevel=4\n");
        registry.Load(dir / "INI/MAIN.INI", dir / "INI");
        RegisterBuiltInHandlers(registry);
    }
};

ProgramSet Slots(std::initializer_list<int> slots) {
    ProgramSet s;
    for (int i : slots) {
        s.set(i);
    }
    return s;
}

}  // namespace

TEST(ExpertSystem, OnlySlotsWithFileAndHandlerAreActive) {
    Installation inst("[Main]\nMaxStantionLevel=2\n");
    EXPECT_TRUE(inst.registry.ExpertSystemActive(12));
    EXPECT_FALSE(inst.registry.ExpertSystemActive(3));  // a file but no handler
    EXPECT_FALSE(inst.registry.ExpertSystemActive(1));
    EXPECT_FALSE(inst.registry.ExpertSystemActive(0));
    EXPECT_FALSE(inst.registry.ExpertSystemActive(21));
    EXPECT_EQ(inst.registry.ActiveSlots(), Slots({12}));
    EXPECT_EQ(inst.registry.Entry(12).name, "Архив");
    EXPECT_EQ(inst.registry.Entry(12).section, "Arch12");
}

TEST(ExpertSystem, MaxStantionLevelIsFileValuePlusOneClamped) {
    Installation inst("[Main]\nMaxStantionLevel=2\n");
    EXPECT_EQ(inst.registry.Entry(12).maxStantionLevel, 3);
    EXPECT_EQ(inst.registry.Entry(3).maxStantionLevel, 6);  // 9 + 1 clamped
    EXPECT_EQ(inst.registry.Entry(5).maxStantionLevel, 5);
    EXPECT_EQ(inst.registry.Entry(6).maxStantionLevel, 2);  // file missing: default 1
    EXPECT_EQ(inst.registry.Entry(7).maxStantionLevel, 2);  // no file named
}

TEST(ExpertSystem, LevelWordDefaultsWithoutSlotFile) {
    Installation inst;  // slot 12 names a file that does not exist
    const ProgramSet set = Slots({12});
    EXPECT_EQ(LevelWord(inst.registry, set, 2, kNominative, false, false), "Cтанция");  // Latin C upper-cased
    EXPECT_EQ(LevelWord(inst.registry, set, 2, kNominative, true, false), "cтанция");
    EXPECT_EQ(LevelWord(inst.registry, set, 7, kInstrumental, true, true), "агрегатами");
    EXPECT_EQ(LevelWord(inst.registry, set, 7, kNominative, true, true), "агрегатами");  // plural ignores case
    EXPECT_EQ(LevelWord(inst.registry, set, 7, kDative, false, false), "Агрегату");
    EXPECT_EQ(LevelWord(inst.registry, set, 5, kGenitive, false, false), "Участка");
    EXPECT_EQ(LevelWord(inst.registry, set, 3, kDative, false, false), "");
    EXPECT_EQ(LevelWord(inst.registry, set, 1, kNominative, false, false), "");
    EXPECT_EQ(LevelWord(inst.registry, set, 8, kNominative, false, false), "");
    EXPECT_EQ(LevelWord(inst.registry, set, 2, 6, false, false), "");
    EXPECT_EQ(LevelWord(inst.registry, ProgramSet(), 2, kNominative, true, false), "cтанция");
}

TEST(ExpertSystem, LevelWordReadsCp1251SlotFileOfLowestSlot) {
    Installation inst(
        "[LevelNames]\nstan1ie=завод\nStan1RE=завода\nSTAN2IE=ёлка\nAgrTM=машинами\nAgrIE=iмя\n");
    const ProgramSet set = Slots({12, 15});
    EXPECT_EQ(LevelWord(inst.registry, set, 2, kNominative, false, false), "Завод");
    EXPECT_EQ(LevelWord(inst.registry, set, 2, kGenitive, true, false), "завода");
    EXPECT_EQ(LevelWord(inst.registry, set, 3, kNominative, false, false), "ёлка");  // ё is outside а..я
    EXPECT_EQ(LevelWord(inst.registry, set, 7, kNominative, false, true), "Машинами");
    EXPECT_EQ(LevelWord(inst.registry, set, 7, kNominative, false, false), "Iмя");  // Latin i
    // A lower slot without a file wins and gives the defaults.
    EXPECT_EQ(LevelWord(inst.registry, Slots({6, 12}), 2, kGenitive, false, false), "Станции");
}

TEST(ExpertSystem, EquipmentGroupsTakeOnlyMiddleZeroAndStopAtEmpty) {
    Installation inst(
        "[Groups]\nKolGroup=6\nGroup1=NS,0,Насосы\nGroup2=VN,1,Вентиляторы\nGroup3=KM, 0 ,Компрессоры "
        "центробежные многоступенчатые\nGroup4=bad\nGroup5=\nGroup6=ED,0,Двигатели\n");
    const auto groups = LoadEquipmentGroups(inst.registry, Slots({12}));
    ASSERT_EQ(groups.size(), 2u);
    EXPECT_EQ(groups[0].code, "NS_");
    EXPECT_EQ(groups[0].name, "Насосы");
    EXPECT_EQ(groups[0].slot, 12);
    EXPECT_EQ(groups[1].code, "KM_");
    EXPECT_EQ(groups[1].name, "Компрессоры центробеж");  // 21 characters
    EXPECT_TRUE(LoadEquipmentGroups(inst.registry, Slots({3})).empty());
}

TEST(ExpertSystem, EquipmentGroupsStopAtTwenty) {
    std::string ini = "[Groups]\nKolGroup=30\n";
    for (int i = 1; i <= 30; ++i) {
        ini += "Group" + std::to_string(i) + "=G" + std::to_string(i % 10) + ",0,Группа\n";
    }
    Installation inst(ini);
    EXPECT_EQ(LoadEquipmentGroups(inst.registry, Slots({12})).size(), 20u);
}

TEST(ExpertSystem, RootGroupsKeepCodeAndFlags) {
    TempDir dir;
    WriteIni(dir / "s.ini", "[Groups]\nKolGroup=3\nGroup1=ns,0,Насосы\nGroup2=VN,3,Вент\nGroup3=ED,2,Двиг\n");
    const auto groups = LoadRootGroups(dir / "s.ini");
    ASSERT_EQ(groups.size(), 3u);
    EXPECT_EQ(groups[0].code, "NS");
    EXPECT_EQ(groups[0].flags, 0);
    EXPECT_EQ(groups[1].flags, 3);
    EXPECT_EQ(groups[2].code, "ED");
    EXPECT_EQ(groups[2].flags, 2);
}

TEST(MeasurementParams, RecordRoundTripsThroughItsLayout) {
    std::array<std::uint8_t, 72> bytes{};
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        bytes[i] = static_cast<std::uint8_t>(i * 7 + 1);
    }
    const MeasurementParams p = MeasurementParams::Decode(bytes);
    EXPECT_EQ(p.kinds, 0x160F0801u);  // bytes 01 08 0F 16, little-endian
    EXPECT_EQ(p.volume, 0x4039);  // bytes 39 40
    EXPECT_EQ(p.planes, 0x2019120Bu);  // bytes 0B 12 19 20 at 38
    std::array<std::uint8_t, 72> out{};
    p.Encode(out);
    EXPECT_EQ(out, bytes);
}

TEST(MeasurementParams, MatchingRules) {
    MeasurementParams m;  // every mask unstated
    m.volume = 100;
    m.fMax = 5000;
    m.dfMax = 1000;
    m.samples = 4096;
    EXPECT_TRUE(MatchesRequirements(m, SlotRequirements(1)));
    EXPECT_TRUE(MatchesRequirements(m, SlotRequirements(4)));
    EXPECT_FALSE(MatchesRequirements(m, SlotRequirements(12))) << "an all-zero row matches nothing";
    EXPECT_FALSE(MatchesRequirements(m, SlotRequirements(6)));
    EXPECT_TRUE(MatchesRequirements(m, RunUpRequirements()));

    MeasurementParams sync = m;
    sync.synchronous = 1;
    EXPECT_FALSE(MatchesRequirements(sync, SlotRequirements(4)));  // 1 shares no bit with 6
    sync.synchronous = 2;
    EXPECT_TRUE(MatchesRequirements(sync, SlotRequirements(4)));

    MeasurementParams edge = m;
    edge.dfMax = 6000;  // equal is enough
    edge.volume = 30;
    edge.fMax = 100;
    edge.samples = 100;
    EXPECT_TRUE(MatchesRequirements(edge, SlotRequirements(1)));
    edge.dfMax = 6001;
    EXPECT_FALSE(MatchesRequirements(edge, SlotRequirements(1)));
    edge.dfMax = 6000;
    edge.samples = 99;
    EXPECT_FALSE(MatchesRequirements(edge, SlotRequirements(1)));

    MeasurementParams kinds = m;
    kinds.kinds = 8;  // a power spectrum alone: row 1 asks for 70 = 2|4|64
    EXPECT_FALSE(MatchesRequirements(kinds, SlotRequirements(1)));
    kinds.kinds = 8 | 64;
    EXPECT_TRUE(MatchesRequirements(kinds, SlotRequirements(1)));
}
