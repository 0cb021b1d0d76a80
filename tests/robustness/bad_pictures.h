#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <cstdint>
#include <vector>

namespace velmora::test {

// The formats bad files are made in, by Qt's name (GIF by our own writer: Qt has none).
inline constexpr const char* kBadFileFormats[] = {"jpeg", "png", "bmp", "gif", "tiff"};

// A picture encoded in `format` (JPEG at quality 90).
QByteArray EncodePicture(const QImage& picture, const char* format);

// A GIF of the picture reduced to 256 colours, written with uncompressed 9-bit codes.
QByteArray EncodeGif(const QImage& picture);

// The encoded picture with its header rewritten to claim width x height pixels (JPEG and GIF hold
// at most 65535 per side; PNG headers get a fresh checksum, so only the size is wrong).
QByteArray ClaimSize(QByteArray encoded, const char* format, std::uint32_t width,
                     std::uint32_t height);

// The file name extension people give a format: ".jpg", ".png", ".bmp", ".gif", ".tif".
QString ExtensionOf(const char* format);

// One bad file: its name (the extension says what it pretends to be), its bytes, and what opening
// it must give.
struct BadFile {
    enum class Outcome {
        Refused,          // "无法打开图像!", nothing changes
        RefusedOrOpened,  // bit flips the decoder cannot tell from a picture: either is right
    };
    QString name;
    QByteArray bytes;
    Outcome outcome = Outcome::Refused;
};

// Empty, text, truncated (in the header and in the pixel data), bit-flipped and absurdly large
// files in every format of kBadFileFormats, made from `picture`.
std::vector<BadFile> MakeBadFiles(const QImage& picture);

}  // namespace velmora::test
