#include <gtest/gtest.h>

#include <QProcess>
#include <QStandardPaths>

#include "imagefile/image_file.h"
#include "test_files.h"

namespace velmora::test {
namespace {

// Qt writes single pictures only: ImageMagick makes the files with several.
bool MakeWithImageMagick(const QStringList& arguments) {
    QProcess convert;
    convert.start(QStringLiteral("convert"), arguments);
    return convert.waitForFinished(30000) && convert.exitStatus() == QProcess::NormalExit &&
           convert.exitCode() == 0;
}

class Pages : public ::testing::TestWithParam<const char*> {};

TEST_P(Pages, FilesWithSeveralPagesOrFramesSaySo) {
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    ScratchDir scratch;
    const QString extension = QString::fromLatin1(GetParam());
    const QString several = scratch.Path(QStringLiteral("several.") + extension);
    const QString one = scratch.Path(QStringLiteral("one.") + extension);
    ASSERT_TRUE(
        MakeWithImageMagick({QStringLiteral("-size"), QStringLiteral("16x8"),
                             QStringLiteral("xc:red"), QStringLiteral("xc:blue"), several}));
    ASSERT_TRUE(MakeWithImageMagick(
        {QStringLiteral("-size"), QStringLiteral("16x8"), QStringLiteral("xc:red"), one}));

    const std::optional<OpenedImage> first = OpenImageFile(several);
    ASSERT_TRUE(first);
    EXPECT_TRUE(first->otherPagesDropped);
    EXPECT_EQ(first->image.size(), QSize(16, 8));
    EXPECT_EQ(qRed(first->image.pixel(3, 3)), 255);
    const std::optional<OpenedImage> single = OpenImageFile(one);
    ASSERT_TRUE(single);
    EXPECT_FALSE(single->otherPagesDropped);
}

INSTANTIATE_TEST_SUITE_P(Formats, Pages, ::testing::Values("tif", "gif", "webp"));

}  // namespace
}  // namespace velmora::test
