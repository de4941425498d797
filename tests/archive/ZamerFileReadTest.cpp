// Reading measurement files laid out by an independent script from the format tables.

#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>

#include "ZamerFixtures.hpp"
#include "archive/ZamerFile.hpp"
#include "common/Real48.hpp"

namespace velmar::archive {
namespace {

using test::CopyFixture;
using test::FileBytes;
using test::PokeLittle;
using test::PutBytes;
using test::RecordFields;
using test::TempDir;
using test::ZamerFixture;

const test::ZamerExpected& X() {
    return test::ZamerExpected::Get();
}

std::vector<double> ParamsFields(const common::MeasurementParams& p) {
    return {double(p.kinds),      double(p.passport), double(p.volume), double(p.synchronous),
            double(p.quantities), double(p.fMax),     double(p.dfMax),  double(p.samples),
            double(p.marker),     double(p.masses),   double(p.planes)};
}

std::vector<double> UsedTechParams(const ZamerTechParams& table) {
    std::vector<double> used;
    for (const auto& e : table) {
        if (e.id != 0) {
            used.push_back(e.id);
            used.push_back(e.value);
        }
    }
    return used;
}

template <std::size_t N>
std::vector<std::uint8_t> Raw(const std::array<std::uint8_t, N>& a) {
    return {a.begin(), a.end()};
}

// Both layouts, checked field by field against what the script put into them.
class ZamerFileLayoutTest : public ::testing::TestWithParam<const char*> {};

TEST_P(ZamerFileLayoutTest, OpenFile_readsEveryFixedBlock) {
    const std::string name = GetParam();
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture(name));
    const bool old = name == "v300_full";
    EXPECT_EQ(file.Version(), old ? 300 : 301);
    const ZamerSignature signature = file.GetSignature();
    EXPECT_EQ(std::string(signature.begin(), signature.end()),
              old ? std::string("QX300\0", 6) : std::string("QX301\0", 6));

    const ZamerHeader header = file.GetHeader();
    EXPECT_EQ(header.Text(), X().Text(name + ".header.text"));
    EXPECT_EQ((std::vector<double>{double(header.year), double(header.month), double(header.day),
                                   double(header.hour), double(header.minute), double(header.second)}),
              X().Numbers(name + ".header.date"));

    EXPECT_EQ(ParamsFields(file.GetParams()), X().Numbers(name + ".params"));
    EXPECT_EQ(UsedTechParams(file.GetTechParams()), X().Numbers(name + ".tech"));

