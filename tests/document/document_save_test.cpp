// Saving on a thread of its own: the window's event loop goes on, everything that could change
// the picture is disabled meanwhile, and the file holds the picture as it was when saving began.
#include <gtest/gtest.h>

#include <QFile>
#include <QImage>
#include <QTimer>
#include <atomic>
#include <set>
#include <thread>

#include "../platform/qt_test_app.h"
#include "document/document_texts.h"
#include "document_test_support.h"
#include "imagefile/image_file.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

TEST(DocumentSave, RunsOffTheInterfaceThreadWithEveryCommandDisabled) {
    DocumentRig rig;
    rig.OpenPicture(160, 120);
    rig.MarkHole({40, 30, 20, 15});
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    rig.WaitForIdle();
    ASSERT_TRUE(rig.doc->IsModified());
    ASSERT_FALSE(EnabledCommands(rig).empty());
    const QImage picture = rig.CurrentCopy();

    std::atomic<bool> release{false};
    std::thread::id saverThread;
    rig.doc->SetSaveHook([&] {
        saverThread = std::this_thread::get_id();
        while (!release.load()) std::this_thread::yield();
    });
    // Runs inside the save: the event loop is not blocked by it.
    bool ranDuringSave = false;
    std::set<int> enabledDuringSave;
    QString label;
    bool busy = false;
    QTimer::singleShot(0, [&] {
        ranDuringSave = rig.doc->Saving();
        enabledDuringSave = EnabledCommands(rig);
        label = rig.LabelText();
        busy = rig.doc->Busy();
        release.store(true);
    });
    const QString path = rig.dir.filePath(QStringLiteral("saved.png"));
    ASSERT_TRUE(rig.doc->OnSaveDocument(path));

    EXPECT_TRUE(ranDuringSave) << "the event loop did not run while the picture was written";
    EXPECT_NE(saverThread, std::this_thread::get_id());
    EXPECT_TRUE(enabledDuringSave.empty()) << "a command stayed enabled during the save";
    EXPECT_EQ(label, QString::fromUtf8(kStatusSavingText));
    EXPECT_TRUE(busy);
    EXPECT_FALSE(rig.doc->Saving());
    EXPECT_EQ(rig.LabelText(), QStringLiteral("<none>"));
    EXPECT_FALSE(rig.doc->IsModified());
    EXPECT_FALSE(EnabledCommands(rig).empty());
    EXPECT_EQ(QImage(path).convertToFormat(picture.format()), picture);
}

TEST(DocumentSave, FailureKeepsTheDocumentModifiedAndIsReportedOnce) {
    DocumentRig rig;
    rig.OpenPicture(32, 24);
    rig.doc->SetModifiedFlag(true);
    int finished = 0;
    bool lastOutcome = true;
    QObject::connect(rig.doc.get(), &CVelmoraDoc::saveFinished, [&](bool saved) {
        ++finished;
        lastOutcome = saved;
    });
    EXPECT_FALSE(rig.doc->OnSaveDocument(rig.dir.filePath(QStringLiteral("missing/x.png"))));
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(lastOutcome);
    EXPECT_TRUE(rig.doc->IsModified());
    EXPECT_FALSE(rig.doc->Saving());
    ASSERT_EQ(rig.messages.errors.size(), 1u);
    EXPECT_EQ(rig.messages.errors.front(), QString::fromUtf8(kSaveFailedText));
}

// A save asked for from inside a running save (only a direct call can) is refused, not nested.
TEST(DocumentSave, SecondSaveDuringASaveIsRefused) {
    DocumentRig rig;
    rig.OpenPicture(32, 24);
    bool nested = true;
    QTimer::singleShot(0, [&] {
        nested = rig.doc->OnSaveDocument(rig.dir.filePath(QStringLiteral("nested.png")));
    });
    std::atomic<bool> nestedTried{false};
    rig.doc->SetSaveHook([&] {
        // Held until the nested attempt has come back.
        while (!nestedTried.load()) std::this_thread::yield();
    });
    QTimer::singleShot(0, [&] { nestedTried.store(true); });
    ASSERT_TRUE(rig.doc->OnSaveDocument(rig.dir.filePath(QStringLiteral("first.png"))));
    EXPECT_FALSE(nested);
    EXPECT_FALSE(QFile::exists(rig.dir.filePath(QStringLiteral("nested.png"))));
}

}  // namespace
}  // namespace velmora::test
