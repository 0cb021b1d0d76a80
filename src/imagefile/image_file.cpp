#include "image_file.h"

#include <QImageReader>

#include "imagefile/cut_short_check.h"
#include "imagefile/encoded_file_writer.h"

namespace velmora {

namespace {

// Large enough for real 100-megapixel photographs, small enough to refuse absurd headers.
constexpr int kDecodeLimitMegabytes = 1024;

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

SaveOutcome SaveImageFile(const QImage& image, const QString& path) {
    const qsizetype dot = path.lastIndexOf(QLatin1Char('.'));
    if (dot < 0) return SaveOutcome::NoExtension;
    const std::optional<ImageEncoder> encoder = FindEncoder(path.mid(dot));
    if (!encoder) return SaveOutcome::UnknownFormat;

    const std::optional<QByteArray> encoded = EncodeImage(image, *encoder);
    if (!encoded) return SaveOutcome::WriteFailed;
    return WriteEncodedFile(path, *encoded) ? SaveOutcome::Saved : SaveOutcome::WriteFailed;
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
