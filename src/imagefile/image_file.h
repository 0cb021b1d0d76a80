#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "imagefile/image_encoding.h"

namespace velmora {

// Texts shown when a picture cannot be read or written.
inline constexpr char kCannotOpenImageText[] = "无法打开图像!";
inline constexpr char kUnknownFormatText[] = "图像格式未知!";
inline constexpr char kSaveFailedText[] = "保存图像失败!";

struct OpenedImage {
    QImage image;                       // in the decoded picture's own format (palettes expanded)
    bool convertedFromPalette = false;  // it had a palette and now holds full colour
};

// Decodes any format Qt reads. A palette picture is converted to full colour so that filled
// pixels keep their colours. Empty when the file cannot be read or decoded.
std::optional<OpenedImage> OpenImageFile(const QString& path);

enum class SaveOutcome {
    Saved,
    NoExtension,    // the path has no "." at all: fails without a message
    UnknownFormat,  // "图像格式未知!"
    WriteFailed,    // "保存图像失败!"
};

// Writes the picture by the path's extension: encoded in memory, then put on disk so that a
// failed save leaves the old file intact.
SaveOutcome SaveImageFile(const QImage& image, const QString& path);

// The message for an outcome, or an empty string when none is shown.
QString SaveOutcomeMessage(SaveOutcome outcome);

}  // namespace velmora
