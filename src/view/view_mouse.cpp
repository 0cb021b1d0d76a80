// The selection tools: building and editing the outline with the mouse, Escape, the cursor and
// keeping the pointer on the picture while an outline is drawn.
#include <QApplication>
#include <QGuiApplication>
#include <QKeyEvent>
#include <QMouseEvent>

#include "document/velmora_doc.h"
#include "view/velmora_view.h"

namespace velmora {

namespace {

bool IsOpenOutline(const SelectionPolygon& selection) {
    return selection.pointCount >= 2 && !IsSelectionClosed(selection);
}

}  // namespace

// --- Event plumbing: a running tracker session takes every mouse event.

void CVelmoraView::mousePressEvent(QMouseEvent* event) {
    const QPoint view = Confined(event->position().toPoint());
    lastPointer_ = view;
    if (tracker_.Tracking()) {
        if (event->button() == Qt::RightButton) CancelSourceTracking();
        return;
    }
    if (event->button() == Qt::LeftButton)
        OnLButtonDown(view, event->modifiers());
    else if (event->button() == Qt::RightButton)
        OnRButtonDown();
}

// The second press of a double click is not a press: two quick clicks make one point.
void CVelmoraView::mouseDoubleClickEvent(QMouseEvent* /*event*/) {}

void CVelmoraView::mouseMoveEvent(QMouseEvent* event) {
    const QPoint view = Confined(event->position().toPoint());
    lastPointer_ = view;
    if (tracker_.Tracking()) {
        TrackSourceTo(view);
        return;
    }
    OnMouseMove(view, event->buttons(), event->modifiers());
}

void CVelmoraView::mouseReleaseEvent(QMouseEvent* event) {
    if (event->button() != Qt::LeftButton) return;
    if (tracker_.Tracking()) {
        FinishSourceTracking();
        return;
    }
    OnLButtonUp();
}

void CVelmoraView::keyPressEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Escape) {
        if (tracker_.Tracking())
            CancelSourceTracking();
        else
            OnEscape();
        return;
    }
    if (event->key() == Qt::Key_Shift) UpdateCursor(lastPointer_, event->modifiers());
    QAbstractScrollArea::keyPressEvent(event);
}

void CVelmoraView::keyReleaseEvent(QKeyEvent* event) {
    if (event->key() == Qt::Key_Shift) UpdateCursor(lastPointer_, event->modifiers());
    QAbstractScrollArea::keyReleaseEvent(event);
}

// --- The tools.

bool CVelmoraView::AcceptsPointer(QPoint view) const {
    if (!document_.HasImage() || document_.Busy()) return false;
    // Positions beyond the client reach the view only while the button is held; they are not
    // on the canvas.
    return viewport()->rect().contains(view) &&
           InsidePicture(view, document_.ImageSize(), Mapping());
}

std::int32_t CVelmoraView::GrabbablePointAt(GridPoint image) const {
    const SelectionPolygon& selection = document_.Selection();
    if (!IsSelectionClosed(selection)) return 0;
    // Point 0 moves with the last point, which repeats it; it is never grabbed by itself.
    for (std::int32_t i = 1; i < selection.pointCount; ++i) {
        if (IsNear(image, selection.points[static_cast<std::size_t>(i)])) return i;
    }
    return 0;
}

void CVelmoraView::OnLButtonDown(QPoint view, Qt::KeyboardModifiers modifiers) {
    if (!AcceptsPointer(view)) return;
    const QRect confinement =
        ConfinementRect(viewport()->size(), document_.ImageSize(), document_.ZoomFactor());
    const GridPoint image = Mapping().ToImage(view);

    if ((modifiers & Qt::ShiftModifier) != 0) {
        StartSourceTracking(view, confinement);
        return;
    }
    dragVertex_ = 0;
    // Grabbing a point of a closed outline comes before every tool.
    if (const std::int32_t grabbed = GrabbablePointAt(image); grabbed != 0) {
        dragVertex_ = grabbed;
        Confine(confinement);
        return;
    }
    PressWithTool(image, confinement);
}

void CVelmoraView::PressWithTool(GridPoint image, const QRect& confinement) {
    const SelectionPolygon& selection = document_.Selection();
    switch (document_.GetToolMode()) {
        case TOOL_RECTANGLE:
            Confine(confinement);
            document_.ClearSelection();
            document_.AddPoint(image.x, image.y);
            break;
        case TOOL_POLYGON:
            if (IsOpenOutline(selection)) {
                const std::int32_t last = selection.pointCount - 1;
                const GridPoint start = selection.points[0];
                if (IsNear(image, start)) {
                    document_.SetPoint(last, start.x, start.y);
                    ReleaseConfinement();
                } else {
                    // The rubber-band point stays where clicked and a new one follows the pointer.
                    document_.SetPoint(last, image.x, image.y);
                    document_.AddPoint(image.x, image.y);
                }
            } else {
                Confine(confinement);
                document_.ClearSelection();
                document_.AddPoint(image.x, image.y);
                // The first rubber-band point sits one pixel right, so the outline is not closed.
                document_.AddPoint(image.x + 1, image.y);
            }
            break;
        case TOOL_SELECT:
        case TOOL_MOVE:
            break;
    }
}

void CVelmoraView::OnMouseMove(QPoint view, Qt::MouseButtons buttons,
                               Qt::KeyboardModifiers modifiers) {
    UpdateCursor(view, modifiers);
    if (!AcceptsPointer(view)) return;
    const GridPoint image = Mapping().ToImage(view);

    if ((buttons & Qt::LeftButton) != 0 && dragVertex_ != 0) {
        document_.SetPoint(dragVertex_, image.x, image.y);
        if (dragVertex_ == document_.Selection().pointCount - 1)
            document_.SetPoint(0, image.x, image.y);  // keeps the outline closed
        RedrawNow();
        return;
    }
    MoveWithTool(image, buttons);
}

