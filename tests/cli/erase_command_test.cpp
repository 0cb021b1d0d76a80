#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QDir>
#include <QFile>
#include <QImage>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtGlobal>
#include <atomic>

#include "cli/erase_command.h"
#include "erase_test_support.h"
#include "imagefile/image_file.h"

namespace velmora {
namespace {

using testing::DifferentPixels;
using testing::RunEraseCommand;

const QString kNoise = QStringLiteral(VELMORA_CONFORMANCE_DIR "/in_noise_96x72.png");

class EraseCommand : public ::testing::Test {
  protected:
    QString Scratch(const QString& name) const { return dir_.filePath(name); }
    QTemporaryDir dir_;
};

TEST_F(EraseCommand, FillsInsideTheSelectionOnlyAndReportsCounts) {
    const QString output = Scratch(QStringLiteral("out.png"));
    const auto run = RunEraseCommand(
        {kNoise, QStringLiteral("-o"), output, QStringLiteral("--polygon"),
         QStringLiteral("40,30,60,30,50,50"), QStringLiteral("--seed"), QStringLiteral("9")});
    ASSERT_EQ(run.exitCode, kExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.out.startsWith(QStringLiteral("marked=")));
    EXPECT_TRUE(run.out.contains(QStringLiteral(" seconds=")));
    const qint64 marked = testing::ReportValue(run.out, QStringLiteral("marked"));
    EXPECT_GT(marked, 150);
    EXPECT_LT(marked, 250);
    const QImage before(kNoise);
    const QImage after(output);
    ASSERT_EQ(after.size(), before.size());
    qint64 changedOutside = 0, changedInside = 0;
    for (int y = 0; y < before.height(); ++y)
        for (int x = 0; x < before.width(); ++x) {
            const bool inBounds = x >= 40 && x < 60 && y >= 30 && y < 50;
            const bool changed = before.pixel(x, y) != after.pixel(x, y);
            (inBounds ? changedInside : changedOutside) += changed ? 1 : 0;
        }
    EXPECT_EQ(changedOutside, 0);
    EXPECT_GT(changedInside, marked / 2);
}

TEST_F(EraseCommand, StopAtOnceWritesThePictureUnchanged) {
    const QString output = Scratch(QStringLiteral("stopped.png"));
    const auto run = RunEraseCommand({kNoise, QStringLiteral("-o"), output,
                                      QStringLiteral("--rect"), QStringLiteral("10,10,30,30")},
                                     true);
    // A stop before the fill starts still writes the (unchanged) picture and says so.
    ASSERT_EQ(run.exitCode, kExitInterrupted);
    EXPECT_TRUE(run.err.startsWith(QStringLiteral("interrupted:"))) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(output));
    EXPECT_EQ(testing::ReportValue(run.out, QStringLiteral("progress")), 0);
    EXPECT_EQ(DifferentPixels(QImage(output), QImage(kNoise)), 0);
}

TEST_F(EraseCommand, SaysWhenOnlyTheFirstPageOfAFileIsFilled) {
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const QString pages = Scratch(QStringLiteral("pages.tif"));
    ASSERT_EQ(QProcess::execute(QStringLiteral("convert"), {kNoise, kNoise, pages}), 0);
    const QString output = Scratch(QStringLiteral("first.png"));
    const auto run = RunEraseCommand({pages, QStringLiteral("-o"), output,
                                      QStringLiteral("--rect"), QStringLiteral("10,10,30,30")});
    ASSERT_EQ(run.exitCode, kExitOk) << run.err.toStdString();
    EXPECT_TRUE(run.err.contains(QString::fromUtf8(kOnlyFirstPageText)));

    const auto single = RunEraseCommand({kNoise, QStringLiteral("-o"), output,
                                         QStringLiteral("--rect"), QStringLiteral("10,10,30,30")});
    ASSERT_EQ(single.exitCode, kExitOk);
    EXPECT_FALSE(single.err.contains(QString::fromUtf8(kOnlyFirstPageText)));
}

// The signal handler's part, in a child process: the first interrupt only asks for a stop, the
// second ends the process there and then.
TEST(EraseInterrupt, SecondInterruptEndsAtOnce) {
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        std::atomic<bool> stop{false};
        HandleInterrupt(stop);
        if (!stop.load()) _exit(1);
        HandleInterrupt(stop);
        _exit(2);  // not reached
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), kExitInterrupted);
}

