#pragma once

#include <QPoint>
#include <QRect>
#include <QSize>
#include <cstdint>

#include "engine/grid_point.h"

namespace velmora {

// How the canvas places the picture: zoom factor (view pixels per picture pixel) and scroll
// position (view pixels, never negative). The picture is drawn from the top-left corner of the
// scrollable area. Every conversion truncates toward zero.
struct CanvasMapping {
    float zoom = 1.0f;
    QPoint scroll;

    [[nodiscard]] QPoint ToView(GridPoint image) const;
    [[nodiscard]] GridPoint ToImage(QPoint view) const;
};

// The part of the picture a paint scales, and where it lands in the client area.
struct VisiblePart {
    QRect source;       // picture pixels
    QRect destination;  // client pixels
};

// The zoomed picture's size: the scroll range of the canvas.
[[nodiscard]] QSize ZoomedSize(QSize picture, float zoom);

// Only what the client shows is scaled: from the scroll position on, at most a client's worth.
[[nodiscard]] VisiblePart ComputeVisiblePart(QSize picture, QSize client,
                                             const CanvasMapping& mapping);

// A client position lies on the picture when it is left of or on its zoomed right edge and above
// or on its zoomed bottom edge (the edges themselves count).
[[nodiscard]] bool InsidePicture(QPoint view, QSize picture, const CanvasMapping& mapping);

// The visible part of the picture in client pixels: the client rectangle cut at the zoomed
// picture's right and bottom edges. The pointer is kept inside it while an outline is drawn.
[[nodiscard]] QRect ConfinementRect(QSize client, QSize picture, float zoom);

// The nearest position inside a (non-empty) confinement rectangle.
[[nodiscard]] QPoint ClampInto(QPoint view, const QRect& confinement);

// Picture positions closer than this in both axes to a point hit it: closing, snapping, grabbing
// and the hover cursor all use it.
inline constexpr std::int32_t kHitRadius = 8;

[[nodiscard]] inline bool IsNear(GridPoint a, GridPoint b) {
    const auto distance = [](std::int32_t u, std::int32_t v) {
        return u > v ? static_cast<std::int64_t>(u) - v : static_cast<std::int64_t>(v) - u;
    };
    return distance(a.x, b.x) <= kHitRadius && distance(a.y, b.y) <= kHitRadius;
}

}  // namespace velmora
