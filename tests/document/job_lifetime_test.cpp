// A running fill job meets the document's life: save, new, close, undo, redo and open.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QImageReader>
#include <QSignalSpy>

#include "../platform/qt_test_app.h"
#include "document_test_support.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

constexpr FillRect kHole{30, 20, 20, 10};  // 200 pixels: a report before every 4th entry

class JobLifetime : public ::testing::Test {
  protected:
    void SetUp() override {
        rig.OpenPicture(80, 60);
        rig.MarkHole(kHole);
        before = rig.CurrentCopy();
        CVelmoraDoc* doc = rig.doc.get();
        // Held at the second report until the document asks the job to stop.
        rig.doc->SetJobPostHook(gate.HoldAtProgress(2, [doc] { return doc->StopRequested(); }));
    }

    void StartAndHold() {
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        gate.WaitUntilHeld();
    }

    DocumentRig rig;
    WorkerGate gate;
    QImage before;
};

TEST_F(JobLifetime, SaveStopsTheJobFirstAndWritesWhatItFilled) {
    JobRecord record(rig);
    StartAndHold();
    const QString path = rig.dir.filePath("saved.png");
    ASSERT_TRUE(rig.doc->OnSaveDocument(path));
    EXPECT_FALSE(rig.doc->Busy());
    EXPECT_EQ(rig.statusBar.ElementCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_POLYGON);
    EXPECT_FALSE(rig.doc->IsModified());

    const QImage partial = ReferenceFill(before, *rig.doc, kHole, kSeed, 2);
    EXPECT_NE(partial, before);
    EXPECT_EQ(rig.CurrentCopy(), partial);
    EXPECT_EQ(QImageReader(path).read().convertToFormat(partial.format()), partial);

    // The stopped job's reports and finish are delivered (while the picture is written, or
    // right after when the save was over before the event loop ran) and ignored; the new job
    // counts only its own.
    QCoreApplication::processEvents();
    EXPECT_EQ(record.finished, 1);
    record.bars.clear();
    rig.doc->SetJobPostHook({});
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    rig.WaitForIdle();
    EXPECT_EQ(rig.doc->ProgressCount(), ExpectedReports(200));
    EXPECT_EQ(record.bars.front(), 0) << "the new job's bar starts at zero";
    EXPECT_EQ(record.finished, 2) << "both finishes delivered, the stale one ignored";
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_EQ(rig.doc->History().top(), 2);
}

TEST_F(JobLifetime, StaleCommandsOfAStoppedJobChangeNothing) {
    StartAndHold();
    rig.doc->EndRunningJob();
    EXPECT_TRUE(rig.doc->IsModified());
    rig.doc->SetModifiedFlag(false);
    ASSERT_TRUE(rig.router.Execute(ID_TOOL_RECTANGLE));
    QSignalSpy updates(rig.doc.get(), &CVelmoraDoc::viewsUpdated);
    QCoreApplication::sendPostedEvents(&rig.router);
    EXPECT_FALSE(rig.doc->IsModified()) << "the stale finish did not finish again";
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_RECTANGLE);
    EXPECT_EQ(updates.count(), 0) << "stale reports do not repaint";
}

TEST_F(JobLifetime, NewStopsTheJobAndKeepsThePicture) {
    StartAndHold();
    ASSERT_TRUE(rig.doc->OnNewDocument());
    EXPECT_FALSE(rig.doc->Busy());
    EXPECT_EQ(rig.doc->Title(), QString::fromUtf8("未命名"));
    EXPECT_FALSE(rig.doc->IsModified());
    EXPECT_EQ(rig.CurrentCopy(), ReferenceFill(before, *rig.doc, kHole, kSeed, 2));
}

TEST_F(JobLifetime, ClosingTheDocumentWhileAJobRunsEndsItCleanly) {
    StartAndHold();
    rig.doc.reset();
    EXPECT_EQ(rig.statusBar.ElementCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
    EXPECT_EQ(rig.router.Target(RouteStage::Document), nullptr) << "it left the route";
    QCoreApplication::sendPostedEvents(&rig.router);  // the job's last commands find no handler
    EXPECT_FALSE(rig.Enabled(ID_FILL_FINISHED));
}

TEST_F(JobLifetime, RouterGoingAwayEndsTheJob) {
    auto router = std::make_unique<CommandRouter>();
    CVelmoraDoc doc;
    doc.SetCommandRouter(router.get());
    const QString path = WritePicture(before, rig.dir.filePath("own.png"));
    ASSERT_TRUE(doc.OnOpenDocument(path));
    doc.AddPoint(1, 1);
    doc.AddPoint(2, 2);
    ASSERT_TRUE(router->Execute(ID_FILL_START));
    router.reset();
    EXPECT_FALSE(doc.Busy());
    EXPECT_TRUE(doc.IsModified());
}

TEST(DocumentHistory, UndoRedoAndSavingTheStateInUse) {
    DocumentRig rig;
    rig.OpenPicture(64, 48);
    const QString opened = rig.doc->PathName();
    std::uint32_t seed = 1;
    rig.doc->SetSeedClock([&seed] { return seed; });  // read on the worker while the UI waits
    std::vector<QImage> states{rig.CurrentCopy()};
    for (int fill = 1; fill <= 3; ++fill) {
        rig.MarkHole({20, 15, 12, 9});
        seed = static_cast<std::uint32_t>(fill * 7919);
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        rig.WaitForIdle();
        states.push_back(rig.CurrentCopy());
        EXPECT_NE(states[static_cast<std::size_t>(fill)],
                  states[static_cast<std::size_t>(fill) - 1]);
    }
    rig.doc->SetModifiedFlag(false);
    QSignalSpy updates(rig.doc.get(), &CVelmoraDoc::viewsUpdated);
    ASSERT_TRUE(rig.router.Execute(ID_EDIT_UNDO));
    ASSERT_TRUE(rig.router.Execute(ID_EDIT_UNDO));
    EXPECT_EQ(updates.count(), 2);
    EXPECT_FALSE(rig.doc->IsModified()) << "undo is not a change";
    EXPECT_EQ(rig.CurrentCopy(), states[1]);

    const QString path = rig.dir.filePath("after_undo.png");
    ASSERT_TRUE(rig.doc->OnSaveDocument(path));
    EXPECT_EQ(QImageReader(path).read().convertToFormat(states[1].format()), states[1]);

    ASSERT_TRUE(rig.router.Execute(ID_EDIT_REDO));
    EXPECT_EQ(rig.CurrentCopy(), states[2]);
    EXPECT_FALSE(rig.doc->IsModified());

    // Saving over the opened file works: it is not held open.
    ASSERT_TRUE(rig.doc->OnSaveDocument(opened));
    EXPECT_EQ(QImageReader(opened).read().convertToFormat(states[2].format()), states[2]);

    ASSERT_TRUE(rig.doc->OnOpenDocument(path));
    EXPECT_EQ(rig.doc->History().top(), 0);
    EXPECT_FALSE(rig.Enabled(ID_EDIT_UNDO));
    EXPECT_FALSE(rig.Enabled(ID_EDIT_REDO));
    for (int slot = 1; slot < 8; ++slot) EXPECT_FALSE(rig.doc->History().SlotInUse(slot));
}

}  // namespace
}  // namespace velmora::test
