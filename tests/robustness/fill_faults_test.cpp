// Faults injected into a running fill at chosen moments: the worker is held at a progress report
// (or in its final write-back) while the user interface does something. No crash, no deadlock,
// and the picture is exactly what the engine makes when stopped at that moment.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

constexpr FillRect kHole{20, 14, 8, 6};  // 48 pixels: 96 entries, a report before each
constexpr int kReports = 96;

class FillFaults : public ::testing::Test {
  protected:
    void SetUp() override {
        ASSERT_EQ(ExpectedReports(kHole.width * kHole.height), kReports);
        rig.OpenPicture(60, 40);
        rig.MarkHole(kHole);
        before = rig.CurrentCopy();
        goodPath = rig.doc->PathName();
    }

    // Starts a fill whose worker waits before posting its n-th report until the test (or a
    // stop, when `untilStop`) lets it go.
    void StartHeldAt(int n, bool untilStop) {
        CVelmoraDoc* doc = rig.doc.get();
        rig.doc->SetJobPostHook(untilStop
                                    ? gate.HoldAtProgress(n, [doc] { return doc->StopRequested(); })
                                    : gate.HoldAtProgress(n));
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        gate.WaitUntilHeld();
    }

    QImage Expected(int stopAfterReports) const {
        return ReferenceFill(before, *rig.doc, kHole, kSeed, stopAfterReports);
    }

    DocumentRig rig;
    WorkerGate gate;
    QImage before;
    QString goodPath;
};

TEST_F(FillFaults, StopAtTheFirstEntryKeepsExactlyThatEntry) {
    JobRecord record(rig);
    StartHeldAt(1, true);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    EXPECT_EQ(record.finished, 1);
    EXPECT_EQ(rig.CurrentCopy(), Expected(1));
    EXPECT_EQ(rig.doc->History().top(), 1);
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_EQ(rig.statusBar.ElementCount(), 0);
}

TEST_F(FillFaults, StopDuringTheFinalWriteBackKeepsTheWholeFill) {
    JobRecord record(rig);
    StartHeldAt(kReports, false);  // before the last entry: no stop check follows it
    {
        // The worker's final write-back waits for this paint to end.
        const PaintAccess painting = rig.doc->LockForPaint();
        gate.Release();
        ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP)) << "the job has not finished yet";
        EXPECT_EQ(rig.LabelText(), QStringLiteral("停止"));
        EXPECT_TRUE(rig.doc->Busy());
    }
    rig.WaitForIdle();
    EXPECT_EQ(record.finished, 1);
    const QImage whole = Expected(0);
    EXPECT_NE(whole, before);
    EXPECT_EQ(rig.CurrentCopy(), whole);
    EXPECT_EQ(rig.statusBar.ElementCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

TEST_F(FillFaults, OpenDuringAJobIsRefusedAndTheJobGoesOn) {
    StartHeldAt(3, true);
    EXPECT_FALSE(rig.Enabled(ID_FILE_OPEN));
    EXPECT_FALSE(rig.router.Execute(ID_FILE_OPEN));
    // A file dropped on the canvas reaches the open directly.
    EXPECT_FALSE(rig.doc->OnOpenDocument(goodPath));
    EXPECT_TRUE(rig.messages.errors.empty()) << "refused without a message";
    EXPECT_TRUE(rig.doc->Busy());
    EXPECT_EQ(rig.doc->History().top(), 1);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    EXPECT_EQ(rig.CurrentCopy(), Expected(3));
    EXPECT_TRUE(rig.doc->History().StateAt(0) != nullptr);
    EXPECT_EQ(*rig.doc->History().StateAt(0), before) << "the state below is untouched";
}

TEST_F(FillFaults, EveryOtherCommandIsRefusedWhileTheJobRuns) {
    StartHeldAt(2, true);
    for (const int id : DocumentCommandIds()) {
        if (id == ID_FILL_STOP) continue;
        EXPECT_FALSE(rig.router.Execute(id)) << id;
    }
    EXPECT_EQ(rig.doc->History().top(), 1);
    EXPECT_EQ(rig.doc->History().current(), 1);
    EXPECT_EQ(rig.doc->ZoomFactor(), 1.0f);
    EXPECT_EQ(rig.doc->GetToolMode(), TOOL_MOVE);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    EXPECT_EQ(rig.CurrentCopy(), Expected(2));
}

TEST_F(FillFaults, CloseNewAndSaveAtTheFirstAndLastReports) {
    for (const int at : {1, kReports}) {
        for (const char* action : {"close", "new", "save"}) {
            SCOPED_TRACE(std::string(action) + " at report " + std::to_string(at));
            DocumentRig own;
            own.OpenPicture(60, 40);
            own.MarkHole(kHole);
            WorkerGate held;
            CVelmoraDoc* doc = own.doc.get();
            own.doc->SetJobPostHook(
                held.HoldAtProgress(at, [doc] { return doc->StopRequested(); }));
            ASSERT_TRUE(own.router.Execute(ID_FILL_START));
            held.WaitUntilHeld();
            const QString saved = own.dir.filePath("saved.png");
            if (QByteArray(action) == "close") {
                own.doc.reset();
                QCoreApplication::sendPostedEvents();  // the job's last commands find no one
                EXPECT_EQ(own.statusBar.ElementCount(), 0);
                EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
                continue;
            }
            if (QByteArray(action) == "new")
                ASSERT_TRUE(own.doc->OnNewDocument());
            else
                ASSERT_TRUE(own.doc->OnSaveDocument(saved));
            EXPECT_FALSE(own.doc->Busy());
            EXPECT_FALSE(own.doc->IsModified());
            const QImage expected = ReferenceFill(before, *own.doc, kHole, kSeed, at);
            EXPECT_EQ(own.CurrentCopy(), expected);
            if (QByteArray(action) == "save") {
                EXPECT_EQ(QImage(saved).convertToFormat(expected.format()), expected);
            }
            QCoreApplication::sendPostedEvents();
            EXPECT_FALSE(own.doc->IsModified()) << "the stale finish changed nothing";
            EXPECT_EQ(own.doc->History().top(), 1);
        }
    }
}

}  // namespace
}  // namespace velmora::test
