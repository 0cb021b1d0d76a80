#include "imagefile/encoded_file_writer.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <string>
#include <thread>

namespace velmora {
namespace {

class EncodedFileWriter : public ::testing::Test {
  protected:
    std::string Path(const char* name) const {
        return QFile::encodeName(dir_.filePath(QString::fromUtf8(name))).toStdString();
    }
    QString Name(const char* name) const { return dir_.filePath(QString::fromUtf8(name)); }
    static QByteArray Contents(const std::string& path) {
        QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<unreadable>");
    }
    static void Put(const std::string& path, const QByteArray& bytes) {
        QFile file(QFile::decodeName(QByteArray::fromStdString(path)));
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write(bytes);
    }
    static struct stat Info(const std::string& path, bool follow = true) {
        struct stat info {};
        EXPECT_EQ(follow ? ::stat(path.c_str(), &info) : ::lstat(path.c_str(), &info), 0) << path;
        return info;
    }
    // Every name in the folder: a temporary left behind shows here.
    QStringList Entries() const {
        return QDir(dir_.path())
            .entryList(QDir::AllEntries | QDir::Hidden | QDir::System | QDir::NoDotAndDotDot);
    }

    QTemporaryDir dir_;
    const QByteArray picture_ = QByteArray("\x89PNG\r\n\x1a\n") + QByteArray(5000, 'p');
};

TEST_F(EncodedFileWriter, NewAndReplacedFilesGetEveryByteAndLeaveNoTemporary) {
    ASSERT_TRUE(WriteEncodedFile(Name("new.png"), picture_));
    EXPECT_EQ(Contents(Path("new.png")), picture_);

    Put(Path("old.png"), QByteArray(9000, 'o'));  // longer than the new contents
    ASSERT_EQ(::chmod(Path("old.png").c_str(), 0640), 0);
    const ino_t before = Info(Path("old.png")).st_ino;
    ASSERT_TRUE(WriteEncodedFile(Name("old.png"), picture_));
    EXPECT_EQ(Contents(Path("old.png")), picture_);
    const struct stat after = Info(Path("old.png"));
    EXPECT_NE(after.st_ino, before) << "replaced in place, not by a new file";
    EXPECT_EQ(after.st_mode & 07777, 0640u) << "the old file's permissions were not kept";
    EXPECT_EQ(Entries(), (QStringList{QStringLiteral("new.png"), QStringLiteral("old.png")}));
}

// The id of a process that has ended.
pid_t EndedProcess() {
    const pid_t child = ::fork();
    if (child == 0) ::_exit(0);
    ::waitpid(child, nullptr, 0);
    return child;
}

TEST_F(EncodedFileWriter, CopiesLeftByKilledSavesAreRemovedByTheNextSave) {
    const std::string dead = std::to_string(EndedProcess());
    const std::string alive = std::to_string(::getppid());
    Put(Path("out.png"), QByteArray("old"));
    Put(Path(("out.png.velmora-" + dead + "-0").c_str()), picture_);  // between link and rename
    Put(Path(("out.png.velmora-" + dead + "-a1B2c3").c_str()), picture_);  // named temporary
    Put(Path(("out.png.velmora-" + alive + "-0").c_str()), picture_);      // a save still running
    Put(Path(("other.png.velmora-" + dead + "-0").c_str()), picture_);     // another target's
    Put(Path(("out.png.velmora-" + dead).c_str()), picture_);              // not such a name
    Put(Path("out.png.velmora-x-0"), picture_);

    ASSERT_TRUE(WriteEncodedFile(Name("out.png"), picture_));
    EXPECT_EQ(Contents(Path("out.png")), picture_);
    QStringList expected{
        QStringLiteral("out.png"), QString::fromStdString("out.png.velmora-" + alive + "-0"),
        QString::fromStdString("other.png.velmora-" + dead + "-0"),
        QString::fromStdString("out.png.velmora-" + dead), QStringLiteral("out.png.velmora-x-0")};
    expected.sort();
    EXPECT_EQ(Entries(), expected);
}

TEST_F(EncodedFileWriter, FailedWriteLeavesNothingBehind) {
    EXPECT_FALSE(WriteEncodedFile(Name("missing/out.png"), picture_));
    ASSERT_EQ(::mkdir(Path("folder.png").c_str(), 0755), 0);
    EXPECT_FALSE(WriteEncodedFile(Name("folder.png"), picture_));
    EXPECT_EQ(Entries(), QStringList{QStringLiteral("folder.png")});
}

TEST_F(EncodedFileWriter, LinkToAFileReplacesTheFileAndStaysALink) {
    Put(Path("real.png"), "old");
    ASSERT_EQ(::symlink("real.png", Path("link.png").c_str()), 0);
    ASSERT_TRUE(WriteEncodedFile(Name("link.png"), picture_));
    EXPECT_TRUE(S_ISLNK(Info(Path("link.png"), false).st_mode));
    EXPECT_EQ(Contents(Path("real.png")), picture_);
    // A dangling link: the file it names is made.
    ASSERT_EQ(::symlink("later.png", Path("dangling.png").c_str()), 0);
    ASSERT_TRUE(WriteEncodedFile(Name("dangling.png"), picture_));
    EXPECT_TRUE(S_ISLNK(Info(Path("dangling.png"), false).st_mode));
    EXPECT_EQ(Contents(Path("later.png")), picture_);
}

TEST_F(EncodedFileWriter, FifoIsWrittenIntoAndStaysAFifo) {
    const std::string fifo = Path("pipe.png");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("pipe.png", Path("to-pipe.png").c_str()), 0);
    for (const char* name : {"pipe.png", "to-pipe.png"}) {
        QByteArray received;
        std::thread reader([&] {
            const int fd = ::open(fifo.c_str(), O_RDONLY);
            if (fd < 0) return;
            char buffer[4096];
            ssize_t got = 0;
            while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
                received.append(buffer, static_cast<qsizetype>(got));
            ::close(fd);
        });
        const bool written = WriteEncodedFile(Name(name), picture_);
        reader.join();
        EXPECT_TRUE(written) << name;
        EXPECT_EQ(received, picture_) << name;
        EXPECT_TRUE(S_ISFIFO(Info(fifo, false).st_mode)) << name;
    }
}

TEST_F(EncodedFileWriter, DeviceBehindTheNameIsWrittenIntoNotReplaced) {
    ASSERT_EQ(::symlink("/dev/null", Path("null.png").c_str()), 0);
    ASSERT_TRUE(WriteEncodedFile(Name("null.png"), picture_));
    EXPECT_TRUE(S_ISLNK(Info(Path("null.png"), false).st_mode));
    EXPECT_TRUE(S_ISCHR(Info("/dev/null", false).st_mode));

    // A device node of its own where the test may make one (root outside a container's limits).
    if (::mknod(Path("node.png").c_str(), S_IFCHR | 0666, makedev(1, 3)) != 0)
        GTEST_SKIP() << "no device node can be made here (needs CAP_MKNOD): only the link "
                        "to /dev/null was checked";
    ASSERT_TRUE(WriteEncodedFile(Name("node.png"), picture_));
    EXPECT_TRUE(S_ISCHR(Info(Path("node.png"), false).st_mode));
}

// A writable file in a folder that lets nobody make files: overwritten in place. Root may write
// into any folder, so the check then runs as an ordinary user in a child process.
TEST_F(EncodedFileWriter, WritableFileInReadOnlyFolderIsOverwrittenInPlace) {
    const std::string folder = Path("locked");
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    const std::string target = folder + "/photo.png";
    Put(target, QByteArray(9000, 'o'));
    ASSERT_EQ(::chmod(target.c_str(), 0666), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    const ino_t before = Info(target).st_ino;
    const QString name = QFile::decodeName(QByteArray::fromStdString(target));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(3);
        if (::open((folder + "/probe").c_str(), O_WRONLY | O_CREAT, 0600) >= 0) _exit(4);
        _exit(WriteEncodedFile(name, picture_) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an ordinary user";
    ASSERT_NE(WEXITSTATUS(status), 4) << "the folder is not read-only for the writer";
    EXPECT_EQ(WEXITSTATUS(status), 0);
    EXPECT_EQ(Contents(target), picture_);
    EXPECT_EQ(Info(target).st_ino, before);
    ::chmod(folder.c_str(), 0755);
}

TEST_F(EncodedFileWriter, ReadOnlyFileInReadOnlyFolderFailsAndKeepsItsContents) {
    const std::string folder = Path("locked");
    ASSERT_EQ(::mkdir(folder.c_str(), 0777), 0);
    const std::string target = folder + "/photo.png";
    Put(target, "old");
    ASSERT_EQ(::chmod(target.c_str(), 0444), 0);
    ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
    ASSERT_EQ(::chmod(QFile::encodeName(dir_.path()).constData(), 0755), 0);
    const QString name = QFile::decodeName(QByteArray::fromStdString(target));

    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        if (::geteuid() == 0 && (::setgid(65534) != 0 || ::setuid(65534) != 0)) _exit(3);
        _exit(WriteEncodedFile(name, picture_) ? 0 : 1);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    ASSERT_NE(WEXITSTATUS(status), 3) << "could not become an ordinary user";
    EXPECT_EQ(WEXITSTATUS(status), 1);
    EXPECT_EQ(Contents(target), QByteArray("old"));
    ::chmod(folder.c_str(), 0755);
}

TEST(EncodedBytes, EveryByteReachesTheDescriptor) {
    int ends[2];
    ASSERT_EQ(::pipe(ends), 0);
    const QByteArray bytes(200000, 'b');  // more than a pipe holds at once
    QByteArray received;
    std::thread reader([&] {
        char buffer[4096];
        ssize_t got = 0;
        while ((got = ::read(ends[0], buffer, sizeof buffer)) > 0)
            received.append(buffer, static_cast<qsizetype>(got));
    });
    EXPECT_TRUE(WriteEncodedBytes(ends[1], bytes));
    ::close(ends[1]);
    reader.join();
    ::close(ends[0]);
    EXPECT_EQ(received, bytes);
    EXPECT_FALSE(WriteEncodedBytes(-1, bytes));
}

}  // namespace
}  // namespace velmora
