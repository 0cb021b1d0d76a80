#include "imagefile/native_file_name.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <QFile>
#include <QImage>
#include <QTemporaryDir>
#include <random>

#include "imagefile/encoded_file_writer.h"
#include "imagefile/image_file.h"

namespace velmora {
namespace {

TEST(NativeFileName, EveryByteStringSurvivesTheRoundTrip) {
    for (int byte = 1; byte < 256; ++byte) {
        const QByteArray name = "a" + QByteArray(1, static_cast<char>(byte)) + "z";
        EXPECT_EQ(NativeFileName(FileNameFromNative(name)), name) << byte;
    }
    std::mt19937 random(7);
    for (int round = 0; round < 2000; ++round) {
        QByteArray name(static_cast<qsizetype>(random() % 12 + 1), '\0');
        for (char& c : name) c = static_cast<char>(random() % 255 + 1);
        ASSERT_EQ(NativeFileName(FileNameFromNative(name)), name) << name.toHex().toStdString();
    }
}

TEST(NativeFileName, ValidUtf8ReadsAsQtReadsIt) {
    for (const char* text : {"photo.png", "照片-ü-😀.jpg", "/tmp/a b/c.png", ""}) {
        const QByteArray bytes(text);
        EXPECT_EQ(FileNameFromNative(bytes), QString::fromUtf8(bytes)) << text;
        EXPECT_EQ(NativeFileName(QString::fromUtf8(bytes)), bytes) << text;
    }
}

// Qt's own decoding makes both of these "photo-\uFFFD.png".
TEST(NativeFileName, InvalidByteAndReplacementCharacterStayApart) {
    const QString invalid = FileNameFromNative("photo-\xfe.png");
    const QString replacement = FileNameFromNative("photo-\xef\xbf\xbd.png");
    EXPECT_NE(invalid, replacement);
    // Encoded surrogates and overlong forms are not UTF-8 either.
    for (const char* bytes : {"\xed\xb3\xbe", "\xc0\xae", "\xf4\x90\x80\x80", "\xe2\x82"})
        EXPECT_EQ(NativeFileName(FileNameFromNative(bytes)), QByteArray(bytes));
}

TEST(NativeFileName, FilesUnderNonUtf8NamesAreWrittenAndReadByTheirOwnBytes) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const QByteArray wrongBytes = folder + "/photo-\xef\xbf\xbd.png";
    {
        const int fd = ::open(wrongBytes.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "keep", 4), 4);
        ::close(fd);
    }
    QImage picture(5, 4, QImage::Format_RGB32);
    picture.fill(qRgb(10, 200, 30));
    const QString name = FileNameFromNative(folder + "/photo-\xfe.png");
    ASSERT_EQ(SaveImageFile(picture, {}, name), SaveOutcome::Saved);

    EXPECT_EQ(::access((folder + "/photo-\xfe.png").constData(), F_OK), 0);
    QFile untouched(QFile::decodeName(wrongBytes));
    ASSERT_TRUE(untouched.open(QIODevice::ReadOnly));
    EXPECT_EQ(untouched.readAll(), QByteArray("keep"));

    const std::optional<OpenedImage> opened = OpenImageFile(name);
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->image.pixel(4, 3), qRgb(10, 200, 30));
    EXPECT_TRUE(NativeFileExists(name));
    EXPECT_FALSE(NativeFileExists(FileNameFromNative(folder + "/photo-\xfd.png")));
    // QTemporaryDir removes by Qt's spelling of the names, which misses this one.
    ::unlink((folder + "/photo-\xfe.png").constData());
}

// Qt's file dialog shows a folder's names with U+FFFD for their odd bytes; what it hands back must
// be traced to the file it showed, never to a look-alike.
TEST(NativeFileName, DialogChoicesAreTracedToTheFileShown) {
    QTemporaryDir dir;
    const QByteArray folder = QFile::encodeName(dir.path());
    const auto touch = [](const QByteArray& path) {
        const int fd = ::open(path.constData(), O_WRONLY | O_CREAT, 0644);
        ASSERT_GE(fd, 0);
        ::close(fd);
    };
    ASSERT_EQ(::mkdir((folder + "/sub-\xfb").constData(), 0755), 0);
    touch(folder + "/sub-\xfb/photo-\xfe.png");
    const QString shown = dir.path() + QStringLiteral("/sub-\uFFFD/photo-\uFFFD.png");

    // One name in each folder fits what was shown: that file, by its own bytes.
    std::optional<QString> traced = FileShownByDialog(shown);
    ASSERT_TRUE(traced);
    EXPECT_EQ(NativeFileName(*traced), folder + "/sub-\xfb/photo-\xfe.png");
    EXPECT_EQ(FileShownByDialog(dir.path() + QStringLiteral("/plain.png")),
              dir.path() + QStringLiteral("/plain.png"));

    // A new name typed into a save dialog matches nothing and stays as typed.
    const QString typed = dir.path() + QStringLiteral("/sub-\uFFFD/new-\uFFFD.png");
    traced = FileShownByDialog(typed);
    ASSERT_TRUE(traced);
    EXPECT_EQ(NativeFileName(*traced), folder + "/sub-\xfb/new-\xef\xbf\xbd.png");

    // Two names the dialog spelled alike cannot be told apart.
    touch(folder + "/sub-\xfb/photo-\xef\xbf\xbd.png");
    EXPECT_FALSE(FileShownByDialog(shown));
    for (const char* name : {"/sub-\xfb/photo-\xfe.png", "/sub-\xfb/photo-\xef\xbf\xbd.png"})
        ::unlink((folder + name).constData());
    ::rmdir((folder + "/sub-\xfb").constData());
}

TEST(NativeFileName, DroppedFileUrlKeepsTheBytes) {
    const QUrl url(QStringLiteral("file:///tmp/photo-%FE.png"));
    EXPECT_EQ(NativeFileName(LocalFileOfUrl(url)), QByteArray("/tmp/photo-\xfe.png"));
    EXPECT_EQ(LocalFileOfUrl(QUrl(QStringLiteral("file:///tmp/%E7%85%A7.png"))),
              QStringLiteral("/tmp/照.png"));
    EXPECT_TRUE(LocalFileOfUrl(QUrl(QStringLiteral("https://example.org/a.png"))).isEmpty());
}

}  // namespace
}  // namespace velmora
