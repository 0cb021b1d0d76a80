#include <gtest/gtest.h>

#include <QBuffer>
#include <QDir>
#include <QFile>
#include <QImageReader>
#include <QImageWriter>

#include "../platform/qt_test_app.h"
#include "document_test_support.h"
#include "platform/command_ids.h"

namespace velmora::test {
namespace {

QByteArray FileBytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

QImage StateZero(const CVelmoraDoc& doc) {
    const PaintAccess access = doc.LockForPaint();
    return access.Image() != nullptr ? *access.Image() : QImage();
}

void ExpectFreshlyOpened(const CVelmoraDoc& doc, const QString& path) {
    const QImage decoded = QImageReader(path).read();
    const QImage state = StateZero(doc);
    EXPECT_EQ(state.format(), decoded.format()) << "the decoded picture's own format";
    EXPECT_EQ(state.size(), decoded.size());
    EXPECT_EQ(state, decoded);
    EXPECT_EQ(doc.ZoomFactor(), 1.0f);
    EXPECT_EQ(doc.History().top(), 0);
    EXPECT_EQ(doc.FillMask().width(), decoded.width());
    EXPECT_EQ(doc.FillMask().height(), decoded.height());
    EXPECT_EQ(doc.SourceMask().width(), decoded.width());
    EXPECT_EQ(doc.SourceMask().height(), decoded.height());
    EXPECT_TRUE(
        std::all_of(doc.FillMask().begin(), doc.FillMask().end(), [](auto b) { return b == 0; }));
    EXPECT_TRUE(std::all_of(doc.SourceMask().begin(), doc.SourceMask().end(),
                            [](auto b) { return b == 0; }));
    EXPECT_FALSE(doc.IsModified());
    EXPECT_EQ(doc.Title(), QFileInfo(path).fileName());
}

class DocumentFiles : public ::testing::Test {
  protected:
    QString Path(const QString& name) const { return rig.dir.filePath(name); }
    DocumentRig rig;
};

TEST_F(DocumentFiles, OpensJpegBmpPngWithAlphaAndTiff) {
    const QImage opaque = MakeTestPicture(37, 21, QImage::Format_RGB32);
    const QImage translucent = MakeTestPicture(37, 21, QImage::Format_ARGB32);
    const QString jpeg = WritePicture(opaque, Path("a.jpg"), "jpeg", 90);
    const QString bmp = WritePicture(opaque.convertToFormat(QImage::Format_RGB888), Path("b.bmp"));
    const QString png = WritePicture(translucent, Path("c.png"));
    const QString tiff = WritePicture(opaque, Path("d.tif"));
    ASSERT_EQ(FileBytes(bmp).at(28), 24) << "the fixture is a 24-bit BMP";
    ASSERT_TRUE(QImageReader(png).read().hasAlphaChannel());

    rig.doc->AddPoint(1, 1);
    for (const QString& path : {jpeg, bmp, png, tiff}) {
        rig.router.Execute(ID_VIEW_ZOOM_IN);
        rig.doc->SourceRect() = {1, 1, 5, 5};
        ASSERT_TRUE(rig.doc->OnOpenDocument(path)) << path.toStdString();
        ExpectFreshlyOpened(*rig.doc, path);
        EXPECT_EQ(rig.doc->Selection().pointCount, 0);
        EXPECT_EQ(rig.doc->SourceRect(), (FillRect{}));
    }
    EXPECT_TRUE(rig.messages.errors.empty());
}

TEST_F(DocumentFiles, PalettePictureKeepsItsColoursAndTheUserIsTold) {
    QImage palette(16, 8, QImage::Format_Indexed8);
    palette.setColorTable({qRgb(200, 10, 10), qRgb(10, 200, 10), qRgb(10, 10, 200)});
    for (int y = 0; y < 8; ++y)
        for (int x = 0; x < 16; ++x) palette.setPixel(x, y, static_cast<uint>((x + y) % 3));
    const QString path = WritePicture(palette, Path("palette.png"));
    ASSERT_TRUE(rig.doc->OnOpenDocument(path));
    const QImage state = StateZero(*rig.doc);
    EXPECT_NE(state.format(), QImage::Format_Indexed8);
    EXPECT_EQ(state.pixel(4, 3), palette.pixel(4, 3));
    EXPECT_EQ(rig.messages.notices.size(), 1u);
    EXPECT_TRUE(rig.messages.errors.empty());
}

TEST_F(DocumentFiles, FailedOpensKeepThePictureThatWasOpen) {
    rig.OpenPicture(30, 20);
    const QImage before = StateZero(*rig.doc);
    const QString openPath = rig.doc->PathName();

    EXPECT_FALSE(rig.doc->OnOpenDocument(Path("missing.png")));
    ASSERT_EQ(rig.messages.errors.size(), 1u);
    EXPECT_EQ(rig.messages.errors[0], QStringLiteral("打开文档失败。"));

    QFile text(Path("notes.png"));
    ASSERT_TRUE(text.open(QIODevice::WriteOnly));
    text.write("this is not a picture\n");
    text.close();
    EXPECT_FALSE(rig.doc->OnOpenDocument(text.fileName()));
    ASSERT_EQ(rig.messages.errors.size(), 2u);
    EXPECT_EQ(rig.messages.errors[1], QStringLiteral("无法打开图像!"));

    EXPECT_EQ(StateZero(*rig.doc), before);
    EXPECT_EQ(rig.doc->PathName(), openPath);
    EXPECT_TRUE(rig.Enabled(ID_FILE_SAVE));
}

TEST_F(DocumentFiles, SavesRoundTripByExtension) {
    rig.OpenPicture(33, 17);
    const QImage picture = StateZero(*rig.doc);
    for (const char* name : {"out.png", "out.bmp", "out.tif", "out.TIFF"}) {
        ASSERT_TRUE(rig.doc->OnSaveDocument(Path(name))) << name;
        const QImage back = QImageReader(Path(name)).read();
        EXPECT_EQ(back.convertToFormat(picture.format()), picture) << name;
    }
    EXPECT_EQ(QImageReader(Path("out.tif")).format(), "tiff");
    EXPECT_EQ(QImageReader(Path("out.bmp")).format(), "bmp");
    EXPECT_EQ(rig.doc->PathName(), QFileInfo(Path("out.TIFF")).absoluteFilePath());
    EXPECT_TRUE(rig.messages.errors.empty());
}

TEST_F(DocumentFiles, SavesGif) {
    rig.OpenPicture(33, 17);
    ASSERT_TRUE(rig.doc->OnSaveDocument(Path("out.gif")));
    EXPECT_TRUE(rig.messages.errors.empty());
    QImageReader reader(Path("out.gif"));
    EXPECT_EQ(reader.format(), "gif");
    EXPECT_EQ(reader.read().size(), QSize(33, 17));
}

TEST_F(DocumentFiles, JpegIsWrittenAtQualityHundred) {
    rig.OpenPicture(48, 32);
    const QImage picture = StateZero(*rig.doc);
    QByteArray best;
    QBuffer buffer(&best);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, "jpeg");
    writer.setQuality(100);
    ASSERT_TRUE(writer.write(picture));
    for (const char* name : {"a.jpg", "a.JPEG", "a.jpe", "a.jfif"}) {
        ASSERT_TRUE(rig.doc->OnSaveDocument(Path(name))) << name;
        EXPECT_EQ(FileBytes(Path(name)), best) << name;
    }
}

TEST_F(DocumentFiles, SaveFailuresAndTheirMessages) {
    rig.OpenPicture(20, 10);
    rig.doc->SetModifiedFlag(true);

    EXPECT_FALSE(rig.doc->OnSaveDocument(Path("noextension")));
    EXPECT_TRUE(rig.messages.errors.empty()) << "no message without any dot";
    EXPECT_FALSE(QFile::exists(Path("noextension")));

    EXPECT_FALSE(rig.doc->OnSaveDocument(Path("a.xyz")));
    ASSERT_EQ(rig.messages.errors.size(), 1u);
    EXPECT_EQ(rig.messages.errors[0], QStringLiteral("图像格式未知!"));
    EXPECT_FALSE(QFile::exists(Path("a.xyz")));

    ASSERT_TRUE(QDir(rig.dir.path()).mkdir("v1.2"));
    EXPECT_FALSE(rig.doc->OnSaveDocument(Path("v1.2/picture")));
    ASSERT_EQ(rig.messages.errors.size(), 2u);
    EXPECT_EQ(rig.messages.errors[1], QStringLiteral("图像格式未知!"));

    EXPECT_FALSE(rig.doc->OnSaveDocument(Path("no/such/folder/a.png")));
    ASSERT_EQ(rig.messages.errors.size(), 3u);
    EXPECT_EQ(rig.messages.errors[2], QStringLiteral("保存图像失败!"));
    EXPECT_TRUE(rig.doc->IsModified()) << "a failed save leaves the document modified";
}

TEST_F(DocumentFiles, FailedWriteLeavesTheOldFileIntact) {
    // Wider than any JPEG may be: the encoder refuses it.
    const QString wide = WritePicture(MakeTestPicture(70000, 2), Path("wide.png"));
    const QString target = WritePicture(MakeTestPicture(8, 8), Path("target.jpg"), "jpeg", 80);
    const QByteArray old = FileBytes(target);
    ASSERT_TRUE(rig.doc->OnOpenDocument(wide));
    EXPECT_FALSE(rig.doc->OnSaveDocument(target));
    ASSERT_EQ(rig.messages.errors.size(), 1u);
    EXPECT_EQ(rig.messages.errors[0], QStringLiteral("保存图像失败!"));
    EXPECT_EQ(FileBytes(target), old);
    EXPECT_EQ(QDir(rig.dir.path()).entryList(QDir::Files).size(), 2) << "no temporary file left";
}

TEST_F(DocumentFiles, SaveWithoutPictureSucceedsAndWritesNothing) {
    rig.doc->SetModifiedFlag(true);
    EXPECT_TRUE(rig.doc->OnSaveDocument(Path("empty.png")));
    EXPECT_FALSE(QFile::exists(Path("empty.png")));
    EXPECT_FALSE(rig.doc->IsModified());
}

TEST_F(DocumentFiles, NewKeepsThePictureButForgetsItsName) {
    rig.OpenPicture(10, 10);
    rig.doc->SetModifiedFlag(true);
    EXPECT_TRUE(rig.doc->OnNewDocument());
    EXPECT_EQ(rig.doc->Title(), QStringLiteral("未命名"));
    EXPECT_FALSE(rig.doc->IsModified());
    EXPECT_TRUE(rig.doc->HasImage());
}

}  // namespace
}  // namespace velmora::test
