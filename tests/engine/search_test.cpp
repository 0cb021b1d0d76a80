#include <gtest/gtest.h>

#include <algorithm>
#include <set>

#include "engine/fill_engine.h"
#include "engine_test_pictures.h"

namespace velmora {
namespace {

using testing::NoisePicture;
using testing::PlainPicture;
using testing::PrepareSearch;

constexpr std::int32_t kUncomparable = 3 * 65536;

std::uint32_t StateAfterDraws(std::uint32_t seed, int draws) {
    RandomGenerator random;
    random.Seed(seed);
    for (int i = 0; i < draws; ++i) random.Draw();
    return random.state();
}

// Only the centre of the source grid may be drawn at random, so every candidate's neighbourhood
// lies inside it.
void KeepInteriorSources(FillEngine& engine, std::int32_t border) {
    engine.sourcePoints.clear();
    for (std::int32_t y = border; y < engine.sourceGrid.height() - border; ++y)
        for (std::int32_t x = border; x < engine.sourceGrid.width() - border; ++x)
            engine.sourcePoints.push_back({x, y});
}

TEST(Search, PerfectMatchEndsTheSearchAfterOneCandidate) {
    FillEngine engine;
    PrepareSearch(engine, PlainPicture(12, 12, 10, 20, 30));
    engine.sourcePoints = {{6, 6}};
    engine.markedPoints = {{4, 4}};
    engine.random.Seed(99);
    engine.SynthesizePixel(0);
    EXPECT_EQ(engine.bestMatch().score, 0);
    EXPECT_EQ(engine.bestMatch().position, (GridPoint{6, 6}));
    EXPECT_EQ(engine.random.state(), StateAfterDraws(99, 2)) << "one candidate, two draws";
}

TEST(Search, WithoutPerfectMatchScoresFiveHundredRandomCandidates) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(16, 16, 1));
    engine.sourceGrid = NoisePicture(16, 16, 2);
    KeepInteriorSources(engine, 3);
    engine.markedPoints = {{8, 8}};
    engine.random.Seed(5);
    engine.SynthesizePixel(0);
    EXPECT_GT(engine.bestMatch().score, 0);
    EXPECT_EQ(engine.random.state(), StateAfterDraws(5, 1000));
}

TEST(Search, AmongEqualSumsTheFirstCandidateStays) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(16, 16, 3));
    engine.sourceGrid = PlainPicture(16, 16, 128, 128, 128);  // every candidate scores the same
    KeepInteriorSources(engine, 3);
    engine.markedPoints = {{8, 8}};
    engine.random.Seed(17);
    RandomGenerator firstDraw;
    firstDraw.Seed(17);
    const GridPoint first = engine.sourcePoints[firstDraw.RandomIndex(
        static_cast<std::uint32_t>(engine.sourcePoints.size()))];

    engine.SynthesizePixel(0);
    EXPECT_EQ(engine.bestMatch().position, first);
    const std::int32_t tiedScore = engine.bestMatch().score;
    ASSERT_GT(tiedScore, 0);

    // Another candidate with the same sum does not replace it; a strictly better one does.
    engine.ScoreCandidate({first.x == 5 ? 6 : 5, 5});
    EXPECT_EQ(engine.bestMatch().position, first);
    // Copy the work area into the source grid: (8, 8) now matches its own neighbourhood exactly.
    std::copy(engine.workGrid.begin(), engine.workGrid.end(), engine.sourceGrid.begin());
    engine.ScoreCandidate({8, 8});
    EXPECT_EQ(engine.bestMatch().position, (GridPoint{8, 8}));
    EXPECT_EQ(engine.bestMatch().score, 0);
}

TEST(Search, UnusableNeighbourPositionsAreChargedTheCeiling) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(16, 16, 4));
    engine.sourceMaskGrid.Fill(0);
    *engine.sourceMaskGrid.At({8, 8}) = 255;  // only the candidate itself is usable
    engine.sourcePoints = {{8, 8}};
    engine.markedPoints = {{8, 8}};
    engine.SynthesizePixel(0);
    ASSERT_EQ(engine.neighbours().count, NeighbourSet::kMaxCount);
    EXPECT_EQ(engine.bestMatch().score, (NeighbourSet::kMaxCount - 1) * kUncomparable);
}

