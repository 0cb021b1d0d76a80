// What the canvas shows: picture, white surround, outline, markers and the source tracker, at
// several zoom factors and scroll positions, and the fill growing on it.
#include <QSemaphore>
#include <QWheelEvent>
#include <atomic>

#include "canvas_test_support.h"
#include "engine/fill_job.h"

using namespace velmora;
using namespace velmora::test;

class CanvasRenderingTest : public QObject {
    Q_OBJECT

  private slots:
    void emptyCanvasShowsWindowColourAndDoesNotScroll();
    void smallPictureSitsTopLeftOnWhite();
    void translucentPictureShowsOverWhite();
    void scrolledCanvasShowsTheVisiblePartOnly();
    void zoomingBackResetsTheScrollPosition();
    void wheelScrollsOnlyWithoutCtrlOrShift();
    void markersSitOnTheirPointsAtEveryZoom_data();
    void markersSitOnTheirPointsAtEveryZoom();
    void closingPointCoversTheFirstMarker();
    void outlineIsDashedFifteenOnTwoOff();
    void trackerHandlesInsideOrOutside();
    void trackerFollowsZoomAndScroll();
    void trackerHiddenWhileFillRunsAndFillIsSeenGrowing();
    void photographOutlinedAndFilled();
};

void CanvasRenderingTest::emptyCanvasShowsWindowColourAndDoesNotScroll() {
    Canvas canvas;
    canvas.Show({300, 200});
    const QImage frame = canvas.Render();
    QCOMPARE(frame.pixel(10, 10), canvas.view().palette().window().color().rgb());
    QCOMPARE(canvas.view().verticalScrollBar()->maximum(), 0);
    QCOMPARE(canvas.view().horizontalScrollBar()->maximum(), 0);
    canvas.Screenshot(QStringLiteral("empty"));
}

void CanvasRenderingTest::smallPictureSitsTopLeftOnWhite() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(200, 100)));
    canvas.Zoom(2);
    QCOMPARE(canvas.doc().ZoomFactor(), 2.0f);
    canvas.Show({600, 400});
    QCOMPARE(canvas.view().horizontalScrollBar()->maximum(), 0);
    QCOMPARE(canvas.view().verticalScrollBar()->maximum(), 0);

    const QImage frame = canvas.Render();
    QCOMPARE(frame.size(), QSize(600, 400));
    QCOMPARE(frame.pixel(0, 0), kGrey);
    QCOMPARE(frame.pixel(399, 199), kGrey);
    QCOMPARE(frame.pixel(400, 100), kWhite);
    QCOMPARE(frame.pixel(100, 200), kWhite);
    QCOMPARE(frame.pixel(599, 399), kWhite);
    QCOMPARE(CountPixels(frame, kGrey, frame.rect()), 400 * 200);
    canvas.Screenshot(QStringLiteral("small-picture-zoom2"));
}

void CanvasRenderingTest::translucentPictureShowsOverWhite() {
    Canvas canvas;
    QImage picture(100, 60, QImage::Format_ARGB32);
    picture.fill(qRgba(0, 0, 0, 128));
    QVERIFY(canvas.Open(picture));
    canvas.Show({300, 200});

    // Half-transparent black over white is middle grey, and opaque.
    const QImage frame = canvas.Render();
    const QRgb shown = frame.pixel(50, 30);
    QCOMPARE(qAlpha(shown), 255);
    QVERIFY2(std::abs(qRed(shown) - 127) <= 1, qPrintable(QString::number(shown, 16)));
    QCOMPARE(qGreen(shown), qRed(shown));
    QCOMPARE(qBlue(shown), qRed(shown));
    QCOMPARE(CountPixels(frame, shown, frame.rect()), 100 * 60);
    QCOMPARE(frame.pixel(150, 100), kWhite);
}

