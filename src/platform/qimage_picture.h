#pragma once

#include <QImage>
#include <cstdint>
#include <mutex>
#include <vector>

#include "engine/fill_image.h"

namespace velmora {

// What a fill job's accesses to the picture met: written by the worker, read once the job has
// ended. The canvas should never keep the worker waiting, and never be kept waiting for long.
struct PictureAccessCounts {
    std::int64_t progressWrites = 0;   // progress write-backs asked for
    std::int64_t progressSkipped = 0;  // of those, refused because a paint held the picture
    std::int64_t finalWrites = 0;
    std::int64_t waitNs = 0;         // the worker blocked on the guard (reads need no guard)
    std::int64_t finalWaitNs = 0;    // of that, in final write-backs
    std::int64_t longestHoldNs = 0;  // the longest the worker held the guard at once
};

// A QImage seen by the fill engine as 24-bit colour rectangles. Reads and writes convert from and
// to the picture's own pixel format; writes keep each pixel's alpha.
//
// While a job runs the worker is the picture's only writer and the canvas only reads it, so the
// worker reads without `guard` (reads never conflict with reads) and holds it only to change
// pixels. A write-back first works out, unguarded, which pixels differ from the picture and what
// they become in its format; under the guard it copies just those runs in. So the canvas, which
// holds the guard while it draws the picture, waits at most for one step's new pixels, and a
// progress write-back is refused rather than wait for a paint (the next one carries its pixels
// too, since it compares against the picture again).
class QImagePicture final : public FillImage {
  public:
    QImagePicture(QImage& image, std::mutex& guard) : image_(image), guard_(guard) {}

    [[nodiscard]] std::int32_t Width() const override { return width_; }
    [[nodiscard]] std::int32_t Height() const override { return height_; }
    bool ReadColour(const FillRect& area, ByteGrid& out) override;
    bool WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) override;

    [[nodiscard]] const PictureAccessCounts& Counts() const { return counts_; }

  private:
    // Pixels of one row, in the picture's format, that differ from it.
    struct ChangedRun {
        std::int32_t y;
        std::int32_t x;
        std::int32_t length;
        std::size_t offset;  // into staged_
    };

    bool StageChanges(const FillRect& area, const ByteGrid& pixels);
    void StageRow(const std::uint8_t* now, const std::uint8_t* wanted, std::int32_t y,
                  std::int32_t x, std::int32_t width, std::int32_t bytesPerPixel);
    void ApplyStaged();

    QImage& image_;
    std::mutex& guard_;
    std::int32_t width_ = image_.width();
    std::int32_t height_ = image_.height();
    std::vector<ChangedRun> runs_;
    std::vector<std::uint8_t> staged_;
    std::vector<QRgb> rowBuffer_;
    PictureAccessCounts counts_;
};

// Copies a rectangle of `image` as B,G,R bytes into `out`. False when the rectangle has no area or
// leaves the picture.
bool CopyColourRect(const QImage& image, const FillRect& area, ByteGrid& out);

// Writes B,G,R bytes into a rectangle of `image`, keeping the picture's pixel format and alpha.
bool PasteColourRect(QImage& image, const FillRect& area, const ByteGrid& pixels);

}  // namespace velmora
