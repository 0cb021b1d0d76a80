#include <gtest/gtest.h>

#include <QImage>
#include <random>

#include "imagefile/image_file.h"
#include "imagefile/png_reader.h"
#include "test_files.h"

namespace velmora::test {
namespace {

constexpr qint64 kLimit = qint64{1} << 30;

std::vector<std::uint16_t> RandomSamples(int count, std::uint32_t seed) {
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> sample(0, 65535);
    std::vector<std::uint16_t> samples(static_cast<std::size_t>(count));
    for (auto& s : samples) s = static_cast<std::uint16_t>(sample(random));
    return samples;
}

// Every pixel as stored, with alpha 0 exactly where it equals the transparency colour.
void ExpectSamples(const QImage& image, int channels, const std::vector<std::uint16_t>& samples,
                   const std::vector<std::uint16_t>& transparent) {
    ASSERT_EQ(image.format(), QImage::Format_RGBA64);
    int mismatches = 0;
    for (int y = 0; y < image.height(); ++y) {
        const auto* line = reinterpret_cast<const QRgba64*>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const std::size_t at = static_cast<std::size_t>((y * image.width() + x) * channels);
            const std::uint16_t r = samples[at];
            const std::uint16_t g = channels == 3 ? samples[at + 1] : r;
            const std::uint16_t b = channels == 3 ? samples[at + 2] : r;
            const bool clear =
                channels == 3 ? r == transparent[0] && g == transparent[1] && b == transparent[2]
                              : r == transparent[0];
            const QRgba64 p = line[x];
            if (p.red() != r || p.green() != g || p.blue() != b || p.alpha() != (clear ? 0 : 65535))
                ++mismatches;
        }
    }
    EXPECT_EQ(mismatches, 0);
}

TEST(PngReader, SixteenBitColourWithTransparencyColourKeepsEverySample) {
    for (const bool interlaced : {false, true}) {
        SCOPED_TRACE(interlaced);
        constexpr int kWidth = 37, kHeight = 23;
        std::vector<std::uint16_t> samples = RandomSamples(kWidth * kHeight * 3, 11);
        const std::vector<std::uint16_t> transparent = {samples[30], samples[31], samples[32]};
        samples[300] = transparent[0];  // a second pixel in the transparency colour
        samples[301] = transparent[1];
        samples[302] = transparent[2];
        const DecodedPng png =
            DecodePng(Write16BitPng(kWidth, kHeight, 3, samples, transparent, interlaced), kLimit);
        ASSERT_FALSE(png.image.isNull());
        EXPECT_EQ(png.image.size(), QSize(kWidth, kHeight));
        ExpectSamples(png.image, 3, samples, transparent);
        EXPECT_EQ(png.image.pixelColor(10, 0).alpha(), 0);
        EXPECT_EQ(png.image.pixelColor(26, 2).alpha(), 0);  // pixel 100
    }
}

TEST(PngReader, SixteenBitGreyWithTransparencyColourBecomesColourAndAlpha) {
    constexpr int kWidth = 19, kHeight = 11;
    std::vector<std::uint16_t> samples = RandomSamples(kWidth * kHeight, 5);
    samples[7] = 1234;
    const DecodedPng png = DecodePng(Write16BitPng(kWidth, kHeight, 1, samples, {1234}), kLimit);
    ASSERT_FALSE(png.image.isNull());
    ExpectSamples(png.image, 1, samples, {1234});
}

TEST(PngReader, OpaquePicturesHaveNoAlphaChannel) {
    constexpr int kWidth = 8, kHeight = 4;
    const std::vector<std::uint16_t> samples = RandomSamples(kWidth * kHeight * 3, 3);
    const DecodedPng wide = DecodePng(Write16BitPng(kWidth, kHeight, 3, samples, {}), kLimit);
    EXPECT_EQ(wide.image.format(), QImage::Format_RGBX64);
    EXPECT_EQ(reinterpret_cast<const QRgba64*>(wide.image.constScanLine(0))[1].red(), samples[3]);

    ScratchDir scratch;
    const QImage eight = NoisyPicture(16, 8);
    ASSERT_TRUE(eight.save(scratch.Path(QStringLiteral("a.png"))));
    const DecodedPng narrow = DecodePng(ReadFile(scratch.Path(QStringLiteral("a.png"))), kLimit);
    EXPECT_EQ(narrow.image.format(), QImage::Format_RGB32);
    EXPECT_EQ(narrow.image, eight);
}

TEST(PngReader, PalettesAndAlphaKeepTheirColours) {
    ScratchDir scratch;
    const QImage withAlpha = NoisyPicture(16, 8, QImage::Format_ARGB32);
    ASSERT_TRUE(withAlpha.save(scratch.Path(QStringLiteral("alpha.png"))));
    const DecodedPng alpha = DecodePng(ReadFile(scratch.Path(QStringLiteral("alpha.png"))), kLimit);
    EXPECT_EQ(alpha.image.format(), QImage::Format_ARGB32);
    EXPECT_EQ(alpha.image, withAlpha);
    EXPECT_FALSE(alpha.hadPalette);

    const QImage palette = QuarterPicture(16, 8).convertToFormat(QImage::Format_Indexed8);
    ASSERT_TRUE(palette.save(scratch.Path(QStringLiteral("palette.png"))));
    const DecodedPng expanded =
        DecodePng(ReadFile(scratch.Path(QStringLiteral("palette.png"))), kLimit);
    EXPECT_TRUE(expanded.hadPalette);
    EXPECT_EQ(expanded.image.convertToFormat(QImage::Format_RGB32),
              palette.convertToFormat(QImage::Format_RGB32));
}

TEST(PngReader, BrokenAndOversizedFilesAreRefused) {
    const std::vector<std::uint16_t> samples = RandomSamples(64 * 64 * 3, 9);
    const QByteArray good = Write16BitPng(64, 64, 3, samples, {});
    EXPECT_TRUE(DecodePng(good.left(good.size() / 2), kLimit).image.isNull());
    QByteArray corrupt = good;
    corrupt[60] = static_cast<char>(corrupt[60] ^ 0x5a);  // inside the compressed pixels
    EXPECT_TRUE(DecodePng(corrupt, kLimit).image.isNull());
    EXPECT_TRUE(DecodePng(QByteArray("\x89PNG\r\n\x1a\n", 8), kLimit).image.isNull());
    EXPECT_TRUE(DecodePng(good, 64 * 64 * 8 - 1).image.isNull());
    EXPECT_FALSE(DecodePng(good, 64 * 64 * 8).image.isNull());
}

TEST(PngReader, OpenImageFileUsesItForSixteenBitTransparency) {
    ScratchDir scratch;
    constexpr int kWidth = 40, kHeight = 30;
    const std::vector<std::uint16_t> samples = RandomSamples(kWidth * kHeight * 3, 21);
    const std::vector<std::uint16_t> transparent = {samples[0], samples[1], samples[2]};
    const QString path = scratch.Path(QStringLiteral("trns16.png"));
    WriteFile(path, Write16BitPng(kWidth, kHeight, 3, samples, transparent));
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    ExpectSamples(opened->image, 3, samples, transparent);
}

}  // namespace
}  // namespace velmora::test
