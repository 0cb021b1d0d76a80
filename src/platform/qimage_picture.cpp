#include "qimage_picture.h"

#include <algorithm>
#include <cstring>

namespace velmora {

namespace {

QRect ToQRect(const FillRect& r) { return {r.x, r.y, r.width, r.height}; }

bool HasDirectRgb32Layout(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
}

}  // namespace

bool CopyColourRect(const QImage& image, const FillRect& area, ByteGrid& out) {
    if (image.isNull() || !area.LiesInside(image.width(), image.height())) return false;
    out.SetSize(area.width, area.height, 3);
    if (HasDirectRgb32Layout(image.format())) {
        for (std::int32_t row = 0; row < area.height; ++row) {
            const auto* from = reinterpret_cast<const QRgb*>(image.constScanLine(area.y + row)) + area.x;
            std::uint8_t* to = out.Row(row);
            for (std::int32_t x = 0; x < area.width; ++x, to += 3) {
                to[0] = static_cast<std::uint8_t>(qBlue(from[x]));
                to[1] = static_cast<std::uint8_t>(qGreen(from[x]));
                to[2] = static_cast<std::uint8_t>(qRed(from[x]));
            }
        }
        return true;
    }
    const QImage part = image.copy(ToQRect(area)).convertToFormat(QImage::Format_BGR888);
    if (part.isNull()) return false;
    const auto rowBytes = static_cast<std::size_t>(area.width) * 3;
    for (std::int32_t row = 0; row < area.height; ++row)
        std::memcpy(out.Row(row), part.constScanLine(row), rowBytes);
    return true;
}

bool PasteColourRect(QImage& image, const FillRect& area, const ByteGrid& pixels) {
    if (image.isNull() || !area.LiesInside(image.width(), image.height()) ||
        pixels.width() != area.width || pixels.height() != area.height || pixels.depth() != 3)
        return false;
    const QImage::Format format = image.format();
    QImage part = HasDirectRgb32Layout(format)
                      ? QImage()
                      : image.copy(ToQRect(area)).convertToFormat(QImage::Format_ARGB32);
    for (std::int32_t row = 0; row < area.height; ++row) {
        auto* line = part.isNull()
                         ? reinterpret_cast<QRgb*>(image.scanLine(area.y + row)) + area.x
                         : reinterpret_cast<QRgb*>(part.scanLine(row));
        const std::uint8_t* from = pixels.Row(row);
        for (std::int32_t x = 0; x < area.width; ++x, from += 3)
            line[x] = qRgba(from[2], from[1], from[0], qAlpha(line[x]));
    }
    if (part.isNull()) return true;
    const QImage converted = part.convertToFormat(format);
    if (converted.isNull() || converted.depth() % 8 != 0) return false;
    const auto rowBytes = static_cast<std::size_t>(area.width) * (converted.depth() / 8);
    const auto offset = static_cast<std::size_t>(area.x) * (converted.depth() / 8);
    for (std::int32_t row = 0; row < area.height; ++row)
        std::memcpy(image.scanLine(area.y + row) + offset, converted.constScanLine(row), rowBytes);
    return true;
}

bool QImagePicture::ReadColour(const FillRect& area, ByteGrid& out) {
    const std::scoped_lock lock(guard_);
    return CopyColourRect(image_, area, out);
}

bool QImagePicture::WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) {
    std::unique_lock lock(guard_, std::defer_lock);
    if (kind == WriteBack::Final)
        lock.lock();
    else if (!lock.try_lock())
        return false;
    return PasteColourRect(image_, area, pixels);
}

}  // namespace velmora
