#include <gtest/gtest.h>

#include <algorithm>
#include <vector>

#include "engine/fill_engine.h"
#include "engine_test_pictures.h"

namespace velmora {
namespace {

using testing::NoisePicture;
using testing::PlainPicture;
using testing::PrepareSearch;

// An engine ready to fill a rectangular hole the way a job does: the hole unknown and not
// usable as a source, the fill order shuffled and repeated. The left half of the picture is one
// colour, so that searches there end on perfect scores at any point of their random phase.
struct HoleFill {
    FillEngine engine;

    HoleFill(std::int32_t width, std::int32_t height, const FillRect& hole, std::uint32_t seed) {
        ByteGrid picture = NoisePicture(width, height, seed);
        const ByteGrid plain = PlainPicture(width, height, 90, 120, 150);
        for (std::int32_t y = 0; y < height; ++y)
            std::copy(plain.At({0, y}), plain.At({width / 2, y}), picture.At({0, y}));
        PrepareSearch(engine, picture, 0);
        BuildOffsetList(engine.offsetList, width, height);
        engine.sourcePoints.clear();
        for (std::int32_t y = 0; y < height; ++y) {
            for (std::int32_t x = 0; x < width; ++x) {
                if (x >= hole.x && x < hole.x + hole.width && y >= hole.y &&
                    y < hole.y + hole.height) {
                    *engine.statusGrid.At({x, y}) = PixelStatus{};
                    *engine.sourceMaskGrid.At({x, y}) = 0;
                    engine.markedPoints.push_back({x, y});
                } else {
                    engine.sourcePoints.push_back({x, y});
                }
            }
        }
        engine.random.Seed(seed);
        engine.BuildFillOrder();
        engine.StartSearches();
    }

    EntrySearch FreshSearch(std::int32_t index) {
        EntrySearch search;
        while (!engine.SearchNeighbours(index, search)) engine.offsetList.Extend();
        return search;
    }

    // Fills entry `index` as the one-thread fill would, from generator state `state`.
    std::uint32_t Fill(std::int32_t index, std::uint32_t state) {
        EntrySearch search = FreshSearch(index);
        engine.SearchRandom(search, state);
        engine.CommitSearch(search);
        return search.randomEnd;
    }

