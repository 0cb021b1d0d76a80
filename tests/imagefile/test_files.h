#pragma once

#include <QByteArray>
#include <QImage>
#include <QString>
#include <QTemporaryDir>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace velmora::test {

// A picture of four solid quarters (red top left, green top right, blue bottom left, yellow
// bottom right), so that how it was turned survives even lossy formats.
QImage QuarterPicture(int width, int height);

// Which quarter colour lies at each corner of `image` ("RGBY" when upright), read a few pixels
// in from the corners; '?' where the colour matches none.
std::string CornerColours(const QImage& image);

// A photograph-like picture: gradients with fine noise from a fixed seed; with ARGB32, alpha from 1
// to 255 (no pixel wholly transparent: lossless WebP does not keep the colour of those).
QImage NoisyPicture(int width, int height, QImage::Format format = QImage::Format_RGB32);

// Sets EXIF and XMP values of a file on disk with Exiv2; keys such as "Exif.Image.Make" or
// "Xmp.tiff.Orientation".
void SetTags(const QString& path, const std::map<std::string, std::string>& tags);
void SetIptcAndXmp(const QString& path, const std::string& caption, const std::string& creator);

// All EXIF, IPTC and XMP tags of a file as key -> text, and whether it has an ICC profile and
// an EXIF thumbnail.
struct FileTags {
    std::map<std::string, std::string> tags;
    QByteArray icc;
    bool hasThumbnail = false;
};
FileTags ReadTags(const QString& path);

// A PNG written with libpng: 16-bit samples, `channels` 1 (grey) or 3 (RGB), with a tRNS
// colour when `transparent` holds one value per channel; `samples` row by row.
QByteArray Write16BitPng(int width, int height, int channels,
                         const std::vector<std::uint16_t>& samples,
                         const std::vector<std::uint16_t>& transparent, bool interlaced = false);

QByteArray ReadFile(const QString& path);
void WriteFile(const QString& path, const QByteArray& bytes);

// Where a test keeps its files; removed with it.
struct ScratchDir {
    QTemporaryDir dir;
    QString Path(const QString& name) const { return dir.filePath(name); }
};

}  // namespace velmora::test
