#include <gtest/gtest.h>

#include <QImage>
#include <mutex>
#include <random>

#include "imagefile/image_file.h"
#include "platform/qimage_picture.h"
#include "test_files.h"

namespace velmora::test {
namespace {

QImage SixteenBitPicture(int width, int height, QImage::Format format) {
    std::mt19937 random(17);
    std::uniform_int_distribution<int> sample(0, 65535);
    QImage image(width, height, format);
    for (int y = 0; y < height; ++y) {
        auto* line = reinterpret_cast<QRgba64*>(image.scanLine(y));
        for (int x = 0; x < width; ++x) {
            const auto s = [&] { return static_cast<quint16>(sample(random)); };
            line[x] =
                QRgba64::fromRgba64(s(), s(), s(), format == QImage::Format_RGBA64 ? s() : 65535);
        }
    }
    return image;
}

int CountDifferentPixels(const QImage& a, const QImage& b) {
    int different = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x)
            if (reinterpret_cast<const QRgba64*>(a.constScanLine(y))[x] !=
                reinterpret_cast<const QRgba64*>(b.constScanLine(y))[x])
                ++different;
    return different;
}

// What a fill does to the picture: reads an area as 8-bit colour, changes the marked pixel,
// writes the whole area back.
void FillOnePixel(QImage& picture, const FillRect& area, int x, int y, bool final) {
    std::mutex guard;
    QImagePicture target(picture, guard);
    ByteGrid pixels;
    ASSERT_TRUE(target.ReadColour(area, pixels));
    std::uint8_t* marked = pixels.Row(y - area.y) + (x - area.x) * 3;
    marked[0] = 10;  // blue
    marked[1] = 200;
    marked[2] = 77;
    if (final)
        ASSERT_TRUE(target.WriteColour(area, pixels, WriteBack::Final));
    else
        ASSERT_TRUE(PasteColourRect(picture, area, pixels));
}

TEST(Depth, WriteBackChangesOnlyTheMarkedPixelOfASixteenBitPicture) {
    for (const QImage::Format format : {QImage::Format_RGBA64, QImage::Format_RGBX64}) {
        for (const bool final : {true, false}) {
            const QImage before = SixteenBitPicture(40, 30, format);
            QImage picture = before.copy();
            FillOnePixel(picture, FillRect{5, 4, 30, 20}, 12, 9, final);
            EXPECT_EQ(CountDifferentPixels(before, picture), 1);
            const QRgba64 filled = reinterpret_cast<const QRgba64*>(picture.constScanLine(9))[12];
            EXPECT_EQ(filled.red(), 77 * 257);
            EXPECT_EQ(filled.green(), 200 * 257);
            EXPECT_EQ(filled.blue(), 10 * 257);
            EXPECT_EQ(filled.alpha(),
                      reinterpret_cast<const QRgba64*>(before.constScanLine(9))[12].alpha());
        }
    }
}

TEST(Depth, OtherFormatsKeepTheBytesOfPixelsTheWriteBackLeavesAlone) {
    // Premultiplied alpha does not survive the trip through 32-bit colour for faint pixels.
    QImage before = NoisyPicture(32, 16, QImage::Format_ARGB32)
                        .convertToFormat(QImage::Format_ARGB32_Premultiplied);
    QImage picture = before.copy();
    FillOnePixel(picture, FillRect{0, 0, 32, 16}, 3, 3, true);
    int different = 0;
    for (int y = 0; y < 16; ++y)
        for (int x = 0; x < 32; ++x) different += picture.pixel(x, y) != before.pixel(x, y) ? 1 : 0;
    EXPECT_EQ(different, 1);
}

class DepthFiles : public ::testing::TestWithParam<const char*> {};

TEST_P(DepthFiles, SavedFileDiffersFromTheOpenedOneOnlyInTheFilledPixel) {
    ScratchDir scratch;
    const QString extension = QString::fromLatin1(GetParam());
    const QImage original = SixteenBitPicture(33, 21, QImage::Format_RGBA64);
    const QString source = scratch.Path(QStringLiteral("deep.") + extension);
    ASSERT_TRUE(original.save(source));
    std::optional<OpenedImage> opened = OpenImageFile(source);
    ASSERT_TRUE(opened);
    ASSERT_EQ(opened->image.format(), QImage::Format_RGBA64);
    const QImage unfilled = opened->image.copy();
    EXPECT_EQ(CountDifferentPixels(unfilled, original.convertToFormat(unfilled.format())), 0);

    FillOnePixel(opened->image, FillRect{0, 0, 33, 21}, 20, 10, true);
    const QString target = scratch.Path(QStringLiteral("filled.") + extension);
    ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, target), SaveOutcome::Saved);
    const std::optional<OpenedImage> saved = OpenImageFile(target);
    ASSERT_TRUE(saved);
    ASSERT_EQ(saved->image.format(), QImage::Format_RGBA64);
    EXPECT_EQ(CountDifferentPixels(unfilled, saved->image), 1);
}

INSTANTIATE_TEST_SUITE_P(Formats, DepthFiles, ::testing::Values("png", "tif"));

TEST(Webp, IsWrittenLosslessSoAOnePixelFillChangesOnePixel) {
    ScratchDir scratch;
    for (const QImage::Format format : {QImage::Format_RGB32, QImage::Format_ARGB32}) {
        const QImage picture = NoisyPicture(64, 48, format);
        const QString source = scratch.Path(QStringLiteral("photo.webp"));
        ASSERT_EQ(SaveImageFile(picture, {}, source), SaveOutcome::Saved);
        std::optional<OpenedImage> opened = OpenImageFile(source);
        ASSERT_TRUE(opened);
        EXPECT_EQ(opened->image.convertToFormat(format), picture);

        FillOnePixel(opened->image, FillRect{0, 0, 64, 48}, 30, 20, true);
        const QString target = scratch.Path(QStringLiteral("filled.webp"));
        ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, target), SaveOutcome::Saved);
        const QImage filled = OpenImageFile(target)->image.convertToFormat(format);
        int different = 0;
        for (int y = 0; y < 48; ++y)
            for (int x = 0; x < 64; ++x) different += filled.pixel(x, y) != picture.pixel(x, y);
        EXPECT_EQ(different, 1);
        EXPECT_EQ(qRed(filled.pixel(30, 20)), 77);
    }
}

}  // namespace
}  // namespace velmora::test
