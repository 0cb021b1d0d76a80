#include "image_file.h"

#include <QBuffer>
#include <QColorSpace>
#include <QFile>
#include <QImageReader>
#include <new>

#include "imagefile/cut_short_check.h"
#include "imagefile/encoded_file_writer.h"
#include "imagefile/heif_codec.h"
#include "imagefile/jpeg_reader.h"
#include "imagefile/native_file_name.h"
#include "imagefile/orientation.h"
#include "imagefile/png_reader.h"

namespace velmora {

namespace {

// Large enough for real 100-megapixel photographs, small enough to refuse absurd headers.
constexpr int kDecodeLimitMegabytes = 1024;
constexpr qint64 kDecodeLimitBytes = qint64{kDecodeLimitMegabytes} << 20;

std::optional<OpenedImage> OpenHeif(QByteArrayView bytes) {
    std::optional<DecodedHeif> decoded = DecodeHeif(bytes, kDecodeLimitBytes);
    if (!decoded) return std::nullopt;
    OpenedImage opened;
    opened.image = std::move(decoded->image);
    opened.metadata = std::move(decoded->metadata);
    opened.otherPagesDropped = decoded->topLevelImages > 1;
    return opened;
}

// The stored picture, before it is turned upright.
std::optional<OpenedImage> DecodeStored(const QString& path, QByteArrayView bytes) {
    QImageReader::setAllocationLimit(kDecodeLimitMegabytes);
    // Qt's reader opens the file by a name it can spell only when the name is UTF-8; any other
    // name is decoded from the bytes already read.
    QBuffer buffer;
    QImageReader reader;
    if (QFile::encodeName(path) == NativeFileName(path)) {
        reader.setFileName(path);
    } else {
        buffer.setData(bytes.toByteArray());
        buffer.open(QIODevice::ReadOnly);
        reader.setDevice(&buffer);
    }
    const QByteArray format = reader.format();
    // Before decoding: a file cut short would decode with a grey or undefined part that must not
    // pass for a picture, or make the reader allocate what a broken length claims.
    if (IsCutShort(bytes, format)) return std::nullopt;
    OpenedImage opened;
    if (format == "png") {
        // Not Qt's reader: it scrambles 16-bit pictures with a transparency colour.
        DecodedPng png = DecodePng(bytes, kDecodeLimitBytes);
        if (png.image.isNull()) return std::nullopt;
        opened.image = std::move(png.image);
        opened.convertedFromPalette = png.hadPalette;
        return opened;
    }
    if (format == "jpeg") {
        // The general reader below takes what this one leaves: grey, CMYK, progressive or
        // damaged files.
        QImage jpeg = DecodeBaselineJpeg(bytes, kDecodeLimitBytes);
        if (!jpeg.isNull()) {
            opened.image = std::move(jpeg);
            return opened;
        }
    }
    reader.setAutoTransform(false);  // turned by the orientation Exiv2 reads, as for every format
    opened.otherPagesDropped = reader.imageCount() > 1;
    QImage decoded = reader.read();
    if (decoded.isNull()) return std::nullopt;
    // The profile travels with the metadata, byte for byte; a writer must not add its own.
    decoded.setColorSpace(QColorSpace());
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

}  // namespace

std::optional<OpenedImage> OpenImageFile(const QString& path) {
    QFile file;
    if (!OpenForReading(file, path)) return std::nullopt;
    const QByteArray bytes = file.readAll();
    file.close();
    if (bytes.isEmpty()) return std::nullopt;
    if (LooksLikeHeif(bytes)) return OpenHeif(bytes);

    std::optional<OpenedImage> opened = DecodeStored(path, bytes);
    if (!opened) return std::nullopt;
    ReadMetadata read = ReadFileMetadata(bytes);
    opened->metadata = std::move(read.metadata);
    if (read.orientation != kUprightOrientation) {
        QImage upright = UprightImage(opened->image, read.orientation);
        if (upright.isNull()) return std::nullopt;
        opened->image = std::move(upright);
    }
    return opened;
}

SaveOutcome SaveImageFile(const QImage& image, const ImageMetadata& metadata, const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return SaveOutcome::NoExtension;
    const std::optional<ImageEncoder> encoder = FindEncoder(path.mid(dot));
    if (!encoder) return SaveOutcome::UnknownFormat;

    // A picture too large for the memory left fails like any other write: the old file stays
    // and the caller keeps its unsaved changes.
    try {
        const std::optional<QByteArray> encoded = EncodeImage(image, metadata, *encoder);
        if (!encoded) return SaveOutcome::WriteFailed;
        return WriteEncodedFile(path, *encoded) ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
    } catch (const std::bad_alloc&) {
        return SaveOutcome::WriteFailed;
    }
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
