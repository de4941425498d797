// The cache of derived data kept as children of the node they were derived from.

#include <gmock/gmock.h>
#include <gtest/gtest.h>

#include <stdexcept>
#include <string>
#include <vector>

#include "NodeTestSupport.hpp"
#include "archive/TransformEngine.hpp"

namespace velmar::archive {
namespace {

using test::PlainNode;
using test::RecordingView;
using test::Told;
using ::testing::ElementsAre;

// Stands in for the analysis library: doubles every element and tells what it was given.
class FakeEngine : public ITransformEngine {
  public:
    enum class Mode { Double, Refuse, Throw, AnswersAnotherKind, ReportsProgress };

    Mode mode = Mode::Double;
    const TDBLevel* source = nullptr;
    int calls = 0;
    TDataHeader seenHeader;
    std::vector<double> seenElements;
    int seenSourceLocks = -1;

    bool Convert(const TDataHeader& sourceHeader, std::span<const double> sourceElements,
                 TransformParams& params, TDataHeader& resultHeader, std::vector<double>& resultElements,
                 const TransformProgress& progress) override {
        ++calls;
        seenHeader = sourceHeader;
        seenElements.assign(sourceElements.begin(), sourceElements.end());
        seenSourceLocks = source != nullptr ? source->LockCount() : -1;
        switch (mode) {
            case Mode::Refuse:
                return false;
            case Mode::Throw:
                throw std::runtime_error("engine failure");
            case Mode::ReportsProgress:
                for (int step = 0; step <= 4; ++step) {
                    if (!progress(step / 4.0)) {
                        return false;
                    }
                }
                break;
            default:
                break;
        }
        resultHeader = sourceHeader;
        resultHeader.Kind = params.TargetKind != 0 ? params.TargetKind : sourceHeader.Kind;
        resultHeader.Quantity = params.TargetQuantity != 0 ? params.TargetQuantity : sourceHeader.Quantity;
        resultHeader.Flags = 0;
        resultElements.clear();
        for (double v : sourceElements) {
            resultElements.push_back(2 * v);
        }
        // The engine completes the record it was given.
        params.SourceKind = sourceHeader.Kind;
        params.SourceQuantity = sourceHeader.Quantity;
        if (mode == Mode::AnswersAnotherKind) {
            params.TargetKind = 128;
        }
        return true;
    }
};

TransformParams Request(std::int32_t kind, std::int32_t quantity) {
    TransformParams p;
    p.Valid = 1;
    p.TargetKind = kind;
    p.TargetQuantity = quantity;
    return p;
}

class TransformCacheTest : public ::testing::Test {
  protected:
    void SetUp() override {
        context.ui = &ui;
        context.transformEngine = &engine;
        startNodes = context.liveNodes;
        source = MakeSource();
        engine.source = source.get();
    }

    // An acceleration signal of 8 samples whose record says it was read as such from a file.
    NodePtrOf<PlainNode> MakeSource() {
        auto node = MakeNode<PlainNode>(context, nullptr, kLevelDirection);
        TDataHeader h;
        h.Kind = 2;
        h.Quantity = 4;
        h.XStep = 0.001;
        node->SetHeader(h);
        node->AllocData(8);
        node->BeginAccess();
        for (int i = 1; i <= 8; ++i) {
            node->SetY(i, i);
        }
        node->EndAccess();
        node->SetTransformParams(Request(2, 4));
        return node;
    }

