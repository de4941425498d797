#pragma once
// The node of the archive tree. Every level of the archive (root, stations, machines, measurements, points,
// directions, derived data) is a TDBLevel or derives from one; the concrete kinds override the virtual
// operations below. A node owns its children, its data buffer and the derived nodes cached under it.
//
// Constructors play the part of the classic virtual constructors (Create, CreateNamed, CreatePathNamed):
// create nodes with MakeNode<Kind>(context, parent, ...) and hand them to the parent with AddChild.
//
// Results that tell whether something happened are enums with obvious names (CreateResult, RenameResult,
// DeleteResult), never a bare bool that could be read either way.

#include <array>
#include <cstddef>
#include <cstdint>
#include <filesystem>
#include <memory>
#include <span>
#include <string>
#include <string_view>
#include <vector>

#include "archive/ArchiveContext.hpp"
#include "archive/ChildList.hpp"
#include "archive/DataHeader.hpp"
#include "archive/NodePtr.hpp"
#include "archive/NodeView.hpp"
#include "archive/TransformParams.hpp"
#include "common/ExpertSystem.hpp"
#include "common/Real48.hpp"

namespace velmar::archive {

// Level numbers, shared by the whole program (routes, imports and reports store them).
inline constexpr int kLevelRoot = 1;
inline constexpr int kLevelFirstStation = 2;
inline constexpr int kLevelLastStation = 6;
inline constexpr int kLevelMachine = 7;
inline constexpr int kLevelMeasurement = 8;
inline constexpr int kLevelPoint = 9;
inline constexpr int kLevelDirection = 10;
inline constexpr int kLevelDerived = 11;
// Nodes at this level or above it (numerically at most) have files or directories of their own.
inline constexpr int kDeepestStoredLevel = 8;

// Level kinds.
inline constexpr int kLevelKindPlain = 0;    // root, stations, measurements, points, directions, derived data
inline constexpr int kLevelKindMachine = 1;  // machines; passports at level 2
inline constexpr int kLevelKindNameSet = 2;  // name sets at level 2
inline constexpr int kLevelKindRunUp = 6;    // run-up and route files at level 8

// Bits of the flag word.
inline constexpr std::uint16_t kFlagShownInTree = 1;
inline constexpr std::uint16_t kFlagDeletable = 8;
inline constexpr std::uint16_t kFlag16 = 16;
inline constexpr std::uint16_t kFlagViewable = 32;  // can be opened in a signal window
inline constexpr std::uint16_t kFlagMarkable = 128;

// Colour states (stored as "Svet").
inline constexpr std::int32_t kStateNotSet = -1;
inline constexpr std::int32_t kStateGreen = 0;
inline constexpr std::int32_t kStateYellow = 3;
inline constexpr std::int32_t kStateRed = 6;
inline constexpr std::int32_t kStateBlue = 9;

// Prompt numbers of GetPromptText, MaxTextLength and HelpContext.
inline constexpr int kPromptRename = 1;
inline constexpr int kPromptName = 2;
inline constexpr int kPromptDelete = 3;

// Command numbers the base node handles.
inline constexpr int kCommandShowInfo1 = 62;
inline constexpr int kCommandShowInfo2 = 63;

// Largest number of points a buffer may be given (a guard against damaged counts, not a product limit).
inline constexpr std::int32_t kMaxDataPoints = std::int32_t{1} << 26;

inline constexpr std::size_t kPassportRecordSize = 12851;
using PassportRecord = std::array<std::uint8_t, kPassportRecordSize>;

// An opaque image handle from the program's icon store; 0 means none.
using BitmapHandle = std::uintptr_t;
// An opaque window handle of the user interface; null means none.
using WindowHandle = void*;

enum class CompareResult : int { Less = 0, Equal = 1, Greater = 2 };

enum class Clash : int { None = 0, PathExists = 1, NameExists = 2 };

// What the archive browser redraws after a command.
enum class RefreshCode : int { None = 0, Children = 1, Self = 2 };

enum class CreateResult { NotCreated, Created };

enum class RenameResult { NotRenamed, Renamed };

enum class DeleteResult {
    Deleted,      // the node is gone, with its storage when it has any
    Declined,     // the user said no
    NotFound,     // not a child of this node
    StorageKept,  // its files could not be removed (read-only, outside the archive, I/O error); node kept
};

struct MenuCommand {
    int command = 0;
    std::string caption;
};

// The commands a node offers in the browser's menu, by number.
class CommandMenu {
  public:
    // Adds the command, or recaptions it when it is already there.
    void SetCommand(int command, std::string caption);
    const MenuCommand* Find(int command) const;
    const std::vector<MenuCommand>& Commands() const { return commands_; }

