#include "engine/usable_cores.h"

#include <gtest/gtest.h>

#include <thread>

namespace velmora {
namespace {

TEST(UsableCores, QuotasRoundUpToWholeProcessors) {
    EXPECT_EQ(CoresOfQuota("200000 100000\n"), 2);
    EXPECT_EQ(CoresOfQuota("150000 100000"), 2) << "one and a half processors use two threads";
    EXPECT_EQ(CoresOfQuota("50000 100000"), 1);
    EXPECT_EQ(CoresOfQuota("1 1000000"), 1);
}

TEST(UsableCores, NoLimitOrUnreadableTextGivesNoQuota) {
    EXPECT_EQ(CoresOfQuota("max 100000"), std::nullopt);
    EXPECT_EQ(CoresOfQuota(""), std::nullopt);
    EXPECT_EQ(CoresOfQuota("0 100000"), std::nullopt);
    EXPECT_EQ(CoresOfQuota("-5 100000"), std::nullopt);
    EXPECT_EQ(CoresOfQuota("12x 100000"), std::nullopt);
    EXPECT_EQ(CoresOfQuota("100000 0"), std::nullopt);
}

TEST(UsableCores, AtLeastOneAndNoMoreThanTheMachineHas) {
    const int cores = UsableCores();
    EXPECT_GE(cores, 1);
    const auto machine = static_cast<int>(std::thread::hardware_concurrency());
    if (machine > 0) {
        EXPECT_LE(cores, machine);
    }
}

}  // namespace
}  // namespace velmora