    const ZamerDescription d = file.GetDescription();
    EXPECT_EQ((std::vector<double>{double(d.channelCount), double(d.markerChannelCount), double(d.state),
                                   double(d.carriedWord1), double(d.carriedWord2)}),
              X().Numbers(name + ".description"));
    EXPECT_EQ(d.Comment(), X().Text(name + ".description.comment"));
    EXPECT_EQ(Raw(d.carriedText1), X().Hex(name + ".description.carried_text1"));
    EXPECT_EQ(Raw(d.carriedText2), X().Hex(name + ".description.carried_text2"));
    EXPECT_EQ(file.ChannelCount(), d.channelCount);
}

// The five blocks before the directory come from the one read at opening, so bytes spoilt on disk afterwards
// change nothing; the directory is read only when first needed, and so from the disk as it is then.
TEST_P(ZamerFileLayoutTest, OpenFile_servesTheLeadingBlocksFromTheOpeningRead) {
    const std::string name = GetParam();
    const bool old = name == "v300_full";
    TempDir dir;
    const std::filesystem::path path = CopyFixture(dir, name);
    TZamerFile file = TZamerFile::OpenFile(path);

    auto bytes = FileBytes(path);
    const auto directoryAt = static_cast<std::ptrdiff_t>(old ? 913 : 960);
    std::fill(bytes.begin(), bytes.begin() + directoryAt, std::uint8_t{0xEE});
    std::fill(bytes.begin() + directoryAt, bytes.begin() + directoryAt + 300, std::uint8_t{0});
    PutBytes(path, bytes);

    const ZamerSignature signature = file.GetSignature();
    EXPECT_EQ(std::string(signature.begin(), signature.end()),
              old ? std::string("QX300\0", 6) : std::string("QX301\0", 6));
    const ZamerHeader header = file.GetHeader();
    EXPECT_EQ(header.Text(), X().Text(name + ".header.text"));
    EXPECT_EQ((std::vector<double>{double(header.year), double(header.month), double(header.day),
                                   double(header.hour), double(header.minute), double(header.second)}),
              X().Numbers(name + ".header.date"));
    EXPECT_EQ(ParamsFields(file.GetParams()), X().Numbers(name + ".params"));
    EXPECT_EQ(UsedTechParams(file.GetTechParams()), X().Numbers(name + ".tech"));
    const ZamerDescription d = file.GetDescription();
    EXPECT_EQ((std::vector<double>{double(d.channelCount), double(d.markerChannelCount), double(d.state),
                                   double(d.carriedWord1), double(d.carriedWord2)}),
              X().Numbers(name + ".description"));
    EXPECT_EQ(d.Comment(), X().Text(name + ".description.comment"));
    EXPECT_EQ(Raw(d.carriedText1), X().Hex(name + ".description.carried_text1"));
    EXPECT_EQ(Raw(d.carriedText2), X().Hex(name + ".description.carried_text2"));

    EXPECT_EQ(file.GetDirectory(), ZamerDirectory{}) << "the directory as the disk holds it now: empty";
    EXPECT_EQ(file.BlockLength(6), -1);
}

TEST_P(ZamerFileLayoutTest, GetChannel_readsEveryRecordAndNothingOutsideTheRange) {
    const std::string name = GetParam();
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture(name));
    for (int k = 1; k <= file.ChannelCount(); ++k) {
        const std::string key = name + ".ch" + std::to_string(k) + ".record";
        if (X().Has(key)) {
            EXPECT_EQ(RecordFields(file.GetChannel(k)), X().Numbers(key)) << key;
        } else {
            EXPECT_FALSE(file.GetChannel(k).IsInUse()) << key;
        }
    }
    // Channel 0 and the one after the last are not there.
    EXPECT_EQ(file.GetChannel(0), TChannelRecord{});
    EXPECT_EQ(file.GetChannel(file.ChannelCount() + 1), TChannelRecord{});
}

TEST_P(ZamerFileLayoutTest, ReadChannelData_decodesSignalPairsAndHarmonics) {
    const std::string name = GetParam();
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture(name));
    for (int k = 1; k <= 3; ++k) {
        const std::string key = name + ".ch" + std::to_string(k) + ".values";
        const auto values = file.ReadChannelData(k);
        ASSERT_TRUE(values.has_value()) << key;
        EXPECT_EQ(*values, X().Numbers(key)) << key;
    }
}

TEST_P(ZamerFileLayoutTest, ReadBlock_returnsTheDirectoryBlocks) {
    const std::string name = GetParam();
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture(name));
    for (const int id : {6, 7, 9}) {
        const std::string key = name + ".block." + std::to_string(id);
        if (!X().Has(key)) {
            EXPECT_EQ(file.BlockLength(id), -1);
            continue;
        }
        const auto expected = X().Hex(key);
        EXPECT_EQ(file.BlockLength(id), static_cast<std::int64_t>(expected.size()));
        EXPECT_EQ(file.ReadBlock(id), expected) << key;
        std::vector<std::uint8_t> buffer(expected.size() + 3, 0xEE);
        EXPECT_EQ(file.ReadBlock(id, buffer), static_cast<std::int64_t>(expected.size()));
        // A buffer too small for the block is not overrun.
        std::vector<std::uint8_t> small(expected.size() - 1, 0xEE);
        EXPECT_EQ(file.ReadBlock(id, small), -1);
        EXPECT_EQ(small, std::vector<std::uint8_t>(expected.size() - 1, 0xEE));
    }
    EXPECT_EQ(file.BlockLength(8), -1);
    EXPECT_EQ(file.ReadBlock(8), std::nullopt);
    EXPECT_EQ(file.BlockLength(0), -1) << "identifier 0 marks a free entry, not a block";
}