  private:
    std::vector<MenuCommand> commands_;
};

// One channel (or point) of a machine as its name set or the fixed scheme describes it.
struct ChannelInfo {
    std::string name;
    std::string shortName;   // at most 6 characters
    bool pointOnly = false;  // the entry names a measuring point, not a channel
    int point = 0;
    int direction = 0;
};

// Where the elements of point i (0-based: i * stride + offset) are in a node's buffer.
struct PointLayout {
    std::size_t stride = 1;
    int x = -1;  // stored abscissa; -1: computed from XStart and XStep
    int value = 0;
    int phase = -1;   // -1: no phases
    int fourth = -1;  // -1: no fourth value
};

struct SeriesStatistics {
    int count = -1;         // points looked at; -1 when there was nothing to look at
    int indexOfMaxAbs = 0;  // point number of the largest absolute value
    double maximum = 0;
    double minimum = 0;
    double mean = 0;
    double valueAtIndex = 0;  // Y(indexOfMaxAbs)
};

class TDBLevel {
  public:
    // A node of `context` below `parent` (none for the root and for detached nodes). The parent is only
    // remembered here; the node enters the parent's child list through AddChild.
    TDBLevel(ArchiveContext& context, TDBLevel* parent);
    virtual ~TDBLevel();
    TDBLevel(const TDBLevel&) = delete;
    TDBLevel& operator=(const TDBLevel&) = delete;

    ArchiveContext& Context() const noexcept { return context_; }
    std::int32_t InstanceNumber() const noexcept { return instanceNumber_; }
    TDBLevel* Parent() const noexcept { return parent_; }

    // ---- Identity, icon and state -------------------------------------------------------------------

    virtual std::string GetIconKey() const;
    void SetIconKey(std::string_view key);  // cut to 15 characters
    // Asks up the tree; the root answers from the program's icon store. 0 when there is no such image.
    virtual BitmapHandle LoadBitmapByName(const std::string& name) const;
    virtual BitmapHandle GetBitmap() const;
    // The icon key with the state suffix ("_G", "_Y", "_R", "_B") and "_M" when marked; empty without a key.
    virtual std::string GetIconName() const;

    // Asks up the tree (true without a parent); the root answers whether no usable slot is in the set.
    virtual bool IsProgramSetEmpty(const common::ProgramSet& set) const;
    // Membership in the program set; slots above 31 are never members.
    virtual bool HasProgram(int slot) const;
    const common::ProgramSet& Programs() const noexcept { return programs_; }
    void SetPrograms(const common::ProgramSet& programs) { programs_ = programs; }

    virtual std::uint16_t GetFlags() const;
    void SetFlags(std::uint16_t flags) noexcept { flags_ = flags; }
    virtual bool HasFlag16() const;
    virtual bool HasFlag32() const;

    virtual std::int32_t GetState() const;
    virtual void SetState(std::int32_t state);

    virtual int GetLevelNumber() const;
    virtual int GetLevelKind() const;

    virtual std::string GetName() const;
    // Name of the node's ancestor at `levelNumber` (0: this node's own name). Concrete levels answer their
    // own numbers; the base asks up the tree and gives an empty text at the top.
    virtual std::string GetLevelName(int levelNumber) const;
    virtual std::string GetChannelName(int channel, int namePart) const;
    virtual std::string GetPointDirectionName(int point, int direction, int namePart) const;
    // The configured word of plant level 2 .. 7 for this node's program set; empty without a registry.
    virtual std::string LevelWord(int levelNumber, int wordCase, bool keepCase, bool plural) const;

