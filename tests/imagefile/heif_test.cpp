#include <gtest/gtest.h>

#include <QImage>

#include "imagefile/heif_codec.h"
#include "imagefile/image_file.h"
#include "test_files.h"

namespace velmora::test {
namespace {

// The largest difference of any colour sample, for lossy formats.
int LargestDifference(const QImage& a, const QImage& b) {
    int largest = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            largest = std::max({largest, std::abs(qRed(p) - qRed(q)),
                                std::abs(qGreen(p) - qGreen(q)), std::abs(qBlue(p) - qBlue(q))});
        }
    return largest;
}

class HeifFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(HeifFiles, SaveAndOpenKeepSizeColoursAndMetadata) {
    ScratchDir scratch;
    const QString path = scratch.Path(QStringLiteral("picture.") + QString::fromLatin1(GetParam()));
    const QImage picture = QuarterPicture(64, 48);
    ImageMetadata metadata;
    metadata.xmp =
        "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
        "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"/></x:xmpmeta>";
    ASSERT_EQ(SaveImageFile(picture, metadata, path), SaveOutcome::Saved);
    EXPECT_TRUE(LooksLikeHeif(ReadFile(path)));

    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->image.size(), picture.size());
    EXPECT_LE(LargestDifference(opened->image, picture), 12);
    EXPECT_EQ(opened->metadata.xmp, metadata.xmp);
    EXPECT_FALSE(opened->otherPagesDropped);
}

TEST_P(HeifFiles, ExifTravelsWithOrientationReset) {
    ScratchDir scratch;
    // The EXIF of a JPEG, carried into the HEIF container and read back.
    const QString jpeg = scratch.Path(QStringLiteral("camera.jpg"));
    ASSERT_TRUE(QuarterPicture(32, 32).save(jpeg));
    SetTags(jpeg, {{"Exif.Image.Make", "Testcam"}, {"Exif.Image.Orientation", "6"}});
    const std::optional<OpenedImage> camera = OpenImageFile(jpeg);
    ASSERT_TRUE(camera);
    const QString path = scratch.Path(QStringLiteral("camera.") + QString::fromLatin1(GetParam()));
    ASSERT_EQ(SaveImageFile(camera->image, camera->metadata, path), SaveOutcome::Saved);
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->metadata.exif, camera->metadata.exif);
    EXPECT_EQ(CornerColours(opened->image), "BRYG");
}

TEST_P(HeifFiles, BadAndCutShortFilesAreRefused) {
    ScratchDir scratch;
    const QString good = scratch.Path(QStringLiteral("good.") + QString::fromLatin1(GetParam()));
    ASSERT_EQ(SaveImageFile(NoisyPicture(64, 64), {}, good), SaveOutcome::Saved);
    const QByteArray bytes = ReadFile(good);
    const QString bad = scratch.Path(QStringLiteral("bad.") + QString::fromLatin1(GetParam()));
    for (const qsizetype keep :
         {bytes.size() - 1, bytes.size() * 3 / 4, bytes.size() / 2, qsizetype{40}, qsizetype{12}}) {
        SCOPED_TRACE(keep);
        WriteFile(bad, bytes.left(keep));
        EXPECT_FALSE(OpenImageFile(bad));
    }
    QByteArray garbled = bytes;
    for (qsizetype i = bytes.size() / 2; i < bytes.size(); i += 7) garbled[i] = '\x5a';
    WriteFile(bad, garbled);
    const std::optional<OpenedImage> opened = OpenImageFile(bad);
    // A decoder may make something of garbled picture data, but never a picture of the wrong size.
    if (opened) {
        EXPECT_EQ(opened->image.size(), QSize(64, 64));
    }
}

INSTANTIATE_TEST_SUITE_P(Formats, HeifFiles, ::testing::Values("heic", "avif"));

TEST(HeifFiles, ExtensionsChooseTheLayersOwnEncoders) {
    EXPECT_STREQ(FindEncoder(QStringLiteral(".heic"))->format, "heif");
    EXPECT_STREQ(FindEncoder(QStringLiteral(".HEIF"))->format, "heif");
    EXPECT_STREQ(FindEncoder(QStringLiteral(".avif"))->format, "avif");
}

}  // namespace
}  // namespace velmora::test