TEST_P(ZamerFileLayoutTest, ReadChannelBlock_returnsThePhaseResponseRecord) {
    const std::string name = GetParam();
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture(name));
    const auto expected = X().Hex(name + ".ch1.block.14");
    EXPECT_EQ(file.ChannelBlockLength(1, kChannelBlockPhaseResponse),
              static_cast<std::int64_t>(expected.size()));
    EXPECT_EQ(file.ReadChannelBlock(1, kChannelBlockPhaseResponse), expected);
    EXPECT_EQ(file.ChannelBlockLength(2, kChannelBlockPhaseResponse), -1);
    EXPECT_EQ(file.ChannelBlockLength(0, kChannelBlockPhaseResponse), -1);
}

INSTANTIATE_TEST_SUITE_P(BothVersions, ZamerFileLayoutTest, ::testing::Values("v301_full", "v300_full"));

TEST(ZamerFileReadTest, GetTechParam_firstEntryWinsAndAbsentIsEmpty) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v301_full"));
    EXPECT_EQ(file.GetTechParam(75), X().Number("v301_full.techparam.75"));
    EXPECT_EQ(file.GetTechParam(70), 2985.5);
    EXPECT_EQ(file.GetTechParam(72), std::nullopt);
    EXPECT_EQ(file.GetTechParam(0), std::nullopt);

    TZamerFile old = TZamerFile::OpenFile(ZamerFixture("v300_full"));
    // 0.1 has no exact six-byte form: the value is what the six bytes hold.
    EXPECT_EQ(old.GetTechParam(71), common::RoundToReal48(0.1));
    EXPECT_EQ(old.GetTechParam(80), common::RoundToReal48(M_PI));
}

TEST(ZamerFileReadTest, ReadChannelData_packedUnusedAndOutOfRangeChannelsGiveMinusOne) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v301_full"));
    std::vector<double> buffer(100, -9.0);
    EXPECT_EQ(file.ReadChannelData(4, buffer), -1) << "packed data are not unpacked";
    EXPECT_EQ(file.ReadChannelData(5, buffer), -1) << "never written";
    EXPECT_EQ(file.ReadChannelData(0, buffer), -1);
    EXPECT_EQ(file.ReadChannelData(6, buffer), -1);
    EXPECT_EQ(buffer, std::vector<double>(100, -9.0));
    EXPECT_EQ(file.ChannelDataSize(5), -1);
    // The raw bytes of the packed channel are still there for whoever can unpack them.
    EXPECT_EQ(file.ReadChannelRaw(4), X().Hex("v301_full.ch4.raw"));
    EXPECT_EQ(file.ReadChannelRaw(5), std::nullopt);
}

TEST(ZamerFileReadTest, ReadChannelData_limitedByTheBufferAndByWhatIsStored) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v301_full"));
    const auto all = X().Numbers("v301_full.ch1.values");
    EXPECT_EQ(file.ChannelDataSize(1), X().Number("v301_full.ch1.datasize"));

    std::vector<double> few(10, -9.0);
    ASSERT_EQ(file.ReadChannelData(1, few), 10);
    EXPECT_EQ(few, std::vector<double>(all.begin(), all.begin() + 10));

    std::vector<double> many(all.size() + 5, -9.0);
    ASSERT_EQ(file.ReadChannelData(1, many), static_cast<std::int64_t>(all.size()));
    EXPECT_EQ(many[all.size()], -9.0) << "nothing is written past the stored values";

    // Pairs: only whole pairs fit an odd buffer.
    const auto pairs = X().Numbers("v301_full.ch2.values");
    std::vector<double> odd(5, -9.0);
    ASSERT_EQ(file.ReadChannelData(2, odd), 4);
    EXPECT_EQ(std::vector<double>(odd.begin(), odd.begin() + 4),
              std::vector<double>(pairs.begin(), pairs.begin() + 4));
    EXPECT_EQ(odd[4], -9.0);
}

