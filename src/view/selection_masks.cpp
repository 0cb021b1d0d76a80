#include "selection_masks.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <vector>

namespace velmora {

namespace {

constexpr std::int32_t kMinSideMargin = 50;
constexpr std::int32_t kVerticalMargin = 5;

std::int32_t TruncToInt(double value) {
    constexpr double kLow = std::numeric_limits<std::int32_t>::min();
    constexpr double kHigh = std::numeric_limits<std::int32_t>::max();
    return static_cast<std::int32_t>(std::clamp(std::trunc(value), kLow, kHigh));
}

void MarkSpan(std::uint8_t* row, double fromX, double toX, std::int32_t limit) {
    // A pixel belongs to the span when its centre x + 0.5 lies in [fromX, toX).
    const double first = std::max(std::ceil(fromX - 0.5), 0.0);
    const double last = std::min(std::ceil(toX - 0.5), static_cast<double>(limit));
    if (first < last)
        std::fill(row + static_cast<std::ptrdiff_t>(first), row + static_cast<std::ptrdiff_t>(last),
                  kMaskSet);
}

}  // namespace

// Both conversions run in 32-bit float arithmetic, as the zoom factor itself is a float.
ViewRect ViewMapping::ToView(const FillRect& r) const {
    const auto toView = [this](std::int64_t image, std::int32_t scroll) {
        return TruncToInt(static_cast<float>(image) * zoom - static_cast<float>(scroll));
    };
    return {toView(r.x, scrollX), toView(r.y, scrollY),
            toView(static_cast<std::int64_t>(r.x) + r.width, scrollX),
            toView(static_cast<std::int64_t>(r.y) + r.height, scrollY)};
}

FillRect ViewMapping::ToImage(const ViewRect& r) const {
    const auto toImage = [this](std::int64_t view) {
        return TruncToInt(static_cast<float>(view) / zoom);
    };
    return {toImage(static_cast<std::int64_t>(r.left) + scrollX),
            toImage(static_cast<std::int64_t>(r.top) + scrollY),
            toImage(static_cast<std::int64_t>(r.right) - r.left),
            toImage(static_cast<std::int64_t>(r.bottom) - r.top)};
}

void RasteriseOutline(std::span<const GridPoint> outline, ByteGrid& mask) {
    mask.Fill(kMaskClear);
    if (outline.size() < 2) return;
    std::vector<double> crossings;
    for (std::int32_t y = 0; y < mask.height(); ++y) {
        const double centreY = y + 0.5;
        crossings.clear();
        for (std::size_t i = 0; i < outline.size(); ++i) {
            const GridPoint a = outline[i];
            const GridPoint b = outline[(i + 1) % outline.size()];
            const bool crosses =
                (a.y <= centreY && centreY < b.y) || (b.y <= centreY && centreY < a.y);
            if (!crosses) continue;
            const double t = (centreY - a.y) / (static_cast<double>(b.y) - a.y);
            crossings.push_back(a.x + t * (static_cast<double>(b.x) - a.x));
        }
        std::sort(crossings.begin(), crossings.end());
        for (std::size_t k = 0; k + 1 < crossings.size(); k += 2)
            MarkSpan(mask.Row(y), crossings[k], crossings[k + 1], mask.width());
    }
}

FillRect OutlineBounds(std::span<const GridPoint> outline) {
    if (outline.empty()) return {};
    std::int64_t minX = outline[0].x, maxX = minX, minY = outline[0].y, maxY = minY;
    for (const GridPoint p : outline) {
        minX = std::min<std::int64_t>(minX, p.x);
        maxX = std::max<std::int64_t>(maxX, p.x);
        minY = std::min<std::int64_t>(minY, p.y);
        maxY = std::max<std::int64_t>(maxY, p.y);
    }
    constexpr std::int64_t kMax = std::numeric_limits<std::int32_t>::max();
    return {static_cast<std::int32_t>(minX), static_cast<std::int32_t>(minY),
            static_cast<std::int32_t>(std::min(maxX - minX, kMax)),
            static_cast<std::int32_t>(std::min(maxY - minY, kMax))};
}

FillRect MarkedBounds(const ByteGrid& mask) {
    std::int32_t minX = mask.width(), minY = mask.height(), maxX = -1, maxY = -1;
    for (std::int32_t y = 0; y < mask.height(); ++y) {
        const std::uint8_t* row = mask.Row(y);
        for (std::int32_t x = 0; x < mask.width(); ++x) {
            if (row[x] == 0) continue;
            minX = std::min(minX, x);
            maxX = std::max(maxX, x);
            minY = std::min(minY, y);
            maxY = std::max(maxY, y);
        }
    }
    if (maxX < 0) return {};
    return {minX, minY, maxX - minX + 1, maxY - minY + 1};
}

FillRect DeriveSourceRect(const FillRect& bounds, std::int32_t pictureWidth,
                          std::int32_t pictureHeight) {
    const std::int64_t margin = std::max<std::int64_t>(bounds.width / 2, kMinSideMargin);
    std::int64_t x = bounds.x - margin;
    std::int64_t y = static_cast<std::int64_t>(bounds.y) - kVerticalMargin;
    std::int64_t width = bounds.width + 2 * margin;
    std::int64_t height = static_cast<std::int64_t>(bounds.height) + 2 * kVerticalMargin;
    x = std::max<std::int64_t>(x, 0);
    y = std::max<std::int64_t>(y, 0);
    if (x + width > pictureWidth) width = pictureWidth - x;
    if (y + height > pictureHeight) height = pictureHeight - y;
    const auto clampInt = [](std::int64_t v) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(
            v, std::numeric_limits<std::int32_t>::min(), std::numeric_limits<std::int32_t>::max()));
    };
    return {clampInt(x), clampInt(y), clampInt(width), clampInt(height)};
}