void CanvasRenderingTest::scrolledCanvasShowsTheVisiblePartOnly() {
    const VisiblePart part =
        ComputeVisiblePart({200, 100}, {600, 400}, CanvasMapping{4.0f, {100, 0}});
    QCOMPARE(part.source, QRect(25, 0, 150, 100));
    QCOMPARE(part.destination, QRect(0, 0, 600, 400));

    Canvas canvas;
    QVERIFY(canvas.Open(CoordinatePicture(200, 100)));
    canvas.Zoom(3);
    QCOMPARE(canvas.doc().ZoomFactor(), 4.0f);
    canvas.Show({600, 400});
    // Scroll range = zoomed picture less the client; a page is a tenth of it, a line a tenth
    // of a page.
    QCOMPARE(canvas.view().horizontalScrollBar()->maximum(), 200);
    QCOMPARE(canvas.view().verticalScrollBar()->maximum(), 0);
    QCOMPARE(canvas.view().horizontalScrollBar()->pageStep(), 80);
    QCOMPARE(canvas.view().horizontalScrollBar()->singleStep(), 8);
    canvas.ScrollTo({100, 0});
    QCOMPARE(canvas.view().ScrollPosition(), QPoint(100, 0));

    const QImage frame = canvas.Render();
    for (const QPoint view : {QPoint(0, 0), QPoint(3, 3), QPoint(4, 0), QPoint(301, 57),
                              QPoint(599, 399), QPoint(598, 200)}) {
        const QRgb expected = qRgb(25 + view.x() / 4, view.y() / 4, 100);
        QCOMPARE(frame.pixel(view), expected);
    }
    canvas.Screenshot(QStringLiteral("zoom4-scrolled"));
}

void CanvasRenderingTest::zoomingBackResetsTheScrollPosition() {
    Canvas canvas;
    QVERIFY(canvas.Open(CoordinatePicture(200, 150)));
    canvas.Zoom(3);
    canvas.Show({600, 400});
    canvas.ScrollTo({100, 20});
    QCOMPARE(canvas.view().ScrollPosition(), QPoint(100, 20));
    canvas.Command(ID_VIEW_ZOOM_NORMAL);
    QCOMPARE(canvas.view().ScrollPosition(), QPoint(0, 0));
    QCOMPARE(canvas.Render().pixel(10, 10), qRgb(10, 10, 100));
}

void CanvasRenderingTest::wheelScrollsOnlyWithoutCtrlOrShift() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(100, 400)));
    canvas.Show({300, 200});
    QScrollBar* vertical = canvas.view().verticalScrollBar();
    const auto wheel = [&](Qt::KeyboardModifiers modifiers) {
        QWheelEvent event(QPointF(50, 50), canvas.viewport()->mapToGlobal(QPointF(50, 50)),
                          QPoint(), QPoint(0, -120), Qt::NoButton, modifiers, Qt::NoScrollPhase,
                          false);
        QApplication::sendEvent(canvas.viewport(), &event);
    };
    wheel(Qt::ControlModifier);
    wheel(Qt::ShiftModifier);
    QCOMPARE(vertical->value(), 0);
    QCOMPARE(canvas.doc().ZoomFactor(), 1.0f);
    wheel(Qt::NoModifier);
    QCOMPARE(vertical->value(), QApplication::wheelScrollLines() * vertical->singleStep());
}

void CanvasRenderingTest::markersSitOnTheirPointsAtEveryZoom_data() {
    QTest::addColumn<int>("zoomSteps");
    QTest::addColumn<float>("zoom");
    QTest::newRow("half") << -2 << 0.5f;
    QTest::newRow("one") << 0 << 1.0f;
    QTest::newRow("one and a half") << 1 << 1.5f;
    QTest::newRow("two") << 2 << 2.0f;
}

void CanvasRenderingTest::markersSitOnTheirPointsAtEveryZoom() {
    QFETCH(int, zoomSteps);
    QFETCH(float, zoom);
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(200, 150)));
    canvas.Zoom(zoomSteps);
    QCOMPARE(canvas.doc().ZoomFactor(), zoom);
    canvas.Show({500, 400});
    canvas.doc().AddPoint(10, 10);
    canvas.doc().AddPoint(61, 45);
    const QImage frame = canvas.Render();

    const auto check = [&](GridPoint image, QRgb colour) {
        const QPoint v(static_cast<int>(image.x * zoom), static_cast<int>(image.y * zoom));
        // The square's sides run 4 pixels left and 5 right of the point (9 wide, pen 3).
        QCOMPARE(frame.pixel(v.x() - 4, v.y()), colour);
        QCOMPARE(frame.pixel(v.x() + 5, v.y()), colour);
        QCOMPARE(frame.pixel(v.x(), v.y() - 4), colour);
        QCOMPARE(frame.pixel(v.x() - 2, v.y() + 2), kGrey);  // the inside stays open
        QCOMPARE(frame.pixel(v.x() - 2, v.y() + 8), kGrey);  // nothing below it
    };
    check({10, 10}, kRed);
    check({61, 45}, kBlack);
    canvas.Screenshot(
        QStringLiteral("markers-zoom-%1").arg(QTest::currentDataTag()).replace(' ', '-'));
}