    ArchiveContext context;
    test::ScriptedUi ui;
    FakeEngine engine;
    std::int64_t startNodes = 0;
    NodePtrOf<PlainNode> source;
};

TEST(MatchesTransform, ComparesWhatEachKindOfConversionReads) {
    struct Case {
        const char* what;
        TransformParams own;
        TransformParams candidate;
        bool matches;
    };
    std::vector<Case> cases;
    const auto add = [&](const char* what, TransformParams own, TransformParams candidate, bool matches) {
        cases.push_back(Case{what, own, candidate, matches});
    };
    TransformParams unset;
    TransformParams other = unset;
    other.TargetKind = 4;
    add("two unset records, whatever else they hold", unset, other, true);
    add("set against unset", Request(4, 2), unset, false);
    add("different kinds", Request(4, 2), Request(32, 2), false);
    add("different quantities", Request(4, 2), Request(4, 4), false);
    add("a kind left open", Request(4, 2), Request(0, 2), true);
    add("a quantity left open", Request(4, 2), Request(4, 0), true);

    TransformParams part = Request(16, 2);
    part.BeginTime = 0.1;
    part.EndTime = 0.9;
    part.BeginFreq = 10;
    part.EndFreq = 100;
    part.StepFreq = 0.5;
    TransformParams nearPart = part;
    nearPart.EndFreq += 5e-7;
    add("part spectrum: reals within 1e-6", part, nearPart, true);
    for (double TransformParams::*field :
         {&TransformParams::BeginTime, &TransformParams::EndTime, &TransformParams::BeginFreq,
          &TransformParams::EndFreq, &TransformParams::StepFreq}) {
        TransformParams moved = part;
        moved.*field += 2e-6;
        add("part spectrum: one of the five reals moved", part, moved, false);
    }
    TransformParams partBand = part;
    partBand.Polosa = 2;
    add("part spectrum: band fields are not read", part, partBand, true);

    TransformParams envelope = Request(32, 4);
    envelope.Polosa = 1;
    envelope.MinFreq = 140;
    envelope.MaxFreq = 198;
    envelope.Sposob = 0;
    envelope.Usredn = 1;
    envelope.MaxOgibFreq = 1000;
    TransformParams changed = envelope;
    changed.Polosa = 2;
    add("envelope: band width", envelope, changed, false);
    changed = envelope;
    changed.MaxFreq = 280;
    add("envelope: high frequency", envelope, changed, false);
    changed = envelope;
    changed.Usredn = 2;
    add("envelope: averaging counts with method 0", envelope, changed, false);
    TransformParams method1 = envelope;
    method1.Sposob = 1;
    changed = method1;
    changed.Usredn = 2;
    changed.MaxOgibFreq = 500;
    add("envelope: averaging ignored with method 1", method1, changed, true);

    TransformParams listBands = Request(256, 2);
    listBands.PowType = 1;
    listBands.CountFreq = 2;
    listBands.Bands[0] = {10, 20};
    listBands.Bands[1] = {20, 40};
    changed = listBands;
    changed.Bands[14].High = 1;
    add("user bands: every one of the 15 pairs", listBands, changed, false);
    changed = listBands;
    changed.CountFreq = 3;
    add("user bands: their number", listBands, changed, false);
    changed = listBands;
    changed.Polosa = 2;
    changed.BandRatio = 3;
    add("user bands: standard band fields not read", listBands, changed, true);
    changed = listBands;
    changed.PowType = 0;
    add("band mode", listBands, changed, false);

    TransformParams octaves = Request(256, 2);
    octaves.PowType = 0;
    octaves.Polosa = 0;
    octaves.BandRatio = 2;
    changed = octaves;
    changed.Polosa = 1;
    add("standard bands: width", octaves, changed, false);
    changed = octaves;
    changed.BandRatio = 1.41421356;
    add("standard bands: the ratio that lays them out", octaves, changed, false);
    changed = octaves;
    changed.MinFreq = 140;
    changed.Bands[0] = {1, 2};
    add("standard bands: the envelope frequency and user bands are not read", octaves, changed, true);
    TransformParams otherMode = octaves;
    otherMode.PowType = 7;
    changed = otherMode;
    changed.BandRatio = 5;
    add("an unknown band mode matches", otherMode, changed, true);

    TransformParams spectrum = Request(4, 2);
    changed = spectrum;
    changed.BeginFreq = 50;
    changed.Polosa = 2;
    add("whole spectrum: no parameters", spectrum, changed, true);

    ArchiveContext context;
    for (const Case& c : cases) {
        EXPECT_EQ(TransformParamsMatch(c.own, c.candidate), c.matches) << c.what;
        EXPECT_EQ(TransformParamsMatch(c.candidate, c.own), c.matches) << c.what << " (reversed)";
        auto node = MakeNode<TDBLevel>(context, nullptr);
        node->SetTransformParams(c.own);
        EXPECT_EQ(node->MatchesTransform(c.candidate), c.matches) << c.what;
    }
}

TEST_F(TransformCacheTest, FindOrCreateTransform_givesTheSameChildTwiceLockedTwice) {
    const TransformParams velocitySpectrum = Request(4, 2);
    TDBLevel* first = source->FindOrCreateTransform(velocitySpectrum);
    TDBLevel* second = source->FindOrCreateTransform(velocitySpectrum);
    ASSERT_NE(first, nullptr);
    EXPECT_EQ(first, second);
    EXPECT_NE(first, source.get());
    EXPECT_EQ(first->LockCount(), 2);
    EXPECT_EQ(first->Parent(), source.get());
    EXPECT_EQ(source->ChildCount(), 1);
    EXPECT_EQ(engine.calls, 1);
    EXPECT_EQ(first->GetLevelNumber(), kLevelDerived);
    EXPECT_EQ(first->Header().Kind, 4);
    EXPECT_EQ(first->Header().Count, 8);
    EXPECT_EQ(first->Y(3), 6.0);
    // The child keeps the record it was asked for, not the engine's completed copy.
    EXPECT_EQ(first->GetTransformParams(), velocitySpectrum);
    EXPECT_EQ(source->LockCount(), 0);

    TDBLevel* other = source->FindOrCreateTransform(Request(4, 1));
    EXPECT_NE(other, first);
    EXPECT_EQ(source->ChildCount(), 2);
}

TEST_F(TransformCacheTest, FindOrCreateTransform_convertsAgainAfterTheSourceDataChanged) {
    // Two windows hold the same spectrum; the source's data change under the second one's eyes.
    TDBLevel* first = source->FindOrCreateTransform(Request(4, 2));
    TDBLevel* held = source->FindOrCreateTransform(Request(4, 2));
    ASSERT_EQ(first, held);
    source->BeginAccess();
    source->SetY(3, source->Y(3) * 10);
    source->EndAccess();
    source->ReleaseTransform(first);
    TDBLevel* fresh = source->FindOrCreateTransform(Request(4, 2));
    ASSERT_NE(fresh, nullptr);
    EXPECT_NE(fresh, held) << "the old conversion is not handed out again";
    EXPECT_EQ(engine.calls, 2);
    EXPECT_EQ(held->LockCount(), 1) << "its holder keeps it until it lets go";
    source->ReleaseTransform(held);
    EXPECT_EQ(source->ChildCount(), 1) << "the stale one goes with its last holder";
    EXPECT_EQ(source->FindOrCreateTransform(Request(4, 2)), fresh);
}

TEST_F(TransformCacheTest, FindOrCreateTransform_answersTheNodeItselfWhenItHoldsWhatIsAsked) {
    for (const TransformParams& p : {Request(2, 4), Request(0, 0), Request(2, 0)}) {
        TDBLevel* found = source->FindOrCreateTransform(p);
        EXPECT_EQ(found, source.get());
    }
    EXPECT_EQ(source->LockCount(), 3);
    EXPECT_EQ(engine.calls, 0);
    EXPECT_EQ(source->ChildCount(), 0);
    source->ReleaseTransform(source.get());
    EXPECT_EQ(source->LockCount(), 2);
}

TEST_F(TransformCacheTest, FindOrCreateTransform_givesNoneAndKeepsNothingWhenNoDataCanBeMade) {
    for (FakeEngine::Mode mode :
         {FakeEngine::Mode::Refuse, FakeEngine::Mode::Throw, FakeEngine::Mode::AnswersAnotherKind}) {
        engine.mode = mode;
        EXPECT_EQ(source->FindOrCreateTransform(Request(4, 2)), nullptr) << static_cast<int>(mode);
        EXPECT_EQ(source->ChildCount(), 0);
        EXPECT_EQ(source->LockCount(), 0);
    }
    context.transformEngine = nullptr;
    EXPECT_EQ(source->FindOrCreateTransform(Request(4, 2)), nullptr);
    EXPECT_EQ(context.liveNodes, startNodes + 1);  // only the source
}

TEST_F(TransformCacheTest, FindOrCreateTransform_stopsWhenTheUserStopsTheConversion) {
    engine.mode = FakeEngine::Mode::ReportsProgress;
    ui.progressReplies = {true, false};
    EXPECT_EQ(source->FindOrCreateTransform(Request(4, 2)), nullptr);
    EXPECT_EQ(ui.progressCalls, 2);
    EXPECT_EQ(source->ChildCount(), 0);
    ASSERT_NE(source->FindOrCreateTransform(Request(4, 2)), nullptr);  // this time it goes through
}

TEST_F(TransformCacheTest, ReleaseTransform_destroysTheChildWhenItsLastLockGoes) {
    TDBLevel* spectrum = source->FindOrCreateTransform(Request(4, 2));
    source->FindOrCreateTransform(Request(4, 2));
    std::vector<Told> log;
    RecordingView window("window", log);
    spectrum->AttachView(&window);

    source->ReleaseTransform(spectrum);
    EXPECT_EQ(source->ChildCount(), 1);
    EXPECT_EQ(spectrum->LockCount(), 1);
    EXPECT_TRUE(log.empty());

    source->ReleaseTransform(spectrum);
    EXPECT_EQ(source->ChildCount(), 0);
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].event, NodeEvent::Destroyed);
    EXPECT_EQ(context.liveNodes, startNodes + 1);
}

