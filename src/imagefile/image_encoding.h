#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

#include "imagefile/image_metadata.h"

namespace velmora {

// The writer chosen for an extension such as ".jpg": the first whose extension list contains the
// upper-cased extension as a substring.
struct ImageEncoder {
    const char* format;      // Qt's format name, or "heif" / "avif" for the file layer's own
    const char* extensions;  // "*.JPG;*.JPEG;..."
};
std::optional<ImageEncoder> FindEncoder(const QString& extension);

// Qt's PNG "compression" (0 to 100; zlib level = compression * 9 / 91) PNG files are written
// with: 21 is zlib level 2. Measured on 9-megapixel photographs (bench/README.md), it encodes
// several times faster than zlib's default level 6 for a file about 12 % larger.
inline constexpr int kPngCompression = 21;

// The whole file the encoder makes of the picture, built in memory: some writers do not notice a
// write that fails half way, so nothing reaches the disk until the encoder has finished. JPEG is
// written at quality 100, WebP lossless, HEIC and AVIF at their best quality; the metadata goes
// into every format that can hold it. Empty when the encoder fails.
std::optional<QByteArray> EncodeImage(const QImage& image, const ImageMetadata& metadata,
                                      const ImageEncoder& encoder);

}  // namespace velmora
