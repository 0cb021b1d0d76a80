#include "test_files.h"

#include <png.h>

#include <QBuffer>
#include <QFile>
#include <csetjmp>
#include <exiv2/exiv2.hpp>
#include <random>
#include <stdexcept>

namespace velmora::test {

namespace {

constexpr QRgb kQuarterColours[] = {qRgb(230, 20, 20), qRgb(20, 230, 20), qRgb(20, 20, 230),
                                    qRgb(230, 230, 20)};
constexpr char kQuarterNames[] = "RGBY";

char ColourName(QRgb pixel) {
    for (int i = 0; i < 4; ++i) {
        const QRgb c = kQuarterColours[i];
        if (std::abs(qRed(pixel) - qRed(c)) < 40 && std::abs(qGreen(pixel) - qGreen(c)) < 40 &&
            std::abs(qBlue(pixel) - qBlue(c)) < 40)
            return kQuarterNames[i];
    }
    return '?';
}

void AppendToArray(png_structp png, png_bytep data, png_size_t length) {
    static_cast<QByteArray*>(png_get_io_ptr(png))
        ->append(reinterpret_cast<const char*>(data), static_cast<qsizetype>(length));
}

bool WritePngRows(png_structp png, png_infop info, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_write_info(png, info);
    png_set_swap(png);
    png_write_image(png, rows);
    png_write_end(png, nullptr);
    return true;
}

}  // namespace

QImage QuarterPicture(int width, int height) {
    QImage image(width, height, QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(x, y,
                           kQuarterColours[(y < height / 2 ? 0 : 2) + (x < width / 2 ? 0 : 1)]);
    return image;
}

std::string CornerColours(const QImage& image) {
    const int w = image.width() - 3;
    const int h = image.height() - 3;
    return {ColourName(image.pixel(2, 2)), ColourName(image.pixel(w, 2)),
            ColourName(image.pixel(2, h)), ColourName(image.pixel(w, h))};
}

QImage NoisyPicture(int width, int height, QImage::Format format) {
    std::mt19937 random(7);
    std::uniform_int_distribution<int> noise(-12, 12);
    QImage image(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            image.setPixel(
                x, y,
                qRgba(std::clamp(x * 255 / width + noise(random), 0, 255),
                      std::clamp(y * 255 / height + noise(random), 0, 255),
                      std::clamp(128 + noise(random) * 4, 0, 255),
                      format == QImage::Format_ARGB32 ? 1 + (x * 7 + y * 3) % 255 : 255));
    return image.convertToFormat(format);
}

void SetTags(const QString& path, const std::map<std::string, std::string>& tags) {
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    for (const auto& [key, value] : tags) {
        if (key.starts_with("Xmp."))
            image->xmpData()[key] = value;
        else
            image->exifData()[key] = value;
    }
    image->writeMetadata();
}

void SetIptcAndXmp(const QString& path, const std::string& caption, const std::string& creator) {
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    image->iptcData()["Iptc.Application2.Caption"] = caption;
    image->xmpData()["Xmp.dc.creator"] = creator;
    image->writeMetadata();
}

FileTags ReadTags(const QString& path) {
    auto image = Exiv2::ImageFactory::open(path.toStdString());
    image->readMetadata();
    FileTags read;
    for (const Exiv2::Exifdatum& tag : image->exifData()) read.tags[tag.key()] = tag.toString();
    for (const Exiv2::Iptcdatum& tag : image->iptcData()) read.tags[tag.key()] = tag.toString();
    for (const Exiv2::Xmpdatum& tag : image->xmpData()) read.tags[tag.key()] = tag.toString();
    if (image->iccProfileDefined())
        read.icc = QByteArray(reinterpret_cast<const char*>(image->iccProfile()->pData_),
                              image->iccProfile()->size_);
    read.hasThumbnail = Exiv2::ExifThumbC(image->exifData()).copy().size_ > 0;
    return read;
}

QByteArray Write16BitPng(int width, int height, int channels,
                         const std::vector<std::uint16_t>& samples,
                         const std::vector<std::uint16_t>& transparent, bool interlaced) {
    png_structp png = png_create_write_struct(PNG_LIBPNG_VER_STRING, nullptr, nullptr, nullptr);
    png_infop info = png_create_info_struct(png);
    QByteArray out;
    png_set_write_fn(png, &out, AppendToArray, nullptr);
    png_set_IHDR(png, info, static_cast<png_uint_32>(width), static_cast<png_uint_32>(height), 16,
                 channels == 1 ? PNG_COLOR_TYPE_GRAY : PNG_COLOR_TYPE_RGB,
                 interlaced ? PNG_INTERLACE_ADAM7 : PNG_INTERLACE_NONE,
                 PNG_COMPRESSION_TYPE_DEFAULT, PNG_FILTER_TYPE_DEFAULT);
    png_color_16 colour{};
    if (!transparent.empty()) {
        colour.gray = transparent[0];
        colour.red = transparent[0];
        colour.green = transparent.size() > 1 ? transparent[1] : 0;
        colour.blue = transparent.size() > 2 ? transparent[2] : 0;
        png_set_tRNS(png, info, nullptr, 0, &colour);
    }
    std::vector<std::uint16_t> copy = samples;
    std::vector<png_bytep> rows(static_cast<std::size_t>(height));
    for (int y = 0; y < height; ++y)
        rows[static_cast<std::size_t>(y)] = reinterpret_cast<png_bytep>(
            copy.data() + static_cast<std::size_t>(y * width * channels));
    const bool written = WritePngRows(png, info, rows.data());
    png_destroy_write_struct(&png, &info);
    if (!written) throw std::runtime_error("libpng could not write the test picture");
    return out;
}

QByteArray ReadFile(const QString& path) {
    QFile file(path);
    if (!file.open(QIODevice::ReadOnly)) return {};
    return file.readAll();
}

void WriteFile(const QString& path, const QByteArray& bytes) {
    QFile file(path);
    if (!file.open(QIODevice::WriteOnly) || file.write(bytes) != bytes.size())
        throw std::runtime_error("cannot write " + path.toStdString());
}

}  // namespace velmora::test
