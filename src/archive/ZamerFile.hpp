#pragma once
// The measurement file: one measurement of a machine (its channels and the conditions they were recorded
// under) in one binary file of the machine's directory. TZamerFile is its only reader and writer.
//
// Two layouts exist. Version 301 is read and written. Version 300 is an older layout that is read and turned
// into the version 301 records in memory; every attempt to change such a file raises EAbort and leaves it as
// it was.
//
// Every length and offset found in a file is checked against the file's size and against the caller's
// buffer before it is used. A fixed block is cached only after it was read in full, and a block that was
// never read successfully is never written back, so a failed read cannot turn into zeros on disk. New data
// goes to the disk before the record or the directory entry that points to it.
//
// Texts in the file are cp1251. The records keep the raw bytes of every text field (so that a record read
// and written again is byte for byte the same) and offer UTF-8 accessors for the texts the program shows.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/FailOpenFile.hpp"
#include "common/DayCount.hpp"
#include "common/MeasurementParams.hpp"

namespace velmar::archive {

using ZamerSignature = std::array<std::uint8_t, 6>;

// 93 bytes at offset 6.
struct ZamerHeader {
    static constexpr std::size_t kSize = 93;

    std::array<std::uint8_t, 81> text{};  // cp1251, zero-terminated: the file's path when it was created
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;

    std::string Text() const;
    // Stores at most 80 bytes of the cp1251 form; *lossy is set when a character had no cp1251 byte.
    void SetText(std::string_view utf8, bool* lossy = nullptr);

    static ZamerHeader Decode(std::span<const std::uint8_t, kSize> bytes);
    void Encode(std::span<std::uint8_t, kSize> bytes) const;
    bool operator==(const ZamerHeader&) const = default;
};

// 289 bytes at offset 671.
struct ZamerDescription {
    static constexpr std::size_t kSize = 289;

    std::uint16_t channelCount = 0;
    std::uint16_t markerChannelCount = 0;  // the last this many channels are tachometer marks
    std::array<std::uint8_t, 51> comment{};
    std::uint16_t state = 0;  // colour state of the measurement
    // Written by other parts of the program and carried unchanged here.
    std::uint16_t carriedWord1 = 0;
    std::uint16_t carriedWord2 = 0;
    std::array<std::uint8_t, 13> carriedText1{};
    std::array<std::uint8_t, 16> carriedText2{};
    std::array<std::uint8_t, 199> reserved{};

    std::string Comment() const;
    // At most 50 bytes of the cp1251 form.
    void SetComment(std::string_view utf8, bool* lossy = nullptr);

    static ZamerDescription Decode(std::span<const std::uint8_t, kSize> bytes);
    void Encode(std::span<std::uint8_t, kSize> bytes) const;
    bool operator==(const ZamerDescription&) const = default;
};

// One entry of the technological-parameter table; identifier 0 marks a free entry.
struct ZamerTechParam {
    std::int16_t id = 0;
    double value = 0.0;
    bool operator==(const ZamerTechParam&) const = default;
};
inline constexpr std::size_t kZamerTechParamCount = 50;
using ZamerTechParams = std::array<ZamerTechParam, kZamerTechParamCount>;

// One entry of the file's block directory or of a channel's block list; identifier 0 marks a free entry.
struct ZamerBlockEntry {
    std::int16_t id = 0;
    std::int32_t offset = 0;
    std::int32_t length = 0;
    bool operator==(const ZamerBlockEntry&) const = default;
};
inline constexpr std::size_t kZamerDirectorySize = 30;
inline constexpr std::size_t kZamerChannelBlockCount = 10;
using ZamerDirectory = std::array<ZamerBlockEntry, kZamerDirectorySize>;

// Well-known block identifiers.
inline constexpr int kBlockLongNote = 6;
inline constexpr int kBlockSourceRecord = 7;
inline constexpr int kBlockForeignRecord = 9;
inline constexpr int kChannelBlockPhaseResponse = 14;

// Identifiers 70..119 of the technological-parameter table hold the measurement's parameters 1..50.
inline constexpr int kTechParamFirstId = 70;

// 245 bytes per channel.
struct TChannelRecord {
    static constexpr std::size_t kSize = 245;
    static constexpr std::uint16_t kFlagPairs = 1;  // points are (value, phase) pairs

