#pragma once

#include <QByteArrayView>
#include <QString>

namespace velmora {

// Whether an encoded picture stops before the end its own structure announces: a file cut short
// by an interrupted copy or download. Qt's JPEG, BMP and GIF readers accept such files and show
// the missing part as grey, as the background colour or as whatever the allocated memory held;
// its PNG reader first allocates whatever a chunk's length claims. These four are checked here,
// before decoding; the other readers refuse short files by themselves. `format` is Qt's name for
// the reader that will decode the bytes ("jpeg", "bmp", "gif", "png"); any other format gives
// false, and so does a structure this check does not understand (left to the decoder).
[[nodiscard]] bool IsCutShort(QByteArrayView bytes, QByteArrayView format);

// The same for a file on disk. A file that cannot be read counts as cut short.
[[nodiscard]] bool IsFileCutShort(const QString& path, QByteArrayView format);

}  // namespace velmora
