#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QCursor>
#include <QGuiApplication>
#include <QSignalSpy>

#include "../platform/qt_test_app.h"
#include "document_test_support.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

const QString kReady = QString::fromUtf8("准备就绪");
const QString kProcessing = QString::fromUtf8("正在处理");
const QString kStopped = QString::fromUtf8("停止");
const QString kNone = QStringLiteral("<none>");

TEST(FillCommand, WholeJobThroughTheWorkerThread) {
    DocumentRig rig;
    rig.OpenPicture(64, 48);
    const FillRect hole{20, 15, 10, 8};  // 80 pixels: a report before every entry
    rig.MarkHole(hole);
    ASSERT_TRUE(rig.router.Execute(ID_TOOL_RECTANGLE));
    rig.MarkHole(hole);
    const QImage before = rig.CurrentCopy();
    JobRecord record(rig);
    // The canvas paints on every progress report; it reads the picture under the paint lock.
    std::uint64_t painted = 0;
    QObject::connect(rig.doc.get(), &CVelmoraDoc::viewsUpdated, [&] {
        const PaintAccess access = rig.doc->LockForPaint();
        const QImage& image = *access.Image();
        for (int y = 0; y < image.height(); ++y)
            for (int x = 0; x < image.bytesPerLine(); ++x) painted += image.constScanLine(y)[x];
    });
    QSignalSpy modified(rig.doc.get(), &CVelmoraDoc::modifiedChanged);

    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_MOVE);
    EXPECT_EQ(rig.LabelText(), kReady);
    EXPECT_EQ(rig.BarValue(), 0);
    ASSERT_NE(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(QGuiApplication::overrideCursor()->shape(), Qt::WaitCursor);
    rig.WaitForIdle();

    const int reports = ExpectedReports(80);
    ASSERT_EQ(reports, 160);
    ASSERT_EQ(static_cast<int>(record.labels.size()), reports);
    for (int i = 0; i < reports; ++i) {
        EXPECT_EQ(record.labels[static_cast<std::size_t>(i)], kProcessing) << i;
        EXPECT_EQ(record.bars[static_cast<std::size_t>(i)], std::min(i, 100)) << i;
    }
    EXPECT_EQ(rig.doc->ProgressCount(), reports);
    EXPECT_EQ(record.finished, 1);
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(record.finished, 1) << "finished exactly once";

    EXPECT_EQ(rig.statusBar.ElementCount(), 0) << "label and bar are gone";
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_RECTANGLE);
    EXPECT_TRUE(rig.Checked(ID_TOOL_RECTANGLE));
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_EQ(modified.count(), 1);
    EXPECT_EQ(rig.doc->History().top(), 1);
    EXPECT_GT(painted, 0u);

    const QImage expected = ReferenceFill(before, *rig.doc, hole, kSeed);
    EXPECT_NE(expected, before);
    EXPECT_EQ(rig.CurrentCopy(), expected);
    EXPECT_EQ(rig.doc->FillMask().width(), 64) << "the masks came back from the job";
}

TEST(FillCommand, StopKeepsThePixelsFilledSoFar) {
    DocumentRig rig;
    rig.OpenPicture(80, 60);
    const FillRect hole{30, 20, 20, 10};  // 200 pixels: a report before every 4th entry
    rig.MarkHole(hole);
    const QImage before = rig.CurrentCopy();
    WorkerGate gate;
    rig.doc->SetJobPostHook(gate.HoldAtProgress(3));
    JobRecord record(rig);

    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    gate.WaitUntilHeld();
    QCoreApplication::sendPostedEvents(&rig.router);  // the first two reports
    EXPECT_EQ(rig.LabelText(), kProcessing);
    EXPECT_EQ(rig.BarValue(), 1);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    EXPECT_TRUE(rig.doc->StopRequested());
    EXPECT_EQ(rig.LabelText(), kStopped);
    gate.Release();
    rig.WaitForIdle();

    EXPECT_EQ(record.labels, (std::vector<QString>{kProcessing, kProcessing, kStopped}));
    EXPECT_EQ(record.bars, (std::vector<int>{0, 1, 2}));
    EXPECT_EQ(record.finished, 1);
    EXPECT_EQ(rig.LabelText(), kNone);
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_POLYGON);

    const QImage partial = ReferenceFill(before, *rig.doc, hole, kSeed, 3);
    const QImage complete = ReferenceFill(before, *rig.doc, hole, kSeed);
    EXPECT_NE(partial, before) << "eight entries were filled before the stop";
    EXPECT_NE(partial, complete);
    EXPECT_EQ(rig.CurrentCopy(), partial);
}

