#include "archive/ZamerDBLevel.hpp"

#include <algorithm>
#include <cstring>

#include "archive/AgregatDBLevel.hpp"
#include "archive/ArchiveDialogs.hpp"
#include "archive/KindSupport.hpp"
#include "archive/NaprDBLevel.hpp"
#include "archive/PointDBLevel.hpp"
#include "archive/PspDBLevel.hpp"
#include "archive/ZamerFile.hpp"
#include "common/DayCount.hpp"
#include "common/Real48.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextName = 151;
constexpr int kTextDeleteQuestion = 152;
constexpr int kTextDelete = 153;
constexpr int kTextEditTechParams = 154;
constexpr int kTextDiagnose = 155;
constexpr int kTextViewRms = 156;
constexpr int kTextViewSignals = 110;
constexpr int kTextLongNote = 189;

constexpr int kCommandOpen = 0;
constexpr int kCommandEditTechParams = 10;
constexpr int kCommandLongNote = 12;
constexpr int kCommandDelete = 48;
constexpr int kCommandViewSignals = 61;
constexpr int kCommandViewRms = 62;
constexpr int kCommandDiagnose = 101;
constexpr int kCommandEditTechParamsToo = 219;

double MomentOf(const ZamerHeader& header) {
    double moment = 0;
    if (!common::TryEncodeDayCount(header.year, header.month, header.day, header.hour, header.minute,
                                   header.second, 0, moment)) {
        return 0;
    }
    return moment;
}

}  // namespace

struct TZamerDBLevel::Contents {
    std::string name;
    double moment = 0;
    bool readOnly = false;
    int version = TZamerFile::kVersion301;
    common::MeasurementParams params;
    int channels = 0;
    int markers = 0;
    std::int32_t state = kStateNotSet;
};

TZamerDBLevel::Contents TZamerDBLevel::ReadContents(const fs::path& path) {
    // Everything needed here was read when the file opened; no further access to the file is made.
    TZamerFile file = TZamerFile::OpenFile(path);
    Contents contents;
    const ZamerHeader header = file.GetHeader();
    contents.moment = MomentOf(header);
    contents.name = common::FormatText(
        kTextName, {common::FormatIniDate(contents.moment), common::FormatIniTime(contents.moment)});
    contents.readOnly = file.IsReadOnly();
    contents.version = file.Version();
    contents.params = file.GetParams();
    const ZamerDescription description = file.GetDescription();
    contents.channels = description.channelCount;
    // The last this many channels are markers; a count beyond the channels would leave none regular and
    // name channels that do not exist.
    contents.markers = std::min<int>(description.markerChannelCount, description.channelCount);
    // Stored as 16 bits; "not set" (-1) reads back as 65535.
    contents.state = static_cast<std::int16_t>(description.state);
    return contents;
}

// The path is only bound here, not moved, so it is still there for ReadContents whatever the order in which
// the arguments are taken; it moves on into the node once the file has been read.
TZamerDBLevel::TZamerDBLevel(ArchiveContext& context, TDBLevel* parent, fs::path file)
    : TZamerDBLevel(context, parent, std::move(file), ReadContents(file)) {}

TZamerDBLevel::TZamerDBLevel(ArchiveContext& context, TDBLevel* parent, fs::path&& file, Contents contents)
    : TDateTimeDBLevel(context, parent, std::move(file), contents.name),
      version_(contents.version),
      regularChannels_(contents.channels - contents.markers),
      markerChannels_(contents.markers),
      params_(contents.params) {
    SetDateTime(contents.moment);
    SetReadOnly(contents.readOnly);
    TDateTimeDBLevel::SetState(contents.state);
    SetLevel(kLevelMeasurement, kLevelKindPlain);
    SetFlags(contents.readOnly ? kReadOnlyFlags : kFlags);
    SetIconKey("ZAM");
    common::ProgramSet programs = Programs();
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        if (programs.test(static_cast<std::size_t>(slot)) &&
            !common::MatchesRequirements(params_, common::SlotRequirements(slot))) {
            programs.reset(static_cast<std::size_t>(slot));
        }
    }
    SetPrograms(programs);
    SetEnabled(version_ == TZamerFile::kVersion301 && !contents.readOnly);
    runUpConvertible_ = common::MatchesRequirements(params_, common::RunUpRequirements());
}

