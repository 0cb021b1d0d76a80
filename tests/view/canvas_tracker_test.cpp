// Shift with the mouse on the source tracker, and the masks built from outlines drawn on the
// canvas: the worked examples of the selection rules, reached through the widget.
#include <cmath>

#include "canvas_test_support.h"

using namespace velmora;
using namespace velmora::test;

class CanvasTrackerTest : public QObject {
    Q_OBJECT

  private slots:
    void shiftDragMovesTheSourceRectangle();
    void resizeStopsAtTheMinimumAndNeverInverts();
    void escapeOrRightButtonCancelTracking();
    void rubberBandTogglesHandlesOnlyOverTheTracker();
    void shiftPressBesideThePictureIsIgnored();
    void hiddenTrackerCannotBeGrabbed();
    void trackerMovedPartlyOffThePictureStillFills();
    void fromTrackerAtZoomTwoScrolled();
    void starLeavesItsCentreOut();
    void sourceRectangleAtTheEdgesAndWide_data();
    void sourceRectangleAtTheEdgesAndWide();
};

namespace {

constexpr auto kShift = Qt::ShiftModifier;

// The tracker of the rectangle (100, 80)-(160, 120) at zoom 1: (50, 75) to (210, 125).
void SetUpRectangle(Canvas& canvas) {
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
}

}  // namespace

void CanvasTrackerTest::shiftDragMovesTheSourceRectangle() {
    Canvas canvas;
    SetUpRectangle(canvas);
    const auto outline = canvas.Points();

    canvas.Press({150, 100}, kShift);  // inside both the tracker and the outline
    QVERIFY(canvas.view().TrackingSourceRect());
    QVERIFY(canvas.view().Confinement());
    canvas.Move({170, 110}, Qt::LeftButton, kShift);
    canvas.Screenshot(QStringLiteral("tracker-moving"));
    canvas.Release({170, 110}, kShift);
    QVERIFY(!canvas.view().TrackingSourceRect());
    QVERIFY(!canvas.view().Confinement());

    QCOMPARE(canvas.Points(), outline);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{70, 85, 230, 135}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{70, 85, 160, 50}));
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{100, 80, 60, 40}));
    const ByteGrid& source = canvas.doc().SourceMask();
    QCOMPARE(CountMask(source, kMaskClear), 160 * 50 - 60 * 35);  // less the overlap
    QCOMPARE(*source.At({225, 130}), kMaskClear);
    QCOMPARE(*source.At({55, 80}), kMaskSet);
    QCOMPARE(*source.At({120, 100}), kMaskSet);

    // The rectangle stays where it was moved when the canvas repaints.
    const QImage frame = canvas.Render();
    QCOMPARE(frame.pixel(73, 88), kBlack);
    QCOMPARE(frame.pixel(53, 78), kGrey);
}

void CanvasTrackerTest::resizeStopsAtTheMinimumAndNeverInverts() {
    Canvas canvas;
    SetUpRectangle(canvas);
    // The bottom-right handle dragged far up and left: 50 x 50 at the top-left corner.
    canvas.Drag({206, 121}, {10, 10}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 100, 125}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{50, 75, 50, 50}));
    // The left side dragged past the right one.
    canvas.Drag({52, 100}, {380, 100}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 100, 125}));
    // The top-left handle widens it.
    canvas.Drag({52, 77}, {22, 47}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{20, 45, 100, 125}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{20, 45, 80, 80}));
}

void CanvasTrackerTest::trackerMovedPartlyOffThePictureStillFills() {
    Canvas canvas;
    QImage picture = UniformPicture(400, 300);
    for (int y = 90; y < 110; ++y)
        for (int x = 115; x < 145; ++x) picture.setPixel(x, y, kRed);
    QVERIFY(canvas.Open(picture));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));

    // Dragged up and left until a good part of it hangs over the picture's corner.
    canvas.Drag({150, 100}, {60, 20}, kShift);
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{0, 0, 120, 45}));
    // The tracker shows what the fill uses.
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{0, 0, 120, 45}));

    canvas.Command(ID_FILL_START);
    QTRY_VERIFY_WITH_TIMEOUT(!canvas.doc().Busy(), 60000);
    const QImage& filled = *canvas.doc().History().GetCurrent();
    int red = 0;
    for (int y = 90; y < 110; ++y)
        for (int x = 115; x < 145; ++x) red += filled.pixel(x, y) == kRed ? 1 : 0;
    QCOMPARE(red, 0);
}