TEST(ZamerFileReadTest, ChannelDataSize_oldHarmonicsExpandSixBytesToEight) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v300_full"));
    EXPECT_EQ(file.ChannelDataSize(3), X().Number("v300_full.ch3.datasize"));
    EXPECT_EQ(file.ChannelDataSize(1), 4 * file.GetChannel(1).dataLength);
}

TEST(ZamerFileReadTest, ReadChannelData_oldHarmonicsReadAtMost48000Bytes) {
    TempDir dir;
    const auto path = CopyFixture(dir, "v300_full");
    auto bytes = FileBytes(path);
    const std::size_t at = bytes.size();
    for (int i = 0; i < 9000; ++i) {  // 54000 bytes of harmonics
        const auto six = common::DoubleToReal48(i + 0.5);
        bytes.insert(bytes.end(), six.begin(), six.end());
    }
    const std::size_t record3 = 1213 + 2 * 223;
    PokeLittle<std::uint32_t>(bytes, record3 + 65, static_cast<std::uint32_t>(at));
    PokeLittle<std::uint32_t>(bytes, record3 + 69, 54000);
    PutBytes(path, bytes);

    TZamerFile file = TZamerFile::OpenFile(path);
    std::vector<double> values(9000, -1.0);
    ASSERT_EQ(file.ReadChannelData(3, values), 8000);
    EXPECT_EQ(values[7999], 7999.5);
    EXPECT_EQ(values[8000], -1.0);
}

TEST(ZamerFileReadTest, OpenFile_oldMomentThatCannotBeDecodedReadsAsFirstOfJanuary1997) {
    TempDir dir;
    const auto path = CopyFixture(dir, "v300_full");
    auto bytes = FileBytes(path);
    const double nan = std::numeric_limits<double>::quiet_NaN();
    std::memcpy(bytes.data() + 6 + 81, &nan, 8);  // header moment
    const double far = 1e300;
    std::memcpy(bytes.data() + 1213 + 1, &far, 8);  // channel 1 moment
    PutBytes(path, bytes);

    TZamerFile file = TZamerFile::OpenFile(path);
    const ZamerHeader h = file.GetHeader();
    EXPECT_EQ((std::array<int, 6>{h.year, h.month, h.day, h.hour, h.minute, h.second}),
              (std::array<int, 6>{1997, 1, 1, 0, 0, 0}));
    const TChannelRecord c = file.GetChannel(1);
    EXPECT_EQ((std::array<int, 6>{c.year, c.month, c.day, c.hour, c.minute, c.second}),
              (std::array<int, 6>{1997, 1, 1, 0, 0, 0}));
}

TEST(ZamerFileReadTest, Records_decodeAndEncodeByteForByte) {
    // Everything a record carries (reserved bytes, bytes after a text's terminator, odd doubles) comes back
    // unchanged, so a record read and written again leaves the file as it was.
    auto bytes = FileBytes(ZamerFixture("v301_full"));
    for (std::size_t i = 0; i < 199; ++i) {
        bytes[671 + 90 + i] = static_cast<std::uint8_t>(i * 13 + 1);
    }
    for (std::size_t i = 0; i < 34; ++i) {
        bytes[1260 + 210 + i] = static_cast<std::uint8_t>(0xF0 - i);
    }
    const std::uint64_t nanBits = 0x7FF4000000000123ULL;  // a signalling NaN with a payload
    std::memcpy(bytes.data() + 1260 + 202, &nanBits, 8);

    const auto check = [&](std::size_t at, std::size_t size, auto decodeEncode) {
        std::vector<std::uint8_t> out(size);
        decodeEncode(std::span<const std::uint8_t>(bytes.data() + at, size), std::span<std::uint8_t>(out));
        EXPECT_EQ(out, std::vector<std::uint8_t>(bytes.begin() + at, bytes.begin() + at + size))
            << "at " << at;
    };
    check(6, ZamerHeader::kSize, [](auto in, auto out) {
        ZamerHeader::Decode(in.template first<ZamerHeader::kSize>())
            .Encode(out.template first<ZamerHeader::kSize>());
    });
    check(671, ZamerDescription::kSize, [](auto in, auto out) {
        ZamerDescription::Decode(in.template first<ZamerDescription::kSize>())
            .Encode(out.template first<ZamerDescription::kSize>());
    });
    for (std::size_t k = 0; k < 5; ++k) {
        check(1260 + 245 * k, TChannelRecord::kSize, [](auto in, auto out) {
            TChannelRecord::Decode(in.template first<TChannelRecord::kSize>())
                .Encode(out.template first<TChannelRecord::kSize>());
        });
    }

    // The same through the file: getting and setting again changes no byte.
    TempDir dir;
    const auto path = dir / "carried.zmr";
    PutBytes(path, bytes);
    TZamerFile file = TZamerFile::OpenFile(path);
    file.SetDescription(file.GetDescription());
    file.SetHeader(file.GetHeader());
    file.SetParams(file.GetParams());
    for (int k = 1; k <= 4; ++k) {
        file.SetChannel(k, file.GetChannel(k));
    }
    const auto after = FileBytes(path);
    // Channel 4 was packed; every written record has packing 0 (offset 82).
    bytes[1260 + 3 * 245 + 82] = 0;
    EXPECT_EQ(after, bytes);
}