TAgregatDBLevel* TZamerDBLevel::Machine() const {
    return dynamic_cast<TAgregatDBLevel*>(FindAncestor(kLevelMachine));
}

void TZamerDBLevel::LoadChildren() {
    TDateTimeDBLevel::LoadChildren();
    std::optional<TZamerFile> file;
    try {
        file.emplace(TZamerFile::OpenFile(GetPath()));
        file->Hold();
    } catch (const EFailOpenFile&) {
        return;
    }
    ArchiveContext& context = Context();
    const fs::path& path = GetPath();
    if (const TAgregatDBLevel* machine = Machine()) {
        for (int point = 1; point <= machine->PointCount(); ++point) {
            ChannelInfo info;
            if (machine->GetPointInfo(point, -1, info) && info.pointOnly) {
                kinds::AddChildSkippingFailures(
                    *this, [&] { return MakeNode<TPointDBLevel>(context, this, path, point); });
            }
        }
        for (int channel = 1; channel <= machine->GetChannelCount(); ++channel) {
            ChannelInfo info;
            if (machine->GetChannelInfo(channel, info) && !info.pointOnly && info.point == 0) {
                kinds::AddChildSkippingFailures(*this, [&] {
                    return MakeNode<TNaprDBLevel>(context, this, path, DirectionRef{0, info.direction, 0},
                                                  &*file);
                });
            }
        }
    }
    for (int marker = 1; marker <= markerChannels_; ++marker) {
        kinds::AddChildSkippingFailures(*this, [&] {
            return MakeNode<TNaprDBLevel>(context, this, path, DirectionRef::Marker(marker), &*file);
        });
    }
}

void TZamerDBLevel::FillCommandMenu(CommandMenu& menu) {
    TDateTimeDBLevel::FillCommandMenu(menu);
    menu.SetCommand(kCommandViewSignals, common::LoadText(kTextViewSignals));
    if (IsWritable()) {
        menu.SetCommand(kCommandDelete, common::LoadText(kTextDelete));
        menu.SetCommand(kCommandLongNote, common::LoadText(kTextLongNote));
        menu.SetCommand(kCommandEditTechParams, common::LoadText(kTextEditTechParams));
    }
    if (HasProgram(8)) {
        menu.SetCommand(kCommandDiagnose, common::LoadText(kTextDiagnose));
    }
    menu.SetCommand(kCommandViewRms, common::LoadText(kTextViewRms));
}

RefreshCode TZamerDBLevel::ExecuteCommand(int& command) {
    switch (command) {
        case kCommandOpen:
            EnsureChildren();
            return kinds::RunWindowCommand(*this, command);
        case kCommandEditTechParams:
        case kCommandEditTechParamsToo:
        case kCommandLongNote:
            EnsureChildren();
            return IsWritable() ? kinds::RunWindowCommand(*this, command) : RefreshCode::None;
        case kCommandDiagnose:
            // Handled by the expert-system module of slot 8 where one is installed.
            EnsureChildren();
            return RefreshCode::None;
        default:
            return TDateTimeDBLevel::ExecuteCommand(command);
    }
}

std::string TZamerDBLevel::GetPromptText(int prompt) const {
    if (prompt == kPromptDelete) {
        return common::LoadText(kTextDeleteQuestion);
    }
    return TDateTimeDBLevel::GetPromptText(prompt);
}

bool TZamerDBLevel::ShowInfo(int infoNumber) {
    if (infoNumber == 1) {
        IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
        return dialogs != nullptr ? dialogs->ShowInfo(*this, 1) : true;
    }
    return TDateTimeDBLevel::ShowInfo(infoNumber);
}

bool TZamerDBLevel::ShowExpertSystemInfo() {
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    return dialogs != nullptr ? dialogs->ShowInfo(*this, 2) : true;
}

void TZamerDBLevel::SetState(std::int32_t state) {
    TDateTimeDBLevel::SetState(state);
    if (TAgregatDBLevel* machine = Machine()) {
        machine->RecomputeState();
    }
}

void TZamerDBLevel::UpdateMark() {
    TDateTimeDBLevel::UpdateMark();
    SetBusy(true);
}

std::string TZamerDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0 || levelNumber == 1 || levelNumber == kLevelMeasurement) {
        return GetName();
    }
    return Parent() != nullptr ? Parent()->GetLevelName(levelNumber) : std::string();
}