// What Qt logs on its own must not reach stderr; the default handler shows that it would.
TEST(EraseInterrupt, QtWarningsStayOffStandardError) {
    const auto stderrOf = [](bool dropping) {
        QTemporaryDir dir;
        const QByteArray path = QFile::encodeName(dir.filePath(QStringLiteral("err.txt")));
        const pid_t child = fork();
        if (child == 0) {
            const int fd = open(path.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (fd < 0 || dup2(fd, STDERR_FILENO) < 0) _exit(3);
            if (dropping) qInstallMessageHandler(DropQtMessages);
            qWarning("QImageIOHandler: Rejecting image as it exceeds the current allocation limit");
            qInfo("an informational line");
            _exit(0);
        }
        int status = -1;
        waitpid(child, &status, 0);
        QFile file(QFile::decodeName(path));
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray("<none>");
    };
    EXPECT_TRUE(stderrOf(false).contains("allocation limit"));
    EXPECT_EQ(stderrOf(true), QByteArray());
}

TEST_F(EraseCommand, BadInputsFailCleanlyAndWriteNothing) {
    const QString output = Scratch(QStringLiteral("never.png"));
    QFile text(Scratch(QStringLiteral("text.jpg")));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("not a picture at all");
    text.close();
    QImage smallMask(10, 10, QImage::Format_Grayscale8);
    smallMask.fill(255);
    ASSERT_TRUE(smallMask.save(Scratch(QStringLiteral("small.png"))));

    struct Case {
        QStringList arguments;
        int exitCode;
        QString message;
    };
    const QString cannotOpen = QString::fromUtf8("无法打开图像!");
    const QString unknownFormat = QString::fromUtf8("图像格式未知!");
    const Case cases[] = {
        {{Scratch(QStringLiteral("missing.png")), QStringLiteral("-o"), output,
          QStringLiteral("--rect"), QStringLiteral("1,1,5,5")},
         kExitFileError,
         cannotOpen},
        {{text.fileName(), QStringLiteral("-o"), output, QStringLiteral("--rect"),
          QStringLiteral("1,1,5,5")},
         kExitFileError,
         cannotOpen},
        {{dir_.path(), QStringLiteral("-o"), output, QStringLiteral("--rect"),
          QStringLiteral("1,1,5,5")},
         kExitFileError,
         cannotOpen},
        {{kNoise, QStringLiteral("-o"), output, QStringLiteral("--rect"),
          QStringLiteral("200,200,220,220")},
         kExitUsage,
         QStringLiteral("no pixel")},
        {{kNoise, QStringLiteral("-o"), output, QStringLiteral("--mask"),
          Scratch(QStringLiteral("small.png"))},
         kExitUsage,
         QStringLiteral("mask")},
        {{kNoise, QStringLiteral("-o"), Scratch(QStringLiteral("out.xyz")),
          QStringLiteral("--rect"), QStringLiteral("1,1,5,5")},
         kExitFileError,
         unknownFormat},
        {{kNoise, QStringLiteral("-o"), Scratch(QStringLiteral("nodot")), QStringLiteral("--rect"),
          QStringLiteral("1,1,5,5")},
         kExitFileError,
         unknownFormat},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.arguments.join(QLatin1Char(' ')).toStdString());
        const auto run = RunEraseCommand(c.arguments);
        EXPECT_EQ(run.exitCode, c.exitCode);
        EXPECT_TRUE(run.err.contains(c.message)) << run.err.toStdString();
        EXPECT_TRUE(run.out.isEmpty());
    }
    EXPECT_EQ(QDir(dir_.path()).entryList(QDir::Files).size(), 2) << "only the two inputs exist";
}

TEST_F(EraseCommand, FailedWriteKeepsTheExistingOutput) {
    // The target is a folder's child that cannot be created: the old file next to it stays.
    const QString existing = Scratch(QStringLiteral("result.png"));
    QImage old(8, 8, QImage::Format_RGB32);
    old.fill(Qt::red);
    ASSERT_TRUE(old.save(existing));
    const auto run =
        RunEraseCommand({kNoise, QStringLiteral("-o"), Scratch(QStringLiteral("no/such/dir/x.png")),
                         QStringLiteral("--rect"), QStringLiteral("10,10,20,20")});
    EXPECT_EQ(run.exitCode, kExitFileError);
    EXPECT_TRUE(run.err.contains(QString::fromUtf8("保存图像失败!")));
    EXPECT_EQ(DifferentPixels(QImage(existing), old), 0);
}

TEST_F(EraseCommand, OutputReplacesAnExistingFileWhole) {
    const QString output = Scratch(QStringLiteral("result.jpg"));
    QFile stale(output);
    ASSERT_TRUE(stale.open(QIODevice::WriteOnly));
    stale.write(QByteArray(1 << 20, 'x'));
    stale.close();
    const auto run = RunEraseCommand({kNoise, QStringLiteral("-o"), output,
                                      QStringLiteral("--rect"), QStringLiteral("10,10,20,20")});
    ASSERT_EQ(run.exitCode, kExitOk);
    const QImage written(output);
    EXPECT_EQ(written.size(), QSize(96, 72));
    EXPECT_LT(QFileInfo(output).size(), 1 << 20);
}

}  // namespace
}  // namespace velmora
