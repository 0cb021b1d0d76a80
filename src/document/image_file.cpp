#include "image_file.h"

#include <QBuffer>
#include <QImageReader>
#include <QImageWriter>
#include <QSaveFile>
#include <array>

#include "document/cut_short_check.h"

namespace velmora {

namespace {

// Large enough for real 100-megapixel photographs, small enough to refuse absurd headers.
constexpr int kDecodeLimitMegabytes = 1024;

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

std::optional<OpenedImage> OpenImageFile(const QString& path) {
    QImageReader::setAllocationLimit(kDecodeLimitMegabytes);
    QImageReader reader(path);
    // Before decoding: a file cut short would decode with a grey or undefined part that must not
    // pass for a picture, or make the reader allocate what a broken length claims.
    if (IsFileCutShort(path, reader.format())) return std::nullopt;
    QImage decoded = reader.read();
    if (decoded.isNull()) return std::nullopt;
    OpenedImage opened;
    if (decoded.format() == QImage::Format_Indexed8 || decoded.format() == QImage::Format_Mono ||
        decoded.format() == QImage::Format_MonoLSB) {
        decoded = decoded.convertToFormat(decoded.hasAlphaChannel() ? QImage::Format_ARGB32
                                                                    : QImage::Format_RGB32);
        if (decoded.isNull()) return std::nullopt;
        opened.convertedFromPalette = true;
    }
    opened.image = std::move(decoded);
    return opened;
}

std::optional<ImageEncoder> FindEncoder(const QString& extension) {
    const QString wanted = extension.toUpper();
    const QList<QByteArray> available = QImageWriter::supportedImageFormats();
    for (const ImageEncoder& encoder : kEncoders) {
        if (!available.contains(QByteArray(encoder.format))) continue;
        if (QString::fromLatin1(encoder.extensions).contains(wanted)) return encoder;
    }
    return std::nullopt;
}

SaveOutcome SaveImageFile(const QImage& image, const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return SaveOutcome::NoExtension;
    const std::optional<ImageEncoder> encoder = FindEncoder(path.mid(dot));
    if (!encoder) return SaveOutcome::UnknownFormat;

    // Encoded in memory first: the TIFF writer does not notice a write that fails half way (a full
    // disk), and the half-written file would replace the old one. The bytes then reach the disk
    // in one write whose every byte is accounted for.
    QByteArray encoded;
    {
        QBuffer buffer(&encoded);
        buffer.open(QIODevice::WriteOnly);
        QImageWriter writer(&buffer, encoder->format);
        if (QByteArray(encoder->format) == "jpeg") writer.setQuality(kJpegQuality);
        if (!writer.write(image)) return SaveOutcome::WriteFailed;
    }
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return SaveOutcome::WriteFailed;
    if (file.write(encoded) != encoded.size()) {
        file.cancelWriting();
        return SaveOutcome::WriteFailed;
    }
    return file.commit() ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
}

QString SaveOutcomeMessage(SaveOutcome outcome) {
    switch (outcome) {
        case SaveOutcome::UnknownFormat:
            return QString::fromUtf8(kUnknownFormatText);
        case SaveOutcome::WriteFailed:
            return QString::fromUtf8(kSaveFailedText);
        case SaveOutcome::Saved:
        case SaveOutcome::NoExtension:
            break;
    }
    return {};
}

}  // namespace velmora
