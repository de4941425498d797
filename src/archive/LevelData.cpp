// The data buffer of a node, its accessors, and the cache of data derived from it.

#include <algorithm>
#include <cmath>
#include <stdexcept>
#include <string>
#include <utility>

#include "archive/DBLevel.hpp"
#include "archive/TransformEngine.hpp"
#include "common/Numbers.hpp"
#include "common/UiPort.hpp"

namespace velmar::archive {

namespace {

constexpr std::int32_t kKindHarmonics = 64;

std::size_t ElementsPerPoint(std::int32_t kind) noexcept {
    if (kind == kKindHarmonics) {
        return 4;
    }
    return TDataHeader::IsPairKind(kind) ? 2 : 1;
}

void CheckPointCount(std::int64_t n) {
    if (n < 0 || n > kMaxDataPoints) {
        throw std::length_error("data buffer: " + std::to_string(n) + " points");
    }
}

// Unlocks a node at the end of a scope, also when the scope is left by an exception.
class LockGuard {
  public:
    explicit LockGuard(TDBLevel& node) : node_(node) { node_.LockData(); }
    ~LockGuard() { node_.UnlockData(); }
    LockGuard(const LockGuard&) = delete;
    LockGuard& operator=(const LockGuard&) = delete;

  private:
    TDBLevel& node_;
};

}  // namespace

// ---- Layout and raw elements ----------------------------------------------------------------------------

PointLayout TDBLevel::Layout() const noexcept {
    if (header_.Kind == kKindHarmonics) {
        return PointLayout{4, 0, 1, 2, 3};
    }
    if (header_.HasPairs()) {
        return PointLayout{2, -1, 0, 1, -1};
    }
    // Spectra without phases keep their values packed at the front of a buffer sized for pairs.
    return PointLayout{1, -1, 0, -1, -1};
}

std::span<const double> TDBLevel::Values() const noexcept {
    return readable_ ? std::span<const double>(data_) : std::span<const double>();
}

std::span<double> TDBLevel::MutableValues() noexcept {
    return readable_ ? std::span<double>(data_) : std::span<double>();
}

double TDBLevel::Element(std::int64_t j) const noexcept {
    if (!readable_ || j < 1 || j > static_cast<std::int64_t>(data_.size())) {
        return 0.0;
    }
    return data_[static_cast<std::size_t>(j - 1)];
}

void TDBLevel::StoreElement(std::int64_t j, double value) noexcept {
    if (!readable_ || j < 1 || j > static_cast<std::int64_t>(data_.size())) {
        return;
    }
    data_[static_cast<std::size_t>(j - 1)] = value;
}

double TDBLevel::XAt(std::int64_t i) const noexcept {
    if (header_.Kind == kKindHarmonics) {
        return Element(4 * i - 3);
    }
    return header_.XStart + static_cast<double>(i - 1) * header_.XStep;
}

double TDBLevel::YAt(std::int64_t i) const noexcept {
    if (header_.Kind == kKindHarmonics) {
        return Element(4 * i - 2);
    }
    return header_.HasPairs() ? Element(2 * i - 1) : Element(i);
}

double TDBLevel::RawPhaseAt(std::int64_t i) const noexcept {
    if (header_.HasPairs()) {
        return Element(2 * i);
    }
    return header_.Kind == kKindHarmonics ? Element(4 * i - 1) : 0.0;
}

double TDBLevel::FourthAt(std::int64_t i) const noexcept {
    return header_.Kind == kKindHarmonics ? Element(4 * i) : 0.0;
}

// ---- Locking
// ------------------------------------------------------------------------------------------------

void TDBLevel::LockData() {
    if (lockCount_ == 0) {
        AcquireBuffer();
    }
    ++lockCount_;
}

void TDBLevel::UnlockData() {
    if (lockCount_ <= 0) {
        return;
    }
    if (--lockCount_ == 0) {
        ReleaseBuffer();
    }
}

void TDBLevel::BeginAccess() {
    if (lockCount_ == 0) {
        if (!readable_ && !hasHandle_) {
            AllocData(header_.Count);
        }
        if (hasHandle_) {
            readable_ = true;
        }
    }
    ++lockCount_;
}

void TDBLevel::EndAccess() {
    if (lockCount_ > 0 && --lockCount_ == 0) {
        readable_ = false;
    }
    // Conversions of the old data stay with whoever still holds them, but nobody is handed one again.
    for (int i = 0; i < ChildCount(); ++i) {
        if (TDBLevel* child = ChildAt(i); child != nullptr && child->cacheChild_) {
            child->staleCache_ = true;
        }
    }
    Notify(NodeEvent::DataChanged, {});
}

void TDBLevel::AcquireBuffer() {
    if (!readable_ && !hasHandle_ && dataSize_ > 0) {
        data_.assign((dataSize_ + sizeof(double) - 1) / sizeof(double), 0.0);
        hasHandle_ = true;
    }
    if (hasHandle_) {
        readable_ = true;
    }
}

void TDBLevel::ReleaseBuffer() {
    readable_ = false;
}

std::span<double> TDBLevel::ReplaceBuffer(std::size_t elementCount) {
    if (elementCount > static_cast<std::size_t>(kMaxDataPoints) * 4) {
        throw std::length_error("data buffer: " + std::to_string(elementCount) + " elements");
    }
    FreeData();
    data_.assign(elementCount, 0.0);
    hasHandle_ = elementCount > 0;
    dataSize_ = elementCount * sizeof(double);
    readable_ = hasHandle_;
    return std::span<double>(data_);
}

void TDBLevel::AllocData(std::int32_t n) {
    CheckPointCount(n);
    FreeData();
    header_.Count = n;
    if (n == 0) {
        return;
    }
    const std::size_t elements = static_cast<std::size_t>(n) * ElementsPerPoint(header_.Kind);
    data_.assign(elements, 0.0);
    hasHandle_ = true;
    dataSize_ = elements * sizeof(double);
    readable_ = lockCount_ > 0;
}

void TDBLevel::FreeData() {
    readable_ = false;
    std::vector<double>().swap(data_);
    hasHandle_ = false;
    dataSize_ = 0;
}

TDataHeader TDBLevel::GetHeader() const {
    return header_;
}

void TDBLevel::SetHeader(const TDataHeader& header) {
    header_ = header;
}

// ---- Accessors
// -----------------------------------------------------------------------------------------------

double TDBLevel::X(int i) const {
    return XAt(i);
}

double TDBLevel::Y(int i) const {
    return YAt(i);
}

double TDBLevel::Phase(int i) const {
    if (header_.HasPairs()) {
        return common::NormalizeAngle(Element(2 * static_cast<std::int64_t>(i)) + header_.PhaseShift2);
    }
    if (header_.Kind == kKindHarmonics) {
        return common::NormalizeAngle(Element(4 * static_cast<std::int64_t>(i) - 1));
    }
    return 0.0;
}

double TDBLevel::PhaseWithShifts(int i) const {
    // Phase() of pair data already holds the second shift; adding it again would turn every phase by it
    // twice.
    const double secondShift = header_.HasPairs() ? 0.0 : header_.PhaseShift2;
    return common::NormalizeAngle(Phase(i) + header_.PhaseShift + secondShift);
}

double TDBLevel::RawPhase(int i) const {
    return RawPhaseAt(i);
}

double TDBLevel::Fourth(int i) const {
    return FourthAt(i);
}

double TDBLevel::Rms() const {
    return header_.Rms;
}

double TDBLevel::Peak() const {
    return header_.Peak;
}

void TDBLevel::SetX(int i, double value) {
    if (header_.Kind == kKindHarmonics) {
        StoreElement(4 * static_cast<std::int64_t>(i) - 3, value);
    }
}

void TDBLevel::SetY(int i, double value) {
    const std::int64_t p = i;
    if (header_.Kind == kKindHarmonics) {
        StoreElement(4 * p - 2, value);
    } else {
        StoreElement(header_.HasPairs() ? 2 * p - 1 : p, value);
    }
}

void TDBLevel::SetPhase(int i, double value) {
    const std::int64_t p = i;
    if (header_.HasPairs()) {
        StoreElement(2 * p, value);
    } else if (header_.Kind == kKindHarmonics) {
        StoreElement(4 * p - 1, value);
    }
}

void TDBLevel::SetFourth(int i, double value) {
    if (header_.Kind == kKindHarmonics) {
        StoreElement(4 * static_cast<std::int64_t>(i), value);
    }
}

double TDBLevel::RawValue(std::int64_t j) const {
    return readable_ ? common::RoundToReal48(Element(j)) : 0.0;
}

void TDBLevel::SetRawValue(std::int64_t j, const common::Real48Bytes& value) {
    if (readable_) {
        StoreElement(j, common::Real48ToDouble(value));
    }
}

void TDBLevel::SetDouble(std::int64_t j, double value) {
    StoreElement(j, value);
}

double TDBLevel::Double(std::int64_t j) const {
    return Element(j);
}

// ---- Searching and summarising ---------------------------------------------------------------------------

int TDBLevel::IndexOfX(double x, double tolerance) const {
    const TDataHeader& h = header_;
    const std::int32_t count = h.Count;
    if (count <= 0 || !std::isfinite(x)) {
        return 0;
    }
    std::int32_t index = 1;
    double distance = 0;
    if (h.XStart <= x && h.XStep != 0) {
        if (x > h.XEnd) {
            index = count;
            distance = x - h.XEnd;
        } else if (h.Kind == kKindHarmonics) {
            if (!readable_) {
                return 0;
            }
            distance = std::fabs(x - XAt(1));
            for (std::int32_t i = 2; i <= count; ++i) {
                const double d = std::fabs(x - XAt(i));
                if (d < distance) {
                    distance = d;
                    index = i;
                }
            }
        } else {
            // nearbyint: a quotient half-way between two points goes to the even one. A header whose end
            // does not agree with its count must not lead outside the points.
            const double q = std::nearbyint((x - h.XStart) / h.XStep);
            if (!(q >= 0)) {
                index = 1;
            } else if (q >= static_cast<double>(count - 1)) {
                index = count;
            } else {
                index = static_cast<std::int32_t>(q) + 1;
            }
            distance = std::fabs(x - XAt(index));
        }
    } else {
        index = 1;
        distance = h.XStart - x;
    }
    if (tolerance != 0 && tolerance < distance) {
        return 0;
    }
    return index;
}

SeriesStatistics TDBLevel::Statistics(int from, int to) const {
    SeriesStatistics result;
    const std::int32_t count = header_.Count;
    if (!readable_ || count <= 0) {
        return result;
    }
    from = std::clamp(from, 1, static_cast<int>(count));
    to = std::clamp(to, 1, static_cast<int>(count));
    if (to < from) {
        return result;
    }
    const PointLayout layout = Layout();
    const std::span<const double> values(data_);
    const auto valueAt = [&](std::int64_t i) {
        const std::size_t k =
            static_cast<std::size_t>(i - 1) * layout.stride + static_cast<std::size_t>(layout.value);
        return k < values.size() ? values[k] : 0.0;
    };
    double maximum = common::RoundToReal48(-1e30);
    double minimum = common::RoundToReal48(1e30);
    double largest = 0;
    int index = to;
    double sum = 0;
    for (int i = from; i <= to; ++i) {
        const double y = valueAt(i);
        if (y > maximum) {
            maximum = y;
        }
        if (y < minimum) {
            minimum = y;
        }
        if (std::fabs(y) > largest) {
            largest = std::fabs(y);
            index = i;
        }
        sum += y;
    }
    result.count = to - from + 1;
    result.indexOfMaxAbs = index;
    result.maximum = maximum;
    result.minimum = minimum;
    result.mean = sum / result.count;
    result.valueAtIndex = valueAt(index);
    return result;
}

// ---- Copying
// ------------------------------------------------------------------------------------------------

void TDBLevel::CopyDataFrom(const TDBLevel& source) {
    if (&source == this || !readable_ || !source.readable_) {
        return;
    }
    if (data_.size() == source.data_.size()) {
        std::copy(source.data_.begin(), source.data_.end(), data_.begin());
        return;
    }
    const PointLayout layout = Layout();
    const std::int64_t count = header_.Count;
    for (std::int64_t i = 1; i <= count; ++i) {
        const std::int64_t first = (i - 1) * static_cast<std::int64_t>(layout.stride) + 1;
        if (layout.x >= 0) {
            StoreElement(first + layout.x, source.XAt(i));
        }
        StoreElement(first + layout.value, source.YAt(i));
        if (layout.phase >= 0) {
            // Raw phases: the shift travels with the header and is added once, when the copy is read.
            StoreElement(first + layout.phase, source.RawPhaseAt(i));
        }
        if (layout.fourth >= 0) {
            StoreElement(first + layout.fourth, source.FourthAt(i));
        }
    }
}

void TDBLevel::AssignFrom(TDBLevel* source) {
    if (source == nullptr || source == this) {
        // Freeing first and then copying from itself would leave the node empty.
        return;
    }
    const TDataHeader header = source->GetHeader();
    CheckPointCount(header.Count);
    FreeData();
    header_ = header;
    LockGuard sourceLock(*source);
    AllocData(header_.Count);
    BeginAccess();
    CopyDataFrom(*source);
    EndAccess();
}

void TDBLevel::AssignTo(TDBLevel* target) {
    if (target != nullptr) {
        target->AssignFrom(this);
    }
}

// ---- Derived-data cache -----------------------------------------------------------------------------------

bool TDBLevel::MatchesTransform(const TransformParams& params) const {
    return TransformParamsMatch(transform_, params);
}

TDBLevel* TDBLevel::FindOrCreateTransform(const TransformParams& params) {
    TDBLevel* result = nullptr;
    if (MatchesTransform(params)) {
        result = this;
    } else {
        EnsureChildren();
        for (int i = 0; i < ChildCount() && result == nullptr; ++i) {
            TDBLevel* child = ChildAt(i);
            if (child != nullptr && !child->staleCache_ && child->MatchesTransform(params)) {
                result = child;
            }
        }
        if (result == nullptr) {
            try {
                NodePtr created = CreateTransform(params);
                if (created && created->MatchesTransform(params)) {
                    created->transform_ = params;
                    created->cacheChild_ = true;
                    TDBLevel* node = created.get();
                    if (AddChild(std::move(created)) >= 0) {
                        result = node;
                    }
                }
            } catch (...) {
                result = nullptr;
            }
        }
    }
    if (result != nullptr) {
        result->LockData();
    }
    return result;
}

bool TDBLevel::Disposable(const TDBLevel* child) const noexcept {
    return child != nullptr && child != this && child->lockCount_ == 0 && child->notifyDepth_ == 0 &&
           !child->tornDown_;
}

void TDBLevel::ReleaseTransform(TDBLevel* node) {
    if (node == nullptr) {
        return;
    }
    node->UnlockData();
    if (node == this || !children_) {
        return;
    }
    // Out of the list and destroyed: a node nobody holds would otherwise stay until the parent goes.
    if (Disposable(node)) {
        NodePtr taken = children_->Take(node);
        taken.reset();
    }
    // Derived nodes released earlier from inside their own notification go now.
    for (int i = ChildCount() - 1; i >= 0; --i) {
        TDBLevel* child = ChildAt(i);
        if (child != nullptr && child->cacheChild_ && Disposable(child) && children_) {
            NodePtr taken = children_->Take(child);
            taken.reset();
        }
        i = std::min(i, ChildCount());
    }
}

NodePtr TDBLevel::CreateTransform(const TransformParams& params) {
    ITransformEngine* engine = context_.transformEngine;
    if (engine == nullptr) {
        return nullptr;
    }
    NodePtr node = MakeNode<TDBLevel>(context_, this);
    node->SetLevel(kLevelDerived, kLevelKindPlain);
    TransformParams resultParams = params;
    TDataHeader resultHeader;
    std::vector<double> resultElements;
    common::UiPort* ui = context_.ui;
    const TransformProgress progress = [ui](double fraction) {
        return ui == nullptr || ui->Progress(std::string(), fraction);
    };
    bool converted = false;
    {
        LockGuard sourceLock(*this);
        converted = engine->Convert(header_, Values(), resultParams, resultHeader, resultElements, progress);
    }
    if (!converted || resultHeader.Count < 0 || resultHeader.Count > kMaxDataPoints) {
        return nullptr;
    }
    node->header_ = resultHeader;
    // The buffer takes the layout the header asks for, whatever the engine handed back.
    const std::size_t elements =
        static_cast<std::size_t>(resultHeader.Count) * ElementsPerPoint(resultHeader.Kind);
    resultElements.resize(elements, 0.0);
    node->data_ = std::move(resultElements);
    node->hasHandle_ = elements > 0;
    node->dataSize_ = elements * sizeof(double);
    node->readable_ = false;
    node->transform_ = resultParams;
    return node;
}

}  // namespace velmar::archive
