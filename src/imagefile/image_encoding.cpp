#include "image_encoding.h"

#include <QBuffer>
#include <QColorSpace>
#include <QImageWriter>
#include <array>
#include <cstring>

#include "imagefile/heif_codec.h"

namespace velmora {

namespace {

// Writers in the order they are searched; the first whose list contains the extension wins.
constexpr std::array kEncoders{
    ImageEncoder{"bmp", "*.BMP;*.DIB;*.RLE"},
    ImageEncoder{"jpeg", "*.JPG;*.JPEG;*.JPE;*.JFIF"},
    ImageEncoder{"gif", "*.GIF"},
    ImageEncoder{"tiff", "*.TIF;*.TIFF"},
    ImageEncoder{"png", "*.PNG"},
    ImageEncoder{"webp", "*.WEBP"},
    ImageEncoder{"heif", "*.HEIC;*.HEIF"},
    ImageEncoder{"avif", "*.AVIF"},
};

constexpr int kJpegQuality = 100;
// Qt's WebP writer switches to lossless at quality 100.
constexpr int kWebpLosslessQuality = 100;

bool IsFormat(const ImageEncoder& encoder, const char* format) {
    return std::strcmp(encoder.format, format) == 0;
}

bool IsOwnFormat(const ImageEncoder& encoder) {
    return IsFormat(encoder, "heif") || IsFormat(encoder, "avif");
}

// Containers Exiv2 writes EXIF, XMP, IPTC and ICC into.
bool HoldsMetadata(const ImageEncoder& encoder) {
    return IsFormat(encoder, "jpeg") || IsFormat(encoder, "png") || IsFormat(encoder, "tiff") ||
           IsFormat(encoder, "webp");
}

// Exiv2 writes WebP files with an ICC profile that no reader opens again: Qt's writer puts the
// profile in instead (a copy of the picture, for its colour space tag).
QImage WithProfileForWebp(const QImage& image, const ImageMetadata& metadata,
                          const ImageEncoder& encoder) {
    if (!IsFormat(encoder, "webp") || metadata.icc.isEmpty()) return image;
    const QColorSpace profile = QColorSpace::fromIccProfile(metadata.icc);
    if (!profile.isValid()) return image;
    QImage tagged = image;
    tagged.setColorSpace(profile);
    return tagged;
}

std::optional<QByteArray> EncodeWithQt(const QImage& image, const ImageEncoder& encoder) {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, encoder.format);
    if (IsFormat(encoder, "jpeg")) writer.setQuality(kJpegQuality);
    if (IsFormat(encoder, "webp")) writer.setQuality(kWebpLosslessQuality);
    if (IsFormat(encoder, "png")) writer.setCompression(kPngCompression);
    if (!writer.write(image)) return std::nullopt;
    buffer.close();
    return encoded;
}

}  // namespace

std::optional<ImageEncoder> FindEncoder(const QString& extension) {
    const QString wanted = extension.toUpper();
    const QList<QByteArray> available = QImageWriter::supportedImageFormats();
    for (const ImageEncoder& encoder : kEncoders) {
        if (!IsOwnFormat(encoder) && !available.contains(QByteArray(encoder.format))) continue;
        if (QString::fromLatin1(encoder.extensions).contains(wanted)) return encoder;
    }
    return std::nullopt;
}

std::optional<QByteArray> EncodeImage(const QImage& image, const ImageMetadata& metadata,
                                      const ImageEncoder& encoder) {
    if (IsOwnFormat(encoder))
        return EncodeHeif(image, metadata,
                          IsFormat(encoder, "heif") ? HeifCodec::Hevc : HeifCodec::Av1);
    std::optional<QByteArray> encoded =
        EncodeWithQt(WithProfileForWebp(image, metadata, encoder), encoder);
    ImageMetadata embedded = metadata;
    if (IsFormat(encoder, "webp")) embedded.icc.clear();
    // Metadata Exiv2 cannot write leaves the picture saved without it rather than not at all.
    if (encoded && !embedded.IsEmpty() && HoldsMetadata(encoder)) EmbedMetadata(*encoded, embedded);
    return encoded;
}

}  // namespace velmora
