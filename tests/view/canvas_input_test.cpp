// The selection tools driven through the canvas: every state of an outline (empty, anchor, open,
// closed, point drag), the rules of each press, move and release, cursors and dropped files.
#include <QDialog>
#include <QMimeData>
#include <QUrl>

#include "canvas_test_support.h"

using namespace velmora;
using namespace velmora::test;

class CanvasInputTest : public QObject {
    Q_OBJECT

  private slots:
    void pointerHeldOnlyWhileTheWindowIsActiveAndUnblocked();
    void polygonOpensFollowsSnapsAndCloses();
    void escapeAndRightPressCancel();
    void rectangleAnchorThenDrag();
    void pressOutsideThenDragInReshapesFromTheAnchor();
    void draggingPointsAndTheClosingPoint();
    void grabbingWorksInEveryToolMode();
    void doubleClickCountsAsOneClick();
    void farEdgeIsOnThePicture();
    void closingAtOnceBuildsNoMasks();
    void zoomAndScrollMapClicksToPicturePixels();
    void fillRunningIgnoresTheMouseButNotEscape();
    void cursorShapes();
    void droppedFilesOpenTheFirst();
};

namespace {

bool AllZero(const ByteGrid& mask) {
    return CountMask(mask, 0) == static_cast<int>(mask.size());
}

}  // namespace

void CanvasInputTest::polygonOpensFollowsSnapsAndCloses() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    QVERIFY(!canvas.view().Confinement());

    canvas.Click({50, 50});
    QCOMPARE(canvas.Points(), (std::vector<GridPoint>{{50, 50}, {51, 50}}));
    QCOMPARE(canvas.view().Confinement(), std::optional<QRect>(QRect(0, 0, 400, 300)));
    QVERIFY(AllZero(canvas.doc().FillMask()));  // an open outline builds nothing

    canvas.Move({150, 60});
    QCOMPARE(canvas.Points().back(), (GridPoint{150, 60}));
    canvas.Click({150, 60});
    canvas.Move({120, 160});
    canvas.Click({120, 160});
    QCOMPARE(canvas.Points(),
             (std::vector<GridPoint>{{50, 50}, {150, 60}, {120, 160}, {120, 160}}));

    // Near the start the band point waits one pixel to its right.
    canvas.Move({58, 42});  // 8 pixels off in both directions: still near
    QCOMPARE(canvas.Points().back(), (GridPoint{51, 50}));
    canvas.Move({59, 50});
    QCOMPARE(canvas.Points().back(), (GridPoint{59, 50}));
    // The pointer stays on the picture while the outline is drawn.
    canvas.Move({250, 390});
    QCOMPARE(canvas.Points().back(), (GridPoint{250, 299}));
    canvas.Screenshot(QStringLiteral("polygon-open"));

    canvas.Press({56, 44});
    QCOMPARE(canvas.Points(), (std::vector<GridPoint>{{50, 50}, {150, 60}, {120, 160}, {50, 50}}));
    QVERIFY(!canvas.view().Confinement());
    QVERIFY(AllZero(canvas.doc().FillMask()));  // masks come with the release
    canvas.Release({56, 44});

    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{50, 50, 100, 110}));
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{0, 45, 200, 120}));
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{0, 45, 200, 165}));
    QCOMPARE(*canvas.doc().FillMask().At({110, 90}), kMaskSet);
    QCOMPARE(*canvas.doc().FillMask().At({60, 150}), kMaskClear);
    QCOMPARE(*canvas.doc().SourceMask().At({60, 150}), kMaskClear);
    QCOMPARE(*canvas.doc().SourceMask().At({110, 90}), kMaskSet);
    canvas.Screenshot(QStringLiteral("polygon-closed"));
}

void CanvasInputTest::escapeAndRightPressCancel() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});

    canvas.Click({50, 50});
    canvas.Move({100, 70});
    canvas.Click({100, 70});
    canvas.Key(Qt::Key_Escape);
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    QVERIFY(!canvas.view().Confinement());

    canvas.Click({50, 50});
    canvas.RightPress({60, 60});
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    QVERIFY(!canvas.view().Confinement());

    canvas.DragRectangle({100, 80}, {160, 120});
    QCOMPARE(canvas.doc().SourceRect(), (FillRect{50, 75, 160, 50}));
    canvas.Key(Qt::Key_Escape);
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    QCOMPARE(canvas.doc().SourceRect(), FillRect{});
    // Clearing leaves the masks of the last outline.
    QCOMPARE(CountMask(canvas.doc().FillMask(), kMaskSet), 60 * 40);
}