    // Own moment when set (not 0), else the parent's, else 0.
    virtual double GetDateTime() const;
    double OwnDateTime() const noexcept { return dateTime_; }
    void SetDateTime(double dayCount) noexcept { dateTime_ = dayCount; }

    // Usable only when it and every ancestor are enabled.
    virtual bool IsEnabled() const;
    void SetEnabled(bool enabled) noexcept { enabled_ = enabled; }

    bool IsMarked() const noexcept { return marked_; }
    void SetMarked(bool marked) noexcept { marked_ = marked; }
    // Set by kinds whose node has attachments (files beside a machine); cleared by UpdateMark of the base.
    bool IsBusy() const noexcept { return busy_; }
    void SetBusy(bool busy) noexcept { busy_ = busy; }
    virtual void UpdateMark();
    bool IsExpanded() const noexcept { return expanded_; }
    void SetExpanded(bool expanded) noexcept { expanded_ = expanded; }
    bool SpareFlag() const noexcept { return spare_; }
    std::uint8_t InheritedByte() const noexcept { return inherited_; }
    void SetInheritedByte(std::uint8_t value) noexcept { inherited_ = value; }
    std::int32_t DeepestStationLevel() const noexcept { return deepestStationLevel_; }
    void SetDeepestStationLevel(std::int32_t level) noexcept { deepestStationLevel_ = level; }

    // ---- Operations offered to the user -------------------------------------------------------------

    // Slots 10 to 12: kept for the node kinds, true in the base.
    virtual bool CanOperate10() const;
    virtual bool CanOperate11() const;
    virtual bool CanOperate12(int value) const;

    // Creates a child of the given level (2 .. 6 a station, 10 a machine); NotCreated in the base.
    virtual CreateResult CreateChild(int levelNumber);
    // Asks the user for a new name; NotRenamed in the base.
    virtual RenameResult Rename();
    // Runs a command of the browser's menu (after loading the children). Kinds handle their own numbers and
    // pass the rest to their base: 1-5 and 219 rename, 21-25 create a station of level 2-6, 26 a machine,
    // 62 and 63 show information.
    virtual RefreshCode ExecuteCommand(int& command);
    // Adds the commands this node offers; the base offers 63 "Просмотр информации".
    virtual void FillCommandMenu(CommandMenu& menu);
    // Up the tree; true without a parent. Path nodes show the expert-system dialog for number 2.
    virtual bool ShowInfo(int infoNumber);
    // Lets the user edit `text` (cut to `resultLength` characters); true when edited. False in the base.
    virtual bool EditText(const std::string& prompt, std::string& text, int helpContext, int maxLength,
                          int resultLength);
    virtual std::string GetPromptText(int prompt) const;
    virtual int MaxTextLength(int prompt) const;
    virtual int HelpContext(int prompt) const;
    // Four captions of the browser's grid, each cut to `maxLength` characters (no cut when 0 or less).
    virtual std::array<std::string, 4> GetGridCaptions(int maxLength) const;
    // The window that owns this node's dialogs: up the tree; the root answers the main window.
    virtual WindowHandle OwnerWindow() const;

    // ---- Comparison and uniqueness -------------------------------------------------------------------