void CVelmoraView::MoveWithTool(GridPoint image, Qt::MouseButtons buttons) {
    const SelectionPolygon& selection = document_.Selection();
    switch (document_.GetToolMode()) {
        case TOOL_POLYGON:
            if (IsOpenOutline(selection)) {
                // Near the start the band point waits beside it: only a click closes the outline.
                const GridPoint start = selection.points[0];
                const GridPoint band =
                    IsNear(image, start) ? GridPoint{start.x + 1, start.y} : image;
                document_.SetPoint(selection.pointCount - 1, band.x, band.y);
                RedrawNow();
            }
            break;
        case TOOL_RECTANGLE:
            if ((buttons & Qt::LeftButton) != 0) {
                if (selection.pointCount != 0) SetRectangleSelection(image);
                RedrawNow();
            }
            break;
        case TOOL_SELECT:
        case TOOL_MOVE:
            break;
    }
}

void CVelmoraView::SetRectangleSelection(GridPoint corner) {
    const GridPoint anchor = document_.Selection().points[0];
    if (document_.Selection().pointCount > 5) {
        document_.ClearSelection();
        document_.AddPoint(anchor.x, anchor.y);
    }
    while (document_.Selection().pointCount < 5) document_.AddPoint(anchor.x, anchor.y);
    document_.SetPoint(1, corner.x, anchor.y);
    document_.SetPoint(2, corner.x, corner.y);
    document_.SetPoint(3, anchor.x, corner.y);
    document_.SetPoint(4, anchor.x, anchor.y);
}

void CVelmoraView::OnLButtonUp() {
    if (!document_.HasImage() || document_.Busy()) return;
    if (dragVertex_ != 0) {
        dragVertex_ = 0;
        ReleaseConfinement();
    }
    if (document_.GetToolMode() == TOOL_RECTANGLE) ReleaseConfinement();
    if (IsSelectionClosed(document_.Selection())) BuildSelectionMasks(false);
    document_.UpdateAllViews();
}

void CVelmoraView::OnRButtonDown() {
    if (!IsSelectionClosed(document_.Selection())) ReleaseConfinement();
    if (document_.Busy()) return;
    document_.ClearSelection();
    RedrawNow();
}

void CVelmoraView::OnEscape() {
    // Also while a fill runs: the job works on its own copy of the rectangles.
    if (!IsSelectionClosed(document_.Selection())) ReleaseConfinement();
    document_.ClearSelection();
    RedrawNow();
}

// --- Cursor and confinement.

void CVelmoraView::UpdateCursor(QPoint view, Qt::KeyboardModifiers modifiers) {
    Qt::CursorShape shape = Qt::ArrowCursor;
    if ((modifiers & Qt::ShiftModifier) != 0 && TrackerShown() &&
        viewport()->rect().contains(view)) {
        SyncTrackerRect();
        if (const int hit = tracker_.HitTest(view); hit != RectTracker::kHitNothing)
            shape = RectTracker::CursorFor(hit);
    }
    if (AcceptsPointer(view)) {
        if (document_.GetToolMode() != TOOL_POLYGON) shape = Qt::CrossCursor;
        if (GrabbablePointAt(Mapping().ToImage(view)) != 0) shape = Qt::SizeAllCursor;
    }
    viewport()->setCursor(shape);
}

void CVelmoraView::Confine(const QRect& confinement) {
    if (confinement.isEmpty()) return;
    confinement_ = confinement;
    // The top-level window hears of modal windows over it; the canvas follows along.
    if (watchedWindow_ != window()) {
        if (watchedWindow_ != nullptr) watchedWindow_->removeEventFilter(this);
        watchedWindow_ = window();
        watchedWindow_->installEventFilter(this);
    }
    SyncPointerGrab();
}

void CVelmoraView::ReleaseConfinement() {
    if (!confinement_) return;
    confinement_.reset();
    SyncPointerGrab();
}

bool CVelmoraView::HoldsPointer() const {
    if (!confinement_ || !isVisible() || !isActiveWindow()) return false;
    const QWidget* const modal = QApplication::activeModalWidget();
    return modal == nullptr || modal == window();
}

void CVelmoraView::SyncPointerGrab() {
    // A grab kept while another window is in front would leave that window deaf to the mouse.
    if (HoldsPointer()) {
        if (QWidget::mouseGrabber() != viewport()) viewport()->grabMouse();
    } else if (QWidget::mouseGrabber() == viewport()) {
        viewport()->releaseMouse();
    }
}

void CVelmoraView::changeEvent(QEvent* event) {
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::ActivationChange) SyncPointerGrab();
}

bool CVelmoraView::eventFilter(QObject* watched, QEvent* event) {
    if (watched == watchedWindow_) {
        switch (event->type()) {
            case QEvent::WindowBlocked:
            case QEvent::WindowUnblocked:
            case QEvent::WindowActivate:
            case QEvent::WindowDeactivate:
            case QEvent::Hide:
                SyncPointerGrab();
                break;
            default:
                break;
        }
        return false;
    }
    return QAbstractScrollArea::eventFilter(watched, event);
}

QPoint CVelmoraView::Confined(QPoint view) const {
    return confinement_ ? ClampInto(view, *confinement_) : view;
}

}  // namespace velmora