void CanvasInputTest::rectangleAnchorThenDrag() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.Command(ID_TOOL_RECTANGLE);

    canvas.Press({100, 80});
    QCOMPARE(canvas.Points(), (std::vector<GridPoint>{{100, 80}}));
    QVERIFY(canvas.view().Confinement());
    canvas.Release({100, 80});
    QCOMPARE(canvas.doc().Selection().pointCount, 1);
    QVERIFY(!canvas.view().Confinement());
    QVERIFY(AllZero(canvas.doc().FillMask()));

    canvas.Press({100, 80});
    canvas.Move({160, 120}, Qt::LeftButton);
    QCOMPARE(canvas.Points(),
             (std::vector<GridPoint>{{100, 80}, {160, 80}, {160, 120}, {100, 120}, {100, 80}}));
    canvas.Screenshot(QStringLiteral("rectangle-dragging"));
    canvas.Release({160, 120});

    const CVelmoraDoc& doc = canvas.doc();
    QCOMPARE(doc.SelectionBounds(), (FillRect{100, 80, 60, 40}));
    QCOMPARE(doc.SourceRect(), (FillRect{50, 75, 160, 50}));
    QCOMPARE(doc.SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    QCOMPARE(CountMask(doc.FillMask(), kMaskSet), 60 * 40);
    QCOMPARE(*doc.FillMask().At({100, 80}), kMaskSet);
    QCOMPARE(*doc.FillMask().At({159, 119}), kMaskSet);
    QCOMPARE(*doc.FillMask().At({160, 120}), kMaskClear);
    QCOMPARE(CountMask(doc.SourceMask(), kMaskClear), 160 * 50 - 60 * 40);
    QCOMPARE(*doc.SourceMask().At({50, 75}), kMaskClear);
    QCOMPARE(*doc.SourceMask().At({49, 75}), kMaskSet);
    QCOMPARE(*doc.SourceMask().At({130, 100}), kMaskSet);

    // Moved only vertically: no pixel selected.
    canvas.Drag({200, 50}, {200, 150});
    QCOMPARE(canvas.doc().Selection().pointCount, 5);
    QVERIFY(AllZero(canvas.doc().FillMask()));
}

void CanvasInputTest::pressOutsideThenDragInReshapesFromTheAnchor() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});

    canvas.Press({450, 100});  // beside the picture: ignored
    QCOMPARE(canvas.doc().Selection().pointCount, 5);
    QVERIFY(!canvas.view().Confinement());
    canvas.Move({300, 200}, Qt::LeftButton);
    QCOMPARE(canvas.Points(),
             (std::vector<GridPoint>{{100, 80}, {300, 80}, {300, 200}, {100, 200}, {100, 80}}));
    canvas.Release({300, 200});
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{100, 80, 200, 120}));
}

void CanvasInputTest::draggingPointsAndTheClosingPoint() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});

    // A corner moves alone: the rectangle becomes a general quadrilateral.
    canvas.Press({163, 77});
    QCOMPARE(canvas.view().DragVertex(), 1);
    QVERIFY(canvas.view().Confinement());
    canvas.Move({180, 70}, Qt::LeftButton);
    QCOMPARE(canvas.Points(),
             (std::vector<GridPoint>{{100, 80}, {180, 70}, {160, 120}, {100, 120}, {100, 80}}));
    canvas.Release({180, 70});
    QCOMPARE(canvas.view().DragVertex(), 0);
    QVERIFY(!canvas.view().Confinement());
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{100, 70, 80, 50}));

    // The closing point takes point 0 with it.
    canvas.Press({96, 84});
    QCOMPARE(canvas.view().DragVertex(), 4);
    canvas.Move({90, 90}, Qt::LeftButton);
    QCOMPARE(canvas.Points().front(), (GridPoint{90, 90}));
    QCOMPARE(canvas.Points().back(), (GridPoint{90, 90}));
    canvas.Release({90, 90});
    QCOMPARE(canvas.doc().SelectionBounds(), (FillRect{90, 70, 90, 50}));
    canvas.Screenshot(QStringLiteral("quadrilateral"));
}