    // Ordering of siblings: level number, then level kind, refined by the kinds (names, moments, numbers).
    virtual CompareResult Compare(const TDBLevel* other) const;
    // Less when this node's level number (then kind) is lower; Less also when there is no other node.
    virtual CompareResult CompareLevelKind(const TDBLevel* other) const;
    // Whether this node can stand beside `other` as a sibling; named nodes do not differ when their names
    // are equal ignoring case, path nodes also when their paths are.
    virtual bool DiffersFrom(const TDBLevel& other) const;
    // True unless `other` is another node of the same level number and kind that does not differ.
    virtual bool NoConflictWith(const TDBLevel& other) const;
    // Whether `candidate` conflicts with none of the children the filter visits.
    virtual bool IsUnique(const TDBLevel& candidate);
    // Whether a child other than `skip` has the name or the path (both ignoring case; empty ones are not
    // compared). None in the base; path nodes look through all their children.
    virtual Clash FindNameOrPathClash(const TDBLevel* skip, std::string_view name,
                                      const std::filesystem::path& path);
    // This node when its level number is `levelNumber`, else the nearest ancestor that has it; none when
    // the walk passes below that number.
    virtual TDBLevel* FindAncestor(int levelNumber) const;

    // ---- Children -------------------------------------------------------------------------------------

    virtual void EnsureChildren();
    // Creates the empty child list. Kinds call this first and then read the disk.
    virtual void LoadChildren();
    // Destroys the children (not their files); the next EnsureChildren reads them again.
    virtual void FreeChildren();
    bool ChildrenLoaded() const noexcept { return children_ != nullptr; }
    // Inserts the child at its place (loading the children first) and makes this node its parent. Returns
    // the index, or -1 when there is no node or anything fails; a node that could not be added is destroyed.
    virtual int AddChild(NodePtr child);

    // All children in order, whatever the filter; no loading.
    int ChildCount() const noexcept;
    TDBLevel* ChildAt(int index) const noexcept;

    // Child iteration: a cursor over the child list that stops only at children whose level kind is in the
    // filter (kinds 0 .. 15). Each call returns the child at the cursor, or none when the cursor left the
    // list. FirstChild and LastChild load the children when needed.
    virtual TDBLevel* FirstChild();
    virtual TDBLevel* LastChild();
    // Adds `step` to the cursor, then moves one entry at a time (forward for a step of 0 or more, backward
    // for a negative one) to the next visited child. A step of 0 stays on a visited child.
    virtual TDBLevel* NextChild(int step);
    virtual TDBLevel* CurrentChild() const;
    virtual bool ChildCursorOut() const;
    virtual bool ChildCursorOut2() const;
    // Replaces the filter (bit k: kind k) and returns the previous one.
    virtual std::uint16_t SetChildFilter(std::uint16_t kinds);
    std::uint16_t ChildFilter() const noexcept { return childFilter_; }

    // ---- Deletion -------------------------------------------------------------------------------------

    // Deletes a child: at levels up to 8 its files first (DeleteStorage); when they cannot be removed the
    // child stays, else it leaves the list and is destroyed with its subtree.
    virtual DeleteResult DeleteChild(TDBLevel& child);
    // Asks the user (GetPromptText(3) of the child, yes/no) and deletes on yes; NotFound, without asking,
    // for a node that is not a child.
    virtual DeleteResult ConfirmDeleteChild(TDBLevel& child);
    // Removes this node's files. True when they are gone (or it has none); false when they were kept.
    virtual bool DeleteStorage();

    // ---- Views and notification ------------------------------------------------------------------------

    virtual void AttachView(INodeView* view);
    virtual void DetachView(INodeView* view);
    virtual int IndexOfView(const INodeView* view) const;
    int ViewCount() const noexcept { return static_cast<int>(views_.size()); }
    virtual void BeforeNotify(NodeEvent event, std::string_view text);
    // BeforeNotify, then NotifyViews.
    virtual void Notify(NodeEvent event, std::string_view text = {});
    // Nothing while notifications are suspended. Else the browser first, then every signal-window view
    // (each still attached when its turn comes; failures ignored), and for a rename the loaded children
    // in turn, so that their windows show the new name too.
    virtual void NotifyViews(NodeEvent event, std::string_view text);

    // ---- Machine and channel information (answered by the kinds; the base asks up the tree) ------------

