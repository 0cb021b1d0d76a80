#pragma once

#include <QPoint>
#include <QRect>
#include <Qt>
#include <cstdint>

#include "platform/tracker_state.h"
#include "platform/view_rect.h"

class QPainter;

namespace velmora {

// Shows and edits a TrackerState: a dotted outline one pixel outside the rectangle, square
// handles inside or outside it, a hit test, a cursor per handle, and two tracking sessions driven
// by the owner's mouse events: moving or resizing the rectangle, or drawing a rubber band from a
// press point. While a session runs the owner hands it every mouse move, the release, and Escape
// or a right press to cancel; nothing else acts on the mouse meanwhile.
class RectTracker {
  public:
    // Where a point lies on the tracker. The handles are numbered clockwise from the top-left
    // corner, then the middles of the sides from the top.
    enum Hit : int {
        kHitNothing = -1,
        kHitTopLeft = 0,
        kHitTopRight = 1,
        kHitBottomRight = 2,
        kHitBottomLeft = 3,
        kHitTop = 4,
        kHitRight = 5,
        kHitBottom = 6,
        kHitLeft = 7,
        kHitMiddle = 8,
    };
    static constexpr int kHandleCount = 8;

    // The state is not owned and must outlive the tracker.
    explicit RectTracker(TrackerState& state) : state_(state) {}

    [[nodiscard]] const TrackerState& State() const { return state_; }

    // The handle (0 to 7) or the inside (kHitMiddle, outline included) under `point`, or
    // kHitNothing. Only handles that are shown can be hit.
    [[nodiscard]] int HitTest(QPoint point) const;
    // Bit i set when handle i is shown: the corners always, the middles of the top and bottom
    // sides only on a rectangle wider than 3 handles plus 4 pixels, those of the left and right
    // sides only on one higher than that. No handles without a resize style.
    [[nodiscard]] std::uint32_t HandleMask() const;
    // The square of handle i in view pixels (left, top inclusive; width and height the size).
    [[nodiscard]] QRect HandleRect(int handle) const;
    // The handle's edge length: the handle size, shrunk under the inside style to half the
    // rectangle's smaller side when that side is shorter than two handles.
    [[nodiscard]] std::int32_t HandleExtent() const;
    // The cursor for a hit (resize arrows along the handle's axis, four-way arrow inside).
    [[nodiscard]] static Qt::CursorShape CursorFor(int hit);

    void Draw(QPainter& painter) const;

    // --- Tracking sessions.
    // Starts moving (inside) or resizing (a handle) from the press point; false, and no session,
    // when the point hits nothing.
    bool BeginTrack(QPoint press);
    // Starts a rubber band from the press point; the tracker's own rectangle is not touched.
    void BeginRubberBand(QPoint press);
    [[nodiscard]] bool Tracking() const { return mode_ != Mode::kIdle; }
    [[nodiscard]] bool RubberBanding() const { return mode_ == Mode::kRubberBand; }
    // Follows the pointer. A move or resize never makes the rectangle smaller than the state's
    // minimum size nor turns it inside out; the band never reaches left of or above its start.
    void TrackTo(QPoint point);
    // Ends the session at the button release. For a move or resize: true when the rectangle
    // changed. For a rubber band: true when the pointer moved during the drag.
    bool Finish();
    // Ends the session and puts the rectangle back as it was at the press.
    void Cancel();
    // The band of the last (or running) rubber band, normalised.
    [[nodiscard]] ViewRect Band() const;
    void DrawBand(QPainter& painter) const;

  private:
    enum class Mode { kIdle, kTrack, kRubberBand };

    TrackerState& state_;
    Mode mode_ = Mode::kIdle;
    int hit_ = kHitNothing;
    QPoint press_;
    QPoint last_;
    bool moved_ = false;
    ViewRect original_;
};

// Both rectangles normalised; true when they share at least one pixel.
[[nodiscard]] bool RectsIntersect(const ViewRect& a, const ViewRect& b);
[[nodiscard]] ViewRect Normalised(const ViewRect& r);

}  // namespace velmora