    std::uint16_t inUse = 0;  // 1 once the record was written
    std::uint16_t year = 0;
    std::uint16_t month = 0;
    std::uint16_t day = 0;
    std::uint16_t hour = 0;
    std::uint16_t minute = 0;
    std::uint16_t second = 0;
    double rms = 0.0;
    double peak = 0.0;        // largest absolute value
    double phaseShift = 0.0;  // degrees
    double firstX = 0.0;
    double lastX = 0.0;
    double step = 0.0;
    std::uint16_t flags = 0;
    std::uint16_t kind = 0;
    std::uint32_t quantity = 0;
    std::uint32_t count = 0;  // number of values as the imports state it; informational
    double scale = 0.0;       // value of one step of the stored integers; 0 lets the writer choose
    std::int16_t packing = 0;
    std::uint32_t dataOffset = 0;
    std::uint32_t dataLength = 0;
    std::array<ZamerBlockEntry, kZamerChannelBlockCount> blocks{};
    std::uint16_t carriedWord = 0;
    double phaseShift2 = 0.0;  // degrees added to the phases of pair data
    double carriedReal = 0.0;
    std::array<std::uint8_t, 34> reserved{};
    std::uint8_t carriedByte = 0;

    bool IsInUse() const { return inUse == 1; }
    bool HasPairFlag() const { return (flags & kFlagPairs) != 0; }

    static TChannelRecord Decode(std::span<const std::uint8_t, kSize> bytes);
    void Encode(std::span<std::uint8_t, kSize> bytes) const;
    bool operator==(const TChannelRecord&) const = default;
};

// How a channel's values are stored, from its kind and flags.
enum class ChannelCoding {
    Harmonics,  // doubles, four per harmonic (frequency, amplitude, phase, fourth value)
    Pairs,      // int16 (amplitude, phase in tenths of a degree) pairs
    Values,     // int16 values times the scale
};
ChannelCoding CodingOf(const TChannelRecord& record);

namespace detail {
// For the tests of the conversion itself: the integers that `values` are stored as at `scale`, in chunks as
// the writer takes them, through path 0 (a division per value), 1 (SSE2) or 2 (AVX2). Returns how many values
// did not survive. HasConversionPath says whether this machine can take the path.
bool HasConversionPath(int path);
std::size_t QuantizeWithPath(int path, std::span<const double> values, double scale,
                             std::span<std::int16_t> out);
}  // namespace detail

// "M3240115": the letter, "3" from the year 2000 on and "2" before, then yymmdd.
std::string MeasurementFileStem(char letter, int year, int month, int day);
// The stem, a point and the sequence number: three digits 001..999, then 1000, 1001, ... unpadded.
std::string MeasurementFileName(char letter, int year, int month, int day, int sequence);
// The first name of that date not taken in `dir` by any entry in any letter case.
std::filesystem::path FindFreeMeasurementName(const std::filesystem::path& dir, char letter,
                                              const common::CivilTime& date);

class TZamerFile {
  public:
    static constexpr int kVersion300 = 300;
    static constexpr int kVersion301 = 301;
    // The scale chosen by the writer codes the largest value as this many steps.
    static constexpr double kAutoScaleSteps = 15000.0;
    // Stored integers saturate here.
    static constexpr int kMaxSteps = 32767;

    // Opens an existing file: checks the signature and that the fixed blocks and every channel record are
    // there. Raises EFailOpenFile ("No file", "Wrong file version", "Damaged file", "Can't open a file",
    // "Can't read a file").
    //
    // The signature, header, parameters, technological parameters and description are read here, in one
    // read, and served from the cache afterwards; the block directory is read when first needed. The
    // handle used for that read stays open for the first Hold or operation that follows, which takes it
    // over instead of opening the file again; the object closes it when it goes without one.
    static TZamerFile OpenFile(const std::filesystem::path& path);

    // Creates a new version 301 file with `channelCount` empty channel records, the header's text the path
    // and its date `moment` (now when not given). Never replaces anything: an existing file of that name
    // raises EFailOpenFile "Can't create a file" and stays as it was. The file appears under its name only
    // when complete.
    static TZamerFile CreateFile(const std::filesystem::path& path, int channelCount,
                                 std::optional<common::CivilTime> moment = std::nullopt);

