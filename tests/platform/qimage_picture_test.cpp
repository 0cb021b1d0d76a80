// The fill's write-backs into a QImage: only changed pixels are copied in under the picture guard,
// with the same result as pasting the whole area, and the guard held by a paint is met without a
// wait.
#include <gtest/gtest.h>

#include <QMetaEnum>
#include <algorithm>
#include <future>
#include <mutex>
#include <string>
#include <thread>

#include "platform/qimage_picture.h"

namespace velmora::test {
namespace {

// Pixels of a picture that differ from their neighbours and in alpha, the same for the same seed.
QImage NoisyPicture(int width, int height, QImage::Format format, std::uint32_t seed) {
    QImage picture(width, height, QImage::Format_ARGB32);
    std::uint32_t state = seed;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            state = state * 1664525u + 1013904223u;
            picture.setPixel(
                x, y,
                qRgba(state >> 24, (state >> 16) & 0xFF, (state >> 8) & 0xFF, 64 + (state & 0x7F)));
        }
    }
    return picture.convertToFormat(format);
}

// Changes pixels of a B,G,R area at the given columns of every other row.
void ChangeColumns(ByteGrid& pixels, std::initializer_list<std::int32_t> columns) {
    for (std::int32_t y = 0; y < pixels.height(); y += 2) {
        for (const std::int32_t x : columns) {
            std::uint8_t* p = pixels.At({x, y});
            p[0] = static_cast<std::uint8_t>(p[0] ^ 0x5A);
            p[2] = static_cast<std::uint8_t>(p[2] + 77);
        }
    }
}

// Holds a guard on another thread, as the canvas does while it paints, until released.
class PaintingThread {
  public:
    explicit PaintingThread(std::mutex& guard)
        : thread_([this, &guard] {
              const std::scoped_lock lock(guard);
              held_.set_value();
              release_.get_future().wait();
          }) {
        held_.get_future().wait();
    }
    ~PaintingThread() { Release(); }
    void Release() {
        if (!thread_.joinable()) return;
        release_.set_value();
        thread_.join();
    }

  private:
    std::promise<void> held_;
    std::promise<void> release_;
    std::thread thread_;
};

class WriteBackFormats : public ::testing::TestWithParam<QImage::Format> {};

// Changes at the row's ends, single pixels, pairs separated by gaps on either side of the
// distance a run bridges, and stretches across the comparison blocks: every write-back leaves
// the picture exactly as pasting the whole area would.
TEST_P(WriteBackFormats, ChangedPixelsOnlyGiveTheWholePaste) {
    const QImage::Format format = GetParam();
    QImage picture = NoisyPicture(150, 40, format, 3);
    QImage expected = picture.copy();
    std::mutex guard;
    QImagePicture target(picture, guard);
    const FillRect area{5, 3, 140, 30};

    ByteGrid pixels;
    ASSERT_TRUE(target.ReadColour(area, pixels));
    ChangeColumns(pixels, {0, 139, 7, 20, 37, 60, 61, 78});
    ASSERT_TRUE(target.WriteColour(area, pixels, WriteBack::Progress));
    ASSERT_TRUE(PasteColourRect(expected, area, pixels));
    EXPECT_EQ(picture, expected);

    // A second step changes more, some of it where the first one did.
    for (std::int32_t x = 30; x < 100; ++x) ChangeColumns(pixels, {x});
    ChangeColumns(pixels, {0, 1, 2});
    ASSERT_TRUE(target.WriteColour(area, pixels, WriteBack::Final));
    ASSERT_TRUE(PasteColourRect(expected, area, pixels));
    EXPECT_EQ(picture, expected);
    EXPECT_EQ(target.Counts().progressWrites, 1);
    EXPECT_EQ(target.Counts().finalWrites, 1);
    EXPECT_EQ(target.Counts().progressSkipped, 0);
}

INSTANTIATE_TEST_SUITE_P(PictureFormats, WriteBackFormats,
                         ::testing::Values(QImage::Format_RGB32, QImage::Format_ARGB32,
                                           QImage::Format_RGB888, QImage::Format_Grayscale8,
                                           QImage::Format_RGB16, QImage::Format_RGBA64),
                         [](const ::testing::TestParamInfo<QImage::Format>& info) {
                             return std::string(
                                 QMetaEnum::fromType<QImage::Format>().valueToKey(info.param));
                         });

TEST(QImagePicture, WriteBacksOutsideThePictureOrOfTheWrongSizeChangeNothing) {
    QImage picture = NoisyPicture(20, 10, QImage::Format_RGB32, 5);
    const QImage before = picture.copy();
    std::mutex guard;
    QImagePicture target(picture, guard);
    ByteGrid pixels;
    pixels.SetSize(8, 4, 3);
    pixels.Fill(0);
    EXPECT_FALSE(target.WriteColour({15, 2, 8, 4}, pixels, WriteBack::Final));
    EXPECT_FALSE(target.WriteColour({1, 1, 8, 5}, pixels, WriteBack::Progress));
    EXPECT_EQ(picture, before);
}

// A paint holding the guard: a progress write-back is refused and the picture keeps its pixels;
// the next write-back compares with the picture again and so carries the refused step's pixels
// too. A write-back with nothing new neither waits nor counts as refused, and reads need no
// guard at all.
TEST(QImagePicture, APaintingCanvasNeverKeepsTheWorkerWaiting) {
    QImage picture = NoisyPicture(64, 48, QImage::Format_RGB32, 9);
    QImage expected = picture.copy();
    std::mutex guard;
    QImagePicture target(picture, guard);
    const FillRect area{4, 4, 50, 40};
    ByteGrid pixels;
    ASSERT_TRUE(target.ReadColour(area, pixels));
    ChangeColumns(pixels, {3, 4, 5});
    const QImage before = picture.copy();
    {
        PaintingThread painting(guard);
        EXPECT_FALSE(target.WriteColour(area, pixels, WriteBack::Progress));
        EXPECT_EQ(target.Counts().progressSkipped, 1);

        ByteGrid read;
        ASSERT_TRUE(target.ReadColour(area, read));
        ByteGrid unchanged;
        ASSERT_TRUE(CopyColourRect(before, area, unchanged));
        EXPECT_TRUE(std::equal(read.begin(), read.end(), unchanged.begin(), unchanged.end()));
    }
    EXPECT_EQ(picture, before) << "the refused write-back changed nothing";

    ChangeColumns(pixels, {40});
    ASSERT_TRUE(target.WriteColour(area, pixels, WriteBack::Progress));
    ASSERT_TRUE(PasteColourRect(expected, area, pixels));
    EXPECT_EQ(picture, expected) << "the refused step's pixels came with the next one";

    {
        PaintingThread painting(guard);
        EXPECT_TRUE(target.WriteColour(area, pixels, WriteBack::Progress));
        EXPECT_TRUE(target.WriteColour(area, pixels, WriteBack::Final));
    }
    EXPECT_EQ(target.Counts().progressWrites, 3);
    EXPECT_EQ(target.Counts().progressSkipped, 1);
    EXPECT_EQ(target.Counts().finalWaitNs, 0);
    EXPECT_EQ(picture, expected);
}

}  // namespace
}  // namespace velmora::test
