// A person's whole job: open the sample, outline the ladybird with the rectangle tool, Erase,
// wait for the finish, Undo and Redo, Save As PNG; the saved picture differs from the photo
// inside the outline only.
#include <QAction>
#include <QApplication>
#include <QMenu>
#include <QMouseEvent>
#include <QTemporaryDir>
#include <QTest>

#include "app/mainframe.h"
#include "app/my_ribbon_bar.h"
#include "app/ribbon/ribbon_button.h"
#include "app_test_support.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/ribbon_status_bar.h"
#include "view/velmora_view.h"

namespace velmora {

using testing::SamplePicture;
using testing::TestProgram;

namespace {

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

RibbonButton* FindButton(CMainFrame& frame, int command) {
    for (RibbonButton* button : frame.RibbonBar()->AllButtons())
        if (button->CommandId() == command) return button;
    return nullptr;
}

QAction* MenuEntry(CMainFrame& frame, int command) {
    for (QAction* action : frame.RibbonBar()->ApplicationMenu()->actions())
        if (!action->isSeparator() && action->data().toInt() == command) return action;
    return nullptr;
}

QImage Rgb(const QImage& image) {
    return image.convertToFormat(QImage::Format_RGB32);
}

}  // namespace

class EndToEndTest : public QObject {
    Q_OBJECT

  private slots:
    void eraseTheLadybird() {
        QTemporaryDir dir;
        TestProgram program(dir.filePath(QStringLiteral("settings.conf")));
        QVERIFY(program.Start());
        CVelmoraApp& app = program.App();
        CMainFrame& frame = *app.MainFrame();
        frame.resize(1200, 800);
        frame.activateWindow();
        QVERIFY(QTest::qWaitForWindowActive(&frame));
        const auto settle = [&] {
            QApplication::processEvents();
            program.Refresh();
        };

        // Ctrl+O, and the open dialog answers with the sample.
        program.Prompts().openPath = SamplePicture();
        QTest::keyClick(&frame, Qt::Key_O, Qt::ControlModifier);
        QVERIFY(app.Document()->HasImage());
        const QImage photo = Rgb(QImage(SamplePicture()));
        settle();

        // The rectangle tool from the ribbon, then a drag around the ladybird on the canvas.
        QTest::mouseClick(FindButton(frame, ID_TOOL_RECTANGLE), Qt::LeftButton);
        QCOMPARE(app.Document()->GetToolMode(), TOOL_RECTANGLE);
        const QRect outline(QPoint(820, 340), QPoint(980, 505));
        QWidget* canvas = app.View()->viewport();
        const QPoint from = app.View()->Mapping().ToView({outline.left(), outline.top()});
        const QPoint to = app.View()->Mapping().ToView({outline.right(), outline.bottom()});
        QVERIFY(canvas->rect().contains(to));
        SendMouse(canvas, QEvent::MouseMove, from, Qt::NoButton, Qt::NoButton);
        SendMouse(canvas, QEvent::MouseButtonPress, from, Qt::LeftButton, Qt::LeftButton);
        for (int step = 1; step <= 8; ++step)
            SendMouse(canvas, QEvent::MouseMove, from + (to - from) * step / 8, Qt::NoButton,
                      Qt::LeftButton);
        SendMouse(canvas, QEvent::MouseButtonRelease, to, Qt::LeftButton, Qt::NoButton);
        settle();
        QVERIFY(app.View()->TrackerShown());

        // Erase, then wait for the finish: label and progress bar come and go.
        app.Document()->SetSeedClock([] { return 2024u; });
        // The status bar keeps its height throughout, so the canvas above it does not move.
        const int barHeight = frame.StatusBar()->height();
        const int canvasHeight = app.View()->height();
        RibbonButton* erase = FindButton(frame, ID_FILL_START);
        QVERIFY(erase->isEnabled());
        QTest::mouseClick(erase, Qt::LeftButton);
        QCOMPARE(frame.StatusBar()->ElementCount(), 2);
        QApplication::processEvents();
        QCOMPARE(frame.StatusBar()->height(), barHeight);
        QCOMPARE(app.View()->height(), canvasHeight);
        QVERIFY(QTest::qWaitFor(
            [&] { return !app.Document()->Busy() && frame.StatusBar()->ElementCount() == 0; },
            600000));
        settle();
        QCOMPARE(frame.StatusBar()->height(), barHeight);
        QVERIFY(frame.isWindowModified());
        const QImage filled = Rgb(*app.Document()->History().GetCurrent());
        QVERIFY(filled != photo);

        // Undo from the ribbon brings the photo back; Redo by key brings the fill again.
        QTest::mouseClick(FindButton(frame, ID_EDIT_UNDO), Qt::LeftButton);
        QCOMPARE(Rgb(*app.Document()->History().GetCurrent()), photo);
        settle();
        QTest::keyClick(&frame, Qt::Key_Y, Qt::ControlModifier);
        QCOMPARE(Rgb(*app.Document()->History().GetCurrent()), filled);
        settle();

        // Save As from the application menu, as PNG.
        const QString saved = dir.filePath(QStringLiteral("erased.png"));
        program.Prompts().savePath = saved;
        MenuEntry(frame, ID_FILE_SAVE_AS)->trigger();
        QCOMPARE(program.Prompts().saveAsked, 1);
        QVERIFY(!frame.isWindowModified());
        QCOMPARE(app.Document()->PathName(), saved);
        QCOMPARE(app.RecentFiles().Entries().first(), saved);

        const QImage result = Rgb(QImage(saved));
        QCOMPARE(result.size(), photo.size());
        int changedInside = 0;
        int inside = 0;
        for (int y = 0; y < photo.height(); ++y)
            for (int x = 0; x < photo.width(); ++x) {
                const bool same = result.pixel(x, y) == photo.pixel(x, y);
                if (!outline.contains(x, y)) {
                    if (!same)
                        QFAIL(qPrintable(QStringLiteral("changed outside at %1,%2").arg(x).arg(y)));
                } else if (outline.adjusted(1, 1, -1, -1).contains(x, y)) {
                    ++inside;
                    if (!same) ++changedInside;
                }
            }
        // The ladybird is gone: most of the outlined pixels were rebuilt.
        QVERIFY2(changedInside > inside / 2,
                 qPrintable(QStringLiteral("%1 of %2").arg(changedInside).arg(inside)));
        QCOMPARE(result, filled);
    }
};

}  // namespace velmora

QTEST_MAIN(velmora::EndToEndTest)
#include "end_to_end_test.moc"