    virtual std::string GetPassportFileName() const;
    // Zero-fills the record, then asks up; false at the top.
    virtual bool GetPassport(PassportRecord& record) const;
    virtual double GetMachineValue() const;
    virtual void SetMachineValues(int first, int second);
    virtual int GetChannelCount() const;
    virtual bool GetChannelInfo(int channel, ChannelInfo& info) const;
    virtual bool GetPointInfo(int point, int direction, ChannelInfo& info) const;
    virtual int GetChannelNumber(int point, int direction) const;
    virtual int GetPointNumber() const;
    virtual int GetDirectionNumber() const;

    // ---- Data buffer ------------------------------------------------------------------------------------
    //
    // A node holds at most one series: elements (doubles) numbered from 1, laid out by kind (Layout()).
    // Readers work between LockData and UnlockData, writers between BeginAccess and EndAccess; both nest.
    // Outside a lock the buffer may be kept but is not readable: element reads give 0, writes do nothing.

    virtual std::string GetXUnitText() const;
    virtual std::string GetYUnitText() const;

    // First lock: AcquireBuffer. Kinds that load their data on demand override AcquireBuffer.
    virtual void LockData();
    virtual void UnlockData();
    // First lock: allocates Count points when there is no buffer.
    virtual void BeginAccess();
    // Always tells the views that the data changed, also when they were only read.
    virtual void EndAccess();
    // Makes the buffer readable, allocating a zero-filled one of the stored size when there is none.
    virtual void AcquireBuffer();
    // Makes the buffer unreadable; the memory stays.
    virtual void ReleaseBuffer();

    virtual double X(int i) const;
    virtual double Y(int i) const;
    // Phase of point i as shown: a pair's stored phase plus PhaseShift2, a harmonic's stored phase; in
    // [0, 360). 0 for data without phases.
    virtual double Phase(int i) const;
    // Phase(i) plus PhaseShift, PhaseShift2 counted once in all, in [0, 360).
    virtual double PhaseWithShifts(int i) const;
    // The phase as stored, without any shift: what conversions read and what SetPhase writes.
    double RawPhase(int i) const;
    virtual double Fourth(int i) const;
    virtual double Rms() const;
    virtual double Peak() const;
    virtual void SetX(int i, double value);
    virtual void SetY(int i, double value);
    // Stores a raw phase (no shift is taken off).
    virtual void SetPhase(int i, double value);
    virtual void SetFourth(int i, double value);

    // The point nearest to `x`, or 0 when `tolerance` is not 0 and the nearest point is farther away than
    // that. A grid quotient half-way between two points goes to the even neighbour; x beyond the last
    // abscissa gives the last point, x before the first (or a zero step) the first.
    virtual int IndexOfX(double x, double tolerance) const;
    // Points `from` .. `to` (clamped to 1 .. Count).
    virtual SeriesStatistics Statistics(int from, int to) const;

    // Element j as a six-byte real would hold it; 0 outside the buffer.
    virtual double RawValue(std::int64_t j) const;
    virtual void SetRawValue(std::int64_t j, const common::Real48Bytes& value);
    virtual void SetDouble(std::int64_t j, double value);
    virtual double Double(std::int64_t j) const;

    // Copies the source's elements: the bytes when both buffers have the same size, else point by point as
    // this node's layout takes them (raw phases, so that no shift is added twice).
    virtual void CopyDataFrom(const TDBLevel& source);
    // Becomes a copy of the source's header and data (and tells its views). Nothing for none or for itself.
    virtual void AssignFrom(TDBLevel* source);
    virtual void AssignTo(TDBLevel* target);
    // A zero-filled buffer of n points for the header's kind; Count := n. Readable at once when locked.
    // Throws std::length_error for n < 0 or n > kMaxDataPoints.
    virtual void AllocData(std::int32_t n);
    virtual void FreeData();
    virtual TDataHeader GetHeader() const;
    virtual void SetHeader(const TDataHeader& header);
    const TDataHeader& Header() const noexcept { return header_; }

