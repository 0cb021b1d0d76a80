#pragma once

#include <QAbstractScrollArea>
#include <QPoint>
#include <QPointer>
#include <QRect>
#include <cstdint>
#include <optional>

#include "engine/grid_point.h"
#include "platform/rect_tracker.h"
#include "view/canvas_geometry.h"

class QPainter;

namespace velmora {

class CVelmoraDoc;

// The one canvas of the program: the current picture at the document's zoom factor with the
// selection outline, its point markers and the source-rectangle tracker; and the mouse and key
// tools that draw and edit the outline, move the source rectangle and open dropped files.
// It handles no command of its own.
class CVelmoraView : public QAbstractScrollArea {
    Q_OBJECT

  public:
    // The document must outlive the view.
    explicit CVelmoraView(CVelmoraDoc& document, QWidget* parent = nullptr);
    ~CVelmoraView() override;

    [[nodiscard]] CVelmoraDoc& GetDocument() const { return document_; }

    // Scroll range from the zoomed picture, then a full repaint. Runs on every update of the
    // document's views.
    void OnUpdate();

    // Turns the closed outline into the fill's masks and rectangles. With `fromTracker` the
    // source rectangle is read from the tracker; otherwise it is derived from the selection and
    // the tracker is set to show it. Does nothing while a fill runs or without enough points.
    void BuildSelectionMasks(bool fromTracker);

    // --- Read-outs of the view's own state.
    [[nodiscard]] QPoint ScrollPosition() const;
    [[nodiscard]] CanvasMapping Mapping() const;
    // Index of the outline point being dragged; 0 when none.
    [[nodiscard]] std::int32_t DragVertex() const { return dragVertex_; }
    // The rectangle the pointer is kept in (client pixels), while it is kept.
    [[nodiscard]] std::optional<QRect> Confinement() const { return confinement_; }
    // The canvas holds the pointer: it is confined, and its window is the active one with no
    // modal window over it. Any other window can be worked while the canvas does not.
    [[nodiscard]] bool HoldsPointer() const;
    // The source tracker is on screen: a closed outline and no fill running.
    [[nodiscard]] bool TrackerShown() const;
    [[nodiscard]] bool TrackingSourceRect() const { return tracker_.Tracking(); }

  protected:
    void paintEvent(QPaintEvent* event) override;
    void resizeEvent(QResizeEvent* event) override;
    void scrollContentsBy(int dx, int dy) override;
    void wheelEvent(QWheelEvent* event) override;
    void mousePressEvent(QMouseEvent* event) override;
    void mouseDoubleClickEvent(QMouseEvent* event) override;
    void mouseMoveEvent(QMouseEvent* event) override;
    void mouseReleaseEvent(QMouseEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;
    void keyReleaseEvent(QKeyEvent* event) override;
    void dragEnterEvent(QDragEnterEvent* event) override;
    void dragMoveEvent(QDragMoveEvent* event) override;
    void dropEvent(QDropEvent* event) override;
    void changeEvent(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

  private:
    // view_painting.cpp
    void UpdateScrollRanges();
    void DrawCanvas(QPainter& painter);
    void DrawSelection(QPainter& painter, const CanvasMapping& mapping) const;
    void SyncTrackerRect();
    void RedrawNow();

    // view_mouse.cpp
    void OnLButtonDown(QPoint view, Qt::KeyboardModifiers modifiers);
    void OnMouseMove(QPoint view, Qt::MouseButtons buttons, Qt::KeyboardModifiers modifiers);
    void OnLButtonUp();
    void OnRButtonDown();
    void OnEscape();
    void PressWithTool(GridPoint image, const QRect& confinement);
    void MoveWithTool(GridPoint image, Qt::MouseButtons buttons);
    void SetRectangleSelection(GridPoint corner);
    [[nodiscard]] bool AcceptsPointer(QPoint view) const;
    [[nodiscard]] std::int32_t GrabbablePointAt(GridPoint image) const;
    void UpdateCursor(QPoint view, Qt::KeyboardModifiers modifiers);
    void Confine(const QRect& confinement);
    void ReleaseConfinement();
    [[nodiscard]] QPoint Confined(QPoint view) const;
    // Takes or gives up the pointer grab as the confinement and the window's state require.
    void SyncPointerGrab();

    // view_tracker_input.cpp
    void StartSourceTracking(QPoint view, const QRect& confinement);
    void TrackSourceTo(QPoint view);
    void FinishSourceTracking();
    void CancelSourceTracking();

    CVelmoraDoc& document_;
    RectTracker tracker_;
    std::int32_t dragVertex_ = 0;
    std::optional<QRect> confinement_;
    QPointer<QWidget> watchedWindow_;  // told us when modal windows come and go
    QPoint lastPointer_;
    int wheelRemainder_ = 0;
};

}  // namespace velmora
