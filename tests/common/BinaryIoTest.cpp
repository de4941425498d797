#include "common/BinaryIo.hpp"

#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <functional>
#include <limits>
#include <string>
#include <vector>

namespace velmar::common {
namespace {

using Bytes = std::vector<std::uint8_t>;

TEST(BinaryReader, ReadsLittleEndianValuesFromHandLaidBytes) {
    const Bytes data = {
        0xFE,                                            // U8 254
        0xFE,                                            // I8 -2
        0x34, 0x12,                                      // U16 0x1234
        0xFE, 0xFF,                                      // I16 -2
        0x78, 0x56, 0x34, 0x12,                          // U32 0x12345678
        0x00, 0x00, 0x00, 0x80,                          // I32 INT32_MIN
        0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01,  // U64 0x0102030405060708
        0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,  // I64 -1
        0x00, 0x00, 0xC0, 0x3F,                          // F32 1.5
        0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24, 0xC0,  // F64 -10
        0x84, 0x00, 0x00, 0x00, 0x00, 0x20,              // Real48 10
    };
    BinaryReader r(data);
    EXPECT_EQ(r.U8(), 254);
    EXPECT_EQ(r.I8(), -2);
    EXPECT_EQ(r.U16(), 0x1234);
    EXPECT_EQ(r.I16(), -2);
    EXPECT_EQ(r.U32(), 0x12345678u);
    EXPECT_EQ(r.I32(), std::numeric_limits<std::int32_t>::min());
    EXPECT_EQ(r.U64(), 0x0102030405060708u);
    EXPECT_EQ(r.I64(), -1);
    EXPECT_EQ(r.F32(), 1.5f);
    EXPECT_EQ(r.F64(), -10.0);
    EXPECT_EQ(r.Real48(), 10.0);
    EXPECT_TRUE(r.AtEnd());
    EXPECT_EQ(r.Remaining(), 0u);
}

struct ReadCase {
    const char* name;
    std::size_t size;
    std::function<void(BinaryReader&)> read;
};

std::vector<ReadCase> AllReads() {
    return {
        {"U8", 1, [](BinaryReader& r) { r.U8(); }},
        {"I8", 1, [](BinaryReader& r) { r.I8(); }},
        {"U16", 2, [](BinaryReader& r) { r.U16(); }},
        {"I16", 2, [](BinaryReader& r) { r.I16(); }},
        {"U32", 4, [](BinaryReader& r) { r.U32(); }},
        {"I32", 4, [](BinaryReader& r) { r.I32(); }},
        {"U64", 8, [](BinaryReader& r) { r.U64(); }},
        {"I64", 8, [](BinaryReader& r) { r.I64(); }},
        {"F32", 4, [](BinaryReader& r) { r.F32(); }},
        {"F64", 8, [](BinaryReader& r) { r.F64(); }},
        {"Real48", 6, [](BinaryReader& r) { r.Real48(); }},
        {"Bytes(5)", 5, [](BinaryReader& r) { r.Bytes(5); }},
        {"Skip(5)", 5, [](BinaryReader& r) { r.Skip(5); }},
        {"ReadInto(3)", 3,
         [](BinaryReader& r) {
             std::uint8_t out[3];
             r.ReadInto(out);
         }},
        {"Text(7)", 7, [](BinaryReader& r) { r.Text(7); }},
        {"PascalText(4)", 5, [](BinaryReader& r) { r.PascalText(4); }},
        {"ReadI16Array(3)", 6,
         [](BinaryReader& r) {
             std::int16_t out[3];
             r.ReadI16Array(out);
         }},
    };
}

// Each read is tried where it ends exactly at the end of the data, and one byte later; the buffer is
// allocated to the exact size so that AddressSanitizer also catches a read beyond it.
TEST(BinaryReader, EveryReadStopsAtTheEndAndNeverMovesOnFailure) {
    constexpr std::size_t kLead = 3;
    for (const auto& c : AllReads()) {
        SCOPED_TRACE(c.name);
        const Bytes data(kLead + c.size, 0x41);

        BinaryReader fits(data);
        fits.Seek(kLead);
        ASSERT_NO_THROW(c.read(fits));
        EXPECT_TRUE(fits.AtEnd());

        BinaryReader oneShort(data);
        oneShort.Seek(kLead + 1);
        EXPECT_THROW(c.read(oneShort), FormatError);
        EXPECT_EQ(oneShort.Position(), kLead + 1);

        BinaryReader atEnd(data);
        atEnd.Seek(data.size());
        EXPECT_THROW(c.read(atEnd), FormatError);

        const Bytes exact(data.begin() + kLead, data.end());
        BinaryReader whole(exact);
        ASSERT_NO_THROW(c.read(whole));
        const Bytes shorter(exact.begin(), exact.end() - 1);
        BinaryReader truncated(shorter);
        EXPECT_THROW(c.read(truncated), FormatError);
    }
}

TEST(BinaryReader, EmptyInputThrowsForEveryRead) {
    for (const auto& c : AllReads()) {
        BinaryReader r(std::span<const std::uint8_t>{});
        EXPECT_THROW(c.read(r), FormatError) << c.name;
    }
}

TEST(BinaryReader, HugeCountsAreRefusedWithoutOverflow) {
    const Bytes data(16, 0);
    const std::size_t huge = std::numeric_limits<std::size_t>::max();
    BinaryReader r(data);
    r.Seek(4);
    EXPECT_THROW(r.Skip(huge), FormatError);
    EXPECT_THROW(r.Bytes(huge), FormatError);
    EXPECT_THROW(r.Bytes(huge - 2), FormatError);
    EXPECT_THROW(r.Text(huge), FormatError);
    EXPECT_THROW(r.Seek(huge), FormatError);
    EXPECT_THROW(r.Seek(17), FormatError);
    EXPECT_EQ(r.Position(), 4u);
    EXPECT_NO_THROW(r.Seek(16));
    EXPECT_NO_THROW(r.Skip(0));
    EXPECT_TRUE(r.Bytes(0).empty());
}

TEST(BinaryReader, TextFieldEndsAtZeroOrFillsTheField) {
    const std::string raw(
        "AB\0CD"
        "WXYZ"
        "\xC0\xE1\0",
        12);
    BinaryReader r(std::string_view(raw.data(), raw.size()));
    EXPECT_EQ(r.Text(5), "AB");  // bytes after the terminator are not part of the text
    EXPECT_EQ(r.Position(), 5u);
    EXPECT_EQ(r.Text(4), "WXYZ");      // no terminator: the whole field
    EXPECT_EQ(r.Text(3), "\xC0\xE1");  // cp1251 bytes come back untouched
    EXPECT_TRUE(r.AtEnd());
}

TEST(BinaryReader, PascalTextHonoursItsLengthByteWithinTheField) {
    struct Case {
        std::string field;
        std::size_t maxLength;
        std::string expected;
    };
    const Case cases[] = {
        {std::string("\x03"
                     "abcXX",
                     6),
         5, "abc"},  // bytes after the length do not count
        {std::string("\x00"
                     "abc",
                     4),
         3, ""},
        {std::string("\x05"
                     "abcde",
                     6),
         5, "abcde"},  // full
        {std::string("\xC8"
                     "abcd",
                     5),
         4, "abcd"},  // damaged length: cut at the field's end
        {std::string("\x01", 1), 0, ""},
    };
    for (const auto& c : cases) {
        const std::string input = c.field + "!";
        BinaryReader r{std::string_view(input)};
        EXPECT_EQ(r.PascalText(c.maxLength), c.expected);
        EXPECT_EQ(r.Position(), c.maxLength + 1);  // the whole field is consumed
        EXPECT_EQ(r.U8(), '!');
    }
    BinaryReader r(std::string_view("\x01x"));
    EXPECT_THROW(r.PascalText(256), FormatError);
}

TEST(BinaryReader, ReadsI16ArraysInFileOrder) {
    const Bytes data = {0x01, 0x00, 0xFF, 0xFF, 0x00, 0x80, 0xFF, 0x7F, 0x34, 0x12};
    BinaryReader r(data);
    r.Skip(2);
    std::int16_t values[4] = {};
    r.ReadI16Array(values);
    EXPECT_EQ(values[0], -1);
    EXPECT_EQ(values[1], -32768);
    EXPECT_EQ(values[2], 32767);
    EXPECT_EQ(values[3], 0x1234);
    EXPECT_TRUE(r.AtEnd());
}

TEST(BinaryWriter, AppendsLittleEndianBytes) {
    Bytes out = {0xAA};
    BinaryWriter w(out);
    EXPECT_EQ(w.Position(), 1u);  // appends after what is there
    w.U8(0xFE);
    w.I8(-2);
    w.U16(0x1234);
    w.I16(-2);
    w.U32(0x12345678);
    w.I32(std::numeric_limits<std::int32_t>::min());
    w.U64(0x0102030405060708);
    w.I64(-1);
    w.F32(1.5f);
    w.F64(-10.0);
    w.Real48(10.0);
    const std::int16_t samples[] = {-1, 0x1234};
    w.WriteI16Array(samples);
    const Bytes expected = {
        0xAA, 0xFE, 0xFE, 0x34, 0x12, 0xFE, 0xFF, 0x78, 0x56, 0x34, 0x12, 0x00, 0x00, 0x00,
        0x80, 0x08, 0x07, 0x06, 0x05, 0x04, 0x03, 0x02, 0x01, 0xFF, 0xFF, 0xFF, 0xFF, 0xFF,
        0xFF, 0xFF, 0xFF, 0x00, 0x00, 0xC0, 0x3F, 0x00, 0x00, 0x00, 0x00, 0x00, 0x00, 0x24,
        0xC0, 0x84, 0x00, 0x00, 0x00, 0x00, 0x20, 0xFF, 0xFF, 0x34, 0x12,
    };
    EXPECT_EQ(out, expected);
    EXPECT_EQ(w.Position(), expected.size());
}

TEST(BinaryWriter, SeekBackInAVectorOverwritesAndGrowsOnlyPastTheEnd) {
    Bytes out;
    BinaryWriter w(out);
    w.U32(0);
    w.U16(0xBEEF);
    w.Seek(0);
    w.U32(6);  // patch a length in front
    EXPECT_EQ(out, (Bytes{0x06, 0x00, 0x00, 0x00, 0xEF, 0xBE}));
    w.Seek(5);
    w.U16(0x1122);
    EXPECT_EQ(out, (Bytes{0x06, 0x00, 0x00, 0x00, 0xEF, 0x22, 0x11}));
    EXPECT_THROW(w.Seek(8), FormatError);
}

TEST(BinaryWriter, FixedSpanWritesAtItsOffsetAndRefusesToPassItsEnd) {
    Bytes buffer(10, 0xCC);
    BinaryWriter w(std::span<std::uint8_t>(buffer).subspan(2, 6), 1);
    w.U32(0x04030201);
    EXPECT_THROW(w.U16(0xFFFF), FormatError);  // one byte short: nothing written
    EXPECT_EQ(w.Position(), 5u);
    w.U8(0x05);
    EXPECT_THROW(w.U8(0xFF), FormatError);
    EXPECT_THROW(w.Zeros(1), FormatError);
    EXPECT_THROW(w.FixedText("x", 1), FormatError);
    EXPECT_THROW(w.PascalText("", 0), FormatError);
    EXPECT_EQ(buffer, (Bytes{0xCC, 0xCC, 0xCC, 0x01, 0x02, 0x03, 0x04, 0x05, 0xCC, 0xCC}));
    EXPECT_THROW(BinaryWriter(std::span<std::uint8_t>(buffer), 11), FormatError);
}

TEST(BinaryWriter, EveryWriteIsRefusedWholeOnePastTheEnd) {
    struct Case {
        const char* name;
        std::size_t size;
        std::function<void(BinaryWriter&)> write;
    };
    const std::int16_t two[2] = {1, 2};
    const Case cases[] = {
        {"U8", 1, [](BinaryWriter& w) { w.U8(1); }},
        {"U16", 2, [](BinaryWriter& w) { w.U16(1); }},
        {"U32", 4, [](BinaryWriter& w) { w.U32(1); }},
        {"U64", 8, [](BinaryWriter& w) { w.U64(1); }},
        {"F32", 4, [](BinaryWriter& w) { w.F32(1); }},
        {"F64", 8, [](BinaryWriter& w) { w.F64(1); }},
        {"Real48", 6, [](BinaryWriter& w) { w.Real48(1); }},
        {"FixedText", 5, [](BinaryWriter& w) { w.FixedText("abc", 5); }},
        {"PascalText", 5, [](BinaryWriter& w) { w.PascalText("abc", 4); }},
        {"WriteI16Array", 4, [&two](BinaryWriter& w) { w.WriteI16Array(two); }},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.name);
        Bytes exact(c.size, 0xCC);
        BinaryWriter spanFits{std::span<std::uint8_t>(exact)};
        ASSERT_NO_THROW(c.write(spanFits));
        EXPECT_EQ(spanFits.Position(), c.size);

        Bytes shortBuffer(c.size - 1, 0xCC);
        BinaryWriter tooShort{std::span<std::uint8_t>(shortBuffer)};
        EXPECT_THROW(c.write(tooShort), FormatError);
        EXPECT_EQ(shortBuffer, Bytes(c.size - 1, 0xCC));
    }
}

TEST(BinaryWriter, FixedTextIsCutOrZeroPadded) {
    Bytes out;
    BinaryWriter w(out);
    w.FixedText("AB", 4);
    w.FixedText("WXYZ", 4);  // fills the field: no terminator
    w.FixedText("toolong", 3);
    w.FixedText("", 2);
    EXPECT_EQ(out, (Bytes{'A', 'B', 0, 0, 'W', 'X', 'Y', 'Z', 't', 'o', 'o', 0, 0}));
}

TEST(BinaryWriter, PascalTextWritesLengthTextAndZeros) {
    Bytes out;
    BinaryWriter w(out);
    w.PascalText("abc", 5);
    w.PascalText("abcdef", 4);
    w.PascalText("", 1);
    EXPECT_EQ(out, (Bytes{3, 'a', 'b', 'c', 0, 0, 4, 'a', 'b', 'c', 'd', 0, 0}));
    EXPECT_THROW(w.PascalText("x", 256), FormatError);
    EXPECT_EQ(out.size(), 13u);
    Bytes longest;
    BinaryWriter w255(longest);
    w255.PascalText(std::string(300, 'q'), 255);
    ASSERT_EQ(longest.size(), 256u);
    EXPECT_EQ(longest[0], 255);
}

TEST(BinaryIo, LargeSampleArraysRoundTrip) {
    std::vector<std::int16_t> samples(1 << 16);
    for (std::size_t i = 0; i < samples.size(); ++i) {
        samples[i] = static_cast<std::int16_t>(i * 2654435761u >> 7);
    }
    Bytes file;
    BinaryWriter w(file);
    w.U8(7);  // an odd offset, as in the files: no alignment assumed
    w.WriteI16Array(samples);
    ASSERT_EQ(file.size(), 1 + 2 * samples.size());
    EXPECT_EQ(file[3], static_cast<std::uint8_t>(samples[1] & 0xFF));
    EXPECT_EQ(file[4], static_cast<std::uint8_t>((samples[1] >> 8) & 0xFF));
    BinaryReader r(file);
    r.Skip(1);
    std::vector<std::int16_t> back(samples.size());
    r.ReadI16Array(back);
    EXPECT_EQ(back, samples);
    EXPECT_TRUE(r.AtEnd());
}

}  // namespace
}  // namespace velmar::common