    // Creates a new measurement file in `dir` under the first free name of the moment's date (letter "M"
    // unless told otherwise); a name taken meanwhile by someone else moves on to the next number.
    static TZamerFile CreateNewMeasurement(const std::filesystem::path& dir, int channelCount,
                                           std::optional<common::CivilTime> moment = std::nullopt,
                                           char letter = 'M');

    TZamerFile(TZamerFile&& other) noexcept;
    TZamerFile& operator=(TZamerFile&& other) noexcept;
    TZamerFile(const TZamerFile&) = delete;
    TZamerFile& operator=(const TZamerFile&) = delete;
    // Releases every hold and closes the handle.
    ~TZamerFile();

    const std::filesystem::path& Path() const { return path_; }
    int Version() const { return version_; }
    ZamerSignature GetSignature() const { return signature_; }
    // The read-only attribute (the owner-write bit), as seen at opening or at the last attempt to write.
    bool IsReadOnly() const { return readOnly_; }

    // Nested opening of the handle; each operation opens and closes it itself unless it is held open.
    // OpenWrite refuses a read-only file (EFailOpenFile "Can't open for write \"read only\" file") and a
    // version 300 file (EAbort).
    void OpenRead();
    void OpenWrite();
    void CloseFile();
    bool IsOpen() const { return openCount_ > 0; }

    // Keeps the file open across several operations.
    void Hold();
    void Release();
    bool IsHeld() const { return holdCount_ > 0; }

    // Write the cached block. Refused (EFailOpenFile) when the block was never read successfully or set.
    void WriteSignature();
    void WriteHeader();
    void WriteParams();
    void WriteTechParams();
    void WriteDescription();
    void WriteDirectory();

    // The fixed blocks, read once and then served from the cache. A block that cannot be read raises
    // EFailOpenFile and stays unread. The setters write the block and then cache it.
    ZamerHeader GetHeader();
    void SetHeader(const ZamerHeader& header);
    common::MeasurementParams GetParams();
    void SetParams(const common::MeasurementParams& params);
    ZamerDescription GetDescription();
    void SetDescription(const ZamerDescription& description);
    ZamerTechParams GetTechParams();
    ZamerDirectory GetDirectory();

    // The value of the first entry with that identifier.
    std::optional<double> GetTechParam(int id);
    // Updates the entry with that identifier or takes the first free one. False when the table is full (or
    // the identifier is not a valid one): nothing was stored.
    bool SetTechParam(int id, double value);

    // Reads the block into `buffer`: the number of bytes read, or -1 when there is no such block, when it
    // does not lie within the file, when it does not fit the buffer, or when the read fails.
    std::int64_t ReadBlock(int id, std::span<std::uint8_t> buffer);
    std::optional<std::vector<std::uint8_t>> ReadBlock(int id);
    // Rewrites the block in place when its old area is large enough, else appends it at the end of the
    // file. False when nothing was stored: no data, an invalid identifier or no free directory entry.
    bool WriteBlock(int id, std::span<const std::uint8_t> data);
    // -1 when there is no such block.
    std::int64_t BlockLength(int id);

    // The same on the ten block entries of channel k; writing also writes the channel record (and so marks
    // it in use). Channels outside 1..ChannelCount() have no blocks.
    std::int64_t ReadChannelBlock(int k, int id, std::span<std::uint8_t> buffer);
    std::optional<std::vector<std::uint8_t>> ReadChannelBlock(int k, int id);
    bool WriteChannelBlock(int k, int id, std::span<const std::uint8_t> data);
    std::int64_t ChannelBlockLength(int k, int id);

    // Channel k of 1..ChannelCount(); outside that range a record not in use. A record that cannot be read
    // raises EFailOpenFile.
    TChannelRecord GetChannel(int k);
    // Writes the record marked in use with packing 0. False (nothing written) for k outside the range.
    bool SetChannel(int k, const TChannelRecord& record);
    int ChannelCount();

    // Bytes a buffer needs for the channel's values as doubles; -1 when the channel is not in use or its
    // data do not lie within the file.
    std::int64_t ChannelDataSize(int k);
    // Reads the channel's values as doubles into `out` (at most out.size() of them, at most what is stored):
    // harmonics as stored; pairs as amplitude × scale and phase in degrees; other values × scale. Returns the
    // number of doubles filled, or -1 when the channel is not in use, has no data, is packed, points outside
    // the file, or the read fails.
    std::int64_t ReadChannelData(int k, std::span<double> out);
    std::optional<std::vector<double>> ReadChannelData(int k);