void CanvasInputTest::grabbingWorksInEveryToolMode() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    for (const int tool : {ID_TOOL_SELECT, ID_TOOL_MOVE}) {
        canvas.Command(tool);
        canvas.Drag({160, 120}, {170, 130});
        QCOMPARE(canvas.Points()[2], (GridPoint{170, 130}));
        canvas.Drag({170, 130}, {160, 120});
        // Away from the points these modes build nothing.
        canvas.Drag({300, 250}, {350, 280});
        QCOMPARE(canvas.doc().Selection().pointCount, 5);
    }
}

void CanvasInputTest::doubleClickCountsAsOneClick() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.Click({50, 50});
    canvas.DoubleClickSecondHalf({50, 50});
    QCOMPARE(canvas.doc().Selection().pointCount, 2);
    canvas.Move({120, 50});
    canvas.Click({120, 50});
    canvas.DoubleClickSecondHalf({120, 50});
    QCOMPARE(canvas.doc().Selection().pointCount, 3);
}

void CanvasInputTest::farEdgeIsOnThePicture() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.Press({401, 100});
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    canvas.Press({100, 301});
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    canvas.Press({400, 300});
    QCOMPARE(canvas.Points().front(), (GridPoint{400, 300}));
}

void CanvasInputTest::closingAtOnceBuildsNoMasks() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    canvas.Command(ID_TOOL_POLYGON);
    const FillRect bounds = canvas.doc().SelectionBounds();

    canvas.Click({50, 50});
    canvas.Click({53, 52});
    QCOMPARE(canvas.Points(), (std::vector<GridPoint>{{50, 50}, {50, 50}}));
    QVERIFY(IsSelectionClosed(canvas.doc().Selection()));
    QVERIFY(!canvas.view().Confinement());
    QCOMPARE(canvas.doc().SelectionBounds(), bounds);
    QCOMPARE(canvas.doc().SourceRect(), FillRect{});
    QCOMPARE(CountMask(canvas.doc().FillMask(), kMaskSet), 60 * 40);
}

void CanvasInputTest::zoomAndScrollMapClicksToPicturePixels() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.Zoom(2);
    canvas.ScrollTo({30, 10});
    canvas.Click({101, 61});
    QCOMPARE(canvas.Points().front(), (GridPoint{65, 35}));
    // The hit radius is in picture pixels: 16 client pixels at zoom 2.
    canvas.Move({300, 61});
    canvas.Click({300, 61});
    canvas.Move({117, 77});
    QCOMPARE(canvas.Points().back(), (GridPoint{66, 35}));
    canvas.Click({117, 77});
    QVERIFY(IsSelectionClosed(canvas.doc().Selection()));

    canvas.Command(ID_VIEW_ZOOM_OUT);  // 1.5
    canvas.Command(ID_VIEW_ZOOM_OUT);  // 1
    canvas.Command(ID_VIEW_ZOOM_OUT);  // 0.75
    canvas.Command(ID_VIEW_ZOOM_OUT);  // 0.5
    QCOMPARE(canvas.doc().ZoomFactor(), 0.5f);
    canvas.Command(ID_TOOL_RECTANGLE);
    canvas.Drag({11, 21}, {31, 41});
    QCOMPARE(canvas.Points()[2], (GridPoint{62, 82}));
    QCOMPARE(canvas.Points()[0], (GridPoint{22, 42}));
}

void CanvasInputTest::fillRunningIgnoresTheMouseButNotEscape() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(200, 150)));
    canvas.Show({300, 200});
    canvas.DragRectangle({60, 50}, {80, 70});
    const auto before = canvas.Points();

    // Until its finish is handled on this thread the job counts as running.
    canvas.Command(ID_FILL_START);
    QVERIFY(canvas.doc().Busy());
    canvas.Drag({80, 70}, {120, 100});
    canvas.Drag({10, 10}, {40, 40});
    canvas.RightPress({100, 100});
    QCOMPARE(canvas.Points(), before);
    QVERIFY(!canvas.view().Confinement());
    canvas.Key(Qt::Key_Escape);
    QCOMPARE(canvas.doc().Selection().pointCount, 0);
    QCOMPARE(canvas.doc().SourceRect(), FillRect{});
    QTRY_VERIFY_WITH_TIMEOUT(!canvas.doc().Busy(), 60000);
}

