#pragma once

#include <QImage>

class QIODevice;

namespace velmora {

// The largest side a GIF can describe.
inline constexpr int kGifMaxSide = 65535;

// Writes the picture as a single-frame GIF89a. A picture of at most 256 colours keeps them
// exactly; a richer one is reduced to 256 by a perceptual quantiser with dithering. Pixels less
// than half opaque become the transparent colour. False when the picture is empty or too large
// for the format, or the device refuses the bytes.
bool WriteGif(const QImage& picture, QIODevice& device);

}  // namespace velmora
