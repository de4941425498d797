#include "archive/NaprPreobrDBLevel.hpp"

#include <algorithm>
#include <climits>
#include <cstring>

#include "archive/KindSupport.hpp"
#include "archive/ZamerDBLevel.hpp"
#include "archive/ZamerFile.hpp"
#include "common/DayCount.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextBadMarker = 193;
constexpr int kTextViewSignals = 110;
constexpr int kTextViewRms = 156;
constexpr int kCommandOpen = 0;
constexpr int kCommandViewSignals = 61;
constexpr int kCommandViewRms = 62;
constexpr std::int32_t kKindHarmonics = 64;

std::string DirectionName(const TDBLevel* parent, const DirectionRef& ref) {
    return parent != nullptr ? parent->GetPointDirectionName(ref.point, ref.direction, 11) : std::string();
}

// Marker channels sort after the numbered directions.
int OrderKey(int direction) {
    return direction == 0 ? INT_MAX : direction;
}

}  // namespace

std::string DirectionIconKey(std::int32_t kind) {
    switch (kind) {
        case 1:
            return "NAPR_SKZ";
        case 2:
            return "NAPR_SIGN";
        case 4:
        case 8:
        case 16:
        case 32:
        case 256:
            return "NAPR_SPECTR";
        case 64:
            return "NAPR_GARM";
        case 128:
            return "NAPR_KEPSTR";
        case 512:
            return "NAPR_ENV";
        default:
            return "NAPR_NONE";
    }
}

TDataHeader HeaderFromChannel(const TChannelRecord& record, std::int64_t dataSize) {
    TDataHeader header;
    header.Kind = record.kind;
    header.Quantity = static_cast<std::int32_t>(record.quantity);
    double moment = 0;
    if (record.year != 0 && common::TryEncodeDayCount(record.year, record.month, record.day, record.hour,
                                                      record.minute, record.second, 0, moment)) {
        header.RecordedAt = moment;
    }
    header.Rms = record.rms;
    header.Peak = record.peak;
    header.PhaseShift = record.phaseShift;
    header.XStart = record.firstX;
    header.XEnd = record.lastX;
    header.XStep = record.step;
    header.Flags = static_cast<std::uint8_t>(record.flags & 0xFF);
    header.PhaseShift2 = record.phaseShift2;
    header.Carried75 = record.carriedReal;
    // The count follows from the values the file really holds as doubles (six-byte harmonics of old files
    // included), so that the header and the buffer the data are read into always agree.
    const std::int64_t elements = dataSize > 0 ? dataSize / static_cast<std::int64_t>(sizeof(double)) : 0;
    std::int64_t count = header.Kind == kKindHarmonics ? elements / 4 : elements;
    if (header.HasPairs()) {
        count /= 2;
    }
    header.Count = static_cast<std::int32_t>(std::min<std::int64_t>(count, kMaxDataPoints));
    return header;
}

TNaprPreobrDBLevel::TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file,
                                       DirectionRef ref, TZamerFile* openFile)
    : TNaprPreobrDBLevel(context, parent, file, ref, openFile, kLevelDerived) {}

TNaprPreobrDBLevel::TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file,
                                       DirectionRef ref, TZamerFile* openFile, int levelNumber)
    : TFileDBLevel(context, parent, file, DirectionName(parent, ref)), ref_(ref) {
    SetLevel(levelNumber, kLevelKindPlain);
    SetFlags(0);
    if (openFile != nullptr) {
        ReadChannel(*openFile);
    } else {
        TZamerFile own = TZamerFile::OpenFile(file);
        own.Hold();
        ReadChannel(own);
        own.Release();
    }
    SetIconKey(DirectionIconKey(GetHeader().Kind));
}

TNaprPreobrDBLevel::TNaprPreobrDBLevel(ArchiveContext& context, TDBLevel* parent,
                                       const TNaprPreobrDBLevel& source, DerivedFrom)
    : TFileDBLevel(context, parent, source.GetPath(), source.GetName()),
      ref_(source.ref_),
      channel_(source.channel_),
      inUse_(source.inUse_),
      phaseResponse_(source.phaseResponse_) {
    SetLevel(kLevelDerived, kLevelKindPlain);
    SetFlags(0);
}