void CanvasInputTest::cursorShapes() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.Move({200, 150});
    QCOMPARE(canvas.Cursor(), Qt::ArrowCursor);  // polygon mode over the picture
    canvas.DragRectangle({100, 80}, {160, 120});
    canvas.Move({200, 150});
    QCOMPARE(canvas.Cursor(), Qt::CrossCursor);
    canvas.Move({500, 150});
    QCOMPARE(canvas.Cursor(), Qt::ArrowCursor);  // beside the picture
    canvas.Move({158, 118});
    QCOMPARE(canvas.Cursor(), Qt::SizeAllCursor);  // over a point that can be grabbed
    // With Shift the tracker chooses, unless a later rule wins (the cross in rectangle mode).
    canvas.Move({52, 77}, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(canvas.Cursor(), Qt::CrossCursor);
    canvas.Command(ID_TOOL_SELECT);
    canvas.Move({52, 77}, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(canvas.Cursor(), Qt::CrossCursor);

    // Polygon mode: with Shift over the tracker its own cursor shows.
    canvas.Command(ID_TOOL_POLYGON);
    canvas.ClickPolygon({{100, 80}, {160, 80}, {160, 120}, {100, 120}});
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));
    canvas.Move({52, 77}, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(canvas.Cursor(), Qt::SizeFDiagCursor);
    canvas.Move({130, 122}, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(canvas.Cursor(), Qt::SizeVerCursor);
    canvas.Move({130, 100}, Qt::NoButton, Qt::ShiftModifier);
    QCOMPARE(canvas.Cursor(), Qt::SizeAllCursor);
    canvas.Move({130, 100});
    QCOMPARE(canvas.Cursor(), Qt::ArrowCursor);
}

void CanvasInputTest::droppedFilesOpenTheFirst() {
    Canvas canvas;
    canvas.Show({300, 200});
    QVERIFY(UniformPicture(120, 50).save(canvas.FilePath(QStringLiteral("first.png"))));
    QVERIFY(UniformPicture(30, 30).save(canvas.FilePath(QStringLiteral("second.png"))));
    QMimeData mime;
    mime.setUrls({QUrl::fromLocalFile(canvas.FilePath(QStringLiteral("first.png"))),
                  QUrl::fromLocalFile(canvas.FilePath(QStringLiteral("second.png")))});
    QDragEnterEvent enter(QPoint(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas.viewport(), &enter);
    QVERIFY(enter.isAccepted());
    QDropEvent drop(QPointF(10, 10), Qt::CopyAction, &mime, Qt::NoButton, Qt::NoModifier);
    QApplication::sendEvent(canvas.viewport(), &drop);
    QCOMPARE(canvas.doc().ImageSize(), QSize(120, 50));
    QVERIFY(canvas.doc().PathName().endsWith(QStringLiteral("first.png")));
}

void CanvasInputTest::pointerHeldOnlyWhileTheWindowIsActiveAndUnblocked() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.view().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&canvas.view()));

    canvas.Click({50, 50});  // a polygon begins: the pointer stays on the picture
    QVERIFY(canvas.view().Confinement());
    QCOMPARE(QWidget::mouseGrabber(), canvas.viewport());

    {
        // A modal window (Ctrl+O's dialog, an error box) must get the mouse.
        QDialog dialog(&canvas.view());
        dialog.setModal(true);
        dialog.show();
        QApplication::processEvents();
        QCOMPARE(QWidget::mouseGrabber(), nullptr);
        QVERIFY(!canvas.view().HoldsPointer());
        QVERIFY2(canvas.view().Confinement(), "the outline is still being drawn");
    }
    canvas.view().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&canvas.view()));
    QCOMPARE(QWidget::mouseGrabber(), canvas.viewport());

    // Another window in front, modal or not, frees the pointer until the canvas comes back.
    QWidget other;
    other.resize(100, 100);
    other.show();
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    canvas.view().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&canvas.view()));
    QCOMPARE(QWidget::mouseGrabber(), canvas.viewport());

    canvas.Key(Qt::Key_Escape);
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
    // Without a confinement, coming back takes nothing.
    other.activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&other));
    canvas.view().activateWindow();
    QVERIFY(QTest::qWaitForWindowActive(&canvas.view()));
    QCOMPARE(QWidget::mouseGrabber(), nullptr);
}

QTEST_MAIN(CanvasInputTest)
#include "canvas_input_test.moc"
