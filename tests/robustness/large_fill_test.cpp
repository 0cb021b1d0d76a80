// A fill on a 2.4-megapixel picture with a third of it selected, stopped at several moments: a
// scaled-down version of the 24-megapixel fill of scripts/huge_fill.sh, small enough for the
// sanitizer builds. Every stop ends the job at once, keeps what was filled and leaves the rest of
// the picture as it was.
#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QGuiApplication>
#include <thread>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "engine/fill_job.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

constexpr int kWidth = 2000;
constexpr int kHeight = 1200;
// A third of the picture: 1155 x 693 pixels in the middle.
constexpr FillRect kThird{422, 253, 1155, 693};

class LargeFill : public ::testing::Test {
  protected:
    static void SetUpTestSuite() {
        picture_ = new QImage(MakeTestPicture(kWidth, kHeight, QImage::Format_RGB32));
    }
    static void TearDownTestSuite() {
        delete picture_;
        picture_ = nullptr;
    }

    void SetUp() override { Prepare(rig); }

    // The picture open and a third of it selected.
    static void Prepare(DocumentRig& rig) {
        const QString path = WritePicture(*picture_, rig.dir.filePath("large.png"));
        ASSERT_TRUE(rig.doc->OnOpenDocument(path));
        rig.MarkHole(kThird);
    }

    // After the job has ended: one finish, a new state, nothing changed outside the work area,
    // the interface back to idle.
    static void ExpectEndedCleanly(const DocumentRig& rig, const JobRecord& record) {
        EXPECT_EQ(record.finished, 1);
        EXPECT_FALSE(rig.doc->Busy());
        EXPECT_EQ(rig.doc->History().top(), 1);
        EXPECT_EQ(*rig.doc->History().StateAt(0), *picture_) << "the state below is untouched";
        const QImage now = rig.CurrentCopy();
        const FillRect work = WorkRectangle(kThird, kWidth, kHeight);
        EXPECT_EQ(now.copy(0, 0, kWidth, work.y), picture_->copy(0, 0, kWidth, work.y));
        EXPECT_EQ(now.copy(0, work.y + work.height, kWidth, kHeight),
                  picture_->copy(0, work.y + work.height, kWidth, kHeight));
        EXPECT_TRUE(rig.doc->IsModified());
        EXPECT_EQ(rig.statusBar.ElementCount(), 0);
        EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
        EXPECT_TRUE(rig.Enabled(ID_EDIT_UNDO));
    }

    static QImage* picture_;
    DocumentRig rig;
};

QImage* LargeFill::picture_ = nullptr;

TEST_F(LargeFill, StopWhileTheJobIsStillPreparing) {
    rig.HoldJobUntilStopRequested();
    JobRecord record(rig);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    ExpectEndedCleanly(rig, record);
    EXPECT_TRUE(record.labels.empty()) << "no report before the first entry";
    EXPECT_EQ(rig.CurrentCopy(), *picture_);
}

TEST_F(LargeFill, StopAtTheFirstEntry) {
    WorkerGate gate;
    CVelmoraDoc* doc = rig.doc.get();
    rig.doc->SetJobPostHook(gate.HoldAtProgress(1, [doc] { return doc->StopRequested(); }));
    JobRecord record(rig);
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    gate.WaitUntilHeld();
    ASSERT_TRUE(rig.router.Execute(ID_FILL_STOP));
    rig.WaitForIdle();
    ExpectEndedCleanly(rig, record);
    EXPECT_EQ(rig.CurrentCopy(), ReferenceFill(*picture_, *rig.doc, kThird, kSeed, 1));
}

TEST_F(LargeFill, StopAtAnyMomentAfterTheStart) {
    // Stops that land wherever the worker happens to be: preparing, or filling.
    for (const int delayMilliseconds : {0, 5, 50}) {
        SCOPED_TRACE(delayMilliseconds);
        DocumentRig own;
        Prepare(own);
        JobRecord record(own);
        ASSERT_TRUE(own.router.Execute(ID_FILL_START));
        std::this_thread::sleep_for(std::chrono::milliseconds(delayMilliseconds));
        QCoreApplication::processEvents();
        ASSERT_TRUE(own.router.Execute(ID_FILL_STOP));
        own.WaitForIdle();
        ExpectEndedCleanly(own, record);
    }
}

TEST_F(LargeFill, CloseWhileItRuns) {
    WorkerGate gate;
    CVelmoraDoc* doc = rig.doc.get();
    rig.doc->SetJobPostHook(gate.HoldAtProgress(1, [doc] { return doc->StopRequested(); }));
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    gate.WaitUntilHeld();
    rig.doc.reset();
    QCoreApplication::sendPostedEvents();
    EXPECT_EQ(rig.statusBar.ElementCount(), 0);
    EXPECT_EQ(QGuiApplication::overrideCursor(), nullptr);
}

}  // namespace
}  // namespace velmora::test
