// Opening files that are not (whole) pictures: each is refused with "无法打开图像!" and leaves the
// open picture, its history and every file on disk as they were.
#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>
#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>
#include <QLoggingCategory>
#include <QPainter>
#include <QTemporaryDir>
#include <QtEndian>
#include <iostream>

#include "../document/document_test_support.h"
#include "../platform/qt_test_app.h"
#include "bad_pictures.h"
#include "imagefile/cut_short_check.h"
#include "imagefile/image_file.h"
#include "document_snapshot.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

const QString kCannotOpenImage = QStringLiteral("无法打开图像!");

QString WriteBytes(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    EXPECT_TRUE(file.open(QIODevice::WriteOnly)) << path.toStdString();
    file.write(bytes);
    return path;
}

class BadOpen : public ::testing::Test {
  protected:
    void SetUp() override {
        // The readers' complaints about every broken file would drown the test's own output.
        QLoggingCategory::setFilterRules(QStringLiteral("qt.gui.imageio*=false"));
        picture = MakeTestPicture(48, 32, QImage::Format_RGB32);
        goodPath = WritePicture(picture, rig.dir.filePath("good.png"));
        ASSERT_TRUE(QDir(rig.dir.path()).mkpath(QStringLiteral("bad")));
        OpenWithHistory();
    }
    void TearDown() override { QLoggingCategory::setFilterRules(QString()); }

    // The good picture with a fill, undone: the history holds a state to redo, the document is
    // modified, zoomed and has an outline.
    void OpenWithHistory() {
        ASSERT_TRUE(rig.doc->OnOpenDocument(goodPath));
        rig.MarkHole({18, 10, 10, 8});
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        rig.WaitForIdle();
        ASSERT_TRUE(rig.router.Execute(ID_EDIT_UNDO));
        ASSERT_TRUE(rig.router.Execute(ID_VIEW_ZOOM_IN));
        ASSERT_EQ(rig.doc->History().top(), 1);
        ASSERT_TRUE(rig.doc->IsModified());
    }

    QString BadPath(const QString& name) const { return rig.dir.filePath("bad/" + name); }

    // Opens `path`, which must be refused with `message`, changing nothing in the document or
    // on disk.
    void ExpectRefused(const QString& path, const QString& message) {
        SCOPED_TRACE(path.toStdString());
        const DocumentSnapshot before = TakeSnapshot(*rig.doc);
        const auto filesBefore = FolderContents(rig.dir.path());
        const std::size_t errors = rig.messages.errors.size();
        EXPECT_FALSE(rig.doc->OnOpenDocument(path));
        ASSERT_EQ(rig.messages.errors.size(), errors + 1) << "one message";
        EXPECT_EQ(rig.messages.errors.back(), message);
        EXPECT_EQ(TakeSnapshot(*rig.doc), before);
        EXPECT_TRUE(FolderContents(rig.dir.path()) == filesBefore) << "files on disk changed";
        EXPECT_TRUE(rig.Enabled(ID_EDIT_REDO)) << "the redo state is still reachable";
    }

    DocumentRig rig;
    QImage picture;
    QString goodPath;
};

TEST_F(BadOpen, EveryBrokenFileIsRefusedAndChangesNothing) {
    std::vector<QString> paths;
    for (const BadFile& file : MakeBadFiles(picture))
        if (file.outcome == BadFile::Outcome::Refused)
            paths.push_back(WriteBytes(BadPath(file.name), file.bytes));
    ASSERT_GE(paths.size(), 30u);
    for (const QString& path : paths) ExpectRefused(path, kCannotOpenImage);
}

TEST_F(BadOpen, FilesThatCannotBeReadGetTheOpenFailureMessage) {
    // A folder, even one named like a picture, and a file that is not there fail before any
    // decoding, as the framework's own open does.
    ASSERT_TRUE(QDir(rig.dir.path()).mkpath(QStringLiteral("bad/holiday.jpg")));
    ExpectRefused(BadPath("holiday.jpg"), QStringLiteral("打开文档失败。"));
    ExpectRefused(BadPath("missing.png"), QStringLiteral("打开文档失败。"));
}

TEST_F(BadOpen, BitFlippedFilesEitherOpenWholeOrChangeNothing) {
    std::map<QString, std::pair<int, int>> outcomes;  // format: opened, refused
    for (const BadFile& file : MakeBadFiles(picture)) {
        if (file.outcome != BadFile::Outcome::RefusedOrOpened) continue;
        const QString path = WriteBytes(BadPath(file.name), file.bytes);
        SCOPED_TRACE(file.name.toStdString());
        const DocumentSnapshot before = TakeSnapshot(*rig.doc);
        const std::size_t errors = rig.messages.errors.size();
        const QString format = file.name.section(QLatin1Char('-'), 0, 0);
        if (rig.doc->OnOpenDocument(path)) {
            ++outcomes[format].first;
            EXPECT_EQ(rig.messages.errors.size(), errors);
            const QSize size = rig.doc->ImageSize();
            EXPECT_TRUE(size.width() > 0 && size.height() > 0 && size.width() <= 65535);
            EXPECT_EQ(rig.doc->FillMask().width(), size.width());
            EXPECT_EQ(rig.doc->History().top(), 0);
            OpenWithHistory();
        } else {
            ++outcomes[format].second;
            ASSERT_EQ(rig.messages.errors.size(), errors + 1);
            EXPECT_EQ(rig.messages.errors.back(), kCannotOpenImage);
            EXPECT_EQ(TakeSnapshot(*rig.doc), before);
        }
    }
    for (const auto& [format, counts] : outcomes) {
        std::cout << "[ figures  ] " << format.toStdString() << ": " << counts.first
                  << " bit-flipped files opened, " << counts.second << " refused\n";
        RecordProperty(("flips_" + format).toStdString(),
                       std::to_string(counts.first) + " opened, " + std::to_string(counts.second) +
                           " refused");
    }
    EXPECT_EQ(outcomes.size(), std::size(kBadFileFormats));
}

