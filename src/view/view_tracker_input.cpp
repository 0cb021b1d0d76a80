// Shift with the mouse: moving and resizing the source rectangle, the rubber band that flips the
// tracker's handles, and rebuilding the masks from either.
#include <QApplication>
#include <new>

#include "document/velmora_doc.h"
#include "view/selection_masks.h"
#include "view/velmora_view.h"

namespace velmora {

void CVelmoraView::StartSourceTracking(QPoint view, const QRect& confinement) {
    Confine(confinement);
    // Only a tracker on screen can be grabbed; anywhere else the press draws a band.
    if (TrackerShown()) {
        SyncTrackerRect();
        if (tracker_.BeginTrack(view)) return;
    }
    tracker_.BeginRubberBand(view);
}

void CVelmoraView::TrackSourceTo(QPoint view) {
    tracker_.TrackTo(view);
    RedrawNow();
}

void CVelmoraView::FinishSourceTracking() {
    const bool band = tracker_.RubberBanding();
    const bool result = tracker_.Finish();
    if (band) {
        if (result) {
            QApplication::beep();
            TrackerState& state = document_.SourceTracker();
            if (TrackerShown() && RectsIntersect(tracker_.Band(), state.rect)) {
                const bool inside = (state.style & kTrackerResizeInside) != 0;
                state.style &= ~(kTrackerResizeInside | kTrackerResizeOutside);
                state.style |= inside ? kTrackerResizeOutside : kTrackerResizeInside;
                document_.UpdateAllViews();
            }
        }
    } else if (result) {
        BuildSelectionMasks(true);
    }
    ReleaseConfinement();
    viewport()->update();
}

void CVelmoraView::CancelSourceTracking() {
    tracker_.Cancel();
    ReleaseConfinement();
    viewport()->update();
}

void CVelmoraView::BuildSelectionMasks(bool fromTracker) {
    // The masks belong to a running fill job.
    if (!document_.HasImage() || document_.Busy()) return;
    const CanvasMapping mapping = Mapping();
    SelectionMasks masks;
    masks.fillMask = std::move(document_.FillMask());
    masks.sourceMask = std::move(document_.SourceMask());
    masks.selectionBounds = document_.SelectionBounds();
    masks.sourceRect = document_.SourceRect();
    masks.trackerRect = document_.SourceTracker().rect;

    try {
        velmora::BuildSelectionMasks(
            document_.Selection().Points(),
            ViewMapping{mapping.zoom, mapping.scroll.x(), mapping.scroll.y()}, fromTracker, masks);
    } catch (const std::bad_alloc&) {
        // Out of memory: the previous masks and rectangles stay.
    }

    // Handed back whether or not the build ran; a refused build changed nothing.
    document_.FillMask() = std::move(masks.fillMask);
    document_.SourceMask() = std::move(masks.sourceMask);
    document_.SelectionBounds() = masks.selectionBounds;
    document_.SourceRect() = masks.sourceRect;
    document_.SourceTracker().rect = masks.trackerRect;
}

}  // namespace velmora
