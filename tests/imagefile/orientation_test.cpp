#include <gtest/gtest.h>

#include <QImage>
#include <string>

#include "imagefile/image_file.h"
#include "test_files.h"

namespace velmora::test {
namespace {

// Where the stored picture's corners appear once it is upright (top left, top right, bottom
// left, bottom right), from the meaning of EXIF orientation: the first stored row is the top (1 to
// 4: 1 and 2 from the left or right, 3 and 4 the bottom) or a side (5 to 8).
struct Expected {
    int orientation;
    const char* corners;
    bool swapsSides;
};
constexpr Expected kExpected[] = {
    {1, "RGBY", false}, {2, "GRYB", false}, {3, "YBGR", false}, {4, "BYRG", false},
    {5, "RBGY", true},  {6, "BRYG", true},  {7, "YGBR", true},  {8, "GYRB", true},
};

class OrientationTest : public ::testing::TestWithParam<const char*> {
  protected:
    ScratchDir scratch;
};

TEST_P(OrientationTest, OpensUprightAndSavesUprightWithTheTagReset) {
    const QString format = QString::fromLatin1(GetParam());
    const QImage stored = QuarterPicture(64, 32);
    for (const Expected& expected : kExpected) {
        SCOPED_TRACE(expected.orientation);
        const QString path = scratch.Path(QStringLiteral("stored.") + format);
        ASSERT_TRUE(stored.save(path, nullptr, 100));
        const std::string orientation = std::to_string(expected.orientation);
        SetTags(path, {{"Exif.Image.Orientation", orientation},
                       {"Exif.Image.Make", "Testcam"},
                       {"Exif.Photo.PixelXDimension", "64"},
                       {"Exif.Photo.PixelYDimension", "32"},
                       {"Xmp.tiff.Orientation", orientation},
                       {"Xmp.exif.PixelXDimension", "64"},
                       {"Xmp.exif.PixelYDimension", "32"}});

        const std::optional<OpenedImage> opened = OpenImageFile(path);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->image.size(), expected.swapsSides ? QSize(32, 64) : QSize(64, 32));
        EXPECT_EQ(CornerColours(opened->image), expected.corners);

        for (const char* target : {"upright.png", "upright.jpg"}) {
            SCOPED_TRACE(target);
            const QString out = scratch.Path(QString::fromLatin1(target));
            ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, out), SaveOutcome::Saved);
            const FileTags tags = ReadTags(out);
            EXPECT_EQ(tags.tags.at("Exif.Image.Orientation"), "1");
            EXPECT_EQ(tags.tags.at("Exif.Image.Make"), "Testcam");
            // The recorded sides follow the picture's turn, in EXIF and in XMP alike.
            const std::string width = std::to_string(opened->image.width());
            const std::string height = std::to_string(opened->image.height());
            EXPECT_EQ(tags.tags.at("Exif.Photo.PixelXDimension"), width);
            EXPECT_EQ(tags.tags.at("Exif.Photo.PixelYDimension"), height);
            EXPECT_EQ(tags.tags.at("Xmp.tiff.Orientation"), "1");
            EXPECT_EQ(tags.tags.at("Xmp.exif.PixelXDimension"), width);
            EXPECT_EQ(tags.tags.at("Xmp.exif.PixelYDimension"), height);
            const std::optional<OpenedImage> again = OpenImageFile(out);
            ASSERT_TRUE(again);
            EXPECT_EQ(again->image.size(), opened->image.size());
            EXPECT_EQ(CornerColours(again->image), expected.corners);
            // Any other reader, which takes the pixels as stored, shows it upright too.
            EXPECT_EQ(CornerColours(QImage(out)), expected.corners);
        }
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, OrientationTest, ::testing::Values("jpg", "png", "tif", "webp"));

TEST(OrientationValues, OutOfRangeOrientationLeavesThePictureAsStored) {
    ScratchDir scratch;
    const QString path = scratch.Path(QStringLiteral("odd.jpg"));
    ASSERT_TRUE(QuarterPicture(64, 32).save(path, nullptr, 100));
    SetTags(path, {{"Exif.Image.Orientation", "9"}});
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(CornerColours(opened->image), "RGBY");
}

}  // namespace
}  // namespace velmora::test