void CanvasRenderingTest::closingPointCoversTheFirstMarker() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(200, 150)));
    canvas.Show({300, 200});
    for (const GridPoint p :
         {GridPoint{20, 20}, GridPoint{120, 30}, GridPoint{60, 100}, GridPoint{20, 20}})
        canvas.doc().AddPoint(p.x, p.y);
    const QImage frame = canvas.Render();
    QCOMPARE(frame.pixel(16, 20), kBlack);
    QCOMPARE(CountPixels(frame, kRed, frame.rect()), 0);
}

void CanvasRenderingTest::outlineIsDashedFifteenOnTwoOff() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(300, 100)));
    canvas.Show({300, 100});
    canvas.doc().AddPoint(20, 50);
    canvas.doc().AddPoint(280, 50);
    const QImage frame = canvas.Render();
    // Find a gap after the first marker, then the pattern repeats every 17 pixels.
    int gap = 30;
    while (gap < 60 && frame.pixel(gap, 50) == kBlack) ++gap;
    QVERIFY(gap < 60);
    for (int period = 0; period < 8; ++period) {
        const int start = gap + 17 * period;
        QCOMPARE(frame.pixel(start, 50), kGrey);
        QCOMPARE(frame.pixel(start + 1, 50), kGrey);
        QCOMPARE(CountPixels(frame, kBlack, QRect(start + 2, 50, 15, 1)), 15);
    }
    QCOMPARE(frame.pixel(100, 49), kGrey);  // one pixel wide
    QCOMPARE(frame.pixel(100, 51), kGrey);
}

void CanvasRenderingTest::trackerHandlesInsideOrOutside() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{50, 75, 210, 125}));

    QImage frame = canvas.Render();
    canvas.Screenshot(QStringLiteral("rectangle-tracker-inside"));
    QCOMPARE(frame.pixel(53, 78), kBlack);    // top-left corner handle, inside
    QCOMPARE(frame.pixel(206, 121), kBlack);  // bottom-right corner handle
    QCOMPARE(frame.pixel(129, 78), kBlack);   // middle of the top: the rectangle is 160 wide
    QCOMPARE(frame.pixel(53, 99), kBlack);    // middle of the left: 50 high
    QCOMPARE(frame.pixel(45, 70), kGrey);     // nothing outside
    // The dotted outline one pixel outside the rectangle.
    const int dots = CountPixels(frame, kBlack, QRect(49, 86, 1, 30));
    QVERIFY2(dots >= 10 && dots <= 20, qPrintable(QString::number(dots)));
    QCOMPARE(frame.pixel(50, 90), kGrey);

    canvas.doc().SourceTracker().style = kTrackerDottedLine | kTrackerResizeOutside;
    frame = canvas.Render();
    canvas.Screenshot(QStringLiteral("rectangle-tracker-outside"));
    QCOMPARE(frame.pixel(45, 70), kBlack);    // top-left handle, outside
    QCOMPARE(frame.pixel(213, 128), kBlack);  // bottom-right handle, outside
    QCOMPARE(frame.pixel(53, 78), kGrey);
}

void CanvasRenderingTest::trackerFollowsZoomAndScroll() {
    Canvas canvas;
    QVERIFY(canvas.Open(UniformPicture(400, 300)));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {160, 120});
    canvas.Zoom(2);
    canvas.ScrollTo({30, 0});
    QCOMPARE(canvas.view().ScrollPosition(), QPoint(30, 0));

    const QImage frame = canvas.Render();
    canvas.Screenshot(QStringLiteral("rectangle-zoom2-scrolled"));
    // Source rectangle (50, 75, 160, 50) at zoom 2, scrolled by 30: (70, 150) to (390, 250).
    QCOMPARE(canvas.doc().SourceTracker().rect, (ViewRect{70, 150, 390, 250}));
    QCOMPARE(frame.pixel(73, 153), kBlack);
    QCOMPARE(frame.pixel(386, 246), kBlack);
    QCOMPARE(frame.pixel(66, 153), kGrey);
    // Outline corners (100, 80) and (160, 120) land at (170, 160) and (290, 240).
    QCOMPARE(frame.pixel(166, 160), kBlack);  // the closing point's marker covers the red one
    QCOMPARE(frame.pixel(286, 240), kBlack);
    QCOMPARE(frame.pixel(230, 160), kBlack);  // on the dashed top edge
    QCOMPARE(frame.pixel(230, 200), kGrey);
}

