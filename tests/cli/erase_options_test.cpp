#include "cli/erase_options.h"

#include <gtest/gtest.h>

namespace velmora {
namespace {

QStringList Args(std::initializer_list<const char*> words) {
    QStringList list;
    for (const char* w : words) list << QString::fromUtf8(w);
    return list;
}

TEST(EraseOptions, RectangleBecomesTheClosedFivePointOutline) {
    const auto parsed =
        ParseEraseArguments(Args({"in.png", "-o", "out.png", "--rect", "40,30,52,42"}));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    const std::vector<GridPoint> expected{{40, 30}, {52, 30}, {52, 42}, {40, 42}, {40, 30}};
    EXPECT_EQ(parsed.options->outline, expected);
    EXPECT_EQ(parsed.options->input, QStringLiteral("in.png"));
    EXPECT_EQ(parsed.options->output, QStringLiteral("out.png"));
    EXPECT_FALSE(parsed.options->seed);
    EXPECT_FALSE(parsed.options->sourceRect);
    EXPECT_EQ(parsed.options->threads, 0) << "as many threads as the process may run";
}

TEST(EraseOptions, PolygonIsClosedAndOptionsAreRead) {
    const auto parsed =
        ParseEraseArguments(Args({"--quiet", "in.png", "--polygon", "1,2,30,4,5,60", "--seed",
                                  "4294967295", "--source-rect", "-10,20,80,40", "-o", "out.jpg"}));
    ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
    const std::vector<GridPoint> expected{{1, 2}, {30, 4}, {5, 60}, {1, 2}};
    EXPECT_EQ(parsed.options->outline, expected);
    EXPECT_EQ(parsed.options->seed, 4294967295u);
    EXPECT_EQ(parsed.options->sourceRect, (FillRect{-10, 20, 80, 40}));
    EXPECT_TRUE(parsed.options->quiet);
}

TEST(EraseOptions, ThreadCountIsReadFromOneUp) {
    for (const char* count : {"1", "3", "64"}) {
        const auto parsed = ParseEraseArguments(
            Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", count}));
        ASSERT_TRUE(parsed.options) << parsed.error.toStdString();
        EXPECT_EQ(parsed.options->threads, QString::fromUtf8(count).toInt());
    }
}

TEST(EraseOptions, MalformedOrMissingArgumentsAreRefusedWithOneLine) {
    const std::vector<QStringList> refused{
        Args({}),
        Args({"in.png", "--rect", "1,2,3,4"}),                             // no output
        Args({"-o", "out.png", "--rect", "1,2,3,4"}),                      // no input
        Args({"in.png", "-o", "out.png"}),                                 // no selection
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3"}),              // three numbers
        Args({"in.png", "-o", "out.png", "--rect", "1,2,x,4"}),            // not a number
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,99999999999"}),  // out of range
        Args({"in.png", "-o", "out.png", "--polygon", "1,2,3,4"}),         // two points
        Args({"in.png", "-o", "out.png", "--polygon", "1,2,3,4,5"}),       // odd count
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--mask", "m.png"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--seed", "-1"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--seed", "4294967296"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", "0"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", "-2"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", "two"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", "1.5"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads", "100000"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--threads"}),
        Args({"in.png", "-o", "out.png", "--rect", "1,2,3,4", "--frobnicate"}),
        Args({"in.png", "other.png", "-o", "out.png", "--rect", "1,2,3,4"}),
        Args({"in.png", "-o", "out.png", "--rect"}),
        Args({"in.png", "-o"}),
        // Given twice: which one was meant cannot be told.
        Args({"in.png", "-o", "a.png", "-o", "b.png", "--rect", "1,2,3,4"}),
        Args({"in.png", "-o", "a.png", "--rect", "1,2,3,4", "--seed", "1", "--seed", "1"}),
        Args({"in.png", "-o", "a.png", "--rect", "1,2,3,4", "--source-rect", "0,0,5,5",
              "--source-rect", "0,0,6,6"}),
        Args({"in.png", "-o", "a.png", "--rect", "1,2,3,4", "--threads", "2", "--threads", "2"}),
    };
    for (const QStringList& arguments : refused) {
        const auto parsed = ParseEraseArguments(arguments);
        EXPECT_FALSE(parsed.options) << arguments.join(QLatin1Char(' ')).toStdString();
        EXPECT_FALSE(parsed.error.isEmpty());
        EXPECT_FALSE(parsed.error.contains(QLatin1Char('\n')));
    }
}

}  // namespace
}  // namespace velmora
