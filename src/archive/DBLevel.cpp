#include "archive/DBLevel.hpp"

#include <algorithm>
#include <utility>

#include "common/ProgramContext.hpp"
#include "common/StringTable.hpp"
#include "common/UiPort.hpp"
#include "common/Vocabulary.hpp"

namespace velmar::archive {

namespace {

constexpr std::size_t kMaxIconKeyLength = 15;
constexpr int kBaseHelpContext = 23;
constexpr int kTextShowInfo = 301;
constexpr int kTextGridCaptionFirst = 304;

}  // namespace

void NodeDeleter::operator()(TDBLevel* node) const noexcept {
    if (node != nullptr) {
        node->Teardown();
        delete node;
    }
}

void CommandMenu::SetCommand(int command, std::string caption) {
    for (MenuCommand& entry : commands_) {
        if (entry.command == command) {
            entry.caption = std::move(caption);
            return;
        }
    }
    commands_.push_back(MenuCommand{command, std::move(caption)});
}

const MenuCommand* CommandMenu::Find(int command) const {
    for (const MenuCommand& entry : commands_) {
        if (entry.command == command) {
            return &entry;
        }
    }
    return nullptr;
}

TDBLevel::TDBLevel(ArchiveContext& context, TDBLevel* parent)
    : context_(context),
      instanceNumber_(context.nextInstanceNumber++),
      parent_(parent),
      childFilter_(context.defaultChildFilter) {
    ++context_.liveNodes;
    if (parent_ != nullptr) {
        // Only the first 32 slots travel down the tree.
        for (std::size_t slot = 0; slot < 32; ++slot) {
            programs_[slot] = parent_->programs_[slot];
        }
        inherited_ = parent_->inherited_;
    }
    int firstSlot = 0;
    for (std::size_t slot = 0; slot < programs_.size(); ++slot) {
        if (programs_[slot]) {
            firstSlot = static_cast<int>(slot);
            break;
        }
    }
    deepestStationLevel_ = context_.program != nullptr
                               ? context_.program->registry.Entry(firstSlot).maxStantionLevel
                               : common::ExpertSystemEntry{}.maxStantionLevel;
}

TDBLevel::~TDBLevel() {
    Teardown();
    --context_.liveNodes;
}

void TDBLevel::Teardown() noexcept {
    if (tornDown_) {
        return;
    }
    tornDown_ = true;
    try {
        Notify(NodeEvent::Destroyed, {});
    } catch (...) {
        // A node goes whatever its windows or kinds think of it.
    }
    views_.clear();
    try {
        FreeChildren();
    } catch (...) {
    }
    readable_ = false;
    std::vector<double>().swap(data_);
    hasHandle_ = false;
    dataSize_ = 0;
}

void TDBLevel::SetLevel(int levelNumber, int levelKind) noexcept {
    levelNumber_ = static_cast<std::uint8_t>(levelNumber);
    levelKind_ = static_cast<std::uint8_t>(levelKind);
}

// ---- Identity, icon and state ----------------------------------------------------------------------

std::string TDBLevel::GetIconKey() const {
    return iconKey_;
}

void TDBLevel::SetIconKey(std::string_view key) {
    iconKey_ = common::Utf8Prefix(key, kMaxIconKeyLength);
}

BitmapHandle TDBLevel::LoadBitmapByName(const std::string& name) const {
    return parent_ != nullptr ? parent_->LoadBitmapByName(name) : BitmapHandle{0};
}

BitmapHandle TDBLevel::GetBitmap() const {
    const std::string name = GetIconName();
    return name.empty() ? BitmapHandle{0} : LoadBitmapByName(name);
}

std::string TDBLevel::GetIconName() const {
    std::string name = GetIconKey();
    if (name.empty()) {
        return name;
    }
    switch (GetState()) {
        case kStateGreen:
            name += "_G";
            break;
        case kStateYellow:
            name += "_Y";
            break;
        case kStateRed:
            name += "_R";
            break;
        case kStateBlue:
            name += "_B";
            break;
        default:
            break;
    }
    if (marked_) {
        name += "_M";
    }
    return name;
}

bool TDBLevel::IsProgramSetEmpty(const common::ProgramSet& set) const {
    return parent_ != nullptr ? parent_->IsProgramSetEmpty(set) : true;
}

bool TDBLevel::HasNoUsableSlot(const common::ProgramSet& set) noexcept {
    for (int slot = 1; slot <= common::kExpertSystemSlots; ++slot) {
        if (set.test(static_cast<std::size_t>(slot))) {
            return false;
        }
    }
    return true;
}

bool TDBLevel::HasProgram(int slot) const {
    return slot >= 0 && slot <= 31 && programs_.test(static_cast<std::size_t>(slot));
}

std::uint16_t TDBLevel::GetFlags() const {
    return flags_;
}

bool TDBLevel::HasFlag16() const {
    return (GetFlags() & kFlag16) != 0;
}

bool TDBLevel::HasFlag32() const {
    return (GetFlags() & kFlagViewable) != 0;
}

std::int32_t TDBLevel::GetState() const {
    return state_;
}

void TDBLevel::SetState(std::int32_t state) {
    state_ = state;
}

int TDBLevel::GetLevelNumber() const {
    return levelNumber_;
}

int TDBLevel::GetLevelKind() const {
    return levelKind_;
}

std::string TDBLevel::GetName() const {
    return {};
}

std::string TDBLevel::GetLevelName(int levelNumber) const {
    if (levelNumber == 0) {
        return GetName();
    }
    return parent_ != nullptr ? parent_->GetLevelName(levelNumber) : std::string();
}

std::string TDBLevel::GetChannelName(int channel, int namePart) const {
    return parent_ != nullptr ? parent_->GetChannelName(channel, namePart) : std::string();
}

std::string TDBLevel::GetPointDirectionName(int point, int direction, int namePart) const {
    return parent_ != nullptr ? parent_->GetPointDirectionName(point, direction, namePart) : std::string();
}

std::string TDBLevel::LevelWord(int levelNumber, int wordCase, bool keepCase, bool plural) const {
    if (context_.program == nullptr) {
        return {};
    }
    return common::LevelWord(context_.program->registry, programs_, levelNumber, wordCase, keepCase, plural);
}

double TDBLevel::GetDateTime() const {
    if (dateTime_ != 0) {
        return dateTime_;
    }
    return parent_ != nullptr ? parent_->GetDateTime() : 0.0;
}

bool TDBLevel::IsEnabled() const {
    return enabled_ && (parent_ == nullptr || parent_->IsEnabled());
}

void TDBLevel::UpdateMark() {
    busy_ = false;
}

// ---- Operations offered to the user ------------------------------------------------------------------

bool TDBLevel::CanOperate10() const {
    return true;
}

bool TDBLevel::CanOperate11() const {
    return true;
}

bool TDBLevel::CanOperate12(int) const {
    return true;
}

CreateResult TDBLevel::CreateChild(int) {
    return CreateResult::NotCreated;
}

RenameResult TDBLevel::Rename() {
    return RenameResult::NotRenamed;
}

RefreshCode TDBLevel::ExecuteCommand(int& command) {
    EnsureChildren();
    const auto created = [this](int levelNumber) {
        return CreateChild(levelNumber) == CreateResult::Created ? RefreshCode::Children : RefreshCode::None;
    };
    switch (command) {
        case 1:
        case 2:
        case 3:
        case 4:
        case 5:
        case 219:
            return Rename() == RenameResult::Renamed ? RefreshCode::Self : RefreshCode::None;
        case 21:
        case 22:
        case 23:
        case 24:
        case 25:
            return created(command - 19);  // station levels 2 .. 6
        case 26:
            return created(10);  // a machine
        case 27:
            return created(0);
        case kCommandShowInfo1:
            ShowInfo(1);
            return RefreshCode::None;
        case kCommandShowInfo2:
            ShowInfo(2);
            return RefreshCode::None;
        default:
            return RefreshCode::None;
    }
}

void TDBLevel::FillCommandMenu(CommandMenu& menu) {
    menu.SetCommand(kCommandShowInfo2, common::LoadText(kTextShowInfo));
}

bool TDBLevel::ShowInfo(int infoNumber) {
    return parent_ != nullptr ? parent_->ShowInfo(infoNumber) : true;
}

bool TDBLevel::EditText(const std::string&, std::string&, int, int, int) {
    return false;
}

std::string TDBLevel::GetPromptText(int) const {
    return {};
}

int TDBLevel::MaxTextLength(int) const {
    return 0;
}

int TDBLevel::HelpContext(int) const {
    return kBaseHelpContext;
}

std::array<std::string, 4> TDBLevel::GetGridCaptions(int maxLength) const {
    std::array<std::string, 4> captions;
    for (std::size_t i = 0; i < captions.size(); ++i) {
        captions[i] = common::LoadText(kTextGridCaptionFirst + static_cast<int>(i));
        if (maxLength > 0) {
            captions[i] = common::Utf8Prefix(captions[i], static_cast<std::size_t>(maxLength));
        }
    }
    return captions;
}

WindowHandle TDBLevel::OwnerWindow() const {
    return parent_ != nullptr ? parent_->OwnerWindow() : nullptr;
}

// ---- Comparison and uniqueness ---------------------------------------------------------------------

CompareResult TDBLevel::Compare(const TDBLevel* other) const {
    return CompareLevelKind(other);
}

CompareResult TDBLevel::CompareLevelKind(const TDBLevel* other) const {
    if (other == nullptr) {
        return CompareResult::Less;
    }
    const int number = GetLevelNumber();
    const int otherNumber = other->GetLevelNumber();
    if (number != otherNumber) {
        return number < otherNumber ? CompareResult::Less : CompareResult::Greater;
    }
    const int kind = GetLevelKind();
    const int otherKind = other->GetLevelKind();
    if (kind != otherKind) {
        return kind < otherKind ? CompareResult::Less : CompareResult::Greater;
    }
    return CompareResult::Equal;
}

bool TDBLevel::DiffersFrom(const TDBLevel&) const {
    return true;
}

bool TDBLevel::NoConflictWith(const TDBLevel& other) const {
    if (&other == this || other.GetLevelNumber() != GetLevelNumber() ||
        other.GetLevelKind() != GetLevelKind()) {
        return true;
    }
    return DiffersFrom(other);
}

bool TDBLevel::IsUnique(const TDBLevel& candidate) {
    EnsureChildren();
    for (int i = 0; i < ChildCount(); ++i) {
        const TDBLevel* child = ChildAt(i);
        if (Visited(child) && !child->NoConflictWith(candidate)) {
            return false;
        }
    }
    return true;
}

Clash TDBLevel::FindNameOrPathClash(const TDBLevel*, std::string_view, const std::filesystem::path&) {
    return Clash::None;
}

TDBLevel* TDBLevel::FindAncestor(int levelNumber) const {
    const int own = GetLevelNumber();
    if (own == levelNumber) {
        return const_cast<TDBLevel*>(this);
    }
    if (own < levelNumber || parent_ == nullptr) {
        return nullptr;
    }
    return parent_->FindAncestor(levelNumber);
}

// ---- Children ------------------------------------------------------------------------------------------

void TDBLevel::EnsureChildren() {
    if (!children_) {
        LoadChildren();
    }
}

void TDBLevel::LoadChildren() {
    if (!children_) {
        children_ = std::make_unique<TChildList>();
    }
}

void TDBLevel::FreeChildren() {
    // Out of reach first: a window told of a child's end must not find a half-destroyed list.
    std::unique_ptr<TChildList> list = std::move(children_);
    busy_ = false;
    cursor_ = 0;
    list.reset();
}

int TDBLevel::AddChild(NodePtr child) {
    if (!child) {
        return -1;
    }
    try {
        EnsureChildren();
        if (!children_) {
            return -1;
        }
        child->parent_ = this;
        return children_->AddDBLevel(std::move(child));
    } catch (...) {
        return -1;
    }
}

int TDBLevel::ChildCount() const noexcept {
    return children_ ? children_->Count() : 0;
}

TDBLevel* TDBLevel::ChildAt(int index) const noexcept {
    return children_ ? children_->At(index) : nullptr;
}

bool TDBLevel::Visited(const TDBLevel* child) const noexcept {
    if (child == nullptr) {
        return false;
    }
    const int kind = child->GetLevelKind();
    return kind >= 0 && kind <= 15 && ((childFilter_ >> kind) & 1u) != 0;
}

TDBLevel* TDBLevel::FirstChild() {
    EnsureChildren();
    cursor_ = 0;
    while (cursor_ < ChildCount() && !Visited(ChildAt(cursor_))) {
        ++cursor_;
    }
    return CurrentChild();
}

TDBLevel* TDBLevel::LastChild() {
    EnsureChildren();
    cursor_ = ChildCount() - 1;
    while (cursor_ >= 0 && !Visited(ChildAt(cursor_))) {
        --cursor_;
    }
    return CurrentChild();
}

TDBLevel* TDBLevel::NextChild(int step) {
    const int count = ChildCount();
    const long long target = static_cast<long long>(cursor_) + step;
    cursor_ = static_cast<std::int32_t>(std::clamp<long long>(target, -1, count));
    if (step >= 0) {
        while (cursor_ < count && !Visited(ChildAt(cursor_))) {
            ++cursor_;
        }
    } else {
        while (cursor_ >= 0 && !Visited(ChildAt(cursor_))) {
            --cursor_;
        }
    }
    return CurrentChild();
}

TDBLevel* TDBLevel::CurrentChild() const {
    return ChildAt(cursor_);
}

bool TDBLevel::ChildCursorOut() const {
    return cursor_ < 0 || cursor_ >= ChildCount();
}

bool TDBLevel::ChildCursorOut2() const {
    return ChildCursorOut();
}

std::uint16_t TDBLevel::SetChildFilter(std::uint16_t kinds) {
    return std::exchange(childFilter_, kinds);
}

// ---- Deletion ----------------------------------------------------------------------------------------

DeleteResult TDBLevel::DeleteChild(TDBLevel& child) {
    if (!children_ || children_->IndexOf(&child) < 0) {
        return DeleteResult::NotFound;
    }
    if (child.GetLevelNumber() <= kDeepestStoredLevel) {
        bool removed = false;
        try {
            removed = child.DeleteStorage();
        } catch (...) {
            removed = false;
        }
        if (!removed) {
            // Dropping the node anyway would report a success and bring it back at the next refresh.
            return DeleteResult::StorageKept;
        }
    }
    if (children_) {
        NodePtr taken = children_->Take(&child);
        taken.reset();
    }
    return DeleteResult::Deleted;
}

DeleteResult TDBLevel::ConfirmDeleteChild(TDBLevel& child) {
    if (!children_ || children_->IndexOf(&child) < 0) {
        return DeleteResult::NotFound;
    }
    if (context_.ui == nullptr) {
        return DeleteResult::Declined;
    }
    const int answer =
        context_.ui->MessageDialog(child.GetPromptText(kPromptDelete), common::DialogType::Confirmation,
                                   common::kButtonYes | common::kButtonNo);
    if (answer != common::kResultYes) {
        return DeleteResult::Declined;
    }
    return DeleteChild(child);
}

bool TDBLevel::DeleteStorage() {
    return true;
}

// ---- Views and notification ------------------------------------------------------------------------------

void TDBLevel::AttachView(INodeView* view) {
    if (view != nullptr && IndexOfView(view) < 0) {
        views_.push_back(view);
    }
}

void TDBLevel::DetachView(INodeView* view) {
    const auto it = std::find(views_.begin(), views_.end(), view);
    if (it != views_.end()) {
        views_.erase(it);
    }
}

int TDBLevel::IndexOfView(const INodeView* view) const {
    const auto it = std::find(views_.begin(), views_.end(), view);
    return it == views_.end() ? -1 : static_cast<int>(it - views_.begin());
}

void TDBLevel::BeforeNotify(NodeEvent, std::string_view) {}

void TDBLevel::Notify(NodeEvent event, std::string_view text) {
    BeforeNotify(event, text);
    NotifyViews(event, text);
}

void TDBLevel::NotifyViews(NodeEvent event, std::string_view text) {
    // The end of a node is told even while notifications are held back: a window left holding a pointer
    // to a destroyed node would crash at its next paint.
    if (context_.notificationsSuspended && event != NodeEvent::Destroyed) {
        return;
    }
    struct Depth {
        int& depth;
        explicit Depth(int& d) : depth(d) { ++depth; }
        ~Depth() { --depth; }
    } depth(notifyDepth_);
    if (context_.browser != nullptr) {
        try {
            context_.browser->OnNodeEvent(*this, event, text);
        } catch (...) {
        }
    }
    if (!views_.empty()) {
        // Views detach themselves (or others) while being told; each is told only while still attached.
        const std::vector<INodeView*> snapshot = views_;
        for (INodeView* view : snapshot) {
            if (IndexOfView(view) < 0) {
                continue;
            }
            try {
                if (view->IsSignalWindow()) {
                    view->OnNodeEvent(*this, event, text);
                }
            } catch (...) {
            }
        }
    }
    if (event == NodeEvent::Renamed) {
        // Windows below show the ancestor's name in their captions, whether or not this node has a window.
        for (int i = 0; i < ChildCount(); ++i) {
            if (TDBLevel* child = ChildAt(i)) {
                child->NotifyViews(event, text);
            }
        }
    }
}

// ---- Machine and channel information ---------------------------------------------------------------------

std::string TDBLevel::GetPassportFileName() const {
    return parent_ != nullptr ? parent_->GetPassportFileName() : std::string("None.Psp");
}

bool TDBLevel::GetPassport(PassportRecord& record) const {
    record.fill(0);
    return parent_ != nullptr ? parent_->GetPassport(record) : false;
}

double TDBLevel::GetMachineValue() const {
    return parent_ != nullptr ? parent_->GetMachineValue() : 0.0;
}

void TDBLevel::SetMachineValues(int first, int second) {
    if (parent_ != nullptr) {
        parent_->SetMachineValues(first, second);
    }
}

int TDBLevel::GetChannelCount() const {
    return parent_ != nullptr ? parent_->GetChannelCount() : 0;
}

bool TDBLevel::GetChannelInfo(int channel, ChannelInfo& info) const {
    return parent_ != nullptr ? parent_->GetChannelInfo(channel, info) : false;
}

bool TDBLevel::GetPointInfo(int point, int direction, ChannelInfo& info) const {
    return parent_ != nullptr ? parent_->GetPointInfo(point, direction, info) : false;
}

int TDBLevel::GetChannelNumber(int point, int direction) const {
    return parent_ != nullptr ? parent_->GetChannelNumber(point, direction) : 0;
}

int TDBLevel::GetPointNumber() const {
    return 0;
}

int TDBLevel::GetDirectionNumber() const {
    return 0;
}

// ---- Units of the data ------------------------------------------------------------------------------------

std::string TDBLevel::GetXUnitText() const {
    switch (header_.Kind) {
        case 2:
        case 128:
        case 512:
            return common::LoadText(302);  // seconds
        case 4:
        case 8:
        case 16:
        case 32:
        case 64:
        case 256:
            return common::LoadText(303);  // hertz
        default:
            return "?";
    }
}

std::string TDBLevel::GetYUnitText() const {
    const common::ViewSettings view =
        context_.program != nullptr ? context_.program->view : common::ViewSettings{};
    return common::QuantityUnit(static_cast<std::uint32_t>(header_.Quantity), view);
}

}  // namespace velmar::archive
