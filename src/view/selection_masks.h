#pragma once

#include <cstdint>
#include <span>

#include "engine/grid_point.h"
#include "engine/pixel_grid.h"
#include "platform/view_rect.h"

namespace velmora {

// Mask byte values: a selected pixel in the fill mask, an unusable pixel in the source mask.
inline constexpr std::uint8_t kMaskSet = 255;
inline constexpr std::uint8_t kMaskClear = 0;

// How image pixels map to view pixels: zoom factor and scroll position.
struct ViewMapping {
    float zoom = 1.0f;
    std::int32_t scrollX = 0;
    std::int32_t scrollY = 0;

    [[nodiscard]] ViewRect ToView(const FillRect& r) const;
    [[nodiscard]] FillRect ToImage(const ViewRect& r) const;
};

// The engine's four inputs built from a selection, plus the source tracker's rectangle.
struct SelectionMasks {
    ByteGrid fillMask;    // picture-sized: 255 = to fill
    ByteGrid sourceMask;  // picture-sized: 0 = may serve as a source
    FillRect selectionBounds;
    FillRect sourceRect;
    ViewRect trackerRect;
};

// Marks (255) the pixels whose centres lie inside the closed outline by the even-odd rule and
// clears the rest. The mask keeps its size; the outline may reach far outside it.
void RasteriseOutline(std::span<const GridPoint> outline, ByteGrid& mask);

// The smallest rectangle holding every pixel an outline can select: for integer vertices, the
// vertices' bounding box with the right and bottom edges exclusive.
FillRect OutlineBounds(std::span<const GridPoint> outline);

// The smallest rectangle holding every non-zero byte of the mask (empty when there is none).
FillRect MarkedBounds(const ByteGrid& mask);

// The source rectangle derived from the selection's bounds: max(width / 2, 50) pixels to the left
// and right, 5 above and below, moved inside the picture at the left and top without shrinking,
// then clipped at the right and bottom.
FillRect DeriveSourceRect(const FillRect& bounds, std::int32_t pictureWidth,
                          std::int32_t pictureHeight);

// The part of a rectangle that lies on a picture of the given size (empty when none does).
FillRect ClipToPicture(const FillRect& rect, std::int32_t pictureWidth, std::int32_t pictureHeight);

// 255 everywhere except inside `sourceRect` (clipped to the mask), and 255 again on every marked
// pixel of `fillMask`.
void PaintSourceMask(const ByteGrid& fillMask, const FillRect& sourceRect, ByteGrid& sourceMask);

// Rebuilds `masks` from a selection outline of a picture of the masks' size. With `fromTracker`
// the source rectangle is read from `masks.trackerRect` and clipped to the picture, and the
// tracker shrinks to the clipped rectangle when it reached off the picture (one entirely off the
// picture keeps the previous source rectangle); otherwise the source rectangle is derived from
// the selection and the tracker rectangle is set to show it. Needs more than two points and masks
// of equal size; returns false and changes nothing otherwise.
bool BuildSelectionMasks(std::span<const GridPoint> outline, const ViewMapping& mapping,
                         bool fromTracker, SelectionMasks& masks);

// Builds masks from a picture-sized mask image already thresholded to 0/255 (the --mask input).
void BuildMasksFromMarks(const ByteGrid& marks, SelectionMasks& masks);

}  // namespace velmora