FillRect ClipToPicture(const FillRect& rect, std::int32_t pictureWidth,
                       std::int32_t pictureHeight) {
    const auto clip = [](std::int64_t v, std::int32_t limit) {
        return static_cast<std::int32_t>(std::clamp<std::int64_t>(v, 0, limit));
    };
    const std::int32_t left = clip(rect.x, pictureWidth);
    const std::int32_t top = clip(rect.y, pictureHeight);
    const std::int32_t right =
        clip(static_cast<std::int64_t>(rect.x) + std::max(rect.width, 0), pictureWidth);
    const std::int32_t bottom =
        clip(static_cast<std::int64_t>(rect.y) + std::max(rect.height, 0), pictureHeight);
    return {left, top, right - left, bottom - top};
}

void PaintSourceMask(const ByteGrid& fillMask, const FillRect& sourceRect, ByteGrid& sourceMask) {
    sourceMask.Fill(kMaskSet);
    const std::int64_t left = std::max<std::int64_t>(sourceRect.x, 0);
    const std::int64_t top = std::max<std::int64_t>(sourceRect.y, 0);
    const std::int64_t right = std::min<std::int64_t>(
        static_cast<std::int64_t>(sourceRect.x) + sourceRect.width, sourceMask.width());
    const std::int64_t bottom = std::min<std::int64_t>(
        static_cast<std::int64_t>(sourceRect.y) + sourceRect.height, sourceMask.height());
    for (std::int64_t y = top; y < bottom; ++y) {
        std::uint8_t* row = sourceMask.Row(static_cast<std::int32_t>(y));
        if (left < right) std::fill(row + left, row + right, kMaskClear);
    }
    const std::uint8_t* marks = fillMask.data();
    std::uint8_t* usable = sourceMask.data();
    for (std::size_t i = 0; i < sourceMask.size(); ++i)
        if (marks[i] != 0) usable[i] = kMaskSet;
}

bool BuildSelectionMasks(std::span<const GridPoint> outline, const ViewMapping& mapping,
                         bool fromTracker, SelectionMasks& masks) {
    const bool sameSize = masks.fillMask.width() == masks.sourceMask.width() &&
                          masks.fillMask.height() == masks.sourceMask.height() &&
                          masks.fillMask.depth() == 1 && masks.sourceMask.depth() == 1;
    if (outline.size() <= 2 || !sameSize || masks.fillMask.size() == 0) return false;

    RasteriseOutline(outline, masks.fillMask);
    masks.selectionBounds = OutlineBounds(outline);
    if (fromTracker) {
        const FillRect asDrawn = mapping.ToImage(masks.trackerRect);
        const FillRect onPicture =
            ClipToPicture(asDrawn, masks.fillMask.width(), masks.fillMask.height());
        // A rectangle off the picture altogether leaves the source where it was.
        if (onPicture.width > 0 && onPicture.height > 0) masks.sourceRect = onPicture;
        // The tracker shows the area the fill will use.
        if (masks.sourceRect != asDrawn) masks.trackerRect = mapping.ToView(masks.sourceRect);
    } else {
        masks.sourceRect = DeriveSourceRect(masks.selectionBounds, masks.fillMask.width(),
                                            masks.fillMask.height());
        masks.trackerRect = mapping.ToView(masks.sourceRect);
    }
    PaintSourceMask(masks.fillMask, masks.sourceRect, masks.sourceMask);
    return true;
}

void BuildMasksFromMarks(const ByteGrid& marks, SelectionMasks& masks) {
    masks.fillMask.SetSize(marks.width(), marks.height(), 1);
    masks.sourceMask.SetSize(marks.width(), marks.height(), 1);
    std::copy(marks.begin(), marks.end(), masks.fillMask.begin());
    masks.selectionBounds = MarkedBounds(marks);
    masks.sourceRect = DeriveSourceRect(masks.selectionBounds, marks.width(), marks.height());
    PaintSourceMask(masks.fillMask, masks.sourceRect, masks.sourceMask);
}

}  // namespace velmora
