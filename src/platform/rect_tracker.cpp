#include "platform/rect_tracker.h"

#include <QPainter>
#include <QPen>
#include <algorithm>

namespace velmora {

namespace {

bool PlacesHandlesOutside(const TrackerState& state) {
    return (state.style & kTrackerResizeOutside) != 0;
}

bool HasHandles(const TrackerState& state) {
    return (state.style & (kTrackerResizeInside | kTrackerResizeOutside)) != 0;
}

// Width and height rules of the handles measure the rectangle's own size.
std::int32_t WidthOf(const ViewRect& r) {
    return r.right - r.left;
}
std::int32_t HeightOf(const ViewRect& r) {
    return r.bottom - r.top;
}

// Outline one pixel outside the rectangle on every side.
void DrawDottedFrame(QPainter& painter, const ViewRect& r, bool dotted) {
    QPen pen(Qt::black, 1);
    if (dotted) pen.setDashPattern({1.0, 1.0});
    painter.setPen(pen);
    painter.setBrush(Qt::NoBrush);
    painter.drawRect(QRect(r.left - 1, r.top - 1, WidthOf(r) + 1, HeightOf(r) + 1));
}

}  // namespace

ViewRect Normalised(const ViewRect& r) {
    return {std::min(r.left, r.right), std::min(r.top, r.bottom), std::max(r.left, r.right),
            std::max(r.top, r.bottom)};
}

bool RectsIntersect(const ViewRect& a, const ViewRect& b) {
    const ViewRect na = Normalised(a);
    const ViewRect nb = Normalised(b);
    return std::max(na.left, nb.left) < std::min(na.right, nb.right) &&
           std::max(na.top, nb.top) < std::min(na.bottom, nb.bottom);
}

std::uint32_t RectTracker::HandleMask() const {
    if (!HasHandles(state_)) return 0;
    const ViewRect r = Normalised(state_.rect);
    const std::int32_t sideLimit = 3 * state_.handleSize + 4;
    std::uint32_t mask = 0x0F;  // the corners
    if (WidthOf(r) > sideLimit) mask |= (1u << kHitTop) | (1u << kHitBottom);
    if (HeightOf(r) > sideLimit) mask |= (1u << kHitLeft) | (1u << kHitRight);
    return mask;
}

std::int32_t RectTracker::HandleExtent() const {
    const ViewRect r = Normalised(state_.rect);
    const std::int32_t smaller = std::min(WidthOf(r), HeightOf(r));
    if (!PlacesHandlesOutside(state_) && smaller < 2 * state_.handleSize) return smaller / 2;
    return state_.handleSize;
}

QRect RectTracker::HandleRect(int handle) const {
    const ViewRect r = Normalised(state_.rect);
    const std::int32_t size = HandleExtent();
    const bool outside = PlacesHandlesOutside(state_);
    // Near edge of a handle along one axis, at the low or high side of the rectangle.
    const auto lowSide = [&](std::int32_t edge) { return outside ? edge - size : edge; };
    const auto highSide = [&](std::int32_t edge) { return outside ? edge : edge - size; };
    const std::int32_t midX = r.left + (WidthOf(r) - size) / 2;
    const std::int32_t midY = r.top + (HeightOf(r) - size) / 2;

    QPoint topLeft;
    switch (handle) {
        case kHitTopLeft:
            topLeft = {lowSide(r.left), lowSide(r.top)};
            break;
        case kHitTopRight:
            topLeft = {highSide(r.right), lowSide(r.top)};
            break;
        case kHitBottomRight:
            topLeft = {highSide(r.right), highSide(r.bottom)};
            break;
        case kHitBottomLeft:
            topLeft = {lowSide(r.left), highSide(r.bottom)};
            break;
        case kHitTop:
            topLeft = {midX, lowSide(r.top)};
            break;
        case kHitRight:
            topLeft = {highSide(r.right), midY};
            break;
        case kHitBottom:
            topLeft = {midX, highSide(r.bottom)};
            break;
        case kHitLeft:
            topLeft = {lowSide(r.left), midY};
            break;
        default:
            return {};
    }
    return {topLeft, QSize(size, size)};
}

int RectTracker::HitTest(QPoint point) const {
    const std::uint32_t mask = HandleMask();
    for (int i = 0; i < kHandleCount; ++i) {
        if ((mask & (1u << i)) != 0 && HandleRect(i).contains(point)) return i;
    }
    // The outline one pixel outside counts as inside.
    const ViewRect r = Normalised(state_.rect);
    if (point.x() >= r.left - 1 && point.x() <= r.right && point.y() >= r.top - 1 &&
        point.y() <= r.bottom)
        return kHitMiddle;
    return kHitNothing;
}

Qt::CursorShape RectTracker::CursorFor(int hit) {
    switch (hit) {
        case kHitTopLeft:
        case kHitBottomRight:
            return Qt::SizeFDiagCursor;
        case kHitTopRight:
        case kHitBottomLeft:
            return Qt::SizeBDiagCursor;
        case kHitTop:
        case kHitBottom:
            return Qt::SizeVerCursor;
        case kHitLeft:
        case kHitRight:
            return Qt::SizeHorCursor;
        case kHitMiddle:
            return Qt::SizeAllCursor;
        default:
            return Qt::ArrowCursor;
    }
}

void RectTracker::Draw(QPainter& painter) const {
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    const ViewRect r = Normalised(state_.rect);
    if ((state_.style & (kTrackerDottedLine | kTrackerSolidLine)) != 0)
        DrawDottedFrame(painter, r, (state_.style & kTrackerDottedLine) != 0);
    const std::uint32_t mask = HandleMask();
    for (int i = 0; i < kHandleCount; ++i) {
        if ((mask & (1u << i)) != 0) painter.fillRect(HandleRect(i), Qt::black);
    }
    painter.restore();
}

bool RectTracker::BeginTrack(QPoint press) {
    const int hit = HitTest(press);
    if (hit == kHitNothing) return false;
    mode_ = Mode::kTrack;
    hit_ = hit;
    press_ = last_ = press;
    moved_ = false;
    state_.rect = Normalised(state_.rect);
    original_ = state_.rect;
    return true;
}

void RectTracker::BeginRubberBand(QPoint press) {
    mode_ = Mode::kRubberBand;
    hit_ = kHitNothing;
    press_ = last_ = press;
    moved_ = false;
}

void RectTracker::TrackTo(QPoint point) {
    if (mode_ == Mode::kIdle) return;
    if (point != last_) moved_ = true;
    last_ = point;
    if (mode_ != Mode::kTrack) return;

    const std::int32_t dx = point.x() - press_.x();
    const std::int32_t dy = point.y() - press_.y();
    ViewRect r = original_;
    if (hit_ == kHitMiddle) {
        r = {r.left + dx, r.top + dy, r.right + dx, r.bottom + dy};
    } else {
        const bool left = hit_ == kHitTopLeft || hit_ == kHitBottomLeft || hit_ == kHitLeft;
        const bool right = hit_ == kHitTopRight || hit_ == kHitBottomRight || hit_ == kHitRight;
        const bool top = hit_ == kHitTopLeft || hit_ == kHitTopRight || hit_ == kHitTop;
        const bool bottom = hit_ == kHitBottomLeft || hit_ == kHitBottomRight || hit_ == kHitBottom;
        // The moved edge stops at the minimum distance from the one opposite: never inverted.
        if (left) r.left = std::min(original_.left + dx, r.right - state_.minWidth);
        if (right) r.right = std::max(original_.right + dx, r.left + state_.minWidth);
        if (top) r.top = std::min(original_.top + dy, r.bottom - state_.minHeight);
        if (bottom) r.bottom = std::max(original_.bottom + dy, r.top + state_.minHeight);
    }
    state_.rect = r;
}

bool RectTracker::Finish() {
    const Mode mode = mode_;
    mode_ = Mode::kIdle;
    if (mode == Mode::kTrack) return state_.rect != original_;
    if (mode == Mode::kRubberBand) return moved_;
    return false;
}

void RectTracker::Cancel() {
    if (mode_ == Mode::kTrack) state_.rect = original_;
    mode_ = Mode::kIdle;
}

ViewRect RectTracker::Band() const {
    // No inversion: the band grows only to the right of and below its start.
    return {press_.x(), press_.y(), std::max(last_.x(), press_.x()),
            std::max(last_.y(), press_.y())};
}

void RectTracker::DrawBand(QPainter& painter) const {
    if (mode_ != Mode::kRubberBand) return;
    painter.save();
    painter.setRenderHint(QPainter::Antialiasing, false);
    DrawDottedFrame(painter, Band(), true);
    painter.restore();
}

}  // namespace velmora
