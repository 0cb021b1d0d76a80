// velmora-erase as a process: names given as raw bytes, standard output as the target, Ctrl+C.
#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/wait.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <csignal>
#include <string>
#include <vector>

#include "cli/erase_command.h"

namespace velmora {
namespace {

const QString kNoise = QStringLiteral(VELMORA_CONFORMANCE_DIR "/in_noise_96x72.png");

class EraseProcess : public ::testing::Test {
  protected:
    // Starts the program with these arguments, byte for byte; its output streams go to files.
    pid_t Start(const std::vector<QByteArray>& arguments) {
        const QByteArray out = Bytes("stdout");
        const QByteArray err = Bytes("stderr");
        std::vector<QByteArray> words{QByteArray(VELMORA_ERASE_PROGRAM)};
        words.insert(words.end(), arguments.begin(), arguments.end());
        std::vector<char*> argv;
        for (QByteArray& word : words) argv.push_back(word.data());
        argv.push_back(nullptr);
        const pid_t child = fork();
        if (child == 0) {
            const int outFd = ::open(out.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            const int errFd = ::open(err.constData(), O_WRONLY | O_CREAT | O_TRUNC, 0600);
            if (outFd < 0 || errFd < 0 || dup2(outFd, 1) < 0 || dup2(errFd, 2) < 0) _exit(120);
            ::execv(argv[0], argv.data());
            _exit(121);
        }
        return child;
    }
    // Waits for the program: its exit code, or -1 when a signal ended it.
    static int Finish(pid_t child) {
        int status = 0;
        if (waitpid(child, &status, 0) != child || !WIFEXITED(status)) return -1;
        return WEXITSTATUS(status);
    }
    int Run(const std::vector<QByteArray>& arguments) { return Finish(Start(arguments)); }

    QByteArray Bytes(const char* name) const {
        return QFile::encodeName(dir_.path()) + '/' + QByteArray(name);
    }
    static QByteArray Contents(const QByteArray& path) {
        QByteArray bytes;
        const int fd = ::open(path.constData(), O_RDONLY);
        if (fd < 0) return "<missing>";
        char buffer[65536];
        ssize_t got = 0;
        while ((got = ::read(fd, buffer, sizeof buffer)) > 0)
            bytes.append(buffer, static_cast<qsizetype>(got));
        ::close(fd);
        return bytes;
    }
    QString Stderr() const { return QString::fromUtf8(Contents(Bytes("stderr"))); }

    QTemporaryDir dir_;
};

TEST_F(EraseProcess, NonUtf8NamesAreUsedAsTheBytesTheyAre) {
    const QByteArray input = Bytes("in-\xff.png");
    ASSERT_TRUE(QFile::copy(kNoise, QString::fromUtf8(Bytes("plain.png"))));
    ASSERT_EQ(::rename(Bytes("plain.png").constData(), input.constData()), 0);
    const QByteArray lookalike = Bytes("out-\xef\xbf\xbd.png");
    const QByteArray output = Bytes("out-\xfe.png");
    {
        QFile other(QString::fromUtf8(lookalike));
        ASSERT_TRUE(other.open(QIODevice::WriteOnly));
        other.write("not to be touched");
    }
    ASSERT_EQ(Run({input, "-o", output, "--rect", "10,10,30,30", "--seed", "3"}), kExitOk)
        << Stderr().toStdString();
    EXPECT_EQ(Contents(lookalike), QByteArray("not to be touched"));
    QImage written;
    EXPECT_TRUE(written.loadFromData(Contents(output)));
    EXPECT_EQ(written.size(), QImage(kNoise).size());
    // QTemporaryDir removes by Qt's spelling of the names, which misses these.
    ::unlink(input.constData());
    ::unlink(output.constData());
}

TEST_F(EraseProcess, DashWritesThePictureToStandardOutput) {
    ASSERT_EQ(Run({QFile::encodeName(kNoise), "-o", "-", "--rect", "10,10,30,30"}), kExitOk)
        << Stderr().toStdString();
    QImage written;
    ASSERT_TRUE(written.loadFromData(Contents(Bytes("stdout")), "PNG"));
    EXPECT_EQ(written.size(), QImage(kNoise).size());
    // The closing line moves to stderr, out of the picture's way.
    EXPECT_TRUE(Stderr().contains(QStringLiteral("marked=400")));
    EXPECT_FALSE(QFile::exists(QStringLiteral("-")));
}

// Ctrl+C while the program runs: the partial result is written, stderr says so first, exit 130.
TEST_F(EraseProcess, InterruptWritesThePartialResultAndExits130) {
    QImage big(800, 600, QImage::Format_RGB32);
    for (int y = 0; y < big.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(big.scanLine(y));
        for (int x = 0; x < big.width(); ++x)
            line[x] = qRgb((x * 7 + y) & 255, (x ^ y) & 255, (y * 3) & 255);
    }
    ASSERT_TRUE(big.save(QString::fromUtf8(Bytes("big.bmp"))));
    const QByteArray output = Bytes("partial.png");
    const pid_t child = Start({Bytes("big.bmp"), "-o", output, "--rect", "50,50,750,550"});
    ASSERT_GT(child, 0);
    // Sent once the program catches SIGINT, as /proc tells.
    const QString status = QStringLiteral("/proc/%1/status").arg(child);
    bool catching = false;
    while (!catching) {
        QFile file(status);
        if (!file.open(QIODevice::ReadOnly)) break;  // ended already
        for (const QByteArray& line : file.readAll().split('\n'))
            if (line.startsWith("SigCgt:"))
                catching = (line.mid(7).trimmed().toULongLong(nullptr, 16) >> (SIGINT - 1)) & 1;
        if (!catching) usleep(1000);
    }
    ASSERT_TRUE(catching) << "the program ended before it could be interrupted";
    ASSERT_EQ(::kill(child, SIGINT), 0);
    EXPECT_EQ(Finish(child), kExitInterrupted);
    EXPECT_TRUE(Stderr().startsWith(QStringLiteral("interrupted:"))) << Stderr().toStdString();
    QImage written;
    ASSERT_TRUE(written.loadFromData(Contents(output)));
    EXPECT_EQ(written.size(), big.size());
}

TEST_F(EraseProcess, RepeatedOutputIsAUsageError) {
    EXPECT_EQ(Run({QFile::encodeName(kNoise), "-o", Bytes("a.png"), "-o", Bytes("b.png"), "--rect",
                   "10,10,30,30"}),
              kExitUsage);
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(Bytes("a.png"))));
    EXPECT_FALSE(QFile::exists(QString::fromUtf8(Bytes("b.png"))));
}

}  // namespace
}  // namespace velmora
