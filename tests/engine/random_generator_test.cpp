#include "engine/random_generator.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

TEST(RandomGenerator, ProducesTheLinearCongruentialSequence) {
    RandomGenerator random;
    random.Seed(1);
    // The well-known first draws of this recurrence from state 1.
    for (const std::uint32_t expected : {41u, 18467u, 6334u, 26500u, 19169u, 15724u})
        EXPECT_EQ(random.Draw(), expected);
}

TEST(RandomGenerator, StateWrapsModulo2To32) {
    RandomGenerator random;
    random.Seed(0xFFFFFFFFu);
    random.Draw();
    EXPECT_EQ(random.state(), 0xFFFFFFFFu * 214013u + 2531011u);
}

TEST(RandomGenerator, RandomIndexCombinesTwoDrawsHighFirst) {
    RandomGenerator draws;
    RandomGenerator index;
    for (const std::uint32_t seed : {0u, 7u, 65535u, 123456789u}) {
        draws.Seed(seed);
        index.Seed(seed);
        const std::uint32_t high = draws.Draw();
        const std::uint32_t low = draws.Draw();
        for (const std::uint32_t count : {1u, 3u, 1000u, 1u << 30}) {
            RandomGenerator again;
            again.Seed(seed);
            EXPECT_EQ(again.RandomIndex(count), (high * 32768u + low) % count);
        }
        EXPECT_EQ(index.RandomIndex(1u << 30), high * 32768u + low);
        EXPECT_EQ(index.state(), draws.state()) << "exactly two draws per index";
    }
}

}  // namespace
}  // namespace velmora