    [[nodiscard]] std::int32_t length() const {
        return static_cast<std::int32_t>(engine.markedPoints.size());
    }
};

void ExpectSameNeighbourPhase(const EntrySearch& again, const EntrySearch& fresh) {
    ASSERT_EQ(again.probes.count, fresh.probes.count);
    for (std::int32_t j = 0; j < fresh.probes.count; ++j) {
        const auto probe = static_cast<std::size_t>(j);
        EXPECT_EQ(again.offsets[probe], fresh.offsets[probe]) << "neighbour " << j;
        EXPECT_EQ(again.probes.delta[probe], fresh.probes.delta[probe]) << "neighbour " << j;
        EXPECT_EQ(again.probes.colour[probe], fresh.probes.colour[probe]) << "neighbour " << j;
    }
    EXPECT_EQ(again.reachSquare, fresh.reachSquare);
    EXPECT_EQ(again.withinGuard, fresh.withinGuard);
    EXPECT_EQ(again.best.score, fresh.best.score);
    EXPECT_EQ(again.best.position, fresh.best.position);
}

// A search made before a run of entries was filled, brought up to date afterwards, equals a
// search made afresh: in the first pass (the filled pixels become known, some nearer than the
// farthest neighbour, some farther) and the second (only their colours and matches change), in
// work areas where the walk finds all its neighbours and where it runs out of pixels first.
TEST(EntrySearch, AWalkBroughtUpToDateEqualsANewWalk) {
    struct Case {
        std::int32_t width, height;
        FillRect hole;
    };
    const Case cases[] = {{48, 40, {10, 8, 30, 24}}, {5, 4, {1, 1, 3, 2}}, {24, 3, {2, 0, 20, 3}}};
    int compared = 0;
    int changedByTheRun = 0;
    for (const Case& c : cases) {
        HoleFill fill(c.width, c.height, c.hole, 7 + static_cast<std::uint32_t>(compared));
        std::uint32_t state = fill.engine.random.state();
        for (std::int32_t i = 0, run = 1; i < fill.length(); i += run, run = run % 37 + 1) {
            const std::int32_t last = std::min(i + run, fill.length() - 1);
            EntrySearch again = fill.FreshSearch(last);
            const EntrySearch before = again;
            std::vector<GridPoint> filled;
            for (std::int32_t e = i; e < last; ++e) {
                state = fill.Fill(e, state);
                filled.push_back(fill.engine.markedPoints[static_cast<std::size_t>(e)]);
            }
            fill.engine.WalkAgain(again, filled);
            fill.engine.ReadNeighbours(again);
            fill.engine.ScoreNeighbourProposals(again);
            const EntrySearch fresh = fill.FreshSearch(last);
            ExpectSameNeighbourPhase(again, fresh);
            changedByTheRun +=
                before.probes.colour != fresh.probes.colour || before.offsets != fresh.offsets;
            ++compared;
            if (::testing::Test::HasFailure()) return;
        }
    }
    EXPECT_GT(changedByTheRun, compared / 10) << "the runs should change many neighbourhoods";
}

// A search brought up to date with pixels whose searches are final but not committed, read from
// those searches, equals a search made afresh once they are committed: in the first pass and the
// second, where only their colours and matches change.
TEST(EntrySearch, PendingFillsReadAsCommitted) {
    const FillRect hole{10, 8, 30, 24};
    HoleFill committed(48, 40, hole, 11);
    HoleFill pending(48, 40, hole, 11);
    std::uint32_t state = committed.engine.random.state();
    int changedByPending = 0;
    for (std::int32_t i = 0, run = 1; i < committed.length(); i += run, run = run % 23 + 1) {
        const std::int32_t last = std::min(i + run, committed.length() - 1);
        EntrySearch again = pending.FreshSearch(last);
        std::vector<GridPoint> filled;
        std::vector<PendingFill> fills;
        std::vector<EntrySearch> searches;
        for (std::int32_t e = i; e < last; ++e) {
            EntrySearch search = committed.FreshSearch(e);
            committed.engine.SearchRandom(search, state);
            committed.engine.CommitSearch(search);
            state = search.randomEnd;
            filled.push_back(search.target);
            fills.push_back({search.target, search.best.position});
            searches.push_back(search);
        }
        pending.engine.WalkAgain(again, filled);
        EntrySearch withoutPending = again;
        pending.engine.ReadNeighbours(again, fills);
        pending.engine.ScoreNeighbourProposals(again, fills);
        ExpectSameNeighbourPhase(again, committed.FreshSearch(last));
        pending.engine.ReadNeighbours(withoutPending);
        pending.engine.ScoreNeighbourProposals(withoutPending);
        changedByPending += withoutPending.probes.colour != again.probes.colour ||
                            withoutPending.best.position != again.best.position;
        if (::testing::Test::HasFailure()) return;
        for (const EntrySearch& search : searches) pending.engine.CommitSearch(search);
    }
    EXPECT_GT(changedByPending, 10) << "the pending pixels should change many searches";
}

// Stretches of a random phase scored on their own and put together in order give the whole
// phase: the same best candidate (the first of equal sums), the same generator state after it,
// also when a sum of 0 ends the phase early, and for neighbourhoods beyond the guard border.
TEST(EntrySearch, RandomStretchesPutTogetherEqualTheWholePhase) {
    HoleFill fill(200, 160, {20, 10, 160, 140}, 3);
    std::uint32_t state = fill.engine.random.state();
    int endedEarly = 0;
    int beyondGuard = 0;
    int phases = 0;
    for (std::int32_t index = 0; index < fill.length(); ++index) {
        EntrySearch search = fill.FreshSearch(index);
        // Every entry is filled, every 40th (and the first ones reaching past the guard border)
        // also searched in stretches first.
        if ((index % 40 == 0 || (!search.withinGuard && beyondGuard < 20)) &&
            search.best.score != 0) {
            EntrySearch whole = search;
            fill.engine.SearchRandom(whole, state);
            for (const int count : {1, 2, 3, 7, 8, 16}) {
                std::vector<RandomStretch> stretches;
                for (int part = 0; part < count; ++part) {
                    const int first = part * kRandomCandidates / count;
                    const int next = (part + 1) * kRandomCandidates / count;
                    stretches.push_back(
                        fill.engine.SearchRandomStretch(search, state, first, next - first));
                }
                EntrySearch joined = search;
                FillEngine::FinishRandomPhase(joined, state, stretches);
                ASSERT_EQ(joined.best.score, whole.best.score) << index << " in " << count;
                ASSERT_EQ(joined.best.position, whole.best.position) << index << " in " << count;
                ASSERT_EQ(joined.randomEnd, whole.randomEnd) << index << " in " << count;
                ASSERT_EQ(joined.randomStart, state);
            }
            ++phases;
            endedEarly += whole.best.score == 0;
            beyondGuard += !search.withinGuard;
        }
        fill.engine.SearchRandom(search, state);
        fill.engine.CommitSearch(search);
        state = search.randomEnd;
    }
    EXPECT_GT(endedEarly, 0);
    EXPECT_LT(endedEarly, phases);
    EXPECT_GT(beyondGuard, 0);
}

}  // namespace
}  // namespace velmora
