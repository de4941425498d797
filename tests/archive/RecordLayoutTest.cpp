// The 81-byte data header and the 341-byte transform record against bytes laid out by hand from their
// tables. Six-byte reals used here: 1.0 = 81 00 00 00 00 00, -1.0 = 81 .. 80, 0.5 = 80 .., 0.25 = 7F ..,
// 2.0 = 82 .., 10.0 = 84 00 00 00 00 20, 12.5 = 84 00 00 00 00 48, 100.0 = 87 00 00 00 00 48,
// 1000.0 = 8A 00 00 00 00 7A, 355.0 = 89 00 00 00 80 31.

#include <gtest/gtest.h>

#include <array>
#include <cstdint>
#include <initializer_list>
#include <vector>

#include "archive/DataHeader.hpp"
#include "archive/TransformParams.hpp"
#include "common/Errors.hpp"

namespace velmar::archive {
namespace {

template <std::size_t N>
void Put(std::array<std::uint8_t, N>& bytes, std::size_t offset, std::initializer_list<std::uint8_t> values) {
    for (std::uint8_t v : values) {
        bytes.at(offset++) = v;
    }
}

std::array<std::uint8_t, TDataHeader::kSize> HandMadeHeaderBytes() {
    std::array<std::uint8_t, TDataHeader::kSize> b{};
    Put(b, 0, {0x04, 0x00, 0x00, 0x00});                          // Kind 4
    Put(b, 4, {0x02, 0x00, 0x00, 0x00});                          // Quantity 2
    Put(b, 8, {0x00, 0x00, 0x00, 0x00, 0x00, 0x88, 0xE3, 0x40});  // RecordedAt 40000.0
    Put(b, 16, {0x81, 0x00, 0x00, 0x00, 0x00, 0x00});             // Rms 1.0
    Put(b, 22, {0x81, 0x00, 0x00, 0x00, 0x00, 0x80});             // Peak -1.0
    Put(b, 28, {0x84, 0x00, 0x00, 0x00, 0x00, 0x20});             // PhaseShift 10.0
    // XStart 0: six zero bytes at 34
    Put(b, 40, {0x87, 0x00, 0x00, 0x00, 0x00, 0x48});  // XEnd 100.0
    Put(b, 46, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00});  // XStep 0.5
    Put(b, 52, {0x01});                                // Flags: pairs
    Put(b, 53, {0xC9, 0x00, 0x00, 0x00});              // Count 201
    Put(b, 57, {0x04, 0x03, 0x02, 0x01});              // reserved int32 0x01020304
    Put(b, 61, {0xFE, 0xFF});                          // reserved int16 -2
    Put(b, 63, {0x82, 0x00, 0x00, 0x00, 0x00, 0x00});  // carried 2.0
    Put(b, 69, {0x84, 0x00, 0x00, 0x00, 0x00, 0x48});  // PhaseShift2 12.5
    Put(b, 75, {0x7F, 0x00, 0x00, 0x00, 0x00, 0x00});  // carried 0.25
    return b;
}

TDataHeader ExpectedHeader() {
    TDataHeader h;
    h.Kind = 4;
    h.Quantity = 2;
    h.RecordedAt = 40000.0;
    h.Rms = 1.0;
    h.Peak = -1.0;
    h.PhaseShift = 10.0;
    h.XStart = 0.0;
    h.XEnd = 100.0;
    h.XStep = 0.5;
    h.Flags = 1;
    h.Count = 201;
    h.Reserved57 = 0x01020304;
    h.Reserved61 = -2;
    h.Carried63 = 2.0;
    h.PhaseShift2 = 12.5;
    h.Carried75 = 0.25;
    return h;
}

TEST(DataHeaderLayout, Encode_placesEveryFieldAtItsOffset) {
    EXPECT_EQ(ExpectedHeader().Encode(), HandMadeHeaderBytes());
}

TEST(DataHeaderLayout, Decode_readsEveryFieldFromItsOffset) {
    const auto bytes = HandMadeHeaderBytes();
    const TDataHeader h = TDataHeader::Decode(bytes);
    EXPECT_EQ(h, ExpectedHeader());
    EXPECT_TRUE(h.HasPairs());
}

TEST(DataHeaderLayout, Decode_refusesAShortHeaderAndIgnoresWhatFollows) {
    const auto bytes = HandMadeHeaderBytes();
    EXPECT_THROW(TDataHeader::Decode(std::span<const std::uint8_t>(bytes.data(), 80)), common::FormatError);
    std::vector<std::uint8_t> longer(bytes.begin(), bytes.end());
    longer.push_back(0xAA);
    EXPECT_EQ(TDataHeader::Decode(longer), ExpectedHeader());
}

TEST(DataHeaderLayout, Encode_roundsRealsToSixBytePrecision) {
    TDataHeader h;
    h.XStep = 1.0 / 3.0;
    const TDataHeader back = TDataHeader::Decode(h.Encode());
    EXPECT_NE(back.XStep, h.XStep);
    EXPECT_NEAR(back.XStep, h.XStep, 1e-12);
}

std::array<std::uint8_t, TransformParams::kSize> HandMadeParamsBytes() {
    std::array<std::uint8_t, TransformParams::kSize> b{};
    Put(b, 0, {0x01});                                  // valid
    Put(b, 1, {0x00, 0x01, 0x00, 0x00});                // target kind 256
    Put(b, 5, {0x02, 0x00, 0x00, 0x00});                // target quantity 2
    Put(b, 9, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00});    // begin time 0.5
    Put(b, 15, {0x81, 0x00, 0x00, 0x00, 0x00, 0x00});   // end time 1.0
    Put(b, 21, {0x84, 0x00, 0x00, 0x00, 0x00, 0x20});   // begin frequency 10
    Put(b, 27, {0x87, 0x00, 0x00, 0x00, 0x00, 0x48});   // end frequency 100
    Put(b, 33, {0x7F, 0x00, 0x00, 0x00, 0x00, 0x00});   // frequency step 0.25
    Put(b, 39, {0x02});                                 // band width: third octave
    Put(b, 40, {0x82, 0x00, 0x00, 0x00, 0x00, 0x00});   // envelope low 2.0
    Put(b, 46, {0x81, 0x00, 0x00, 0x00, 0x00, 0x80});   // envelope high -1.0
    Put(b, 52, {0x01});                                 // envelope method
    Put(b, 53, {0x84, 0x00, 0x00, 0x00, 0x00, 0x48});   // averaging 12.5
    Put(b, 59, {0x8A, 0x00, 0x00, 0x00, 0x00, 0x7A});   // envelope maximum 1000
    Put(b, 65, {0x82, 0x00, 0x00, 0x00, 0x00, 0x00});   // band ratio 2.0
    Put(b, 71, {0x01});                                 // band mode: user's list
    Put(b, 72, {0x03});                                 // band count
    Put(b, 73, {0x84, 0x00, 0x00, 0x00, 0x00, 0x20});   // band 1 low 10
    Put(b, 79, {0x87, 0x00, 0x00, 0x00, 0x00, 0x48});   // band 1 high 100
    Put(b, 241, {0x80, 0x00, 0x00, 0x00, 0x00, 0x00});  // band 15 low 0.5
    Put(b, 247, {0x89, 0x00, 0x00, 0x00, 0x80, 0x31});  // band 15 high 355
    Put(b, 253, {0xAB});                                // reserved, kept as read
    Put(b, 332, {0xCD});
    Put(b, 333, {0x02, 0x00, 0x00, 0x00});  // source kind 2
    Put(b, 337, {0x04, 0x00, 0x00, 0x00});  // source quantity 4
    return b;
}

