#include "image_metadata.h"

#include <exiv2/exiv2.hpp>
#include <memory>
#include <string>

namespace velmora {

namespace {

// What one segment of a JPEG can hold; no camera writes more, and larger parts would be split
// or refused by other readers.
constexpr qsizetype kMaxExifBytes = 65'000;
constexpr qsizetype kMaxIptcBytes = 65'000;
constexpr qsizetype kMaxXmpBytes = 1 << 20;
constexpr qsizetype kMaxIccBytes = 4 << 20;

const Exiv2::byte* Bytes(QByteArrayView view) {
    return reinterpret_cast<const Exiv2::byte*>(view.data());
}

// Tags that describe how a TIFF stores its pixels, or hold what travels on its own (ICC, XMP,
// IPTC): true of the file they came from, not of the one they are written into.
constexpr const char* kStorageTags[] = {
    "Exif.Image.NewSubfileType",
    "Exif.Image.SubfileType",
    "Exif.Image.ImageWidth",
    "Exif.Image.ImageLength",
    "Exif.Image.BitsPerSample",
    "Exif.Image.Compression",
    "Exif.Image.PhotometricInterpretation",
    "Exif.Image.FillOrder",
    "Exif.Image.StripOffsets",
    "Exif.Image.SamplesPerPixel",
    "Exif.Image.RowsPerStrip",
    "Exif.Image.StripByteCounts",
    "Exif.Image.PlanarConfiguration",
    "Exif.Image.Predictor",
    "Exif.Image.TileWidth",
    "Exif.Image.TileLength",
    "Exif.Image.TileOffsets",
    "Exif.Image.TileByteCounts",
    "Exif.Image.ExtraSamples",
    "Exif.Image.SampleFormat",
    "Exif.Image.JPEGTables",
    "Exif.Image.InterColorProfile",
    "Exif.Image.XMLPacket",
    "Exif.Image.IPTCNAA",
    "Exif.Image.ImageResources",
};

int OrientationOf(const Exiv2::ExifData& exif) {
    const auto it = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (it == exif.end() || it->count() == 0) return kUprightOrientation;
    const long value = it->toLong();
    return value >= 1 && value <= 8 ? static_cast<int>(value) : kUprightOrientation;
}

// Orientations 5 to 8 store the picture on its side: upright, its width is the stored height.
bool TurnsAQuarter(int orientation) {
    return orientation >= 5;
}

// The picture's width and height as EXIF and XMP record them follow it when it is turned upright.
// A lone one of the pair no longer says which side it measures and goes.
template <typename Key, typename Data>
void SwapSides(Data& data, const char* width, const char* height) {
    const auto first = data.findKey(Key(width));
    const auto second = data.findKey(Key(height));
    if (first != data.end() && second != data.end()) {
        const std::string widthValue = first->toString();
        first->setValue(second->toString());
        second->setValue(widthValue);
    } else if (first != data.end()) {
        data.erase(first);
    } else if (second != data.end()) {
        data.erase(second);
    }
}

// Orientation reset and thumbnail dropped: the picture is stored upright, and a thumbnail of
// the unfilled picture would show the object that was removed.
void PrepareExif(Exiv2::ExifData& exif) {
    Exiv2::ExifThumb(exif).erase();
    for (const char* key : kStorageTags) {
        const auto it = exif.findKey(Exiv2::ExifKey(key));
        if (it != exif.end()) exif.erase(it);
    }
    if (TurnsAQuarter(OrientationOf(exif)))
        SwapSides<Exiv2::ExifKey>(exif, "Exif.Photo.PixelXDimension", "Exif.Photo.PixelYDimension");
    const auto orientation = exif.findKey(Exiv2::ExifKey("Exif.Image.Orientation"));
    if (orientation != exif.end()) exif["Exif.Image.Orientation"] = std::uint16_t{1};
}

QByteArray EncodeExif(Exiv2::ExifData& exif) {
    if (exif.empty()) return {};
    PrepareExif(exif);
    Exiv2::Blob blob;
    Exiv2::ExifParser::encode(blob, Exiv2::littleEndian, exif);
    if (blob.empty() || static_cast<qsizetype>(blob.size()) > kMaxExifBytes) return {};
    return {reinterpret_cast<const char*>(blob.data()), static_cast<qsizetype>(blob.size())};
}

// A packet that records an orientation says upright once the picture is stored upright; as it
// does not turn the picture here, it is rewritten only then and otherwise kept byte for byte.
QByteArray CarryableXmp(const std::string& packet, int appliedOrientation) {
    if (packet.empty() || static_cast<qsizetype>(packet.size()) > kMaxXmpBytes) return {};
    Exiv2::XmpData parsed;
    if (Exiv2::XmpParser::decode(parsed, packet) != 0) return {};
    const auto orientation = parsed.findKey(Exiv2::XmpKey("Xmp.tiff.Orientation"));
    if (orientation == parsed.end() || orientation->toString() == "1")
        return QByteArray::fromStdString(packet);
    orientation->setValue("1");
    if (TurnsAQuarter(appliedOrientation))
        SwapSides<Exiv2::XmpKey>(parsed, "Xmp.exif.PixelXDimension", "Xmp.exif.PixelYDimension");
    std::string rewritten;
    if (Exiv2::XmpParser::encode(rewritten, parsed) != 0 ||
        static_cast<qsizetype>(rewritten.size()) > kMaxXmpBytes)
        return {};
    return QByteArray::fromStdString(rewritten);
}

QByteArray CarryableIptc(const Exiv2::IptcData& iptc) {
    if (iptc.empty()) return {};
    const Exiv2::DataBuf encoded = Exiv2::IptcParser::encode(iptc);
    if (encoded.size_ <= 0 || encoded.size_ > kMaxIptcBytes) return {};
    return {reinterpret_cast<const char*>(encoded.pData_), encoded.size_};
}

// Once per process, before the first use on any thread: Exiv2's XMP toolkit needs its
// initialisation for use from several threads, and Exiv2 reports the oddities it survives
// through a log handler that by default writes to stderr, messages that are not this program's.
void PrepareExiv2() {
    static const bool prepared = [] {
        Exiv2::LogMsg::setLevel(Exiv2::LogMsg::mute);
        return Exiv2::XmpParser::initialize();
    }();
    static_cast<void>(prepared);
}

}  // namespace

ReadMetadata ReadFileMetadata(QByteArrayView file) {
    PrepareExiv2();
    ReadMetadata result;
    Exiv2::Image::AutoPtr image;
    try {
        image = Exiv2::ImageFactory::open(Bytes(file), static_cast<long>(file.size()));
        if (image.get() == nullptr) return result;
        image->readMetadata();
    } catch (const std::exception&) {
        return result;
    }
    // Each part on its own: one that is broken takes nothing else with it.
    try {
        result.orientation = OrientationOf(image->exifData());
        result.metadata.exif = EncodeExif(image->exifData());
    } catch (const std::exception&) {
        result.metadata.exif.clear();
    }
    try {
        result.metadata.xmp = CarryableXmp(image->xmpPacket(), result.orientation);
    } catch (const std::exception&) {
        result.metadata.xmp.clear();
    }
    try {
        result.metadata.iptc = CarryableIptc(image->iptcData());
    } catch (const std::exception&) {
        result.metadata.iptc.clear();
    }
    if (image->iccProfileDefined() && image->iccProfile()->size_ <= kMaxIccBytes) {
        const Exiv2::DataBuf* icc = image->iccProfile();
        result.metadata.icc = QByteArray(reinterpret_cast<const char*>(icc->pData_), icc->size_);
    }
    return result;
}

QByteArray CarryableExif(QByteArrayView block) {
    PrepareExiv2();
    try {
        Exiv2::ExifData exif;
        Exiv2::ExifParser::decode(exif, Bytes(block), static_cast<std::uint32_t>(block.size()));
        return EncodeExif(exif);
    } catch (const std::exception&) {
        return {};
    }
}

QByteArray CarryableXmp(QByteArrayView packet) {
    PrepareExiv2();
    try {
        return CarryableXmp(std::string(packet.data(), static_cast<std::size_t>(packet.size())),
                            kUprightOrientation);
    } catch (const std::exception&) {
        return {};
    }
}

bool EmbedMetadata(QByteArray& file, const ImageMetadata& metadata) {
    PrepareExiv2();
    try {
        Exiv2::Image::AutoPtr image =
            Exiv2::ImageFactory::open(Bytes(file), static_cast<long>(file.size()));
        if (image.get() == nullptr) return false;
        // Read first, so that a profile the encoder wrote stays unless one replaces it.
        image->readMetadata();
        image->clearExifData();
        image->clearIptcData();
        image->clearXmpPacket();
        image->clearXmpData();
        image->clearComment();
        if (!metadata.exif.isEmpty()) {
            Exiv2::ExifData exif;
            Exiv2::ExifParser::decode(exif, Bytes(metadata.exif),
                                      static_cast<std::uint32_t>(metadata.exif.size()));
            image->setExifData(exif);
        }
        if (!metadata.iptc.isEmpty()) {
            Exiv2::IptcData iptc;
            Exiv2::IptcParser::decode(iptc, Bytes(metadata.iptc),
                                      static_cast<std::uint32_t>(metadata.iptc.size()));
            image->setIptcData(iptc);
        }
        if (!metadata.xmp.isEmpty()) {
            image->setXmpPacket(metadata.xmp.toStdString());
            image->writeXmpFromPacket(true);
        }
        if (!metadata.icc.isEmpty()) {
            Exiv2::DataBuf icc(Bytes(metadata.icc), static_cast<long>(metadata.icc.size()));
            image->setIccProfile(icc, false);
        }
        image->writeMetadata();
        Exiv2::BasicIo& io = image->io();
        io.seek(0, Exiv2::BasicIo::beg);
        const long size = io.size();
        QByteArray written(size, Qt::Uninitialized);
        if (io.read(reinterpret_cast<Exiv2::byte*>(written.data()), size) != size) return false;
        file = std::move(written);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

}  // namespace velmora
