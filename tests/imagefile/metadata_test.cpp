#include <gtest/gtest.h>

#include <zlib.h>
#include <QBuffer>
#include <QColorSpace>

#include <exiv2/exiv2.hpp>

#include "imagefile/image_file.h"
#include "imagefile/image_metadata.h"
#include "test_files.h"

namespace velmora::test {
namespace {

const std::map<std::string, std::string> kCameraTags = {
    {"Exif.Image.Make", "Testcam"},
    {"Exif.Image.Model", "TC-1"},
    {"Exif.Photo.DateTimeOriginal", "2024:06:01 10:20:30"},
    {"Exif.Photo.ExposureTime", "1/250"},
    {"Exif.GPSInfo.GPSLatitudeRef", "N"},
    {"Exif.GPSInfo.GPSLatitude", "48/1 8/1 30/1"},
    {"Exif.Image.Orientation", "1"},
};

QByteArray JpegBytes(const QImage& image) {
    QByteArray bytes;
    QBuffer buffer(&bytes);
    buffer.open(QIODevice::WriteOnly);
    image.save(&buffer, "jpeg");
    return bytes;
}

// A camera-like JPEG: EXIF with a thumbnail, IPTC, XMP and an ICC profile.
QString MakeCameraJpeg(const ScratchDir& scratch) {
    QImage picture = NoisyPicture(96, 64);
    picture.setColorSpace(QColorSpace(QColorSpace::AdobeRgb));
    const QString path = scratch.Path(QStringLiteral("camera.jpg"));
    picture.save(path, "jpeg", 95);
    SetTags(path, kCameraTags);
    SetIptcAndXmp(path, "A test caption", "A. Photographer");
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    const QByteArray thumb = JpegBytes(QuarterPicture(16, 16));
    Exiv2::ExifThumb(image->exifData())
        .setJpegThumbnail(reinterpret_cast<const Exiv2::byte*>(thumb.constData()),
                          static_cast<long>(thumb.size()));
    image->writeMetadata();
    return path;
}

// `png` with one more chunk right after its header.
QByteArray WithPngChunk(const QByteArray& png, const char* type, const QByteArray& data) {
    const QByteArray chunk = QByteArray(type) + data;
    const uLong crc = crc32(0, reinterpret_cast<const Bytef*>(chunk.constData()),
                            static_cast<uInt>(chunk.size()));
    QByteArray framed;
    const auto bigEndian = [&framed](quint32 v) {
        for (int shift = 24; shift >= 0; shift -= 8) framed.append(static_cast<char>(v >> shift));
    };
    bigEndian(static_cast<quint32>(chunk.size() - 4));
    framed += chunk;
    bigEndian(static_cast<quint32>(crc));
    // After the signature and IHDR (8 + 25 bytes).
    return png.left(33) + framed + png.mid(33);
}

class MetadataRoundTrip : public ::testing::TestWithParam<const char*> {};

TEST_P(MetadataRoundTrip, CameraTagsXmpIptcAndProfileSurviveWithoutTheThumbnail) {
    ScratchDir scratch;
    const QString source = MakeCameraJpeg(scratch);
    const FileTags before = ReadTags(source);
    ASSERT_TRUE(before.hasThumbnail);
    ASSERT_FALSE(before.icc.isEmpty());

    const std::optional<OpenedImage> opened = OpenImageFile(source);
    ASSERT_TRUE(opened);
    EXPECT_FALSE(opened->metadata.exif.isEmpty());
    const QString target = scratch.Path(QStringLiteral("saved.") + QString::fromLatin1(GetParam()));
    ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, target), SaveOutcome::Saved);

    const FileTags after = ReadTags(target);
    for (const auto& [key, value] : kCameraTags) EXPECT_EQ(after.tags.at(key), value) << key;
    // WebP has no place for IPTC.
    if (std::string_view(GetParam()) != "webp") {
        EXPECT_EQ(after.tags.at("Iptc.Application2.Caption"), "A test caption");
    }
    EXPECT_EQ(after.tags.at("Xmp.dc.creator"), "A. Photographer");
    EXPECT_EQ(after.icc, before.icc);
    EXPECT_FALSE(after.hasThumbnail);
    // Reopened, the file carries the same metadata again.
    const std::optional<OpenedImage> again = OpenImageFile(target);
    ASSERT_TRUE(again);
    EXPECT_EQ(again->metadata.xmp, opened->metadata.xmp);
    EXPECT_EQ(again->metadata.icc, opened->metadata.icc);
}

