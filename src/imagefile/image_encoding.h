#pragma once

#include <QByteArray>
#include <QImage>
#include <optional>

namespace velmora {

// The writer chosen for an extension such as ".jpg": the first whose extension list contains the
// upper-cased extension as a substring.
struct ImageEncoder {
    const char* format;      // Qt's format name
    const char* extensions;  // "*.JPG;*.JPEG;..."
};
std::optional<ImageEncoder> FindEncoder(const QString& extension);

// The whole file the encoder makes of the picture (JPEG at quality 100), built in memory: some
// writers do not notice a write that fails half way, so nothing reaches the disk until the
// encoder has finished. Empty when the encoder fails.
std::optional<QByteArray> EncodeImage(const QImage& image, const ImageEncoder& encoder);

}  // namespace velmora
