// Drawing the canvas, its scroll range and the mouse wheel.
#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QPen>
#include <QRegion>
#include <QScrollBar>
#include <QWheelEvent>
#include <algorithm>

#include "document/velmora_doc.h"
#include "view/velmora_view.h"

namespace velmora {

namespace {

constexpr int kMarkerHalf = 4;
constexpr int kMarkerSize = 9;
constexpr qreal kMarkerPenWidth = 3.0;
constexpr qreal kOutlineDash = 15.0;
constexpr qreal kOutlineGap = 2.0;
constexpr int kWheelNotch = 120;

void SetScrollAxis(QScrollBar& bar, int total, int client) {
    // Only what differs is set: a scroll bar repaints on every change of its steps, even to the
    // values it has, and this runs on each progress step of a fill.
    const int maximum = std::max(0, total - client);
    if (bar.minimum() != 0 || bar.maximum() != maximum) bar.setRange(0, maximum);
    // A page is a tenth of the whole and a line a tenth of a page.
    const int page = std::max(1, total / 10);
    if (bar.pageStep() != page) bar.setPageStep(page);
    const int line = std::max(1, page / 10);
    if (bar.singleStep() != line) bar.setSingleStep(line);
}

}  // namespace

void CVelmoraView::OnUpdate() {
    if (document_.HasImage()) UpdateScrollRanges();
    viewport()->update();
}

void CVelmoraView::UpdateScrollRanges() {
    // Without a picture the range stays as it was.
    if (!document_.HasImage()) return;
    const QSize total = ZoomedSize(document_.ImageSize(), document_.ZoomFactor());
    // The bars take room from the client, so the ranges settle over a second pass.
    for (int pass = 0; pass < 2; ++pass) {
        const QSize client = viewport()->size();
        SetScrollAxis(*horizontalScrollBar(), total.width(), client.width());
        SetScrollAxis(*verticalScrollBar(), total.height(), client.height());
    }
}

void CVelmoraView::resizeEvent(QResizeEvent* event) {
    QAbstractScrollArea::resizeEvent(event);
    UpdateScrollRanges();
}

void CVelmoraView::scrollContentsBy(int /*dx*/, int /*dy*/) {
    viewport()->update();
}

void CVelmoraView::RedrawNow() {
    viewport()->repaint();
}

void CVelmoraView::wheelEvent(QWheelEvent* event) {
    viewport()->update();
    event->accept();
    // No zoom by wheel; with Ctrl or Shift held the wheel does nothing at all.
    if ((event->modifiers() & (Qt::ControlModifier | Qt::ShiftModifier)) != 0) return;
    QScrollBar* const vertical = verticalScrollBar();
    QScrollBar* const horizontal = horizontalScrollBar();
    QScrollBar* const bar = vertical->maximum() > 0     ? vertical
                            : horizontal->maximum() > 0 ? horizontal
                                                        : nullptr;
    if (bar == nullptr) return;
    const QPoint angle = event->angleDelta();
    wheelRemainder_ += angle.y() != 0 ? angle.y() : angle.x();
    const int notches = wheelRemainder_ / kWheelNotch;
    if (notches == 0) return;
    wheelRemainder_ -= notches * kWheelNotch;
    const int lines = std::max(1, QApplication::wheelScrollLines());
    bar->setValue(bar->value() - notches * lines * bar->singleStep());
}

void CVelmoraView::SyncTrackerRect() {
    // While the user drags the tracker its rectangle is the one being edited.
    if (tracker_.Tracking() && !tracker_.RubberBanding()) return;
    const FillRect& source = document_.SourceRect();
    const CanvasMapping mapping = Mapping();
    const QPoint topLeft = mapping.ToView({source.x, source.y});
    const QPoint bottomRight = mapping.ToView({source.x + source.width, source.y + source.height});
    document_.SourceTracker().rect = {topLeft.x(), topLeft.y(), bottomRight.x(), bottomRight.y()};
}

void CVelmoraView::paintEvent(QPaintEvent* /*event*/) {
    QPainter painter(viewport());
    if (!document_.HasImage()) {
        painter.fillRect(viewport()->rect(), palette().window());
        return;
    }
    DrawCanvas(painter);
}

void CVelmoraView::DrawCanvas(QPainter& painter) {
    const QSize client = viewport()->size();
    if (client.isEmpty()) return;
    const CanvasMapping mapping = Mapping();
    const VisiblePart part = ComputeVisiblePart(document_.ImageSize(), client, mapping);

    // Straight onto the viewport: the window's backing store already composes the frame off
    // screen and shows it in one copy. The canvas is white wherever the picture does not cover it.
    for (const QRect& r : QRegion(QRect(QPoint(), client)).subtracted(part.destination))
        painter.fillRect(r, Qt::white);
    if (!part.destination.isEmpty()) {
        // Only the copy of the picture holds the guard: a running fill skips a progress
        // write-back rather than wait for it.
        const PaintAccess access = document_.LockForPaint();
        if (const QImage* const image = access.Image(); image != nullptr) {
            // A picture with transparency shows over white, not over the previous frame.
            if (image->hasAlphaChannel()) painter.fillRect(part.destination, Qt::white);
            painter.drawImage(part.destination, *image, part.source);
        } else {
            painter.fillRect(part.destination, Qt::white);
        }
    }
    DrawSelection(painter, mapping);

    if (TrackerShown()) {
        SyncTrackerRect();
        tracker_.Draw(painter);
    }
    tracker_.DrawBand(painter);
}

void CVelmoraView::DrawSelection(QPainter& painter, const CanvasMapping& mapping) const {
    const SelectionPolygon& selection = document_.Selection();
    const std::span<const GridPoint> points = selection.Points();
    painter.setRenderHint(QPainter::Antialiasing, false);

    // Edges between consecutive points only: an open outline shows its rubber band, a closed
    // one its whole length because the last point repeats the first.
    QPen outline(Qt::black, 1.0);
    outline.setDashPattern({kOutlineDash, kOutlineGap});
    painter.setPen(outline);
    for (std::size_t i = 1; i < points.size(); ++i)
        painter.drawLine(mapping.ToView(points[i - 1]), mapping.ToView(points[i]));

    // Later markers cover earlier ones, so the closing point's black hides the first red.
    QPen first(Qt::red, kMarkerPenWidth);
    QPen other(Qt::black, kMarkerPenWidth);
    first.setJoinStyle(Qt::MiterJoin);
    other.setJoinStyle(Qt::MiterJoin);
    painter.setBrush(Qt::NoBrush);
    for (std::size_t i = 0; i < points.size(); ++i) {
        const QPoint centre = mapping.ToView(points[i]);
        painter.setPen(i == 0 ? first : other);
        painter.drawRect(
            QRectF(centre.x() - kMarkerHalf, centre.y() - kMarkerHalf, kMarkerSize, kMarkerSize));
    }
}

}  // namespace velmora