TEST_F(BadOpen, OnePixelPicturesOpenAndTheirFillChangesNothing) {
    const QImage dot = MakeTestPicture(1, 1, QImage::Format_RGB32);
    for (const char* format : kBadFileFormats) {
        SCOPED_TRACE(format);
        const QString path = WriteBytes(BadPath(QStringLiteral("dot") + ExtensionOf(format)),
                                        EncodePicture(dot, format));
        ASSERT_TRUE(rig.doc->OnOpenDocument(path));
        ASSERT_EQ(rig.doc->ImageSize(), QSize(1, 1));
        const QImage opened = rig.CurrentCopy();
        rig.MarkHole({0, 0, 1, 1});
        ASSERT_TRUE(rig.router.Execute(ID_FILL_START));
        rig.WaitForIdle();
        EXPECT_EQ(rig.doc->History().top(), 1);
        EXPECT_EQ(rig.CurrentCopy(), opened) << "no pixel can serve as a source";
        EXPECT_TRUE(rig.doc->IsModified());
        EXPECT_TRUE(rig.Enabled(ID_EDIT_UNDO));
    }
    EXPECT_TRUE(rig.messages.errors.empty());
}

TEST(CutShortCheck, WholeFilesOfEveryKindPass) {
    const QImage photo = MakeTestPicture(40, 24, QImage::Format_RGB32);
    QByteArray progressive;
    {
        QBuffer buffer(&progressive);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, "jpeg");
        writer.setProgressiveScanWrite(true);
        ASSERT_TRUE(writer.write(photo));
    }
    const QByteArray jpeg = EncodePicture(photo, "jpeg");
    // A thumbnail inside an application segment has its own end marker; a motion photo appends a
    // video after the end marker.
    QByteArray thumbnail = EncodePicture(photo.scaled(8, 5), "jpeg");
    QByteArray withThumbnail = jpeg.left(2) + QByteArray("\xFF\xE1", 2);
    withThumbnail.append(static_cast<char>((thumbnail.size() + 2) >> 8));
    withThumbnail.append(static_cast<char>((thumbnail.size() + 2) & 0xFF));
    withThumbnail += thumbnail + jpeg.mid(2);
    const QByteArray withVideo = jpeg + QByteArray(
                                            "\0\0\0\x18"
                                            "ftypmp42",
                                            12)
                                            .repeated(50);

    const std::pair<QByteArray, const char*> whole[] = {
        {jpeg, "jpeg"},
        {progressive, "jpeg"},
        {withThumbnail, "jpeg"},
        {withVideo, "jpeg"},
        {EncodePicture(photo, "bmp"), "bmp"},
        {EncodePicture(photo.convertToFormat(QImage::Format_RGB888), "bmp"), "bmp"},
        {EncodePicture(photo.convertToFormat(QImage::Format_Mono), "bmp"), "bmp"},
        {EncodePicture(photo, "gif"), "gif"},
    };
    for (const auto& [bytes, format] : whole) {
        EXPECT_FALSE(IsCutShort(bytes, format)) << format << ' ' << bytes.size();
        QBuffer buffer(const_cast<QByteArray*>(&bytes));
        buffer.open(QIODevice::ReadOnly);
        EXPECT_EQ(QImageReader(&buffer, format).read().size(), photo.size());
        // A GIF's last two bytes (terminator, trailer) come after its picture.
        const qsizetype tail = QByteArray(format) == "gif" ? 2 : 1;
        for (const qsizetype cut : {bytes.size() / 2, bytes.size() - tail}) {
            if (&bytes == &whole[3].first && cut > jpeg.size()) continue;  // only the video is cut
            EXPECT_TRUE(IsCutShort(bytes.left(cut), format)) << format << " cut at " << cut;
        }
    }
    EXPECT_FALSE(IsCutShort(withVideo.left(jpeg.size() + 30), "jpeg")) << "the video is no part";
    EXPECT_FALSE(IsCutShort(EncodePicture(photo, "tiff").left(100), "tiff")) << "not judged here";
    const QByteArray png = EncodePicture(photo, "png");
    EXPECT_FALSE(IsCutShort(png, "png"));
    EXPECT_FALSE(IsCutShort(png.left(png.size() - 12), "png")) << "only the end chunk is missing";
    EXPECT_TRUE(IsCutShort(png.left(png.size() - 13), "png"));
    EXPECT_TRUE(IsCutShort(png.left(40), "png"));
}

