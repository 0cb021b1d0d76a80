#pragma once

#include <QImage>
#include <QString>
#include <optional>

#include "imagefile/image_encoding.h"
#include "imagefile/image_metadata.h"

namespace velmora {

// Texts shown when a picture cannot be read or written.
inline constexpr char kCannotOpenImageText[] = "无法打开图像!";
inline constexpr char kUnknownFormatText[] = "图像格式未知!";
inline constexpr char kSaveFailedText[] = "保存图像失败!";
// Told when a file with several pages or frames opens: only the first is kept.
inline constexpr char kOnlyFirstPageText[] = "此文件含有多页或多帧图像，只打开了第一页（帧）。";

struct OpenedImage {
    QImage image;  // upright, in the decoded picture's own format (palettes expanded)
    ImageMetadata metadata;
    bool convertedFromPalette = false;  // it had a palette and now holds full colour
    bool otherPagesDropped = false;     // a multi-page or animated file: only the first page
};

// Decodes any format Qt reads, PNG through libpng and HEIC/HEIF/AVIF through libheif, turned
// upright as the file's orientation says. A palette picture is converted to full colour so that
// filled pixels keep their colours. Empty when the file cannot be read or decoded.
std::optional<OpenedImage> OpenImageFile(const QString& path);

enum class SaveOutcome {
    Saved,
    NoExtension,    // the path has no "." at all: fails without a message
    UnknownFormat,  // "图像格式未知!"
    WriteFailed,    // "保存图像失败!"
};

// Writes the picture with its metadata by the path's extension: encoded in memory, then put on
// disk so that a failed save leaves the old file intact.
SaveOutcome SaveImageFile(const QImage& image, const ImageMetadata& metadata, const QString& path);

// The message for an outcome, or an empty string when none is shown.
QString SaveOutcomeMessage(SaveOutcome outcome);

}  // namespace velmora
