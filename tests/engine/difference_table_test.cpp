#include "engine/difference_table.h"

#include <gtest/gtest.h>

#include <fstream>
#include <map>

namespace velmora {
namespace {

DifferenceTable Built() {
    DifferenceTable table;
    BuildDifferenceTable(table);
    return table;
}

TEST(DifferenceTable, MatchesEveryPublishedEntry) {
    std::ifstream published(VELMORA_CONFORMANCE_DIR "/difference_table.tsv");
    ASSERT_TRUE(published.good()) << "reference table missing";
    const DifferenceTable table = Built();
    int d = 0;
    std::int32_t entry = 0;
    int rows = 0;
    while (published >> d >> entry) {
        EXPECT_EQ(table[d], entry) << "d = " << d;
        ++rows;
    }
    EXPECT_EQ(rows, DifferenceTable::kSize);
}

TEST(DifferenceTable, KeyValuesAndShape) {
    const DifferenceTable table = Built();
    const std::map<int, std::int32_t> known{
        {0, 0},      {1, 16},     {2, 67},      {3, 151},     {4, 269},     {5, 418},
        {8, 1049},   {10, 1608},  {16, 3821},   {20, 5613},   {32, 11592},  {50, 20270},
        {64, 26134}, {88, 34483}, {100, 38015}, {128, 45035}, {200, 58150}, {255, 65418}};
    for (const auto& [d, entry] : known) {
        EXPECT_EQ(table[d], entry) << d;
        EXPECT_EQ(table[-d], entry) << -d;
    }
    EXPECT_EQ(table[DifferenceTable::kUncomparable], 65536);
    for (int d = 1; d < 256; ++d) {
        EXPECT_GT(table[d], table[d - 1]) << "grows with |d| at " << d;
        EXPECT_LT(table[d], 65536);
    }
}

TEST(DifferenceTable, RebuildingGivesTheSameTable) {
    DifferenceTable table = Built();
    BuildDifferenceTable(table);
    for (int d = -256; d < 256; ++d) EXPECT_EQ(table[d], Built()[d]);
}

}  // namespace
}  // namespace velmora