    // Stores the channel's values (for pairs: amplitude, phase, amplitude, phase, ...), reusing the old data
    // area when it is large enough and appending otherwise, then writes the channel record with the new
    // offset, length and scale. A scale of 0 in the record is replaced by |peak| / 15000 (with a peak of 0,
    // the largest |value| / 15000; 1.0 when that is 0 too); should the values not fit the integers at that
    // scale, by their largest |value| / 15000. Values beyond ±32767 steps of a scale the caller chose are
    // stored as ±32767 and counted in *clipped, as are values that are not numbers (stored as 0). Returns the
    // bytes stored, or -1 when the channel is not in use or there is nothing to store.
    std::int64_t WriteChannelData(int k, std::span<const double> values, std::size_t* clipped = nullptr);

    // The stored bytes as they are; empty when the channel is not in use or its data lie outside the file.
    std::optional<std::vector<std::uint8_t>> ReadChannelRaw(int k);
    // Stores int16 samples of a signal channel (kind 2) as they are; the scale stays. Bytes stored or -1.
    std::int64_t WriteChannelRaw(int k, std::span<const std::int16_t> samples);

    bool MatchesRequirements(const common::MeasurementParams& required);

  private:
    enum Fixed {
        kSignatureBlock,
        kHeaderBlock,
        kParamsBlock,
        kTechBlock,
        kDescriptionBlock,
        kDirectoryBlock
    };
    static constexpr int kFixedCount = 6;

    TZamerFile() = default;
    void Reset() noexcept;

    void LoadFixed(Fixed block);
    // `bytes` holds exactly the block in the layout of the file's version.
    void DecodeFixed(Fixed block, std::span<const std::uint8_t> bytes);
    void EncodeFixed(Fixed block, std::vector<std::uint8_t>& out) const;
    void WriteFixedBytes(Fixed block, std::span<const std::uint8_t> bytes);
    void WriteFixed(Fixed block);
    void RefuseOldVersion() const;

    bool ReadAt(std::uint64_t offset, std::span<std::uint8_t> bytes);
    void WriteAt(std::uint64_t offset, std::span<const std::uint8_t> bytes);
    std::uint64_t FileSize();
    std::uint64_t DataAreaStart();
    bool AreaInFile(std::uint64_t offset, std::uint64_t length);
    std::optional<std::uint64_t> ChooseArea(std::uint64_t oldOffset, std::uint64_t oldLength,
                                            std::uint64_t newLength, std::uint64_t limit);

    std::int64_t ReadEntry(const ZamerBlockEntry* entry, std::span<std::uint8_t> buffer);
    std::optional<std::vector<std::uint8_t>> ReadEntry(const ZamerBlockEntry* entry);
    // Stores the data of block `id` and points its entry (or the first free one) at them; false when no
    // entry is free.
    bool PlaceBlock(std::span<ZamerBlockEntry> entries, int id, std::span<const std::uint8_t> data);
    const ZamerBlockEntry* FindChannelBlock(int k, int id, TChannelRecord& record);
    // Places `length` bytes of channel data (the old area when large enough, else the end of the file), lets
    // `writeData` write them there and adjust the record, then writes the record pointing at them.
    std::int64_t StoreChannelBytes(
        int k, TChannelRecord record, std::uint64_t length,
        const std::function<void(std::uint64_t offset, TChannelRecord& record)>& writeData);

    std::filesystem::path path_;
    // Open while openCount_ > 0; with openCount_ == 0 it is either -1 or the read-only handle OpenFile left
    // for the next opening to take over.
    int fd_ = -1;
    int openCount_ = 0;
    bool writable_ = false;
    int holdCount_ = 0;
    bool readOnly_ = false;
    int version_ = kVersion301;
    ZamerSignature signature_{};

    std::array<bool, kFixedCount> loaded_{};
    ZamerHeader header_;
    common::MeasurementParams params_;
    ZamerTechParams techParams_{};
    ZamerDescription description_;
    ZamerDirectory directory_{};

    TChannelRecord cachedChannel_;
    int cachedChannelNumber_ = -1;
};

}  // namespace velmar::archive