    std::int32_t LockCount() const noexcept { return lockCount_; }
    bool HasBuffer() const noexcept { return hasHandle_; }
    bool IsReadable() const noexcept { return readable_; }
    std::size_t DataSize() const noexcept { return dataSize_; }
    PointLayout Layout() const noexcept;
    // Every element of the buffer, element j at index j - 1; empty while the buffer is not readable. For
    // loops over many points: no call per element.
    std::span<const double> Values() const noexcept;
    std::span<double> MutableValues() noexcept;

    // ---- Derived-data cache -------------------------------------------------------------------------------

    // This node when it already holds what `params` asks for, else the first child that does, else a new
    // child made by CreateTransform. The result is locked once for the caller (ReleaseTransform undoes it);
    // none when nothing can be made.
    virtual TDBLevel* FindOrCreateTransform(const TransformParams& params);
    // Unlocks `node`; a child that nobody holds locked any more is destroyed. A node released from inside
    // its own notification stays until the next release here (or until the children are freed), so that
    // the notification never runs on in a destroyed node.
    virtual void ReleaseTransform(TDBLevel* node);
    // A new node below this one holding the conversion of this node's data by the transform engine; none
    // when there is no engine or it refuses.
    virtual NodePtr CreateTransform(const TransformParams& params);
    virtual bool MatchesTransform(const TransformParams& params) const;
    const TransformParams& GetTransformParams() const noexcept { return transform_; }
    void SetTransformParams(const TransformParams& params) { transform_ = params; }

  protected:
    void SetLevel(int levelNumber, int levelKind) noexcept;
    TChildList* Children() const noexcept { return children_.get(); }
    // For kinds that load their data on demand (AcquireBuffer): replaces the buffer by a zero-filled one of
    // `elementCount` elements, readable at once, and returns it to be filled.
    std::span<double> ReplaceBuffer(std::size_t elementCount);
    // The root's answer to IsProgramSetEmpty: none of the usable slots 1 .. 20 is in the set.
    static bool HasNoUsableSlot(const common::ProgramSet& set) noexcept;

  private:
    friend struct NodeDeleter;

    // Tells the windows that the node goes and drops its subtree and buffer, while every override is alive.
    void Teardown() noexcept;
    bool Visited(const TDBLevel* child) const noexcept;
    double XAt(std::int64_t i) const noexcept;
    double YAt(std::int64_t i) const noexcept;
    double RawPhaseAt(std::int64_t i) const noexcept;
    double FourthAt(std::int64_t i) const noexcept;
    double Element(std::int64_t j) const noexcept;
    void StoreElement(std::int64_t j, double value) noexcept;
    bool Disposable(const TDBLevel* child) const noexcept;

    ArchiveContext& context_;
    std::int32_t instanceNumber_;
    TDBLevel* parent_;
    std::string iconKey_;
    common::ProgramSet programs_;
    std::uint16_t flags_ = 0;
    std::int32_t state_ = kStateNotSet;
    std::uint8_t levelNumber_ = 1;
    std::uint8_t levelKind_ = 0;
    std::vector<INodeView*> views_;
    std::unique_ptr<TChildList> children_;
    std::int32_t cursor_ = 0;
    std::uint16_t childFilter_;
    bool marked_ = false;
    bool busy_ = false;
    bool expanded_ = false;
    bool spare_ = false;
    std::uint8_t inherited_ = 0;
    bool enabled_ = true;
    double dateTime_ = 0;
    std::int32_t lockCount_ = 0;
    TDataHeader header_;
    std::vector<double> data_;  // the buffer ("handle")
    bool hasHandle_ = false;
    bool readable_ = false;     // between a first lock and the last unlock
    std::size_t dataSize_ = 0;  // bytes
    TransformParams transform_;
    std::int32_t deepestStationLevel_ = 2;
    bool tornDown_ = false;
    int notifyDepth_ = 0;      // NotifyViews calls under way on this node
    bool cacheChild_ = false;  // added by FindOrCreateTransform
    bool staleCache_ = false;  // derived from data that have changed since: never found again
};

}  // namespace velmar::archive
