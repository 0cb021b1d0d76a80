#include <gtest/gtest.h>

#include <QColor>
#include <QImage>
#include <set>

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

// A 16-bit picture goes out to HEIC at 10 bits and comes back 16-bit, its gradient finer than
// 8 bits could hold, its alpha kept. (AVIF is written at 8 bits.)
TEST(HeifFiles, DeepPicturesKeepMoreThanEightBits) {
    ScratchDir scratch;
    for (const QImage::Format format : {QImage::Format_RGBX64, QImage::Format_RGBA64}) {
        SCOPED_TRACE(format);
        const bool alpha = format == QImage::Format_RGBA64;
        const QString path = scratch.Path(QStringLiteral("deep.heic"));
        QImage picture(512, 16, format);
        for (int y = 0; y < picture.height(); ++y)
            for (int x = 0; x < picture.width(); ++x)
                picture.setPixelColor(x, y,
                                      QColor::fromRgba64(static_cast<quint16>(x * 128), 30000,
                                                         static_cast<quint16>(65535 - x * 128),
                                                         alpha ? 40000 : 65535));
        ASSERT_EQ(SaveImageFile(picture, ImageMetadata{}, path), SaveOutcome::Saved);

        const std::optional<OpenedImage> opened = OpenImageFile(path);
        ASSERT_TRUE(opened);
        ASSERT_EQ(opened->image.size(), picture.size());
        EXPECT_EQ(opened->image.depth(), 64);
        EXPECT_EQ(opened->image.hasAlphaChannel(), alpha);
        std::set<quint16> reds;
        int largest = 0;
        for (int x = 0; x < picture.width(); ++x) {
            const QRgba64 got = opened->image.pixelColor(x, 8).rgba64();
            const QRgba64 want = picture.pixelColor(x, 8).rgba64();
            reds.insert(got.red());
            largest = std::max(
                {largest, std::abs(got.red() - want.red()), std::abs(got.green() - want.green()),
                 std::abs(got.blue() - want.blue()), std::abs(got.alpha() - want.alpha())});
        }
        EXPECT_GT(reds.size(), 300u) << "cut to 8 bits somewhere";
        EXPECT_LE(largest, 12 * 257);
    }
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
