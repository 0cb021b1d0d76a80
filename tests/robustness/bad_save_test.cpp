// Saves that cannot succeed: a folder that is not there, a file system that refuses writes, a
// full disk, an unknown extension, a name without a dot. Each gives its message (or none without
// a dot), leaves the file that was there untouched and the document modified.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <linux/fs.h>
#include <sys/ioctl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <QDir>
#include <QFile>
#include <QImageReader>

#include <csignal>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "document_snapshot.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

const QString kSaveFailed = QStringLiteral("保存图像失败!");
const QString kUnknownFormat = QStringLiteral("图像格式未知!");
const QByteArray kOldBytes("the file that was here before");

// A folder in which nothing can be created, renamed or removed, as on a read-only file system:
// immutable for root (whom permissions do not stop), without write permission for anyone else.
class LockedFolder {
  public:
    explicit LockedFolder(const QString& path) : path_(path) {
        const QByteArray native = QFile::encodeName(path);
        if (geteuid() != 0) {
            locked_ = chmod(native.constData(), 0555) == 0;
            return;
        }
        const int fd = open(native.constData(), O_RDONLY | O_DIRECTORY);
        if (fd < 0) return;
        int flags = 0;
        if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
            flags |= FS_IMMUTABLE_FL;
            locked_ = ioctl(fd, FS_IOC_SETFLAGS, &flags) == 0;
        }
        close(fd);
    }
    ~LockedFolder() { Unlock(); }
    LockedFolder(const LockedFolder&) = delete;
    LockedFolder& operator=(const LockedFolder&) = delete;

    // Whether writes are really refused here (a probe file cannot be made).
    [[nodiscard]] bool Refuses() const {
        if (!locked_) return false;
        QFile probe(QDir(path_).filePath(QStringLiteral("probe")));
        if (!probe.open(QIODevice::WriteOnly)) return true;
        probe.remove();
        return false;
    }

    void Unlock() {
        if (!locked_) return;
        const QByteArray native = QFile::encodeName(path_);
        if (geteuid() != 0) {
            chmod(native.constData(), 0755);
        } else if (const int fd = open(native.constData(), O_RDONLY | O_DIRECTORY); fd >= 0) {
            int flags = 0;
            if (ioctl(fd, FS_IOC_GETFLAGS, &flags) == 0) {
                flags &= ~FS_IMMUTABLE_FL;
                ioctl(fd, FS_IOC_SETFLAGS, &flags);
            }
            close(fd);
        }
        locked_ = false;
    }

  private:
    QString path_;
    bool locked_ = false;
};

class BadSave : public ::testing::Test {
  protected:
    void SetUp() override {
        // Large enough that no format encodes it in a few kilobytes.
        rig.OpenPicture(240, 160);
        rig.MarkHole({100, 60, 20, 16});
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        rig.WaitForIdle();
        ASSERT_TRUE(rig.doc->IsModified());
    }

    QString Path(const QString& name) const { return rig.dir.filePath(name); }

    QString WriteOld(const QString& name) const {
        QFile file(Path(name));
        EXPECT_TRUE(QDir().mkpath(QFileInfo(file).absolutePath()));
        EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << name.toStdString();
        file.write(kOldBytes);
        return file.fileName();
    }

    // Saves to `path`, which must fail with `message` (empty: none) and change nothing.
    void ExpectSaveFails(const QString& path, const QString& message) {
        SCOPED_TRACE(path.toStdString());
        const DocumentSnapshot before = TakeSnapshot(*rig.doc);
        const auto files = FolderContents(rig.dir.path());
        const std::size_t errors = rig.messages.errors.size();
        EXPECT_FALSE(rig.doc->OnSaveDocument(path));
        if (message.isEmpty()) {
            EXPECT_EQ(rig.messages.errors.size(), errors);
        } else {
            ASSERT_EQ(rig.messages.errors.size(), errors + 1);
            EXPECT_EQ(rig.messages.errors.back(), message);
        }
        EXPECT_EQ(TakeSnapshot(*rig.doc), before) << "still modified, same path and pictures";
        EXPECT_TRUE(FolderContents(rig.dir.path()) == files) << "a file was written or changed";
        EXPECT_TRUE(rig.Enabled(ID_FILE_SAVE));
    }

    DocumentRig rig;
};

