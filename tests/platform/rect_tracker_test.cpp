// The rectangle tracker on its own: where its handles are, what a point hits, the cursors, the
// move and resize sessions with their limits, the rubber band, and what it draws.
#include <QImage>
#include <QPainter>
#include <QTest>

#include "platform/rect_tracker.h"

using namespace velmora;

class RectTrackerTest : public QObject {
    Q_OBJECT

  private slots:
    void handlesInsideSitInTheCorners();
    void handlesOutsideSitBeyondTheCorners();
    void sideHandlesNeedMoreThanTwentyEightPixels();
    void insideHandlesShrinkOnASmallRectangle();
    void hitTestFindsHandlesThenTheInside();
    void cursorsFollowTheHandle();
    void moveAndResizeKeepTheMinimumAndNeverInvert();
    void cancelPutsTheRectangleBack();
    void rubberBandGrowsRightAndDownOnly();
    void drawsDottedOutlineOnePixelOutsideAndSolidHandles();
};

namespace {

TrackerState StateWith(ViewRect rect,
                       std::uint32_t style = kTrackerDottedLine | kTrackerResizeInside) {
    TrackerState state;
    state.rect = rect;
    state.style = style;
    return state;
}

}  // namespace

void RectTrackerTest::handlesInsideSitInTheCorners() {
    TrackerState state = StateWith({50, 75, 210, 125});
    const RectTracker tracker(state);
    QCOMPARE(tracker.HandleRect(RectTracker::kHitTopLeft), QRect(50, 75, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitTopRight), QRect(202, 75, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitBottomRight), QRect(202, 117, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitBottomLeft), QRect(50, 117, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitTop), QRect(126, 75, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitLeft), QRect(50, 96, 8, 8));
}

void RectTrackerTest::handlesOutsideSitBeyondTheCorners() {
    TrackerState state = StateWith({50, 75, 210, 125}, kTrackerDottedLine | kTrackerResizeOutside);
    const RectTracker tracker(state);
    QCOMPARE(tracker.HandleRect(RectTracker::kHitTopLeft), QRect(42, 67, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitBottomRight), QRect(210, 125, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitRight), QRect(210, 96, 8, 8));
    QCOMPARE(tracker.HandleRect(RectTracker::kHitBottom), QRect(126, 125, 8, 8));
}

void RectTrackerTest::sideHandlesNeedMoreThanTwentyEightPixels() {
    TrackerState state = StateWith({0, 0, 28, 29});
    const RectTracker tracker(state);
    // 28 wide: no middles on the top and bottom; 29 high: middles on the left and right.
    QCOMPARE(tracker.HandleMask(),
             0x0Fu | (1u << RectTracker::kHitLeft) | (1u << RectTracker::kHitRight));
    state.rect = {0, 0, 29, 28};
    QCOMPARE(tracker.HandleMask(),
             0x0Fu | (1u << RectTracker::kHitTop) | (1u << RectTracker::kHitBottom));
    state.style = kTrackerDottedLine;  // no resize style: no handles
    QCOMPARE(tracker.HandleMask(), 0u);
}

void RectTrackerTest::insideHandlesShrinkOnASmallRectangle() {
    TrackerState state = StateWith({10, 10, 22, 60});
    const RectTracker tracker(state);
    QCOMPARE(tracker.HandleExtent(), 6);  // 12 wide, shorter than two handles: half of it
    state.rect = {10, 10, 26, 60};
    QCOMPARE(tracker.HandleExtent(), 8);
    state.rect = {10, 10, 22, 60};
    state.style = kTrackerDottedLine | kTrackerResizeOutside;
    QCOMPARE(tracker.HandleExtent(), 8);  // outside they keep their size
}

void RectTrackerTest::hitTestFindsHandlesThenTheInside() {
    TrackerState state = StateWith({50, 75, 210, 125});
    const RectTracker tracker(state);
    QCOMPARE(tracker.HitTest({50, 75}), int(RectTracker::kHitTopLeft));
    QCOMPARE(tracker.HitTest({209, 124}), int(RectTracker::kHitBottomRight));
    QCOMPARE(tracker.HitTest({130, 124}), int(RectTracker::kHitBottom));
    QCOMPARE(tracker.HitTest({130, 100}), int(RectTracker::kHitMiddle));
    QCOMPARE(tracker.HitTest({49, 100}), int(RectTracker::kHitMiddle));  // the outline
    QCOMPARE(tracker.HitTest({48, 100}), int(RectTracker::kHitNothing));
    QCOMPARE(tracker.HitTest({130, 126}), int(RectTracker::kHitNothing));
    // A hidden middle handle is not hit: the inside is.
    state.rect = {50, 75, 70, 125};
    QCOMPARE(tracker.HitTest({60, 75}), int(RectTracker::kHitMiddle));
}

