#include "qimage_picture.h"

#include <algorithm>
#include <chrono>
#include <cstring>
#include <new>
#include <utility>

namespace velmora {

namespace {

QRect ToQRect(const FillRect& r) {
    return {r.x, r.y, r.width, r.height};
}

using Clock = std::chrono::steady_clock;

std::int64_t Nanos(Clock::duration d) {
    return std::chrono::duration_cast<std::chrono::nanoseconds>(d).count();
}

// Unchanged pixels a run of changed ones bridges rather than end there and start another copy.
constexpr std::int32_t kRunGap = 16;
// Pixels compared in one go while looking for the next change.
constexpr std::int32_t kStretch = 32;

bool HasDirectRgb32Layout(QImage::Format format) {
    return format == QImage::Format_RGB32 || format == QImage::Format_ARGB32;
}

// 16 bits a sample: the engine sees each sample rounded to 8 bits, and a write-back changes only
// the pixels whose 8-bit colour it changes, so every other one keeps its full depth.
bool Has64BitLayout(QImage::Format format) {
    return format == QImage::Format_RGBA64 || format == QImage::Format_RGBX64;
}

bool SameColour(QRgba64 pixel, const std::uint8_t* bgr) {
    return pixel.blue8() == bgr[0] && pixel.green8() == bgr[1] && pixel.red8() == bgr[2];
}

// One row of B,G,R bytes as 32-bit colours, each keeping the alpha of `under`'s pixel.
void OverlayRow(const std::uint8_t* from, const QRgb* under, QRgb* to, std::int32_t width) {
    for (std::int32_t x = 0; x < width; ++x, from += 3)
        to[x] = qRgba(from[2], from[1], from[0], qAlpha(under[x]));
}

// The area of a 16-bit picture with the pixels whose colour `pixels` changes set to it (each
// 8-bit sample widened to 16 bits), alpha kept.
QImage OverlaidIn64Bit(const QImage& image, const FillRect& area, const ByteGrid& pixels) {
    QImage part = image.copy(ToQRect(area));
    if (part.isNull()) return {};
    constexpr unsigned kWiden = 257;  // 0xab -> 0xabab
    for (std::int32_t row = 0; row < area.height; ++row) {
        auto* line = reinterpret_cast<QRgba64*>(part.scanLine(row));
        const std::uint8_t* from = pixels.Row(row);
        for (std::int32_t x = 0; x < area.width; ++x, from += 3) {
            if (SameColour(line[x], from)) continue;
            line[x] = QRgba64::fromRgba64(static_cast<quint16>(from[2] * kWiden),
                                          static_cast<quint16>(from[1] * kWiden),
                                          static_cast<quint16>(from[0] * kWiden), line[x].alpha());
        }
    }
    return part;
}

// The area of `image` with `pixels` written over it, alpha kept, in the image's own format, for
// formats without the direct 32-bit layout. A pixel whose colour does not change keeps its bytes
// rather than make the round trip through 32-bit colour. Null when a conversion fails.
QImage OverlaidInImageFormat(const QImage& image, const FillRect& area, const ByteGrid& pixels) {
    if (Has64BitLayout(image.format())) return OverlaidIn64Bit(image, area, pixels);
    const QImage original = image.copy(ToQRect(area));
    const QImage before = original.convertToFormat(QImage::Format_ARGB32);
    if (before.isNull()) return {};
    QImage part = before.copy();
    if (part.isNull()) return {};
    for (std::int32_t row = 0; row < area.height; ++row) {
        auto* line = reinterpret_cast<QRgb*>(part.scanLine(row));
        OverlayRow(pixels.Row(row), line, line, area.width);
    }
    QImage converted = part.convertToFormat(image.format());
    if (converted.isNull() || converted.depth() % 8 != 0) return {};
    const auto bytesPerPixel = static_cast<std::size_t>(converted.depth() / 8);
    for (std::int32_t row = 0; row < area.height; ++row) {
        const auto* was = reinterpret_cast<const QRgb*>(before.constScanLine(row));
        const auto* now = reinterpret_cast<const QRgb*>(part.constScanLine(row));
        for (std::int32_t x = 0; x < area.width; ++x)
            if (was[x] == now[x])
                std::memcpy(converted.scanLine(row) + x * bytesPerPixel,
                            original.constScanLine(row) + x * bytesPerPixel, bytesPerPixel);
    }
    return converted;
}

}  // namespace

bool CopyColourRect(const QImage& image, const FillRect& area, ByteGrid& out) {
    if (image.isNull() || !area.LiesInside(image.width(), image.height())) return false;
    out.SetSize(area.width, area.height, 3);
    if (HasDirectRgb32Layout(image.format())) {
        for (std::int32_t row = 0; row < area.height; ++row) {
            const auto* from =
                reinterpret_cast<const QRgb*>(image.constScanLine(area.y + row)) + area.x;
            std::uint8_t* to = out.Row(row);
            for (std::int32_t x = 0; x < area.width; ++x, to += 3) {
                to[0] = static_cast<std::uint8_t>(qBlue(from[x]));
                to[1] = static_cast<std::uint8_t>(qGreen(from[x]));
                to[2] = static_cast<std::uint8_t>(qRed(from[x]));
            }
        }
        return true;
    }
    if (Has64BitLayout(image.format())) {
        for (std::int32_t row = 0; row < area.height; ++row) {
            const auto* from =
                reinterpret_cast<const QRgba64*>(image.constScanLine(area.y + row)) + area.x;
            std::uint8_t* to = out.Row(row);
            for (std::int32_t x = 0; x < area.width; ++x, to += 3) {
                to[0] = from[x].blue8();
                to[1] = from[x].green8();
                to[2] = from[x].red8();
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
    if (HasDirectRgb32Layout(image.format())) {
        for (std::int32_t row = 0; row < area.height; ++row) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(area.y + row)) + area.x;
            OverlayRow(pixels.Row(row), line, line, area.width);
        }
        return true;
    }
    const QImage converted = OverlaidInImageFormat(image, area, pixels);
    if (converted.isNull()) return false;
    const auto rowBytes = static_cast<std::size_t>(area.width) * (converted.depth() / 8);
    const auto offset = static_cast<std::size_t>(area.x) * (converted.depth() / 8);
    for (std::int32_t row = 0; row < area.height; ++row)
        std::memcpy(image.scanLine(area.y + row) + offset, converted.constScanLine(row), rowBytes);
    return true;
}

bool QImagePicture::ReadColour(const FillRect& area, ByteGrid& out) {
    // No guard: while the job runs nothing but this worker writes the picture.
    return CopyColourRect(std::as_const(image_), area, out);
}

bool QImagePicture::WriteColour(const FillRect& area, const ByteGrid& pixels, WriteBack kind) {
    if (kind == WriteBack::Final)
        ++counts_.finalWrites;
    else
        ++counts_.progressWrites;
    bool staged = false;
    try {
        if (!StageChanges(area, pixels)) return false;
        staged = true;
    } catch (const std::bad_alloc&) {
        // No room to stage the changes: the whole area is pasted under the guard instead, so a
        // final write-back still reaches the picture.
        runs_ = {};
        staged_ = {};
    }
    if (staged && runs_.empty()) return true;

    const Clock::time_point asked = Clock::now();
    std::unique_lock lock(guard_, std::defer_lock);
    if (kind == WriteBack::Final) {
        lock.lock();
    } else if (!lock.try_lock()) {
        ++counts_.progressSkipped;
        return false;
    }
    const Clock::time_point held = Clock::now();
    counts_.waitNs += Nanos(held - asked);
    if (kind == WriteBack::Final) counts_.finalWaitNs += Nanos(held - asked);
    bool written = true;
    if (staged)
        ApplyStaged();
    else
        written = PasteColourRect(image_, area, pixels);
    counts_.longestHoldNs = std::max(counts_.longestHoldNs, Nanos(Clock::now() - held));
    return written;
}

bool QImagePicture::StageChanges(const FillRect& area, const ByteGrid& pixels) {
    runs_.clear();
    staged_.clear();
    const QImage& image = std::as_const(image_);
    if (image.isNull() || !area.LiesInside(width_, height_) || pixels.width() != area.width ||
        pixels.height() != area.height || pixels.depth() != 3)
        return false;

    if (HasDirectRgb32Layout(image.format())) {
        rowBuffer_.resize(static_cast<std::size_t>(area.width));
        for (std::int32_t row = 0; row < area.height; ++row) {
            const auto* now =
                reinterpret_cast<const QRgb*>(image.constScanLine(area.y + row)) + area.x;
            OverlayRow(pixels.Row(row), now, rowBuffer_.data(), area.width);
            StageRow(reinterpret_cast<const std::uint8_t*>(now),
                     reinterpret_cast<const std::uint8_t*>(rowBuffer_.data()), area.y + row, area.x,
                     area.width, 4);
        }
        return true;
    }

    // Other formats go through 32-bit colour and back, as a paste of the whole area does.
    const QImage converted = OverlaidInImageFormat(image, area, pixels);
    if (converted.isNull()) return false;
    const std::int32_t bytesPerPixel = converted.depth() / 8;
    for (std::int32_t row = 0; row < area.height; ++row)
        StageRow(
            image.constScanLine(area.y + row) + static_cast<std::ptrdiff_t>(area.x) * bytesPerPixel,
            converted.constScanLine(row), area.y + row, area.x, area.width, bytesPerPixel);
    return true;
}

void QImagePicture::StageRow(const std::uint8_t* now, const std::uint8_t* wanted, std::int32_t y,
                             std::int32_t x, std::int32_t width, std::int32_t bytesPerPixel) {
    const auto bytes = [bytesPerPixel](std::int32_t pixels) {
        return static_cast<std::size_t>(pixels) * static_cast<std::size_t>(bytesPerPixel);
    };
    const auto same = [&](std::int32_t i, std::int32_t count) {
        return std::memcmp(now + bytes(i), wanted + bytes(i), bytes(count)) == 0;
    };
    std::int32_t i = 0;
    while (i < width) {
        if (width - i >= kStretch && same(i, kStretch)) {
            i += kStretch;
            continue;
        }
        if (same(i, 1)) {
            ++i;
            continue;
        }
        std::int32_t end = i + 1;  // one past the last changed pixel of the run
        for (std::int32_t probe = end; probe < width && probe - end < kRunGap; ++probe)
            if (!same(probe, 1)) end = probe + 1;
        runs_.push_back({y, x + i, end - i, staged_.size()});
        staged_.insert(staged_.end(), wanted + bytes(i), wanted + bytes(end));
        i = end;
    }
}

void QImagePicture::ApplyStaged() {
    // One detach check for the whole write-back rather than one per run: a step brings tens of
    // thousands of short runs.
    std::uint8_t* const bits = image_.bits();
    const auto rowBytes = static_cast<std::size_t>(image_.bytesPerLine());
    const auto bytesPerPixel = static_cast<std::size_t>(image_.depth() / 8);
    for (const ChangedRun& run : runs_)
        std::memcpy(bits + static_cast<std::size_t>(run.y) * rowBytes +
                        static_cast<std::size_t>(run.x) * bytesPerPixel,
                    staged_.data() + run.offset,
                    static_cast<std::size_t>(run.length) * bytesPerPixel);
}

}  // namespace velmora