TEST(FillCommand, EnablingDuringAndAfterAJob) {
    DocumentRig rig;
    rig.OpenPicture(64, 48);
    rig.MarkHole({10, 10, 10, 10});
    const QString other = WritePicture(MakeTestPicture(9, 9), rig.dir.filePath("other.png"));
    WorkerGate gate;
    rig.doc->SetJobPostHook(gate.HoldAtProgress(1));

    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    // Whether or not the worker has started yet, nothing that `busy` refuses gets through.
    EXPECT_TRUE(rig.doc->Busy());
    EXPECT_FALSE(rig.router.Execute(ID_FILL_START));
    EXPECT_FALSE(rig.router.Execute(ID_EDIT_UNDO));
    EXPECT_FALSE(rig.router.Execute(ID_TOOL_POLYGON));
    gate.WaitUntilHeld();

    EXPECT_EQ(EnabledCommands(rig), (std::set<int>{ID_FILL_STOP}));
    EXPECT_TRUE(rig.Checked(ID_TOOL_MOVE));
    EXPECT_FALSE(rig.Checked(ID_TOOL_POLYGON));
    EXPECT_EQ(rig.LabelText(), kReady) << "until the first report arrives";
    EXPECT_FALSE(rig.doc->OnOpenDocument(other)) << "open is refused while a job runs";
    EXPECT_TRUE(rig.messages.errors.empty());
    EXPECT_EQ(rig.doc->History().top(), 1);
    EXPECT_EQ(rig.doc->ImageSize(), QSize(64, 48));

    gate.Release();
    rig.WaitForIdle();
    EXPECT_EQ(EnabledCommands(rig),
              (std::set<int>{ID_EDIT_UNDO, ID_VIEW_ZOOM_IN, ID_VIEW_ZOOM_OUT, ID_FILL_START,
                             ID_TOOL_RECTANGLE, ID_TOOL_POLYGON, ID_TOOL_SELECT, ID_FILE_OPEN,
                             ID_FILE_SAVE, ID_FILE_SAVE_AS, ID_TOOL_MOVE}));
    EXPECT_TRUE(rig.Checked(ID_TOOL_POLYGON));
}

TEST(FillCommand, StopBeforeTheFirstEntryChangesNoPixel) {
    DocumentRig rig;
    rig.OpenPicture(40, 40);
    rig.MarkHole({10, 10, 8, 8});
    const QImage before = rig.CurrentCopy();
    rig.HoldJobUntilStopRequested();
    JobRecord record(rig);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    EXPECT_TRUE(record.labels.empty());
    EXPECT_EQ(record.finished, 1);
    EXPECT_EQ(rig.CurrentCopy(), before);
    EXPECT_EQ(rig.doc->History().top(), 1);
    EXPECT_TRUE(rig.doc->IsModified()) << "every job counts as a change";
}

TEST(FillCommand, OutlineWithoutMasksFillsNothing) {
    DocumentRig rig;
    rig.OpenPicture(30, 30);
    rig.doc->AddPoint(2, 2);
    rig.doc->AddPoint(20, 20);
    const QImage before = rig.CurrentCopy();
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    rig.WaitForIdle();
    EXPECT_EQ(rig.CurrentCopy(), before);
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_EQ(rig.doc->ProgressCount(), 0);
}

}  // namespace
}  // namespace velmora::test
