#pragma once

#include <QImage>

namespace velmora {

// The picture as it is meant to be seen, given the EXIF orientation (1 to 8) it was stored
// with: mirrored and/or turned so that its first row is the top and its first column the left.
// Any other value leaves it as it is. Null when there is no memory for the turned copy.
[[nodiscard]] QImage UprightImage(const QImage& stored, int orientation);

}  // namespace velmora
