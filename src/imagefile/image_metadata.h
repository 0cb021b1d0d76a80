#pragma once

#include <QByteArray>
#include <QByteArrayView>

namespace velmora {

// What a picture file says about its picture besides the pixels, kept with the document's
// picture so that a save writes it back. Each part is empty when the file had none, or had one
// too large or too broken to carry.
struct ImageMetadata {
    QByteArray exif;  // a TIFF-structured EXIF block ("II*\0" or "MM\0*"), orientation 1
    QByteArray xmp;   // an XMP packet
    QByteArray iptc;  // IPTC IIM records
    QByteArray icc;   // an ICC colour profile

    [[nodiscard]] bool IsEmpty() const {
        return exif.isEmpty() && xmp.isEmpty() && iptc.isEmpty() && icc.isEmpty();
    }
    bool operator==(const ImageMetadata&) const = default;
};

// The EXIF orientation values (1 = upright, 2 to 8 mirrored and/or turned).
inline constexpr int kUprightOrientation = 1;

struct ReadMetadata {
    ImageMetadata metadata;
    int orientation = kUprightOrientation;  // as the file stored it, before the reset to 1
};

// Reads the metadata of a whole encoded file (JPEG, PNG, TIFF, WebP, ...). Parts that cannot be
// parsed, or exceed their size limits, are left out; a file with none gives an empty result.
[[nodiscard]] ReadMetadata ReadFileMetadata(QByteArrayView file);

// A raw EXIF block (as HEIF files hold it) made fit to carry: parsed, orientation reset to 1,
// thumbnail dropped, re-encoded. Empty when it cannot be parsed or is too large.
[[nodiscard]] QByteArray CarryableExif(QByteArrayView block);

// An XMP packet (as HEIF files hold it) made fit to carry: parsed, a recorded orientation reset
// to 1. Empty when it cannot be parsed or is too large.
[[nodiscard]] QByteArray CarryableXmp(QByteArrayView packet);

// Writes `metadata` into an encoded JPEG, PNG, TIFF or WebP file in memory, replacing what the
// encoder put there. False when the container cannot take it; `file` is then unchanged.
bool EmbedMetadata(QByteArray& file, const ImageMetadata& metadata);

}  // namespace velmora
