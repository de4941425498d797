#pragma once
// A measurement: one measurement file ("M*.*") of a machine. It opens into measuring points and
// directions, as the machine maps the file's channels, and the marker channels at the end of the file.

#include <array>
#include <cstdint>
#include <filesystem>
#include <optional>
#include <string>

#include "archive/DateTimeDBLevel.hpp"
#include "common/MeasurementParams.hpp"

namespace velmar::archive {

class TAgregatDBLevel;
class TNaprPreobrDBLevel;

class TZamerDBLevel : public TDateTimeDBLevel {
  public:
    static constexpr std::uint16_t kFlags = 409;
    static constexpr std::uint16_t kReadOnlyFlags = 401;
    // 50 technological parameters as six-byte reals, then the comment (length byte and 50 characters).
    static constexpr std::size_t kTechParamRecordSize = 351;
    static constexpr std::size_t kTechParamCommentOffset = 300;
    static constexpr int kTechParamCount = 50;
    using TechParamRecord = std::array<std::uint8_t, kTechParamRecordSize>;

    // Reads the file's header, parameters and description. Raises EFailOpenFile when the file is not a
    // measurement file or cannot be read. Enabled only for a writable file of the current version.
    TZamerDBLevel(ArchiveContext& context, TDBLevel* parent, std::filesystem::path file);

    int Version() const noexcept { return version_; }
    // Channels minus marker channels; a marker count larger than the file's channels is cut to them.
    int RegularChannelCount() const noexcept { return regularChannels_; }
    int MarkerChannelCount() const noexcept { return markerChannels_; }
    const common::MeasurementParams& Params() const noexcept { return params_; }
    // The parameters meet what a run-up needs.
    bool RunUpConvertible() const noexcept { return runUpConvertible_; }
    // The file may be written: current version, not read-only, and every node above usable.
    bool IsWritable() const { return IsEnabled(); }
    TAgregatDBLevel* Machine() const;

    // Points of the machine that have directions, channels of their own (not bound to a point), then one
    // direction per marker channel.
    void LoadChildren() override;
    void FillCommandMenu(CommandMenu& menu) override;
    RefreshCode ExecuteCommand(int& command) override;
    std::string GetPromptText(int prompt) const override;
    // 1: the RMS table of the measurement; 2: its expert systems.
    bool ShowInfo(int infoNumber) override;
    // Sets the state and lets the machine follow.
    void SetState(std::int32_t state) override;
    void UpdateMark() override;
    RenameResult Rename() override { return RenameResult::NotRenamed; }
    std::string GetLevelName(int levelNumber) const override;
    std::string GetChannelName(int channel, int namePart) const override;
    std::string GetPointDirectionName(int point, int direction, int namePart) const override;

    // The direction child of that point and direction (directly or inside its point); none when there is
    // none or its channel is not in use.
    TNaprPreobrDBLevel* FindDirection(int point, int direction);
    // The direction child holding channel `channel` of the file (markers included).
    TNaprPreobrDBLevel* FindChannel(int channel);

    // Shaft speed k (1 .. 3) in hertz: the measurement's technological parameter k when recorded and not 0,
    // else the passport's speed k; none when neither has one.
    std::optional<double> ShaftSpeedHz(int k) const;
    // Technological parameter k (1 .. 50) of the file.
    std::optional<double> TechParam(int k) const;
    // Parameters 1 .. 50 as six-byte reals (0 when missing), then the comment at byte 300.
    TechParamRecord GetTechParams() const;

  protected:
    bool ShowExpertSystemInfo() override;

  private:
    struct Contents;
    TZamerDBLevel(ArchiveContext& context, TDBLevel* parent, std::filesystem::path&& file, Contents contents);
    static Contents ReadContents(const std::filesystem::path& file);

    int version_ = 301;
    int regularChannels_ = 0;
    int markerChannels_ = 0;
    common::MeasurementParams params_;
    bool runUpConvertible_ = false;
};

}  // namespace velmar::archive