TEST_F(BadSave, FolderThatIsNotThere) {
    WriteOld(QStringLiteral("old.png"));
    ExpectSaveFails(Path("no/such/folder/out.png"), kSaveFailed);
    ExpectSaveFails(Path("old.png/out.png"), kSaveFailed);  // a file where a folder should be
    ExpectSaveFails(QStringLiteral("/proc/velmora-out.png"), kSaveFailed);
}

TEST_F(BadSave, UnknownExtensionAndNameWithoutDot) {
    WriteOld(QStringLiteral("old.xyz"));
    WriteOld(QStringLiteral("old"));
    WriteOld(QStringLiteral("v1.2/old"));
    ExpectSaveFails(Path("old.xyz"), kUnknownFormat);
    ExpectSaveFails(Path("old"), QString());
    // The last dot lies in the folder's name: "2/old" is no extension anyone knows.
    ExpectSaveFails(Path("v1.2/old"), kUnknownFormat);
    // GIF, read by Qt, is written by the program's own writer.
    WriteOld(QStringLiteral("old.gif"));
    EXPECT_TRUE(rig.doc->OnSaveDocument(Path("old.gif")));
    EXPECT_EQ(QImageReader(Path("old.gif")).read().size(), rig.CurrentCopy().size());
}

// A folder that takes no new file: a new name fails, but a writable file already there is
// overwritten in place (no temporary file can be made beside it).
TEST_F(BadSave, ReadOnlyFolderTakesNoNewFileButItsWritableFileIsOverwritten) {
    const QString old = WriteOld(QStringLiteral("locked/old.png"));
    LockedFolder locked(QFileInfo(old).absolutePath());
    if (!locked.Refuses())
        GTEST_SKIP() << "this file system lets everything be written here (no immutable flag)";
    ExpectSaveFails(Path("locked/new.jpg"), kSaveFailed);
    ASSERT_TRUE(rig.doc->OnSaveDocument(old));
    EXPECT_FALSE(rig.doc->IsModified());
    EXPECT_EQ(QImageReader(old).read().convertToFormat(QImage::Format_RGB32),
              rig.CurrentCopy().convertToFormat(QImage::Format_RGB32));
    EXPECT_EQ(QDir(QFileInfo(old).absolutePath()).entryList(QDir::Files | QDir::Hidden),
              QStringList{QStringLiteral("old.png")});
}

// The disk fills up half way through the write: simulated by a file size limit in a child
// process, which reports back through its exit status.
TEST_F(BadSave, FullDiskKeepsTheOldFile) {
    const std::vector<QString> targets{
        WriteOld(QStringLiteral("old.png")), WriteOld(QStringLiteral("old.jpg")),
        WriteOld(QStringLiteral("old.bmp")), WriteOld(QStringLiteral("old.tif"))};
    const auto files = FolderContents(rig.dir.path());
    const std::size_t errors = rig.messages.errors.size();
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::signal(SIGXFSZ, SIG_IGN);  // writes past the limit fail with EFBIG instead
        const rlimit limit{2048, 2048};
        if (setrlimit(RLIMIT_FSIZE, &limit) != 0) _exit(64);
        int status = 0;
        for (const QString& target : targets) {
            if (rig.doc->OnSaveDocument(target)) status |= 1;
            if (!rig.doc->IsModified()) status |= 2;
        }
        if (rig.messages.errors.size() != errors + targets.size()) status |= 4;
        for (std::size_t i = errors; i < rig.messages.errors.size(); ++i)
            if (rig.messages.errors[i] != kSaveFailed) status |= 8;
        _exit(status);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status)) << "the child died of signal " << WTERMSIG(status);
    const int failures = WEXITSTATUS(status);
    ASSERT_NE(failures, 64) << "the file size limit could not be set";
    EXPECT_EQ(failures & 1, 0) << "a save reported success";
    EXPECT_EQ(failures & 2, 0) << "a failed save cleared the modified flag";
    EXPECT_EQ(failures & 4, 0) << "not one message per failed save";
    EXPECT_EQ(failures & 8, 0) << "a message other than " << kSaveFailed.toStdString();
    EXPECT_TRUE(FolderContents(rig.dir.path()) == files)
        << "an old file changed or a partial file was left behind";
}

}  // namespace
}  // namespace velmora::test
