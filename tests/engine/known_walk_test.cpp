#include "engine/known_walk.h"

#include <gtest/gtest.h>

#include <cstdint>
#include <random>
#include <vector>

#include "engine/offset_rings.h"
#include "engine/random_search.h"

namespace velmora {
namespace {

struct Walk {
    std::size_t stop = 0;
    std::vector<GridPoint> found;
};

// The walk as written out plainly: every offset in turn, until `want` known pixels.
Walk PlainWalk(const std::vector<std::uint8_t>& flags, std::int32_t width, std::int32_t height,
               GridPoint target, const std::vector<GridPoint>& offsets, std::size_t from,
               std::size_t want) {
    Walk walk;
    for (std::size_t i = from; i < offsets.size(); ++i) {
        const GridPoint p = target + offsets[i];
        if (p.x < 0 || p.y < 0 || p.x >= width || p.y >= height) continue;
        if (flags[static_cast<std::size_t>(p.y * width + p.x)] == 0) continue;
        walk.found.push_back(offsets[i]);
        if (walk.found.size() == want) {
            walk.stop = i;
            return walk;
        }
    }
    walk.stop = offsets.size();
    return walk;
}

Walk RunWalk(const std::vector<std::uint8_t>& flags, std::int32_t width, std::int32_t height,
             GridPoint target, const std::vector<GridPoint>& offsets, std::size_t from,
             std::int32_t want, bool vector) {
    std::vector<GridPoint> found(static_cast<std::size_t>(want));
    std::int32_t count = 0;
    Walk walk;
    walk.stop = WalkKnown({flags.data(), width, height}, target, offsets, from, found.data(), count,
                          want, vector);
    found.resize(static_cast<std::size_t>(count));
    walk.found = found;
    return walk;
}

// Sparse and dense known areas, targets inside, on and beyond every edge, areas whose size is not
// a multiple of four (the last flags are read one by one), walks that start part-way and walks
// that run out of offsets.
TEST(KnownWalk, EveryFormFindsWhatThePlainWalkFinds) {
    std::mt19937 random(20261211);
    const bool vectorWalk = KernelSupported(SearchKernel::Avx512);
    for (int round = 0; round < 400; ++round) {
        const auto width = static_cast<std::int32_t>(1 + random() % 37);
        const auto height = static_cast<std::int32_t>(1 + random() % 29);
        const double density = (random() % 100) / 100.0;
        std::bernoulli_distribution known(density * density);
        std::vector<std::uint8_t> flags(static_cast<std::size_t>(width * height));
        for (auto& flag : flags)
            flag = known(random) ? static_cast<std::uint8_t>(1 + random() % 255) : 0;
        OffsetRings rings;
        rings.Reset(width, height);
        const int bands = 1 + static_cast<int>(random() % 6);
        for (int b = 0; b < bands && rings.Extend();) ++b;
        const std::vector<GridPoint> offsets(rings.Generated().begin(), rings.Generated().end());
        const GridPoint target{static_cast<std::int32_t>(random() % (width + 6)) - 3,
                               static_cast<std::int32_t>(random() % (height + 6)) - 3};
        const std::size_t from = random() % 3 == 0 ? random() % (offsets.size() + 1) : 0;
        const auto want = static_cast<std::int32_t>(1 + random() % 16);
        const Walk plain =
            PlainWalk(flags, width, height, target, offsets, from, static_cast<std::size_t>(want));
        for (const bool vector : {false, true}) {
            if (vector && !vectorWalk) continue;
            const Walk walk = RunWalk(flags, width, height, target, offsets, from, want, vector);
            ASSERT_EQ(walk.stop, plain.stop) << "round " << round << " vector " << vector;
            ASSERT_EQ(walk.found, plain.found) << "round " << round << " vector " << vector;
        }
    }
}

// A walk that finds part of what it wants keeps it and goes on from where it stopped.
TEST(KnownWalk, AWalkGoesOnWhereItStopped) {
    const std::int32_t width = 23;
    const std::int32_t height = 19;
    std::vector<std::uint8_t> flags(static_cast<std::size_t>(width * height), 0);
    for (std::size_t i = 0; i < flags.size(); i += 7) flags[i] = 1;
    OffsetRings rings;
    rings.Reset(width, height);
    while (rings.Extend()) {
    }
    const std::vector<GridPoint> all(rings.Generated().begin(), rings.Generated().end());
    const GridPoint target{11, 9};
    const std::vector<GridPoint> firstPart(all.begin(), all.begin() + 40);
    for (const bool vector : {false, true}) {
        if (vector && !KernelSupported(SearchKernel::Avx512)) continue;
        std::vector<GridPoint> found(15);
        std::int32_t count = 0;
        const std::size_t stopped = WalkKnown({flags.data(), width, height}, target, firstPart, 0,
                                              found.data(), count, 15, vector);
        ASSERT_EQ(stopped, firstPart.size());
        ASSERT_LT(count, 15);
        const std::size_t done = WalkKnown({flags.data(), width, height}, target, all, stopped,
                                           found.data(), count, 15, vector);
        const Walk plain = PlainWalk(flags, width, height, target, all, 0, 15);
        EXPECT_EQ(done, plain.stop);
        EXPECT_EQ(found, plain.found);
    }
}

}  // namespace
}  // namespace velmora
