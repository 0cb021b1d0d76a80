// Memory running out in a fill or a save: the user is told, the document stays as it was (no new
// state, no lost redo state, the modified flag unchanged) and nothing on disk is replaced.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <QTemporaryDir>
#include <cstdlib>
#include <functional>
#include <vector>

#include "../cli/erase_test_support.h"
#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "cli/erase_command.h"
#include "document/document_texts.h"
#include "imagefile/image_file.h"
#include "platform/command_ids.h"

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
#define VELMORA_SANITIZED 1
#elif defined(__has_feature)
#if __has_feature(address_sanitizer) || __has_feature(thread_sanitizer)
#define VELMORA_SANITIZED 1
#endif
#endif

namespace velmora::test {
namespace {

#ifndef VELMORA_SANITIZED
// The process's address space in use now, in bytes.
long long AddressSpaceInUse() {
    QFile statm(QStringLiteral("/proc/self/statm"));
    if (!statm.open(QIODevice::ReadOnly)) return -1;
    return statm.readAll().split(' ').value(0).toLongLong() * sysconf(_SC_PAGESIZE);
}

// The history's indices, flags and every held picture, hashed without copying a picture.
QByteArray DocumentDigest(const CVelmoraDoc& doc) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    const ImageHistory& history = doc.History();
    const std::int32_t fields[] = {history.top(), history.current(), doc.IsModified() ? 1 : 0,
                                   static_cast<std::int32_t>(doc.GetToolMode())};
    hash.addData(QByteArrayView(reinterpret_cast<const char*>(fields), sizeof fields));
    for (std::int32_t index = history.top() - 7; index <= history.top(); ++index) {
        const QImage* state = history.StateAt(index);
        if (state == nullptr) continue;
        hash.addData(QByteArrayView(reinterpret_cast<const char*>(&index), sizeof index));
        for (int y = 0; y < state->height(); ++y)
            hash.addData(QByteArrayView(state->constScanLine(y), state->bytesPerLine()));
    }
    return hash.result();
}

// Runs `checks` in a child process whose memory has run out but for `megabytesLeft` megabytes of
// address space: a limit on it, and every megabyte below the limit taken (free blocks the
// allocator already holds included) but for those. The child's exit status is what `checks`
// returns (a bit per failure); 64 and 65 mean the limit could not be set up.
int StatusWithMemoryLeft(int megabytesLeft, const std::function<int()>& checks) {
    const pid_t child = fork();
    if (child < 0) return -1;
    if (child == 0) {
        constexpr long long kHeadroom = 512ll << 20;
        constexpr int kBlock = 1 << 20;
        const long long inUse = AddressSpaceInUse();
        const rlimit limit{static_cast<rlim_t>(inUse + kHeadroom),
                           static_cast<rlim_t>(inUse + kHeadroom)};
        if (inUse < 0 || setrlimit(RLIMIT_AS, &limit) != 0) _exit(64);
        std::vector<void*> hoard;
        hoard.reserve(1 << 16);
        while (hoard.size() < hoard.capacity()) {
            void* const block = std::malloc(kBlock);
            if (block == nullptr) break;
            hoard.push_back(block);
        }
        if (hoard.size() == hoard.capacity()) _exit(65);
        for (int i = 0; i < megabytesLeft && !hoard.empty(); ++i) {
            std::free(hoard.back());
            hoard.pop_back();
        }
        _exit(checks());
    }
    int status = -1;
    if (waitpid(child, &status, 0) != child) return -1;
    if (!WIFEXITED(status)) {
        ADD_FAILURE() << "the child died of signal " << WTERMSIG(status);
        return -1;
    }
    const int failures = WEXITSTATUS(status);
    EXPECT_NE(failures, 64) << "the address space limit could not be set";
    EXPECT_NE(failures, 65) << "memory did not run out under the limit";
    return failures;
}

#endif

// Whether exactly one error was shown since there were `errorsBefore`, and it was `text`.
[[maybe_unused]] bool ToldOnce(const DocumentRig& rig, std::size_t errorsBefore, const char* text) {
    return rig.messages.errors.size() == errorsBefore + 1 &&
           rig.messages.errors.back() == QString::fromUtf8(text);
}

#ifdef VELMORA_SANITIZED
#define SKIP_WHEN_SANITIZED() \
    GTEST_SKIP() << "sanitizer runtimes reserve address space of their own; no limit applies"
#else
#define SKIP_WHEN_SANITIZED() static_cast<void>(0)
#endif

TEST(LowMemory, FillThatCannotCopyThePictureChangesNothing) {
    SKIP_WHEN_SANITIZED();
#ifndef VELMORA_SANITIZED
    DocumentRig rig;
    rig.OpenPicture(2048, 2048);  // 16 MB a copy
    rig.MarkHole({1000, 1000, 20, 15});
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    rig.WaitForIdle();
    ASSERT_TRUE(rig.router.Execute(ID_EDIT_UNDO));  // a state to redo, too
    const QByteArray before = DocumentDigest(*rig.doc);
    const std::size_t errors = rig.messages.errors.size();

    // None of the megabytes left is large enough for another copy of the picture.
    const int failures = StatusWithMemoryLeft(4, [&] {
        int status = 0;
        rig.router.Execute(ID_FILL_START);
        if (rig.doc->Busy()) status |= 1;
        if (DocumentDigest(*rig.doc) != before) status |= 2;
        if (!rig.doc->HasImage() || !rig.Enabled(ID_FILE_SAVE) || !rig.Enabled(ID_EDIT_REDO))
            status |= 4;
        if (rig.messages.errors.size() != errors + 1) status |= 8;
        return status;
    });
    ASSERT_GE(failures, 0);
    EXPECT_EQ(failures & 1, 0) << "a job started without its copy";
    EXPECT_EQ(failures & 2, 0) << "the history, picture or flags changed";
    EXPECT_EQ(failures & 4, 0) << "the picture can no longer be saved or its states reached";
    EXPECT_EQ(failures & 8, 0) << "the user was not told";
#endif
}

// The copy fits, the fill's own buffers for a hole of most of the picture do not: no result is
// claimed, and the history and the modified flag are as before. (That the states such a fill
// displaced come back is the history's own test.) No fill runs before the limit: the arenas its
// threads left behind would hold free memory that the limit does not reach.
TEST(LowMemory, FillThatRunsOutOfMemoryLeavesTheDocumentAsItWas) {
    SKIP_WHEN_SANITIZED();
#ifndef VELMORA_SANITIZED
    DocumentRig rig;
    rig.OpenPicture(1024, 1024);  // 4 MB a copy
    rig.MarkHole({20, 20, 980, 980});
    const QByteArray before = DocumentDigest(*rig.doc);
    const std::size_t errors = rig.messages.errors.size();

    // Room for the copy and the worker's stack, not for the job's grids.
    const int failures = StatusWithMemoryLeft(40, [&] {
        int status = 0;
        // Busy at once: the copy was made and the job started; its buffers are what fails.
        if (!rig.router.Execute(ID_FILL_START) || !rig.doc->Busy()) return 16;
        rig.WaitForIdle();
        if (DocumentDigest(*rig.doc) != before) status |= 2;
        if (rig.Enabled(ID_EDIT_UNDO) || !rig.Enabled(ID_FILL_START)) status |= 4;
        if (!ToldOnce(rig, errors, kNoMemoryForFillText)) status |= 8;
        return status;
    });
    ASSERT_GE(failures, 0);
    EXPECT_EQ(failures & 16, 0) << "the fill did not start: the copy found no memory either";
    EXPECT_EQ(failures & 2, 0) << "a state was added, the picture or the modified flag changed";
    EXPECT_EQ(failures & 4, 0) << "an undo step was added or a new fill is no longer possible";
    EXPECT_EQ(failures & 8, 0) << "the user was not told that memory ran out";
#endif
}

// Encoding a save finds no memory: the save fails with the usual message, the old file and the
// document's modified flag stay.
TEST(LowMemory, SaveThatRunsOutOfMemoryFailsWithTheUsualMessage) {
    SKIP_WHEN_SANITIZED();
#ifndef VELMORA_SANITIZED
    DocumentRig rig;
    rig.OpenPicture(1024, 1024);
    // Modified without a fill, whose threads' arenas would keep free memory out of the limit's
    // reach.
    rig.doc->SetModifiedFlag(true);
    const QString target = rig.dir.filePath(QStringLiteral("kept.bmp"));
    {
        QFile old(target);
        ASSERT_TRUE(old.open(QIODevice::WriteOnly));
        old.write("old contents");
    }
    const std::size_t errors = rig.messages.errors.size();

    // A 4 MB picture does not encode in 2 MB.
    const int failures = StatusWithMemoryLeft(2, [&] {
        int status = 0;
        if (rig.doc->OnSaveDocument(target)) status |= 1;
        if (!rig.doc->IsModified()) status |= 2;
        if (!ToldOnce(rig, errors, kSaveFailedText)) status |= 4;
        return status;
    });
    ASSERT_GE(failures, 0);
    EXPECT_EQ(failures & 1, 0) << "the save claims success";
    EXPECT_EQ(failures & 2, 0) << "the document no longer counts as modified";
    EXPECT_EQ(failures & 4, 0) << "the user was not told";
    QFile old(target);
    ASSERT_TRUE(old.open(QIODevice::ReadOnly));
    EXPECT_EQ(old.readAll(), QByteArray("old contents"));
#endif
}

// velmora-erase with too little memory for the fill: a message, a failing exit code and no
// output, instead of the unchanged picture written as if filled.
TEST(LowMemory, EraseCommandThatRunsOutOfMemoryWritesNothing) {
    SKIP_WHEN_SANITIZED();
#ifndef VELMORA_SANITIZED
    QTemporaryDir dir;
    const QString input =
        WritePicture(MakeTestPicture(1024, 1024), dir.filePath(QStringLiteral("in.bmp")));
    const QString output = dir.filePath(QStringLiteral("out.png"));
    const QImage decoded(input);  // the reader's plugin loaded before the limit
    ASSERT_FALSE(decoded.isNull());

    const int failures = StatusWithMemoryLeft(24, [&] {
        const testing::EraseRun run =
            testing::RunEraseCommand({input, QStringLiteral("-o"), output, QStringLiteral("--rect"),
                                      QStringLiteral("20,20,1000,1000")});
        int status = 0;
        if (run.exitCode != kExitNoMemory) status |= 1;
        if (run.err.trimmed() != QString::fromUtf8(kNoMemoryForFillText)) status |= 2;
        if (QFile::exists(output)) status |= 4;
        if (!run.out.isEmpty()) status |= 8;
        return status;
    });
    ASSERT_GE(failures, 0);
    EXPECT_EQ(failures & 1, 0) << "the exit code does not say that memory ran out";
    EXPECT_EQ(failures & 2, 0) << "the message is missing";
    EXPECT_EQ(failures & 4, 0) << "an output was written";
    EXPECT_EQ(failures & 8, 0) << "a closing line claims a result";
#endif
}

}  // namespace
}  // namespace velmora::test
