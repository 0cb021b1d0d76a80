// The production engine against the straightforward reference engine: the same job must give the
// same picture, pixel for pixel, and the same counts, on every kernel this processor can run.

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <atomic>
#include <cstdlib>
#include <limits>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <vector>

#include "engine/bgr_image.h"
#include "engine/difference_table.h"
#include "engine/fill_engine.h"
#include "engine/fill_job.h"
#include "engine/offset_list.h"
#include "engine/offset_rings.h"
#include "engine/random_generator.h"
#include "engine/random_search.h"
#include "engine/reference/reference_fill_engine.h"
#include "engine/source_pixels.h"
#include "generated_jobs.h"

namespace velmora {
namespace {

using testing::Dice;
using testing::Inputs;
using testing::MakeInputs;
using testing::MakePicture;
using testing::Outcome;
using testing::Run;

Outcome RunReference(const Inputs& in, std::optional<int> stopAfter = std::nullopt) {
    return Run(
        in,
        [](FillJob& job) {
            reference::ReferenceFillEngine engine;
            reference::RunReferenceFillJob(engine, job);
            return testing::FillOrderOf(engine.markedPoints);
        },
        stopAfter);
}

Outcome RunFast(const Inputs& in, SearchKernel kernel,
                std::optional<int> stopAfter = std::nullopt) {
    return Run(
        in,
        [kernel](FillJob& job) {
            FillEngine engine;
            engine.SetSearchKernel(kernel);
            job.threads = 1;
            RunFillJob(engine, job);
            return testing::FillOrderOf(engine.markedPoints);
        },
        stopAfter);
}

std::vector<SearchKernel> Kernels() {
    std::vector<SearchKernel> kernels;
    for (const SearchKernel kernel :
         {SearchKernel::Portable, SearchKernel::Avx512, SearchKernel::Avx2})
        if (KernelSupported(kernel)) kernels.push_back(kernel);
    return kernels;
}

const char* KernelName(SearchKernel kernel) {
    switch (kernel) {
        case SearchKernel::Portable:
            return "portable";
        case SearchKernel::Avx512:
            return "avx512";
        case SearchKernel::Avx2:
            return "avx2";
    }
    return "?";
}

void ExpectSame(const Outcome& fast, const Outcome& reference) {
    EXPECT_EQ(fast.stats.marked, reference.stats.marked);
    EXPECT_EQ(fast.stats.sources, reference.stats.sources);
    EXPECT_EQ(fast.stats.progressReports, reference.stats.progressReports);
    EXPECT_EQ(fast.stats.entriesFilled, reference.stats.entriesFilled);
    EXPECT_TRUE(fast.fillOrder == reference.fillOrder) << "fill order";
    ASSERT_EQ(fast.picture.size(), reference.picture.size());
    const auto mismatch =
        std::mismatch(fast.picture.begin(), fast.picture.end(), reference.picture.begin());
    EXPECT_TRUE(mismatch.first == fast.picture.end())
        << "first differing byte at " << (mismatch.first - fast.picture.begin());
}

TEST(FastEngineEquivalence, RandomJobsGiveTheReferencePixels) {
    int filled = 0;
    for (std::uint32_t caseSeed = 1; caseSeed <= 60; ++caseSeed) {
        const Inputs in = MakeInputs(caseSeed);
        SCOPED_TRACE(in.description);
        const Outcome reference = RunReference(in);
        if (reference.stats.entriesFilled > 0) ++filled;
        for (const SearchKernel kernel : Kernels()) {
            SCOPED_TRACE(KernelName(kernel));
            ExpectSame(RunFast(in, kernel), reference);
        }
    }
    EXPECT_GT(filled, 40) << "most generated jobs must fill something";
}

TEST(FastEngineEquivalence, StoppedJobsKeepTheSamePartialPicture) {
    for (std::uint32_t caseSeed = 101; caseSeed <= 106; ++caseSeed) {
        const Inputs in = MakeInputs(caseSeed);
        SCOPED_TRACE(in.description);
        const Outcome reference = RunReference(in, 37);
        for (const SearchKernel kernel : Kernels()) {
            SCOPED_TRACE(KernelName(kernel));
            ExpectSame(RunFast(in, kernel, 37), reference);
        }
    }
}

// A hole much wider than the search's guard border: early targets deep inside it gather
// neighbours far away, which takes the bounds-checked path.
TEST(FastEngineEquivalence, DeepHolesGiveTheReferencePixels) {
    Dice dice(7);
    Inputs in;
    // Every side of the hole is more than twice the guard border from its centre.
    const FillRect hole{18, 15, 2 * SourcePixels::kGuard + 8, 2 * SourcePixels::kGuard + 4};
    const std::int32_t width = hole.width + 36;
    const std::int32_t height = hole.height + 30;
    in.picture = MakePicture(dice, width, height);
    in.selectionBounds = hole;
    in.fillMask.SetSize(width, height, 1);
    in.fillMask.Fill(0);
    in.sourceMask.SetSize(width, height, 1);
    in.sourceMask.Fill(0);
    for (std::int32_t y = hole.y; y < hole.y + hole.height; ++y)
        for (std::int32_t x = hole.x; x < hole.x + hole.width; ++x)
            *in.fillMask.At({x, y}) = *in.sourceMask.At({x, y}) = 255;
    in.sourceRect = {0, 0, width, height};
    in.seed = 99;
    const Outcome reference = RunReference(in);
    for (const SearchKernel kernel : Kernels()) {
        SCOPED_TRACE(KernelName(kernel));
        ExpectSame(RunFast(in, kernel), reference);
    }
}

// Searches by hand where every known pixel lies far outside the guard border, so that the
// neighbourhood needs the bounds-checked path: both engines must agree entry by entry.
TEST(FastEngineEquivalence, FarNeighbourhoodsAgreeEntryByEntry) {
    constexpr std::int32_t kSide = 3 * SourcePixels::kGuard;
    constexpr std::int32_t kCentre = kSide / 2;
    Dice dice(11);
    const ByteGrid picture = MakePicture(dice, kSide, kSide);
    const std::vector<GridPoint> targets{
        {kCentre, kCentre}, {kCentre + 2, kCentre}, {kCentre, kCentre + 1}};
    const auto prepare = [&](auto& engine) {
        const auto copy = [](const ByteGrid& from, ByteGrid& to) {
            to.SetSize(from.width(), from.height(), from.depth());
            std::copy(from.begin(), from.end(), to.begin());
        };
        copy(picture, engine.workGrid);
        copy(picture, engine.sourceGrid);
        engine.sourceMaskGrid.SetSize(kSide, kSide, 1);
        engine.sourceMaskGrid.Fill(255);
        engine.statusGrid.SetSize(kSide, kSide, 1);
        engine.triedGrid.SetSize(kSide, kSide, 1);
        engine.triedGrid.Fill(-1);
        engine.sourcePoints.clear();
        for (std::int32_t y = 0; y < kSide; ++y)
            for (std::int32_t x = 0; x < kSide; ++x) {
                // Known only in a frame far from the centre.
                const bool known = std::max(std::abs(x - kCentre), std::abs(y - kCentre)) >
                                   SourcePixels::kGuard + 8;
                *engine.statusGrid.At({x, y}) =
                    PixelStatus{static_cast<std::uint8_t>(known ? 1 : 0), 0, {}};
                engine.sourcePoints.push_back({x, y});
            }
        engine.markedPoints.assign(targets.begin(), targets.end());
        BuildDifferenceTable(engine.differenceTable);
        engine.random.Seed(4242);
    };
    reference::ReferenceFillEngine reference;
    prepare(reference);
    reference::BuildReferenceOffsetList(reference.offsetList, kSide, kSide);
    for (const SearchKernel kernel : Kernels()) {
        SCOPED_TRACE(KernelName(kernel));
        reference::ReferenceFillEngine expected;
        prepare(expected);
        expected.offsetList = reference.offsetList;
        FillEngine engine;
        engine.SetSearchKernel(kernel);
        prepare(engine);
        BuildOffsetList(engine.offsetList, kSide, kSide);
        for (std::int32_t i = 0; i < static_cast<std::int32_t>(targets.size()); ++i) {
            expected.SynthesizePixel(i);
            engine.SynthesizePixel(i);
            const GridPoint farthest =
                engine.neighbours().offset[static_cast<std::size_t>(engine.neighbours().count - 1)];
            EXPECT_GT(std::max(std::abs(farthest.x), std::abs(farthest.y)), SourcePixels::kGuard)
                << "the neighbourhood reaches beyond the guard border";
            EXPECT_EQ(engine.bestMatch().score, expected.bestScore()) << "entry " << i;
            EXPECT_EQ(engine.bestMatch().position, expected.bestPosition()) << "entry " << i;
            EXPECT_EQ(engine.random.state(), expected.random.state()) << "entry " << i;
        }
    }
}

// A source area of packed words for the search kernels alone: a few colours (so that perfect
// matches occur), some unusable pixels, and a border wide enough for every probe.
struct SearchScene {
    static constexpr std::int32_t kStride = 64;
    static constexpr std::int32_t kBorder = 3;
    std::vector<std::uint32_t> pixels;
    std::vector<std::int32_t> positions;
    DifferenceTable table;
    std::array<std::uint8_t, 256> lowBytes{};
    std::array<std::uint8_t, 256> highBytes{};
    ProbeSet probes;
};

SearchScene MakeSearchScene(Dice& dice, std::int32_t rows, int levels,
                            std::uint32_t positionCount) {
    SearchScene scene;
    BuildDifferenceTable(scene.table);
    for (int d = 0; d < 256; ++d) {
        scene.lowBytes[static_cast<std::size_t>(d)] = static_cast<std::uint8_t>(scene.table[d]);
        scene.highBytes[static_cast<std::size_t>(d)] =
            static_cast<std::uint8_t>(scene.table[d] >> 8);
    }
    scene.pixels.resize(static_cast<std::size_t>(SearchScene::kStride * (rows + 8)));
    const int unusableShare = dice.Between(0, 4);
    for (std::uint32_t& word : scene.pixels) {
        const auto channel = [&] {
            return static_cast<std::uint32_t>(dice.Between(0, levels - 1) * 255 / levels);
        };
        word = channel() | channel() << 8 | channel() << 16;
        if (dice.Between(0, 9) >= unusableShare) word |= kUsableWordBits;
    }
    // Positions inside the border; with more positions than pixels some repeat, which only makes
    // the index range larger.
    const std::int32_t inner = SearchScene::kStride - 2 * SearchScene::kBorder;
    scene.positions.resize(positionCount);
    for (std::uint32_t i = 0; i < positionCount; ++i) {
        const std::int32_t cell = static_cast<std::int32_t>(dice.Next() % (inner * rows));
        scene.positions[i] =
            (cell / inner + 4) * SearchScene::kStride + SearchScene::kBorder + cell % inner;
        scene.pixels[static_cast<std::size_t>(scene.positions[i])] |= kUsableWordBits;
    }
    // Neighbours within the border, often side by side as in a real neighbourhood.
    scene.probes.count = dice.Between(0, ProbeSet::kCapacity);
    for (int j = 0; j < scene.probes.count; ++j) {
        const auto entry = static_cast<std::size_t>(j);
        std::int32_t delta = 0;
        while (delta == 0) {
            delta = j > 0 && dice.Between(0, 1) == 0
                        ? scene.probes.delta[entry - 1] + 1
                        : dice.Between(-3, 3) * SearchScene::kStride + dice.Between(-3, 2);
        }
        scene.probes.delta[entry] = delta;
        scene.probes.colour[entry] =
            scene.pixels[static_cast<std::size_t>(scene.positions[0] + delta)] & 0xFFFFFFu;
    }
    return scene;
}

RandomSearchInput SearchInputFor(const SearchScene& scene, int draws, bool byteTables) {
    RandomSearchInput in;
    in.pixels = scene.pixels.data();
    in.positions = scene.positions.data();
    in.positionCount = static_cast<std::uint32_t>(scene.positions.size());
    in.positionModulus = FastModulus(in.positionCount);
    in.costs = scene.table.Centre();
    in.costLowBytes = byteTables ? scene.lowBytes.data() : nullptr;
    in.costHighBytes = byteTables ? scene.highBytes.data() : nullptr;
    in.uncomparable = 3 * scene.table[DifferenceTable::kUncomparable];
    in.probes = &scene.probes;
    in.draws = draws;
    return in;
}

// The search one candidate at a time, straight from its definition.
RandomSearchState SearchOneByOne(const RandomSearchInput& in, RandomSearchState state) {
    RandomGenerator random;
    random.Seed(state.randomState);
    for (int k = 0; k < in.draws && state.score != 0; ++k) {
        const std::uint32_t index = random.RandomIndex(in.positionCount);
        const std::int32_t position = in.positions[index];
        std::int32_t sum = 0;
        for (int j = 0; j < in.probes->count && sum < state.score; ++j) {
            const auto entry = static_cast<std::size_t>(j);
            const std::uint32_t word = in.pixels[position + in.probes->delta[entry]];
            if ((word & kUsableWordBits) == 0) {
                sum += in.uncomparable;
                continue;
            }
            for (int shift = 0; shift < 24; shift += 8)
                sum += in.costs[static_cast<int>((in.probes->colour[entry] >> shift) & 0xFF) -
                                static_cast<int>((word >> shift) & 0xFF)];
        }
        if (sum < state.score) state = {sum, index, state.randomState};
    }
    state.randomState = random.state();
    return state;
}

// Every kernel against the one-at-a-time search: the same best, the same candidate and the
// generator left at the same draw, over neighbourhood sizes, partial chunks, early perfect
// matches, starting scores that rule out nearly everything, and index ranges up to 2^22.
TEST(SearchKernels, MatchTheOneAtATimeSearch) {
    int endedEarly = 0;
    int improved = 0;
    for (std::uint32_t caseSeed = 1; caseSeed <= 300; ++caseSeed) {
        Dice dice(caseSeed);
        const int levels = dice.Between(1, 3) == 1 ? 2 : dice.Between(3, 256);
        // 1 / 49 rounds so that the remainder through double precision needs its correction
        // at every multiple of 49.
        const std::uint32_t positionCount =
            caseSeed % 50 == 0  ? (1u << 22) + static_cast<std::uint32_t>(dice.Between(0, 999))
            : caseSeed % 5 == 0 ? 49u
                                : static_cast<std::uint32_t>(dice.Between(1, 3000));
        const SearchScene scene = MakeSearchScene(dice, dice.Between(1, 40), levels, positionCount);
        const int draws = dice.Between(0, 2) == 0 ? dice.Between(1, 40) : 500;
        const std::int32_t startScore = dice.Between(0, 3) == 0
                                            ? dice.Between(1, 3000)
                                            : std::numeric_limits<std::int32_t>::max();
        const RandomSearchState start{startScore, -1, dice.Next()};
        const bool byteTables = dice.Between(0, 3) != 0;
        RandomSearchInput in = SearchInputFor(scene, draws, byteTables);
        in.prefetch = caseSeed % 2 == 0;  // only hints, but their addresses are worked out
        const RandomSearchState expected = SearchOneByOne(in, start);
        if (expected.score == 0) ++endedEarly;
        if (expected.chosen >= 0) ++improved;
        for (const SearchKernel kernel : Kernels()) {
            SCOPED_TRACE(std::string(KernelName(kernel)) + " case " + std::to_string(caseSeed) +
                         " probes " + std::to_string(scene.probes.count) + " draws " +
                         std::to_string(draws));
            RandomSearchState state = start;
            RunRandomSearch(kernel, in, state);
            EXPECT_EQ(state.score, expected.score);
            EXPECT_EQ(state.chosen, expected.chosen);
            EXPECT_EQ(state.randomState, expected.randomState);
        }
    }
    EXPECT_GT(endedEarly, 30) << "the cases must include searches that end at a perfect match";
    EXPECT_GT(improved - endedEarly, 30) << "and searches that run to the end";
}

// The whole sums that a kernel computes for the candidates its neighbours propose, against
// their definition, for every neighbourhood size.
TEST(SearchKernels, FullSumsMatchTheirDefinition) {
    int computed = 0;
    for (std::uint32_t caseSeed = 1; caseSeed <= 120; ++caseSeed) {
        Dice dice(caseSeed);
        const SearchScene scene =
            MakeSearchScene(dice, dice.Between(1, 20), dice.Between(2, 256), 40);
        const RandomSearchInput in = SearchInputFor(scene, 0, true);
        const int count = dice.Between(0, 40);
        std::vector<std::int32_t> expected(static_cast<std::size_t>(count));
        for (int c = 0; c < count; ++c) {
            RandomSearchInput one = in;
            one.positions = scene.positions.data() + c;
            one.positionCount = 1;
            one.positionModulus = FastModulus(1);
            one.draws = 1;
            // A single candidate with no best yet: its whole sum.
            expected[static_cast<std::size_t>(c)] =
                SearchOneByOne(one, {std::numeric_limits<std::int32_t>::max(), -1, 0}).score;
        }
        for (const SearchKernel kernel : Kernels()) {
            SCOPED_TRACE(std::string(KernelName(kernel)) + " case " + std::to_string(caseSeed));
            std::vector<std::int32_t> sums(static_cast<std::size_t>(count) + 1, -7);
            if (!ComputeFullSums(kernel, in, scene.positions.data(), count, sums.data())) continue;
            ++computed;
            EXPECT_TRUE(std::equal(expected.begin(), expected.end(), sums.begin()));
            EXPECT_EQ(sums.back(), -7) << "nothing written past the last sum";
        }
    }
    if (KernelSupported(SearchKernel::Avx2)) {
        EXPECT_GT(computed, 100);
    }
}

TEST(OffsetRings, GenerateTheFullListInOrderBandByBand) {
    for (const auto& [width, height] :
         {std::pair{1, 1}, std::pair{3, 1}, std::pair{1, 40}, std::pair{25, 9}, std::pair{60, 60},
          std::pair{130, 7}, std::pair{310, 190}}) {
        SCOPED_TRACE(std::to_string(width) + "x" + std::to_string(height));
        OffsetList full;
        BuildOffsetList(full, width, height);
        OffsetRings rings;
        BuildOffsetList(rings, width, height);
        EXPECT_TRUE(rings.Generated().empty()) << "nothing before a walk asks";
        int bands = 0;
        while (rings.Extend()) {
            ++bands;
            const auto generated = rings.Generated();
            ASSERT_LE(generated.size(), full.size());
            ASSERT_TRUE(std::equal(generated.begin(), generated.end(), full.begin()))
                << "after band " << bands;
        }
        EXPECT_EQ(rings.Generated().size(), full.size());
        EXPECT_EQ(rings.FullSize(), static_cast<std::int64_t>(full.size()));
    }
}

TEST(OffsetRings, ExtendOnlyAsFarAsAsked) {
    OffsetRings rings;
    BuildOffsetList(rings, 2000, 1500);
    ASSERT_TRUE(rings.Extend());
    EXPECT_LT(rings.Generated().size(), 1000u) << "the first band is small";
    EXPECT_EQ(rings.Generated()[0], (GridPoint{0, 0}));
}

TEST(RandomJump, EqualsThatManyDraws) {
    for (const std::uint32_t seed : {0u, 1u, 0xDEADBEEFu}) {
        RandomGenerator random;
        random.Seed(seed);
        for (std::uint32_t draws = 0; draws <= 1000; ++draws) {
            ASSERT_EQ(RandomJump::Of(draws).Apply(seed), random.state()) << draws;
            random.Draw();
        }
    }
}

TEST(FastRemainder, EqualsTheRemainderForEveryDivisorSize) {
    Dice dice(3);
    for (const std::uint32_t divisor :
         {1u, 2u, 3u, 7u, 1000u, 65537u, (1u << 30) - 1u, 1u << 30, 0xFFFFFFFFu}) {
        const std::uint64_t modulus = FastModulus(divisor);
        for (const std::uint32_t value :
             {0u, 1u, divisor - 1u, divisor, (1u << 30) - 1u, 0xFFFFFFFFu})
            EXPECT_EQ(FastRemainder(value, divisor, modulus), value % divisor)
                << value << " % " << divisor;
        for (int i = 0; i < 1000; ++i) {
            const std::uint32_t value = dice.Next();
            ASSERT_EQ(FastRemainder(value, divisor, modulus), value % divisor)
                << value << " % " << divisor;
        }
    }
}

}  // namespace
}  // namespace velmora