void TNaprPreobrDBLevel::ReadChannel(TZamerFile& file) {
    int regular = 0;
    int markers = 0;
    if (const auto* zamer = dynamic_cast<const TZamerDBLevel*>(FindAncestor(kLevelMeasurement))) {
        regular = zamer->RegularChannelCount();
        markers = zamer->MarkerChannelCount();
    } else {
        const ZamerDescription description = file.GetDescription();
        markers = std::min<int>(description.markerChannelCount, description.channelCount);
        regular = description.channelCount - markers;
    }
    if (ref_.direction == 0) {
        if (ref_.marker < 1 || ref_.marker > markers) {
            throw EFailOpenFile(common::LoadText(kTextBadMarker));
        }
        channel_ = regular + ref_.marker;
    } else {
        channel_ = Parent() != nullptr ? Parent()->GetChannelNumber(ref_.point, ref_.direction) : 0;
        // The machine may know more channels than this file holds.
        if (channel_ > regular || channel_ < 0) {
            channel_ = 0;
        }
    }
    if (channel_ == 0) {
        return;
    }
    const TChannelRecord record = file.GetChannel(channel_);
    inUse_ = record.IsInUse();
    if (!inUse_) {
        return;
    }
    const TDataHeader header = HeaderFromChannel(record, file.ChannelDataSize(channel_));
    SetHeader(header);
    TransformParams params;
    params.Valid = 1;
    params.TargetKind = header.Kind;
    params.TargetQuantity = header.Quantity;
    SetTransformParams(params);
    if (std::optional<std::vector<std::uint8_t>> block =
            file.ReadChannelBlock(channel_, kChannelBlockPhaseResponse)) {
        if (!block->empty()) {
            PhaseResponse response{};
            std::memcpy(response.data(), block->data(), std::min(block->size(), response.size()));
            phaseResponse_ = response;
        }
    }
}

CompareResult TNaprPreobrDBLevel::Compare(const TDBLevel* other) const {
    const CompareResult byLevel = CompareLevelKind(other);
    const auto* napr = dynamic_cast<const TNaprPreobrDBLevel*>(other);
    if (byLevel != CompareResult::Equal || napr == nullptr) {
        return byLevel;
    }
    const int mine = OrderKey(ref_.direction);
    const int theirs = OrderKey(napr->ref_.direction);
    if (mine == theirs) {
        return CompareResult::Equal;
    }
    return mine < theirs ? CompareResult::Less : CompareResult::Greater;
}

std::string TNaprPreobrDBLevel::GetLevelName(int levelNumber) const {
    int part = 0;
    if (levelNumber == 0) {
        part = 13;
    } else if (levelNumber == 1) {
        part = 14;
    } else if (levelNumber >= 11 && levelNumber <= 14) {
        part = levelNumber;
    } else {
        return Parent() != nullptr ? Parent()->GetLevelName(levelNumber) : std::string();
    }
    return Parent() != nullptr ? Parent()->GetPointDirectionName(ref_.point, ref_.direction, part)
                               : std::string();
}

void TNaprPreobrDBLevel::FillCommandMenu(CommandMenu& menu) {
    TFileDBLevel::FillCommandMenu(menu);
    if (!inUse_) {
        return;
    }
    menu.SetCommand(kCommandViewSignals, common::LoadText(kTextViewSignals));
    if (HasProgram(1)) {
        menu.SetCommand(kCommandViewRms, common::LoadText(kTextViewRms));
    }
}

RefreshCode TNaprPreobrDBLevel::ExecuteCommand(int& command) {
    if (command == kCommandOpen) {
        EnsureChildren();
        return inUse_ ? kinds::RunWindowCommand(*this, command) : RefreshCode::None;
    }
    return TFileDBLevel::ExecuteCommand(command);
}

bool TNaprPreobrDBLevel::ShowInfo(int infoNumber) {
    return Parent() != nullptr ? Parent()->ShowInfo(infoNumber) : true;
}

double TNaprPreobrDBLevel::Rms() const {
    return ref_.direction == 0 ? 0.0 : TFileDBLevel::Rms();
}

NodePtr TNaprPreobrDBLevel::CreateTransform(const TransformParams& params) {
    NodePtr converted = TFileDBLevel::CreateTransform(params);
    if (!converted) {
        return nullptr;
    }
    NodePtrOf<TNaprPreobrDBLevel> node(new TNaprPreobrDBLevel(Context(), this, *this, DerivedFrom{}));
    {
        // Nobody shows the new node yet.
        NotificationSuspension quiet(Context());
        node->AssignFrom(converted.get());
    }
    node->SetTransformParams(converted->GetTransformParams());
    node->SetIconKey(DirectionIconKey(node->GetHeader().Kind));
    return node;
}

}  // namespace velmar::archive