TEST_F(TransformCacheTest, ReleaseTransform_fromInsideTheNodesOwnNotificationWaitsForTheNextRelease) {
    TDBLevel* spectrum = source->FindOrCreateTransform(Request(4, 2));
    ASSERT_NE(spectrum, nullptr);
    std::vector<Told> log;
    RecordingView window("window", log);
    RecordingView later("later", log);
    // The window gives up its data when they change, as a window re-applying its conversion does.
    window.onEvent = [&](TDBLevel& node, NodeEvent event) {
        if (event == NodeEvent::DataChanged) {
            node.DetachView(&window);
            source->ReleaseTransform(&node);
        }
    };
    spectrum->AttachView(&window);
    spectrum->AttachView(&later);
    spectrum->BeginAccess();
    spectrum->EndAccess();
    // The walk went on in a live node: the second window was told as well.
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[1].who, "later");
    EXPECT_EQ(source->ChildCount(), 1);
    spectrum->DetachView(&later);

    TDBLevel* other = source->FindOrCreateTransform(Request(4, 1));
    source->ReleaseTransform(other);
    EXPECT_EQ(source->ChildCount(), 0);
    EXPECT_EQ(context.liveNodes, startNodes + 1);
}

TEST_F(TransformCacheTest, CreateTransform_handsTheEngineTheLockedSourceWithRawPhases) {
    auto pairs = MakeNode<PlainNode>(context, nullptr, kLevelDirection);
    TDataHeader h;
    h.Kind = 4;
    h.Quantity = 4;
    h.Flags = TDataHeader::kPairFlag;
    h.PhaseShift2 = 10;
    pairs->SetHeader(h);
    pairs->AllocData(2);
    pairs->BeginAccess();
    pairs->SetY(1, 1.5);
    pairs->SetPhase(1, 355);
    pairs->EndAccess();
    engine.source = pairs.get();

    NodePtr derived = pairs->CreateTransform(Request(4, 2));
    ASSERT_NE(derived, nullptr);
    EXPECT_THAT(engine.seenElements, ElementsAre(1.5, 355, 0, 0));
    EXPECT_EQ(engine.seenHeader.PhaseShift2, 10);
    EXPECT_EQ(engine.seenSourceLocks, 1);
    EXPECT_EQ(pairs->LockCount(), 0);

    // A new node below the source, not yet among its children, holding the result and the completed record.
    EXPECT_EQ(derived->Parent(), pairs.get());
    EXPECT_EQ(pairs->ChildCount(), 0);
    EXPECT_EQ(derived->GetTransformParams().SourceKind, 4);
    EXPECT_FALSE(derived->IsReadable());
    derived->LockData();
    EXPECT_EQ(derived->DataSize(), 2 * 16u);
    EXPECT_EQ(derived->Y(1), 3.0);
}

