#pragma once
// The data of one direction: one channel of a measurement file (a direction of a point, a channel of its
// own, or a marker channel), and the data derived from it by the transform engine, which are nodes of the
// same kind kept below the direction.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/FileDBLevel.hpp"

namespace velmar::archive {

class TZamerFile;
struct TChannelRecord;

// Which channel a direction node stands for.
struct DirectionRef {
    int point = 0;      // 0 for channels directly under the measurement
    int direction = 0;  // 1 .. ; 0 for a marker channel
    int marker = 0;     // 1 .. marker count, for a marker channel

    static DirectionRef Marker(int number) { return DirectionRef{0, 0, number}; }
};

// The icon key of data of that kind ("NAPR_SIGN", "NAPR_SPECTR", ...).
std::string DirectionIconKey(std::int32_t kind);

// The data header a channel record describes, for `dataSize` bytes of values as doubles (the file's
// ChannelDataSize; negative when there are none).
TDataHeader HeaderFromChannel(const TChannelRecord& record, std::int64_t dataSize);

class TNaprPreobrDBLevel : public TFileDBLevel {
  public:
    static constexpr std::size_t kPhaseResponseSize = 1072;
    using PhaseResponse = std::array<std::uint8_t, kPhaseResponseSize>;

    // Direction data of the measurement file `file`: reads the channel record (through `openFile` when the
    // caller holds the file open). Raises EFailOpenFile "Неверный отметчик !" for a marker number beyond the
    // measurement's marker channels, and the file's errors.
    TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file,
                       DirectionRef ref, TZamerFile* openFile = nullptr);

    int GetPointNumber() const override { return ref_.point; }
    int GetDirectionNumber() const override { return ref_.direction; }
    int MarkerNumber() const noexcept { return ref_.marker; }
    const DirectionRef& Ref() const noexcept { return ref_; }
    // The channel of the file; 0 when the machine maps the direction beyond the file's regular channels.
    int ChannelNumber() const noexcept { return channel_; }
    bool ChannelInUse() const noexcept { return inUse_; }
    // The channel's phase-response block (14), when it has one.
    const std::optional<PhaseResponse>& PhaseResponseBlock() const noexcept { return phaseResponse_; }

    // After level and kind, by direction number; marker channels after the numbered directions.
    CompareResult Compare(const TDBLevel* other) const override;
    // 0: name part 13, 1: name part 14, 11 .. 14: that part; the rest up.
    std::string GetLevelName(int levelNumber) const override;
    // Offered only for a channel in use.
    void FillCommandMenu(CommandMenu& menu) override;
    // 0 opens the node in a signal window.
    RefreshCode ExecuteCommand(int& command) override;
    bool ShowInfo(int infoNumber) override;
    // A marker channel has no RMS value.
    double Rms() const override;
    RenameResult Rename() override { return RenameResult::NotRenamed; }
    // A new node of this kind for the same channel, holding what the transform engine made of this node's
    // data.
    NodePtr CreateTransform(const TransformParams& params) override;

  protected:
    TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent, const std::filesystem::path& file,
                       DirectionRef ref, TZamerFile* openFile, int levelNumber);
    // A derived node: the channel of `source`, data still to come.
    struct DerivedFrom {};
    TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent, const TNaprPreobrDBLevel& source,
                       DerivedFrom);

  private:
    void ReadChannel(TZamerFile& file);

    DirectionRef ref_;
    int channel_ = 0;
    bool inUse_ = false;
    std::optional<PhaseResponse> phaseResponse_;
};

}  // namespace velmar::archive
