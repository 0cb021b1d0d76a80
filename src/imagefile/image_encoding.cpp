#include "image_encoding.h"

#include <QBuffer>
#include <QImageWriter>
#include <array>

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
};

constexpr int kJpegQuality = 100;

}  // namespace

std::optional<ImageEncoder> FindEncoder(const QString& extension) {
    const QString wanted = extension.toUpper();
    const QList<QByteArray> available = QImageWriter::supportedImageFormats();
    for (const ImageEncoder& encoder : kEncoders) {
        if (!available.contains(QByteArray(encoder.format))) continue;
        if (QString::fromLatin1(encoder.extensions).contains(wanted)) return encoder;
    }
    return std::nullopt;
}

std::optional<QByteArray> EncodeImage(const QImage& image, const ImageEncoder& encoder) {
    QByteArray encoded;
    QBuffer buffer(&encoded);
    buffer.open(QIODevice::WriteOnly);
    QImageWriter writer(&buffer, encoder.format);
    if (QByteArray(encoder.format) == "jpeg") writer.setQuality(kJpegQuality);
    if (!writer.write(image)) return std::nullopt;
    buffer.close();
    return encoded;
}

}  // namespace velmora