INSTANTIATE_TEST_SUITE_P(Formats, MetadataRoundTrip,
                         ::testing::Values("jpg", "png", "tif", "webp"));

TEST(Metadata, PicturesWithoutMetadataAreSavedWithout) {
    ScratchDir scratch;
    const QString path = scratch.Path(QStringLiteral("plain.png"));
    ASSERT_TRUE(NoisyPicture(32, 32).save(path));
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->metadata.IsEmpty());
    const QString target = scratch.Path(QStringLiteral("plain.jpg"));
    ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, target), SaveOutcome::Saved);
    EXPECT_TRUE(ReadTags(target).tags.empty());
}

TEST(Metadata, BrokenOrOversizedPartsAreDropped) {
    EXPECT_TRUE(CarryableExif(QByteArray("II*\0garbage", 11)).isEmpty());
    EXPECT_TRUE(CarryableExif(QByteArray()).isEmpty());
    ScratchDir scratch;
    const QString plain = scratch.Path(QStringLiteral("plain.png"));
    ASSERT_TRUE(NoisyPicture(32, 32).save(plain));
    const QString path = scratch.Path(QStringLiteral("xmp.png"));
    WriteFile(path, WithPngChunk(ReadFile(plain), "iTXt",
                                 QByteArray("XML:com.adobe.xmp\0\0\0\0\0", 22) +
                                     "<x:xmpmeta><rdf:RDF not closed"));
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    ASSERT_TRUE(opened);
    EXPECT_TRUE(opened->metadata.xmp.isEmpty());
    EXPECT_EQ(opened->image.size(), QSize(32, 32));
}

// 64 MB of spaces, deflated to about 64 kB.
const QByteArray& DeflatedBomb() {
    static const QByteArray deflated = [] {
        const QByteArray spaces(64 << 20, ' ');
        uLongf size = compressBound(static_cast<uLong>(spaces.size()));
        QByteArray compressed(static_cast<qsizetype>(size), Qt::Uninitialized);
        compress2(reinterpret_cast<Bytef*>(compressed.data()), &size,
                  reinterpret_cast<const Bytef*>(spaces.constData()),
                  static_cast<uLong>(spaces.size()), 9);
        compressed.truncate(static_cast<qsizetype>(size));
        return compressed;
    }();
    return deflated;
}

// A zTXt chunk that inflates to far more than any text: for the comment, and in the places where
// XMP and EXIF may travel.
QByteArray PngWithTextBomb(const QByteArray& png, const char* keyword) {
    return WithPngChunk(png, "zTXt", QByteArray(keyword) + QByteArray(2, '\0') + DeflatedBomb());
}

TEST(Metadata, CompressedTextBombsDoNotReachTheSavedFile) {
    ScratchDir scratch;
    const QString plain = scratch.Path(QStringLiteral("plain.png"));
    ASSERT_TRUE(NoisyPicture(32, 32).save(plain));
    for (const char* keyword : {"Comment", "XML:com.adobe.xmp", "Raw profile type exif"}) {
        SCOPED_TRACE(keyword);
        const QString bomb = scratch.Path(QStringLiteral("bomb.png"));
        WriteFile(bomb, PngWithTextBomb(ReadFile(plain), keyword));
        const std::optional<OpenedImage> opened = OpenImageFile(bomb);
        ASSERT_TRUE(opened);
        EXPECT_LT(opened->metadata.xmp.size() + opened->metadata.exif.size(), 2 << 20);
        const QString target = scratch.Path(QStringLiteral("saved.png"));
        ASSERT_EQ(SaveImageFile(opened->image, opened->metadata, target), SaveOutcome::Saved);
        EXPECT_LT(ReadFile(target).size(), 64 << 10);
        const QImage reread(target);
        EXPECT_EQ(reread.size(), QSize(32, 32));
    }
}

}  // namespace
}  // namespace velmora::test
