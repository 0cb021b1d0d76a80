// A fill started when there is no memory left for the copy of the picture it would fill: the
// history must stay as it was, with the picture still shown, undoable and saveable, instead of an
// empty state that hides every picture behind it.
#include <gtest/gtest.h>

#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QCryptographicHash>
#include <QFile>
#include <cstdlib>
#include <vector>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
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

#endif

TEST(LowMemory, FillThatCannotCopyThePictureChangesNothing) {
#ifdef VELMORA_SANITIZED
    GTEST_SKIP() << "sanitizer runtimes reserve address space of their own; no limit applies";
#else
    DocumentRig rig;
    rig.OpenPicture(2048, 2048);  // 16 MB a copy
    rig.MarkHole({1000, 1000, 20, 15});
    ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
    rig.WaitForIdle();
    ASSERT_TRUE(rig.router.Execute(ID_EDIT_UNDO));  // a state to redo, too
    const QByteArray before = DocumentDigest(*rig.doc);
    const std::size_t errors = rig.messages.errors.size();

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        // Memory runs out: a limit on the address space, and every megabyte below it taken
        // (free blocks the allocator already holds included), but for a few left for small
        // allocations; none is large enough for another copy of the picture.
        constexpr long long kHeadroom = 64ll << 20;
        constexpr int kBlock = 1 << 20;
        constexpr int kBlocksLeft = 4;
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
        for (int i = 0; i < kBlocksLeft && !hoard.empty(); ++i) {
            std::free(hoard.back());
            hoard.pop_back();
        }
        int status = 0;
        rig.router.Execute(ID_FILL_START);
        if (rig.doc->Busy()) status |= 1;
        if (DocumentDigest(*rig.doc) != before) status |= 2;
        if (!rig.doc->HasImage() || !rig.Enabled(ID_FILE_SAVE) || !rig.Enabled(ID_EDIT_REDO))
            status |= 4;
        if (rig.messages.errors.size() != errors + 1) status |= 8;
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    const int failures = WEXITSTATUS(status);
    ASSERT_NE(failures, 64) << "the address space limit could not be set";
    ASSERT_NE(failures, 65) << "memory did not run out under the limit";
    EXPECT_EQ(failures & 1, 0) << "a job started without its copy";
    EXPECT_EQ(failures & 2, 0) << "the history, picture or flags changed";
    EXPECT_EQ(failures & 4, 0) << "the picture can no longer be saved or its states reached";
    EXPECT_EQ(failures & 8, 0) << "the user was not told";
#endif
}

}  // namespace
}  // namespace velmora::test
