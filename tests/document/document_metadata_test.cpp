#include <gtest/gtest.h>

#include <QFile>
#include <QProcess>
#include <QStandardPaths>

#include "document/document_texts.h"
#include "document_test_support.h"
#include "imagefile/image_file.h"

namespace velmora::test {
namespace {

const QByteArray kXmp =
    "<x:xmpmeta xmlns:x=\"adobe:ns:meta/\"><rdf:RDF "
    "xmlns:rdf=\"http://www.w3.org/1999/02/22-rdf-syntax-ns#\"><rdf:Description "
    "xmlns:dc=\"http://purl.org/dc/elements/1.1/\" "
    "dc:format=\"image/jpeg\"/></rdf:RDF></x:xmpmeta>";

// What the packet says, whatever wrapping a writer gives it.
const QByteArray kMarker = "dc:format=\"image/jpeg\"";

QByteArray Bytes(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

class DocumentMetadata : public ::testing::Test {
  protected:
    QString Path(const char* name) const { return rig.dir.filePath(QString::fromLatin1(name)); }
    DocumentRig rig;
};

TEST_F(DocumentMetadata, TravelsWithTheOpenedFileOnly) {
    ImageMetadata tagged;
    tagged.xmp = kXmp;
    ASSERT_EQ(SaveImageFile(MakeTestPicture(40, 30), tagged, Path("tagged.jpg")),
              SaveOutcome::Saved);
    ASSERT_EQ(SaveImageFile(MakeTestPicture(40, 30), {}, Path("plain.jpg")), SaveOutcome::Saved);

    ASSERT_TRUE(rig.doc->OnOpenDocument(Path("tagged.jpg")));
    EXPECT_TRUE(rig.doc->Metadata().xmp.contains(kMarker));
    ASSERT_TRUE(rig.doc->OnSaveDocument(Path("copy.png")));
    EXPECT_TRUE(OpenImageFile(Path("copy.png"))->metadata.xmp.contains(kMarker));

    // The next file's picture comes with its own metadata, none here.
    ASSERT_TRUE(rig.doc->OnOpenDocument(Path("plain.jpg")));
    EXPECT_TRUE(rig.doc->Metadata().IsEmpty());
    ASSERT_TRUE(rig.doc->OnSaveDocument(Path("plain-copy.png")));
    EXPECT_TRUE(OpenImageFile(Path("plain-copy.png"))->metadata.IsEmpty());

    // A failed open keeps the open picture and its metadata together.
    QFile junk(Path("junk.jpg"));
    ASSERT_TRUE(junk.open(QIODevice::WriteOnly));
    junk.write("not a picture");
    junk.close();
    ASSERT_TRUE(rig.doc->OnOpenDocument(Path("tagged.jpg")));
    EXPECT_FALSE(rig.doc->OnOpenDocument(Path("junk.jpg")));
    EXPECT_TRUE(rig.doc->Metadata().xmp.contains(kMarker));
}

TEST_F(DocumentMetadata, SavingOverAFileOfSeveralPagesAsksFirst) {
    if (QStandardPaths::findExecutable(QStringLiteral("convert")).isEmpty())
        GTEST_SKIP() << "ImageMagick's convert is not installed";
    const QString pages = Path("pages.tif");
    ASSERT_EQ(QProcess::execute(QStringLiteral("convert"),
                                {QStringLiteral("-size"), QStringLiteral("20x10"),
                                 QStringLiteral("xc:red"), QStringLiteral("xc:blue"), pages}),
              0);
    const QByteArray before = Bytes(pages);

    ASSERT_TRUE(rig.doc->OnOpenDocument(pages));
    ASSERT_EQ(rig.messages.notices.size(), 1u);
    EXPECT_EQ(rig.messages.notices.back(), QString::fromUtf8(kOnlyFirstPageText));

    rig.messages.answerYes = false;
    EXPECT_FALSE(rig.doc->OnSaveDocument(pages));
    EXPECT_EQ(rig.messages.questions.size(), 1u);
    EXPECT_EQ(Bytes(pages), before);

    // Another name needs no question.
    EXPECT_TRUE(rig.doc->OnSaveDocument(Path("first.tif")));
    EXPECT_EQ(rig.messages.questions.size(), 1u);

    ASSERT_TRUE(rig.doc->OnOpenDocument(pages));
    rig.messages.answerYes = true;
    EXPECT_TRUE(rig.doc->OnSaveDocument(pages));
    EXPECT_EQ(rig.messages.questions.size(), 2u);
    EXPECT_NE(Bytes(pages), before);
    // It holds one page now: saving again asks nothing.
    EXPECT_TRUE(rig.doc->OnSaveDocument(pages));
    EXPECT_EQ(rig.messages.questions.size(), 2u);
}

}  // namespace
}  // namespace velmora::test