void CanvasTrackerTest::escapeOrRightButtonCancelTracking() {
    Canvas canvas;
    SetUpRectangle(canvas);
    canvas.Press({150, 100}, kShift);
    canvas.Move({250, 200}, Qt::LeftButton, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{150, 175, 310, 225}));
    canvas.Key(Qt::Key_Escape);
    QVERIFY(!canvas.view().TrackingSourceRect());
    QVERIFY(!canvas.view().Confinement());
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    QCOMPARE(canvas.doc().Selection().pointCount, 5);  // Escape only ended the tracking

    canvas.Press({150, 100}, kShift);
    canvas.Move({250, 200}, Qt::LeftButton, kShift);
    canvas.Mouse(QEvent::MouseButtonPress, {250, 200}, Qt::RightButton,
                 Qt::LeftButton | Qt::RightButton, kShift);
    QVERIFY(!canvas.view().TrackingSourceRect());
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{50, 75, 160, 50}));
    QCOMPARE(canvas.doc().Selection().pointCount, 5);
}

void CanvasTrackerTest::rubberBandTogglesHandlesOnlyOverTheTracker() {
    Canvas canvas;
    SetUpRectangle(canvas);
    const std::uint32_t inside = kTrackerDottedLine | kTrackerResizeInside;
    const std::uint32_t outside = kTrackerDottedLine | kTrackerResizeOutside;
    QCOMPARE(canvas.doc().SourceTracker().style, inside);

    canvas.Drag({250, 150}, {350, 250}, kShift);  // away from the tracker
    QCOMPARE(canvas.doc().SourceTracker().style, inside);
    canvas.Press({20, 20}, kShift);
    canvas.Move({60, 90}, Qt::LeftButton, kShift);
    canvas.Screenshot(QStringLiteral("tracker-rubber-band"));
    canvas.Release({60, 90}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().style, outside);
    QCOMPARE(canvas.Render().pixel(45, 70), kBlack);  // handles now outside
    // Without moving, a band is no band.
    canvas.Press({30, 30}, kShift);
    canvas.Release({30, 30}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().style, outside);
    // Dragged up and left the band cannot turn over and reaches nothing.
    canvas.Drag({45, 200}, {100, 100}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().style, outside);
    canvas.Drag({20, 20}, {60, 90}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().style, inside);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    QCOMPARE(canvas.doc().Selection().pointCount, 5);
}

void CanvasTrackerTest::shiftPressBesideThePictureIsIgnored() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    // With its handles outside, the tracker's right handles lie beyond the picture.
    canvas.DragRectangle({300, 80}, {380, 120});
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{250, 75, 400, 125}));
    canvas.doc().SourceTracker().style = kTrackerDottedLine | kTrackerResizeOutside;
    canvas.Move({403, 128}, Qt::NoButton, kShift);
    QCOMPARE(canvas.Cursor(), Qt::SizeFDiagCursor);  // shown there all the same
    canvas.Press({403, 128}, kShift);
    QVERIFY(!canvas.view().TrackingSourceRect());
    QVERIFY(!canvas.view().Confinement());
}

void CanvasTrackerTest::hiddenTrackerCannotBeGrabbed() {
    Canvas canvas;
    SetUpRectangle(canvas);
    canvas.Command(ID_TOOL_POLYGON);
    canvas.Click({300, 200});  // an open outline: no tracker on screen
    canvas.Press({150, 100}, kShift);
    canvas.Move({170, 110}, Qt::LeftButton, kShift);
    canvas.Release({170, 110}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    QCOMPARE(canvas.doc().SourceRect(), FillRect{});
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{100, 80, 60, 40}));
}