TEST_F(TransformCacheTest, CacheCycles_leaveNoNodeBehind) {
    const std::int32_t firstNumber = context.nextInstanceNumber;
    for (int cycle = 0; cycle < 50; ++cycle) {
        auto node = MakeSource();
        engine.source = node.get();
        TDBLevel* velocity = node->FindOrCreateTransform(Request(4, 2));
        TDBLevel* again = node->FindOrCreateTransform(Request(4, 2));
        TDBLevel* displacement = node->FindOrCreateTransform(Request(4, 1));
        ASSERT_EQ(velocity, again);
        ASSERT_NE(displacement, nullptr);
        node->ReleaseTransform(velocity);
        switch (cycle % 3) {
            case 0:  // everything released
                node->ReleaseTransform(velocity);
                node->ReleaseTransform(displacement);
                EXPECT_EQ(node->ChildCount(), 0);
                break;
            case 1:  // a refresh of the browser drops the cache with locks still held
                node->FreeChildren();
                break;
            default:  // the source goes with its locked children
                break;
        }
    }
    engine.source = source.get();
    EXPECT_EQ(context.liveNodes, startNodes + 1);
    EXPECT_GE(context.nextInstanceNumber, firstNumber + 50 * 3) << "instance numbers are never reused";
}

}  // namespace
}  // namespace velmar::archive