std::string TZamerDBLevel::GetChannelName(int channel, int namePart) const {
    if (namePart == 0 || namePart == 1 || namePart == kLevelMeasurement) {
        return GetName();
    }
    return TDateTimeDBLevel::GetChannelName(channel, namePart);
}

std::string TZamerDBLevel::GetPointDirectionName(int point, int direction, int namePart) const {
    if (namePart == 0 || namePart == 1 || namePart == kLevelMeasurement) {
        return GetName();
    }
    return TDateTimeDBLevel::GetPointDirectionName(point, direction, namePart);
}

TNaprPreobrDBLevel* TZamerDBLevel::FindDirection(int point, int direction) {
    EnsureChildren();
    TNaprPreobrDBLevel* found = nullptr;
    for (int i = 0; i < ChildCount() && found == nullptr; ++i) {
        TDBLevel* child = ChildAt(i);
        if (auto* napr = dynamic_cast<TNaprPreobrDBLevel*>(child)) {
            if (napr->GetPointNumber() == point && napr->GetDirectionNumber() == direction &&
                direction != 0) {
                found = napr;
            }
        } else if (auto* pointNode = dynamic_cast<TPointDBLevel*>(child)) {
            if (pointNode->PointNumber() == point) {
                found = pointNode->FindDirection(direction);
            }
        }
    }
    return found != nullptr && found->ChannelInUse() ? found : nullptr;
}

TNaprPreobrDBLevel* TZamerDBLevel::FindChannel(int channel) {
    if (channel > regularChannels_ && channel <= regularChannels_ + markerChannels_) {
        EnsureChildren();
        for (int i = 0; i < ChildCount(); ++i) {
            auto* napr = dynamic_cast<TNaprPreobrDBLevel*>(ChildAt(i));
            if (napr != nullptr && napr->MarkerNumber() == channel - regularChannels_) {
                return napr->ChannelInUse() ? napr : nullptr;
            }
        }
        return nullptr;
    }
    const TAgregatDBLevel* machine = Machine();
    int point = 0;
    int direction = 0;
    if (machine == nullptr || !machine->ChannelToPointDirection(channel, point, direction)) {
        return nullptr;
    }
    return FindDirection(point, direction);
}

std::optional<double> TZamerDBLevel::TechParam(int k) const {
    if (k < 1 || k > kTechParamCount) {
        return std::nullopt;
    }
    try {
        TZamerFile file = TZamerFile::OpenFile(GetPath());
        return file.GetTechParam(kTechParamFirstId + k - 1);
    } catch (const EFailOpenFile&) {
        return std::nullopt;
    }
}

std::optional<double> TZamerDBLevel::ShaftSpeedHz(int k) const {
    if (k < 1 || k > 3) {
        return std::nullopt;
    }
    constexpr double kSecondsPerMinute = 60.0;
    const std::optional<double> recorded = TechParam(k);
    if (recorded && *recorded != 0) {
        return *recorded / kSecondsPerMinute;
    }
    const TAgregatDBLevel* machine = Machine();
    if (machine == nullptr || machine->Passport() == nullptr) {
        return std::nullopt;
    }
    const std::optional<double> rpm = machine->Passport()->ShaftSpeedRpm(k);
    if (!rpm) {
        return std::nullopt;
    }
    return *rpm / kSecondsPerMinute;
}

TZamerDBLevel::TechParamRecord TZamerDBLevel::GetTechParams() const {
    TechParamRecord record{};
    try {
        TZamerFile file = TZamerFile::OpenFile(GetPath());
        file.Hold();
        for (int k = 1; k <= kTechParamCount; ++k) {
            const double value = file.GetTechParam(kTechParamFirstId + k - 1).value_or(0.0);
            common::DoubleToReal48(value, record.data() + 6 * static_cast<std::size_t>(k - 1));
        }
        const ZamerDescription description = file.GetDescription();
        const auto end = std::find(description.comment.begin(), description.comment.end(), std::uint8_t{0});
        const std::size_t length =
            std::min<std::size_t>(static_cast<std::size_t>(end - description.comment.begin()),
                                  kTechParamRecordSize - kTechParamCommentOffset - 1);
        record[kTechParamCommentOffset] = static_cast<std::uint8_t>(length);
        std::memcpy(record.data() + kTechParamCommentOffset + 1, description.comment.data(), length);
        file.Release();
    } catch (const EFailOpenFile&) {
        record.fill(0);
    }
    return record;
}

}  // namespace velmar::archive