void CanvasTrackerTest::fromTrackerAtZoomTwoScrolled() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    canvas.Zoom(2);
    canvas.ScrollTo({30, 0});
    canvas.Render();
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{70, 150, 390, 250}));

    // The top-left handle to (10, 20), then the bottom-right one to (210, 120).
    canvas.Drag({72, 152}, {12, 22}, kShift);
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{20, 10, 190, 115}));
    canvas.Drag({386, 246}, {206, 116}, kShift);
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{10, 20, 210, 120}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{20, 10, 100, 50}));
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{100, 80, 60, 40}));
    QCOMPARE(CountMask(canvas.doc().SourceMask(), kMaskClear), 100 * 50);
    QCOMPARE(*canvas.doc().SourceMask().At({20, 10}), kMaskClear);
    QCOMPARE(*canvas.doc().SourceMask().At({119, 59}), kMaskClear);
    QCOMPARE(*canvas.doc().SourceMask().At({120, 59}), kMaskSet);
    canvas.Screenshot(QStringLiteral("tracker-zoom2-scrolled"));
}

void CanvasTrackerTest::starLeavesItsCentreOut() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    // A five-pointed star drawn as one outline: every second tip in turn.
    std::vector<QPoint> tips;
    for (int k = 0; k < 5; ++k) {
        const double angle = (-90.0 + 144.0 * k) * M_PI / 180.0;
        tips.emplace_back(200 + static_cast<int>(std::lround(100 * std::cos(angle))),
                          150 + static_cast<int>(std::lround(100 * std::sin(angle))));
    }
    canvas.ClickPolygon({tips[0], tips[1], tips[2], tips[3], tips[4]});
    QCOMPARE(canvas.doc().Selection().pointCount, 6);
    QVERIFY(IsSelectionClosed(canvas.doc().Selection()));

    const ByteGrid& fill = canvas.doc().FillMask();
    QCOMPARE(*fill.At({200, 150}), kMaskClear);  // the central pentagon
    QCOMPARE(*fill.At({200, 70}), kMaskSet);     // the top point
    QCOMPARE(*fill.At({130, 130}), kMaskSet);    // the left point
    QCOMPARE(*fill.At({20, 20}), kMaskClear);
    QCOMPARE(*canvas.doc().SourceMask().At({200, 150}), kMaskClear);  // a source again
    canvas.Screenshot(QStringLiteral("star"));
}

void CanvasTrackerTest::sourceRectangleAtTheEdgesAndWide_data() {
    QTest::addColumn<QSize>("picture");
    QTest::addColumn<QPoint>("from");
    QTest::addColumn<QPoint>("to");
    QTest::addColumn<FillRect>("sourceRect");
    QTest::newRow("left edge") << QSize(400, 300) << QPoint(10, 20) << QPoint(50, 60)
                               << FillRect{0, 15, 140, 50};
    QTest::newRow("right edge") << QSize(400, 300) << QPoint(350, 100) << QPoint(390, 140)
                                << FillRect{300, 95, 100, 50};
    QTest::newRow("wide") << QSize(800, 300) << QPoint(250, 100) << QPoint(550, 140)
                          << FillRect{100, 95, 600, 50};
}

void CanvasTrackerTest::sourceRectangleAtTheEdgesAndWide() {
    QFETCH(QSize, picture);
    QFETCH(QPoint, from);
    QFETCH(QPoint, to);
    QFETCH(FillRect, sourceRect);
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(picture.width(), picture.height())));
    canvas.Show({900, 400});
    canvas.DragRectangle(from, to);
    QCOMPARE(canvas.doc().SourceRect(), sourceRect);
    const ViewRect tracker{sourceRect.x, sourceRect.y, sourceRect.x + sourceRect.width,
                           sourceRect.y + sourceRect.height};
    QCOMPARE(canvas.doc().SourceTracker().rect, tracker);
}

QTEST_MAIN(CanvasTrackerTest)
#include "canvas_tracker_test.moc"