void CanvasRenderingTest::trackerHiddenWhileFillRunsAndFillIsSeenGrowing() {
    QImage picture = UniformPicture(400, 300);
    for (int y = 90; y < 110; ++y)
        for (int x = 110; x < 130; ++x) picture.setPixel(x, y, kRed);
    Canvas canvas;
    QVERIFY(canvas.Open(picture));
    canvas.Show({600, 400});
    canvas.DragRectangle({100, 80}, {140, 120});
    const QRect object(110, 90, 20, 20);
    QCOMPARE(CountPixels(canvas.Render(), kRed, object), 400);
    QCOMPARE(canvas.Render().pixel(53, 78), kBlack);

    // Hold the job at its tenth progress report, after it has written back what it filled.
    QSemaphore reached;
    QSemaphore resume;
    std::atomic<int> reports{0};
    canvas.doc().SetJobPostHook([&](int command) {
        if (command == ID_FILL_PROGRESS && ++reports == 10) {
            reached.release();
            resume.acquire();
        }
    });
    canvas.Command(ID_FILL_START);
    QVERIFY(canvas.doc().Busy());
    QVERIFY(reached.tryAcquire(1, 60000));
    const QImage running = canvas.Render();
    resume.release();
    running.save(QStringLiteral(VELMORA_SCREENSHOT_DIR "/canvas-fill-running.png"));
    QCOMPARE(running.pixel(53, 78), kGrey);   // no tracker
    QCOMPARE(running.pixel(96, 80), kBlack);  // outline and markers stay
    const int redWhileRunning = CountPixels(running, kRed, object);
    QVERIFY2(redWhileRunning > 0 && redWhileRunning < 400,
             qPrintable(QString::number(redWhileRunning)));

    QTRY_VERIFY_WITH_TIMEOUT(!canvas.doc().Busy(), 60000);
    const QImage done = canvas.Render();
    canvas.Screenshot(QStringLiteral("fill-finished"));
    QCOMPARE(CountPixels(done, kRed, object), 0);
    QCOMPARE(done.pixel(53, 78), kBlack);  // the tracker is back
}

void CanvasRenderingTest::photographOutlinedAndFilled() {
    Canvas canvas;
    QVERIFY(canvas.doc().OnOpenDocument(
        QStringLiteral(VELMORA_SOURCE_DIR "/assets/sample/ladybird.jpg")));
    canvas.Zoom(-2);
    canvas.Show({700, 450});
    // Round the beetle on its stalk, at half size.
    canvas.ClickPolygon({{408, 170}, {488, 170}, {486, 250}, {446, 254}, {414, 246}});
    QVERIFY(IsSelectionClosed(canvas.doc().Selection()));
    const QRect beetle(420, 178, 58, 30);  // its red back, in client pixels
    const auto redPixels = [&](const QImage& frame) {
        int count = 0;
        for (int y = beetle.top(); y <= beetle.bottom(); ++y)
            for (int x = beetle.left(); x <= beetle.right(); ++x) {
                const QColor c = frame.pixelColor(x, y);
                if (c.red() > 150 && c.green() < 90 && c.blue() < 60) ++count;
            }
        return count;
    };
    const QImage before = canvas.Render();
    canvas.Screenshot(QStringLiteral("photo-outlined"));
    QVERIFY2(redPixels(before) > 150, qPrintable(QString::number(redPixels(before))));

    canvas.Command(ID_FILL_START);
    QTRY_VERIFY_WITH_TIMEOUT(!canvas.doc().Busy(), 300000);
    const QImage after = canvas.Render();
    canvas.Screenshot(QStringLiteral("photo-filled"));
    QVERIFY2(redPixels(after) < redPixels(before) / 10,
             qPrintable(QString::number(redPixels(after))));
    // Outside the outline the canvas shows the same picture as before.
    QCOMPARE(after.copy(0, 0, 300, 450), before.copy(0, 0, 300, 450));
}

QTEST_MAIN(CanvasRenderingTest)
#include "canvas_rendering_test.moc"
