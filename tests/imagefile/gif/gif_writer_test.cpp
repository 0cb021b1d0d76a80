// The GIF writer through Qt's own interfaces, as the program and velmora-erase reach it.
#include <gtest/gtest.h>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <cstdlib>

#include "imagefile/gif/gif_encoder.h"
#include "imagefile/image_encoding.h"

namespace velmora {
namespace {

QByteArray Encode(const QImage& picture) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "gif");
    if (!writer.write(picture)) return {};
    return bytes;
}

QImage Decode(const QByteArray& bytes) {
    QImage picture;
    picture.loadFromData(bytes, "gif");
    return picture;
}

// 231 colours in a pattern no quantiser would keep by chance.
QImage PalettePicture() {
    QImage picture(123, 77, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const int k = (x * 7 + y * 13) % 231;
            picture.setPixel(x, y, qRgb((k * 37) % 256, (k * 91) % 256, 255 - k));
        }
    return picture;
}

// Smooth gradients in three channels: tens of thousands of colours.
QImage PhotoLikePicture() {
    QImage picture(160, 100, QImage::Format_RGB32);
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            picture.setPixel(x, y, qRgb(x * 255 / 159, y * 255 / 99, (x + y) * 255 / 258));
    return picture;
}

TEST(GifWriter, IsAFormatQtWritesAndTheEncoderLookupFinds) {
    EXPECT_TRUE(QImageWriter::supportedImageFormats().contains("gif"));
    const std::optional<ImageEncoder> encoder = FindEncoder(QStringLiteral("*.GIF"));
    ASSERT_TRUE(encoder.has_value());
    EXPECT_STREQ(encoder->format, "gif");
    // Reading stays with Qt's own reader.
    EXPECT_TRUE(QImageReader::supportedImageFormats().contains("gif"));
}

TEST(GifWriter, APictureOfFewColoursComesBackExactly) {
    const QImage picture = PalettePicture();
    const QByteArray bytes = Encode(picture);
    ASSERT_FALSE(bytes.isEmpty());
    EXPECT_TRUE(bytes.startsWith("GIF89a"));
    const QImage back = Decode(bytes).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), picture.size());
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x)
            ASSERT_EQ(back.pixel(x, y), picture.pixel(x, y)) << x << "," << y;
}

TEST(GifWriter, ARicherPictureComesBackClose) {
    const QImage picture = PhotoLikePicture();
    const QImage back = Decode(Encode(picture)).convertToFormat(QImage::Format_RGB32);
    ASSERT_EQ(back.size(), picture.size());
    double difference = 0;
    int worst = 0;
    for (int y = 0; y < picture.height(); ++y)
        for (int x = 0; x < picture.width(); ++x) {
            const QRgb a = picture.pixel(x, y);
            const QRgb b = back.pixel(x, y);
            for (const int d : {qRed(a) - qRed(b), qGreen(a) - qGreen(b), qBlue(a) - qBlue(b)}) {
                difference += std::abs(d);
                worst = std::max(worst, std::abs(d));
            }
        }
    const double mean = difference / (3.0 * picture.width() * picture.height());
    // Dithering trades a little noise at every pixel for the absence of bands.
    EXPECT_LT(mean, 6.0) << "mean difference per channel";
    EXPECT_LT(worst, 48) << "largest difference of one channel";
    EXPECT_GT(mean, 0.0) << "more than 256 colours cannot come back exactly";
}

TEST(GifWriter, TransparentPixelsStayTransparent) {
    QImage picture(40, 30, QImage::Format_ARGB32);
    picture.fill(qRgba(200, 30, 30, 255));
    for (int y = 10; y < 20; ++y)
        for (int x = 5; x < 15; ++x) picture.setPixel(x, y, qRgba(0, 0, 0, 0));
    const QImage back = Decode(Encode(picture)).convertToFormat(QImage::Format_ARGB32);
    ASSERT_EQ(back.size(), picture.size());
    EXPECT_EQ(qAlpha(back.pixel(7, 12)), 0);
    EXPECT_EQ(back.pixel(30, 25), qRgba(200, 30, 30, 255));
}

TEST(GifWriter, RefusesWhatTheFormatCannotHold) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    EXPECT_FALSE(WriteGif(QImage(), buffer));
    EXPECT_FALSE(WriteGif(QImage(kGifMaxSide + 1, 1, QImage::Format_RGB32), buffer));
    EXPECT_TRUE(bytes.isEmpty()) << "nothing written for a refused picture";

    QBuffer closed;  // not open: every write fails
    EXPECT_FALSE(WriteGif(PalettePicture(), closed));
}

}  // namespace
}  // namespace velmora