TEST(Search, SmallWorkAreaUsesEveryKnownPixel) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(3, 3, 5), 3);
    *engine.statusGrid.At({0, 0}) = PixelStatus{0, 0, {}};
    engine.markedPoints = {{1, 1}};
    engine.SynthesizePixel(0);
    EXPECT_EQ(engine.neighbours().count, 8) << "nine pixels, one of them unknown";
    EXPECT_EQ(engine.neighbours().offset[0], (GridPoint{0, 0})) << "the target comes first";
}

TEST(Search, CommitCopiesTheBestSourceColourAndRecordsIt) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(16, 16, 6));
    engine.sourceGrid = NoisePicture(16, 16, 7);
    KeepInteriorSources(engine, 3);
    engine.markedPoints = {{7, 9}};
    engine.SynthesizePixel(0);
    const PixelStatus& status = *engine.statusGrid.At({7, 9});
    EXPECT_EQ(status.filled, 1);
    EXPECT_EQ(status.known, 1);
    EXPECT_EQ(status.source, engine.bestMatch().position);
    EXPECT_TRUE(std::equal(engine.workGrid.At({7, 9}), engine.workGrid.At({7, 9}) + 3,
                           engine.sourceGrid.At(status.source)));
}

TEST(Search, NeighbourMatchesProposeShiftedCandidatesOncePerSearch) {
    FillEngine engine;
    PrepareSearch(engine, NoisePicture(16, 16, 8));
    engine.sourceGrid = NoisePicture(16, 16, 9);
    KeepInteriorSources(engine, 3);
    // The right-hand neighbour was matched at (10, 6): it proposes (9, 6) for the target.
    *engine.statusGrid.At({8, 7}) = PixelStatus{1, 1, {10, 6}};
    // A neighbour whose shifted match leaves the source grid proposes nothing.
    *engine.statusGrid.At({6, 7}) = PixelStatus{1, 1, {-3, 0}};
    // One whose proposal is unusable is skipped too.
    *engine.statusGrid.At({7, 8}) = PixelStatus{1, 1, {14, 14}};
    *engine.sourceMaskGrid.At({14, 13}) = 0;
    engine.markedPoints = {{7, 7}, {7, 7}};
    engine.SynthesizePixel(1);
    EXPECT_EQ(*engine.triedGrid.At({9, 6}), 1);
    EXPECT_EQ(*engine.triedGrid.At({14, 13}), -1);
    const long stamped = std::count(engine.triedGrid.begin(), engine.triedGrid.end(), 1);
    EXPECT_GE(stamped, 1);
}

TEST(FillOrder, ShufflesThenRepeatsEveryMarkedPixel) {
    FillEngine engine;
    std::vector<GridPoint> marked;
    for (std::int32_t i = 0; i < 57; ++i) marked.push_back({i % 8, i / 8});
    engine.markedPoints.assign(marked.begin(), marked.end());
    engine.random.Seed(2024);
    engine.BuildFillOrder();
    ASSERT_EQ(engine.markedPoints.size(), 2 * marked.size());
    const std::vector<GridPoint> firstPass(engine.markedPoints.begin(),
                                           engine.markedPoints.begin() + 57);
    EXPECT_TRUE(std::equal(firstPass.begin(), firstPass.end(), engine.markedPoints.begin() + 57));
    EXPECT_NE(firstPass, marked) << "the order is shuffled";
    const auto key = [](GridPoint p) { return std::pair{p.y, p.x}; };
    std::set<std::pair<int, int>> before, after;
    for (const GridPoint p : marked) before.insert(key(p));
    for (const GridPoint p : firstPass) after.insert(key(p));
    EXPECT_EQ(before, after) << "a permutation: every pixel once per pass";
    EXPECT_EQ(engine.random.state(), StateAfterDraws(2024, 2 * 57));
}

}  // namespace
}  // namespace velmora