TransformParams ExpectedParams() {
    TransformParams p;
    p.Valid = 1;
    p.TargetKind = 256;
    p.TargetQuantity = 2;
    p.BeginTime = 0.5;
    p.EndTime = 1.0;
    p.BeginFreq = 10.0;
    p.EndFreq = 100.0;
    p.StepFreq = 0.25;
    p.Polosa = 2;
    p.MinFreq = 2.0;
    p.MaxFreq = -1.0;
    p.Sposob = 1;
    p.Usredn = 12.5;
    p.MaxOgibFreq = 1000.0;
    p.BandRatio = 2.0;
    p.PowType = 1;
    p.CountFreq = 3;
    p.Bands[0] = {10.0, 100.0};
    p.Bands[14] = {0.5, 355.0};
    p.Reserved[0] = 0xAB;
    p.Reserved[79] = 0xCD;
    p.SourceKind = 2;
    p.SourceQuantity = 4;
    return p;
}

TEST(TransformParamsLayout, Encode_placesEveryFieldAtItsOffset) {
    EXPECT_EQ(ExpectedParams().Encode(), HandMadeParamsBytes());
}

TEST(TransformParamsLayout, Decode_readsEveryFieldFromItsOffset) {
    const auto bytes = HandMadeParamsBytes();
    EXPECT_EQ(TransformParams::Decode(bytes), ExpectedParams());
}

TEST(TransformParamsLayout, Decode_refusesAShortRecord) {
    const auto bytes = HandMadeParamsBytes();
    EXPECT_THROW(TransformParams::Decode(std::span<const std::uint8_t>(bytes.data(), 340)),
                 common::FormatError);
}

}  // namespace
}  // namespace velmar::archive
