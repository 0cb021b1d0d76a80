#pragma once

#include <QImage>
#include <mutex>

#include "engine/fill_image.h"

namespace velmora {

// A QImage seen by the fill engine as 24-bit colour rectangles. Reads and writes convert from and
// to the picture's own pixel format; writes keep each pixel's alpha. Every access holds `guard`,
// the lock the canvas also holds while it paints the picture, so the two never overlap; a
// progress write-back is refused rather than wait for a paint.
class QImagePicture final : public FillImage {
public:
    QImagePicture(QImage& image, std::mutex& guard) : image_(image), guard_(guard) {}

    [[nodiscard]] std::int32_t Width() const override { return width_; }
    [[nodiscard]] std::int32_t Height() const override { return height_; }
    bool ReadColour(const FillRect& area, ByteGrid& out) override;
    bool WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) override;

private:
    QImage& image_;
    std::mutex& guard_;
    // Read once: the worker never touches the QImage object outside the guard.
    std::int32_t width_ = image_.width();
    std::int32_t height_ = image_.height();
};

// Copies a rectangle of `image` as B,G,R bytes into `out`. False when the rectangle has no area or
// leaves the picture.
bool CopyColourRect(const QImage& image, const FillRect& area, ByteGrid& out);

// Writes B,G,R bytes into a rectangle of `image`, keeping the picture's pixel format and alpha.
bool PasteColourRect(QImage& image, const FillRect& area, const ByteGrid& pixels);

}  // namespace velmora
