// velmora-erase given broken pictures, impossible outputs and outlines at the ends of the 32-bit
// range: a clear message and exit code, and no file written or changed.
#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QLoggingCategory>
#include <QTemporaryDir>
#include <limits>

#include "../cli/erase_test_support.h"
#include "../document/document_test_support.h"
#include "bad_pictures.h"
#include "cli/erase_command.h"
#include "cli/erase_options.h"
#include "document_snapshot.h"
#include "engine/fill_job.h"

namespace velmora::test {
namespace {

using velmora::testing::EraseRun;
using velmora::testing::ReportValue;
using velmora::testing::RunEraseCommand;

constexpr std::int32_t kMin = std::numeric_limits<std::int32_t>::min();
constexpr std::int32_t kMax = std::numeric_limits<std::int32_t>::max();

class EraseRobustness : public ::testing::Test {
  protected:
    void SetUp() override {
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
        ASSERT_TRUE(dir.isValid());
        picture = MakeTestPicture(60, 40, QImage::Format_RGB32);
        input = WritePicture(picture, dir.filePath("in.png"));
    }
    void TearDown() override { QLoggingCategory::setFilterRules(QString()); }

    QString Path(const QString& name) const { return dir.filePath(name); }

    // Runs the command, which must fail with `exitCode` and `message` and change no file.
    void ExpectFails(const QStringList& arguments, int exitCode, const QString& message) {
        SCOPED_TRACE(arguments.join(QLatin1Char(' ')).toStdString());
        const auto before = FolderContents(dir.path());
        const EraseRun run = RunEraseCommand(arguments);
        EXPECT_EQ(run.exitCode, exitCode);
        EXPECT_EQ(run.err.trimmed(), message);
        EXPECT_TRUE(run.out.isEmpty());
        EXPECT_TRUE(FolderContents(dir.path()) == before) << "files on disk changed";
    }

    QTemporaryDir dir;
    QImage picture;
    QString input;
};

TEST_F(EraseRobustness, BrokenInputsAndMasksGiveTheOpenMessage) {
    const QString message = QStringLiteral("无法打开图像!");
    ASSERT_TRUE(QDir(dir.path()).mkdir(QStringLiteral("folder.png")));
    std::vector<QString> bad{Path("folder.png"), Path("missing.png")};
    for (const BadFile& file : MakeBadFiles(picture)) {
        if (file.outcome != BadFile::Outcome::Refused) continue;
        QFile out(Path(file.name));
        ASSERT_TRUE(out.open(QIODevice::WriteOnly));
        out.write(file.bytes);
        bad.push_back(out.fileName());
    }
    for (const QString& path : bad) {
        ExpectFails({path, "-o", Path("out.png"), "--rect", "5,5,20,20"}, kExitFileError, message);
        ExpectFails({input, "-o", Path("out.png"), "--mask", path}, kExitFileError, message);
    }
}

TEST_F(EraseRobustness, ImpossibleOutputsAreRefusedBeforeAnythingIsWritten) {
    const QByteArray old("an older file that must survive");
    for (const char* name : {"old.xyz", "old"}) {
        QFile file(Path(name));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(old);
    }
    const QString unknown = QStringLiteral("图像格式未知!");
    ExpectFails({input, "-o", Path("old.xyz"), "--rect", "5,5,20,20"}, kExitFileError, unknown);
    ExpectFails({input, "-o", Path("old"), "--rect", "5,5,20,20"}, kExitFileError, unknown);
    ExpectFails({input, "-o", Path("no/such/folder/out.png"), "--rect", "5,5,20,20"},
                kExitFileError, QStringLiteral("保存图像失败!"));
    ExpectFails({input, "-o", Path("in.png/out.png"), "--rect", "5,5,20,20"}, kExitFileError,
                QStringLiteral("保存图像失败!"));
}

TEST_F(EraseRobustness, PolygonNeedsThreeDistinctPoints) {
    // Two points and the first again: a line, no outline.
    for (const char* points : {"30,4,4,2,30,4", "1,1,2,2"}) {
        const ParsedEraseArguments parsed =
            ParseEraseArguments({input, "-o", Path("out.png"), "--polygon", points});
        EXPECT_FALSE(parsed.options.has_value()) << points;
        EXPECT_EQ(parsed.error, QStringLiteral("--polygon needs at least three X,Y points"));
    }
    const ParsedEraseArguments closed =
        ParseEraseArguments({input, "-o", Path("out.png"), "--polygon", "1,1,9,1,5,7,1,1"});
    ASSERT_TRUE(closed.options.has_value());
    EXPECT_EQ(closed.options->outline.size(), 4u) << "three points, closed once";
}

TEST(ExtremeSelections, WorkRectangleStaysInsideThePicture) {
    EXPECT_EQ(WorkRectangle({kMin, kMin, kMax, kMax}, 60, 40), (FillRect{0, 0, 60, 40}));
    EXPECT_EQ(WorkRectangle({-2147483600, 5, 2147483630, 15}, 60, 40), (FillRect{0, 0, 60, 40}));
    EXPECT_EQ(WorkRectangle({kMax - 10, kMax - 10, 5, 5}, 60, 40).HasArea(), false);
    EXPECT_EQ(WorkRectangle({10, 10, kMax, kMax}, 60, 40), (FillRect{0, 0, 60, 40}));
}

TEST_F(EraseRobustness, OutlinesReachingTheEndsOfTheIntegerRangeStillFill) {
    // Columns 0 to 29 of rows 5 to 19 are selected; the rest of the picture is the source.
    const QString output = Path("wide.png");
    const EraseRun run =
        RunEraseCommand({input, "-o", output, "--rect", "-2147483600,5,30,20", "--seed", "9"});
    ASSERT_EQ(run.exitCode, kExitOk) << run.err.toStdString();
    EXPECT_EQ(ReportValue(run.out, QStringLiteral("marked")), 30 * 15);
    EXPECT_GT(ReportValue(run.out, QStringLiteral("sources")), 0);
    EXPECT_GT(velmora::testing::DifferentPixels(QImage(output), picture), 0);

    // The whole picture selected leaves no source: nothing is filled, and the user is told.
    const EraseRun all = RunEraseCommand(
        {input, "-o", Path("all.png"), "--rect", "-2147483648,-2147483648,2147483647,2147483647"});
    EXPECT_EQ(all.exitCode, kExitOk);
    EXPECT_TRUE(all.err.startsWith(QStringLiteral("nothing will be filled")))
        << all.err.toStdString();
    EXPECT_EQ(velmora::testing::DifferentPixels(QImage(Path("all.png")), picture), 0);
}

TEST_F(EraseRobustness, SourceRectangleOutsideThePictureIsReported) {
    const EraseRun run = RunEraseCommand(
        {input, "-o", Path("out.png"), "--rect", "10,10,20,20", "--source-rect", "50,30,40,40"});
    EXPECT_EQ(run.exitCode, kExitOk);
    EXPECT_EQ(run.err.trimmed(),
              QStringLiteral("nothing will be filled: the source rectangle leaves the 60 x 40 "
                             "picture or lies wholly inside the selection"));
    EXPECT_EQ(ReportValue(run.out, QStringLiteral("marked")), 0);
}

}  // namespace
}  // namespace velmora::test