void RectTrackerTest::cursorsFollowTheHandle() {
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitTopLeft), Qt::SizeFDiagCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitBottomRight), Qt::SizeFDiagCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitTopRight), Qt::SizeBDiagCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitBottomLeft), Qt::SizeBDiagCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitTop), Qt::SizeVerCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitLeft), Qt::SizeHorCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitMiddle), Qt::SizeAllCursor);
    QCOMPARE(RectTracker::CursorFor(RectTracker::kHitNothing), Qt::ArrowCursor);
}

void RectTrackerTest::moveAndResizeKeepTheMinimumAndNeverInvert() {
    TrackerState state = StateWith({50, 75, 210, 125});
    RectTracker tracker(state);
    QVERIFY(!tracker.BeginTrack({10, 10}));
    QVERIFY(!tracker.Tracking());

    QVERIFY(tracker.BeginTrack({100, 100}));
    tracker.TrackTo({90, 130});
    QCOMPARE(state.rect, (ViewRect{40, 105, 200, 155}));
    QVERIFY(tracker.Finish());

    QVERIFY(tracker.BeginTrack({42, 107}));  // top-left
    tracker.TrackTo({500, 500});
    QCOMPARE(state.rect, (ViewRect{150, 105, 200, 155}));
    tracker.TrackTo({30, 95});
    QCOMPARE(state.rect, (ViewRect{28, 93, 200, 155}));
    QVERIFY(tracker.Finish());

    QVERIFY(tracker.BeginTrack({115, 153}));  // bottom middle: only the bottom moves
    tracker.TrackTo({0, 0});
    QCOMPARE(state.rect, (ViewRect{28, 93, 200, 143}));
    tracker.TrackTo({115, 153});
    QVERIFY(!tracker.Finish());  // back where it started: unchanged
}

void RectTrackerTest::cancelPutsTheRectangleBack() {
    TrackerState state = StateWith({50, 75, 210, 125});
    RectTracker tracker(state);
    QVERIFY(tracker.BeginTrack({205, 120}));
    tracker.TrackTo({300, 200});
    QCOMPARE(state.rect, (ViewRect{50, 75, 305, 205}));
    tracker.Cancel();
    QVERIFY(!tracker.Tracking());
    QCOMPARE(state.rect, (ViewRect{50, 75, 210, 125}));
}

void RectTrackerTest::rubberBandGrowsRightAndDownOnly() {
    TrackerState state = StateWith({50, 75, 210, 125});
    RectTracker tracker(state);
    tracker.BeginRubberBand({20, 20});
    QVERIFY(tracker.RubberBanding());
    tracker.TrackTo({60, 90});
    QCOMPARE(tracker.Band(), (ViewRect{20, 20, 60, 90}));
    tracker.TrackTo({5, 90});
    QCOMPARE(tracker.Band(), (ViewRect{20, 20, 20, 90}));
    tracker.TrackTo({20, 20});
    QVERIFY(tracker.Finish());  // it moved, even if it came back
    QCOMPARE(state.rect, (ViewRect{50, 75, 210, 125}));

    tracker.BeginRubberBand({30, 30});
    QVERIFY(!tracker.Finish());

    QVERIFY(RectsIntersect({20, 20, 60, 90}, state.rect));
    QVERIFY(!RectsIntersect({20, 20, 50, 90}, state.rect));  // touching is not overlapping
    QVERIFY(!RectsIntersect({20, 20, 20, 200}, state.rect));
}

void RectTrackerTest::drawsDottedOutlineOnePixelOutsideAndSolidHandles() {
    TrackerState state = StateWith({20, 20, 80, 60});
    const RectTracker tracker(state);
    QImage image(100, 100, QImage::Format_RGB32);
    image.fill(Qt::white);
    {
        QPainter painter(&image);
        tracker.Draw(painter);
    }
    const auto black = [&](int x, int y) { return image.pixel(x, y) == 0xFF000000u; };
    int dots = 0;
    for (int y = 20; y < 40; ++y) dots += black(19, y) ? 1 : 0;
    QVERIFY(dots >= 8 && dots <= 12);  // every other pixel
    for (int y = 28; y < 36; ++y) QVERIFY(!black(20, y) && !black(18, y));
    QVERIFY(black(20, 36) && black(27, 43));  // the middle of the left side, 40 high
    QVERIFY(black(80, 35) || black(80, 36));  // the right side, just past the rectangle
    QVERIFY(black(20, 20) && black(27, 27) && black(79, 59) && black(72, 52));
    QVERIFY(!black(28, 28));
}

QTEST_MAIN(RectTrackerTest)
#include "rect_tracker_test.moc"