TEST(ZamerFileReadTest, TextAccessors_convertCp1251AndCutToTheField) {
    ZamerDescription d;
    d.SetComment("Замер после ремонта");
    EXPECT_EQ(d.comment[0], 0xC7);  // "З" in cp1251
    EXPECT_EQ(d.Comment(), "Замер после ремонта");

    bool lossy = false;
    d.SetComment(std::string(60, 'x') + "€", &lossy);
    EXPECT_EQ(d.Comment(), std::string(50, 'x')) << "at most 50 characters and the terminator";
    EXPECT_EQ(d.comment[50], 0);

    ZamerHeader h;
    h.SetText("日本", &lossy);
    EXPECT_TRUE(lossy);
    EXPECT_EQ(h.Text(), "??");
}

TEST(ZamerFileReadTest, MatchesRequirements_zeroMasksStandForEveryBit) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v301_zero_masks"));
    const auto names = X().Names("v301_zero_masks.requirement.", "");
    ASSERT_GE(names.size(), 6u);
    for (const auto& n : names) {
        const auto v = X().Numbers("v301_zero_masks.requirement." + n);
        ASSERT_EQ(v.size(), 12u);
        common::MeasurementParams f;
        f.kinds = std::uint32_t(v[0]);
        f.passport = std::uint32_t(v[1]);
        f.volume = std::uint16_t(v[2]);
        f.synchronous = std::uint32_t(v[3]);
        f.quantities = std::uint32_t(v[4]);
        f.fMax = std::uint32_t(v[5]);
        f.dfMax = std::uint32_t(v[6]);
        f.samples = std::uint32_t(v[7]);
        f.marker = std::uint32_t(v[8]);
        f.masses = std::uint32_t(v[9]);
        f.planes = std::uint32_t(v[10]);
        EXPECT_EQ(file.MatchesRequirements(f), v[11] != 0) << "requirement " << n;
    }
}

TEST(ZamerFileReadTest, HoldAndOpen_nestAndCloseAtTheLastRelease) {
    TZamerFile file = TZamerFile::OpenFile(ZamerFixture("v301_full"));
    EXPECT_FALSE(file.IsOpen());
    file.Hold();
    file.Hold();
    EXPECT_TRUE(file.IsHeld());
    EXPECT_TRUE(file.IsOpen());
    EXPECT_TRUE(file.ReadChannelData(1).has_value());
    EXPECT_TRUE(file.IsOpen()) << "an operation inside a hold leaves the handle open";
    file.Release();
    EXPECT_TRUE(file.IsOpen());
    file.Release();
    EXPECT_FALSE(file.IsHeld());
    EXPECT_FALSE(file.IsOpen());
    file.Release();  // one too many does nothing
    EXPECT_FALSE(file.IsOpen());

    file.OpenRead();
    file.OpenRead();
    file.CloseFile();
    EXPECT_TRUE(file.IsOpen());
    file.CloseFile();
    EXPECT_FALSE(file.IsOpen());
}

}  // namespace
}  // namespace velmar::archive
