#pragma once

#include <QByteArrayView>
#include <QImage>

namespace velmora {

// Decodes a baseline colour JPEG with libjpeg into an RGB32 picture, large pictures in bands on
// several threads: each band's decoder reads the entropy-coded data before its band without
// the inverse transform, colour conversion or writing that makes up most of a decode, so the
// bands finish close together. The pixels equal a one-pass decode's. A null picture when the
// file is not such a JPEG (progressive, grey, CMYK), is damaged (libjpeg warned or failed) or
// would exceed `maxBytes`: the caller then takes the general reader.
[[nodiscard]] QImage DecodeBaselineJpeg(QByteArrayView file, qint64 maxBytes);

// The same in exactly `bands` bands (at most one per row group), whatever the picture's size and
// the cores: for tests.
[[nodiscard]] QImage DecodeBaselineJpegInBands(QByteArrayView file, qint64 maxBytes, int bands);

}  // namespace velmora
