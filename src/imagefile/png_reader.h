#pragma once

#include <QByteArrayView>
#include <QImage>

namespace velmora {

struct DecodedPng {
    QImage image;  // null when the file could not be decoded
    bool hadPalette = false;
};

// Decodes a PNG with libpng. 8-bit files become ARGB32 (RGB32 without transparency), 16-bit ones
// RGBA64 (RGBX64), keeping every sample as stored: a transparency colour (tRNS) becomes the
// alpha channel, grey and palette pictures become colour. Nothing but the pixels is kept: text
// chunks are dropped, whatever their size. `maxBytes` bounds the decoded picture.
[[nodiscard]] DecodedPng DecodePng(QByteArrayView file, qint64 maxBytes);

}  // namespace velmora
