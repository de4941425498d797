#include "archive/PointDBLevel.hpp"

#include "archive/AgregatDBLevel.hpp"
#include "archive/ArchiveDialogs.hpp"
#include "archive/KindSupport.hpp"
#include "archive/NaprDBLevel.hpp"
#include "archive/ZamerFile.hpp"
#include "common/StringTable.hpp"

namespace velmar::archive {

namespace fs = std::filesystem;

namespace {

constexpr int kTextViewSignals = 110;
constexpr int kTextViewRms = 156;
constexpr int kTextDiagnoseSelvane = 162;
constexpr int kCommandViewSignals = 61;
constexpr int kCommandViewRms = 62;
constexpr int kCommandDiagnoseSelvane = 104;

std::string PointName(const TDBLevel* parent, int point) {
    return parent != nullptr ? parent->GetPointDirectionName(point, -1, 9) : std::string();
}

}  // namespace

TPointDBLevel::TPointDBLevel(ArchiveContext& context, TDBLevel* parent, const fs::path& file, int point)
    : TFileDBLevel(context, parent, file, PointName(parent, point)), point_(point) {
    SetLevel(kLevelPoint, kLevelKindPlain);
    SetFlags(kFlags);
    SetIconKey("PNT");
}

void TPointDBLevel::LoadChildren() {
    TFileDBLevel::LoadChildren();
    const auto* machine = dynamic_cast<const TAgregatDBLevel*>(FindAncestor(kLevelMachine));
    if (machine == nullptr) {
        return;
    }
    std::optional<TZamerFile> file;
    try {
        file.emplace(TZamerFile::OpenFile(GetPath()));
        file->Hold();
    } catch (const EFailOpenFile&) {
        return;
    }
    ArchiveContext& context = Context();
    for (int channel = 1; channel <= machine->GetChannelCount(); ++channel) {
        ChannelInfo info;
        if (machine->GetChannelInfo(channel, info) && !info.pointOnly && info.point == point_ &&
            info.direction > 0) {
            kinds::AddChildSkippingFailures(*this, [&] {
                return MakeNode<TNaprDBLevel>(context, this, GetPath(),
                                              DirectionRef{point_, info.direction, 0}, &*file);
            });
        }
    }
}

CompareResult TPointDBLevel::Compare(const TDBLevel* other) const {
    const CompareResult byLevel = CompareLevelKind(other);
    const auto* point = dynamic_cast<const TPointDBLevel*>(other);
    if (byLevel != CompareResult::Equal || point == nullptr) {
        return byLevel;
    }
    if (point_ == point->point_) {
        return CompareResult::Equal;
    }
    return point_ < point->point_ ? CompareResult::Less : CompareResult::Greater;
}

std::string TPointDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0 || levelNumber == kLevelPoint) {
        return GetName();
    }
    if (levelNumber == 1 || levelNumber == kLevelDirection) {
        return std::to_string(point_);
    }
    return Parent() != nullptr ? Parent()->GetLevelName(levelNumber) : std::string();
}

void TPointDBLevel::FillCommandMenu(CommandMenu& menu) {
    TFileDBLevel::FillCommandMenu(menu);
    menu.SetCommand(kCommandViewSignals, common::LoadText(kTextViewSignals));
    if (HasProgram(1)) {
        menu.SetCommand(kCommandViewRms, common::LoadText(kTextViewRms));
    }
    if (HasProgram(2)) {
        menu.SetCommand(kCommandDiagnoseSelvane, common::LoadText(kTextDiagnoseSelvane));
    }
}

TNaprPreobrDBLevel* TPointDBLevel::FindDirection(int direction) {
    EnsureChildren();
    for (int i = 0; i < ChildCount(); ++i) {
        auto* napr = dynamic_cast<TNaprPreobrDBLevel*>(ChildAt(i));
        if (napr != nullptr && napr->GetDirectionNumber() == direction) {
            return napr->ChannelInUse() ? napr : nullptr;
        }
    }
    return nullptr;
}

bool TPointDBLevel::ShowExpertSystemInfo() {
    IArchiveDialogs* dialogs = kinds::DialogsOf(*this);
    return dialogs != nullptr ? dialogs->ShowInfo(*this, 2) : true;
}

}  // namespace velmar::archive