TEST(CutShortCheck, BmpClaimingMoreRowsThanAnyFileHolds) {
    // Found by the open fuzzer: 1127146256 x 956291898 pixels of 17203 bits, whose byte count
    // overflows 64 bits.
    QByteArray bmp = EncodePicture(MakeTestPicture(8, 8), "bmp");
    qToLittleEndian<qint32>(1127146256, bmp.data() + 18);
    qToLittleEndian<qint32>(-956291898, bmp.data() + 22);  // rows top to bottom
    qToLittleEndian<quint16>(17203, bmp.data() + 28);
    EXPECT_TRUE(IsCutShort(bmp, "bmp"));
    qToLittleEndian<qint32>(8, bmp.data() + 18);
    qToLittleEndian<qint32>(0, bmp.data() + 22);
    qToLittleEndian<quint16>(32, bmp.data() + 28);
    EXPECT_FALSE(IsCutShort(bmp, "bmp")) << "no rows: nothing is missing";
}

TEST(CutShortCheck, RestartMarkersAndStuffedBytesDoNotEndTheScan) {
    // SOI, SOS with a two-byte header, entropy data holding a stuffed 0xFF and a restart marker.
    const QByteArray head(
        "\xFF\xD8\xFF\xDA\x00\x04\x01\x02"
        "ab\xFF\x00"
        "cd\xFF\xD3"
        "ef",
        18);
    EXPECT_TRUE(IsCutShort(head, "jpeg"));
    EXPECT_FALSE(IsCutShort(head + QByteArray("\xFF\xD9", 2), "jpeg"));
    EXPECT_FALSE(IsCutShort(head + QByteArray("\xFF\xFF\xD9", 3), "jpeg")) << "fill bytes";
    // A segment whose length runs past the end.
    EXPECT_TRUE(IsCutShort(QByteArray("\xFF\xD8\xFF\xE0\x10\x00"
                                      "JFIF",
                                      10),
                           "jpeg"));
}

// The bytes of this process's peak resident memory so far.
long long PeakResidentBytes() {
    QFile status(QStringLiteral("/proc/self/status"));
    if (!status.open(QIODevice::ReadOnly)) return -1;
    for (const QByteArray& line : status.readAll().split('\n'))
        if (line.startsWith("VmHWM:"))
            return line.mid(6).trimmed().split(' ')[0].toLongLong() * 1024;
    return -1;
}

TEST(CutShortCheck, ChunkClaimingAGigabyteIsRefusedWithoutTakingIt) {
    // A text chunk whose length claims 976 MB, in a file of a few hundred bytes (found by the
    // open fuzzer): the PNG reader used to allocate and clear that much before giving up.
    const QByteArray png = EncodePicture(MakeTestPicture(16, 12), "png");
    QByteArray bomb = png.left(33);  // signature and header chunk
    bomb += QByteArray::fromHex("3a31a42b") + "tEXtComment" + QByteArray(200, 'x');
    QTemporaryDir dir;
    const QString path = dir.filePath("bomb.png");
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write(bomb);
    file.close();
    // In a child, whose peak memory starts at what the test process holds now.
    const pid_t child = fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const long long before = PeakResidentBytes();
        const bool refused = !OpenImageFile(path).has_value();
        const long long grown = PeakResidentBytes() - before;
        _exit(before < 0 ? 3 : !refused ? 1 : grown > (64ll << 20) ? 2 : 0);
    }
    int status = -1;
    ASSERT_EQ(waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_NE(WEXITSTATUS(status), 1) << "the file was opened";
    EXPECT_NE(WEXITSTATUS(status), 2) << "opening it took more than 64 MB";
    EXPECT_NE(WEXITSTATUS(status), 3) << "no peak memory figure";
}

// Real photographs of 100 megapixels (12000 x 8400) open; Qt's own allocation limit of 256 MB
// would refuse them.
TEST_F(BadOpen, HundredMegapixelPhotoOpens) {
    QImage photo(12000, 8400, QImage::Format_RGB32);
    {
        QPainter painter(&photo);
        QLinearGradient sky(0, 0, 12000, 8400);
        sky.setColorAt(0, QColor(40, 90, 200));
        sky.setColorAt(1, QColor(230, 180, 90));
        painter.fillRect(photo.rect(), sky);
        painter.setBrush(QColor(30, 120, 40));
        painter.drawEllipse(QRect(3000, 4000, 5000, 3000));
    }
    const QString path = rig.dir.filePath("bad/big.jpg");
    {
        QImageWriter writer(path, "jpeg");
        writer.setQuality(85);
        ASSERT_TRUE(writer.write(photo));
    }
    photo = QImage();
    ASSERT_TRUE(rig.doc->OnOpenDocument(path));
    EXPECT_EQ(rig.doc->ImageSize(), QSize(12000, 8400));
    EXPECT_EQ(rig.doc->FillMask().width(), 12000);
    EXPECT_TRUE(rig.messages.errors.empty());
}

}  // namespace
}  // namespace velmora::test
