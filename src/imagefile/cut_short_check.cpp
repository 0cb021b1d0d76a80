#include "cut_short_check.h"

#include <QFile>
#include <cstdint>
#include <cstdlib>

#include "imagefile/native_file_name.h"

namespace velmora {

namespace {

// Bounds-checked little- and big-endian reads; `ok` turns false once a read leaves the bytes.
class ByteReader {
  public:
    explicit ByteReader(QByteArrayView bytes) : bytes_(bytes) {}

    [[nodiscard]] qsizetype size() const { return bytes_.size(); }
    [[nodiscard]] bool Has(qsizetype pos, qsizetype count) const {
        return pos >= 0 && count >= 0 && pos <= bytes_.size() - count;
    }
    std::uint32_t Byte(qsizetype pos) const {
        return Has(pos, 1) ? static_cast<std::uint8_t>(bytes_[pos]) : 0;
    }
    std::uint32_t Le16(qsizetype pos) const { return Byte(pos) | Byte(pos + 1) << 8; }
    std::uint32_t Le32(qsizetype pos) const { return Le16(pos) | Le16(pos + 2) << 16; }
    std::uint32_t Be16(qsizetype pos) const { return Byte(pos) << 8 | Byte(pos + 1); }
    std::uint32_t Be32(qsizetype pos) const { return Be16(pos) << 16 | Be16(pos + 2); }

  private:
    QByteArrayView bytes_;
};

// A JPEG is whole when its markers lead, segment by segment and through the entropy-coded data,
// to the end-of-image marker. Whatever follows that marker (an appended video, say) is ignored.
bool JpegCutShort(const ByteReader& in) {
    if (in.Byte(0) != 0xFF || in.Byte(1) != 0xD8) return false;
    qsizetype pos = 2;
    while (true) {
        if (!in.Has(pos, 2)) return true;
        if (in.Byte(pos) != 0xFF) return false;  // not a marker: leave it to the decoder
        while (in.Has(pos + 1, 1) && in.Byte(pos + 1) == 0xFF) ++pos;  // fill bytes
        if (!in.Has(pos + 1, 1)) return true;
        const std::uint32_t marker = in.Byte(pos + 1);
        pos += 2;
        if (marker == 0xD9) return false;                                    // end of image
        if ((marker >= 0xD0 && marker <= 0xD7) || marker == 0x01) continue;  // no length
        if (!in.Has(pos, 2)) return true;
        const std::uint32_t length = in.Be16(pos);
        if (length < 2) return false;
        pos += length;
        if (marker != 0xDA) continue;
        // Entropy-coded data runs to the next marker other than a restart; 0xFF 0x00 is a
        // stuffed data byte.
        while (true) {
            if (!in.Has(pos, 2)) return true;
            if (in.Byte(pos) == 0xFF) {
                const std::uint32_t next = in.Byte(pos + 1);
                if (next != 0x00 && next != 0xFF && !(next >= 0xD0 && next <= 0xD7)) break;
            }
            ++pos;
        }
    }
}

// An uncompressed BMP is whole when its rows, as the header describes them, fit in the file; an
// RLE-compressed one when the compressed size it announces does.
bool BmpCutShort(const ByteReader& in) {
    if (in.Byte(0) != 'B' || in.Byte(1) != 'M') return false;
    if (!in.Has(0, 26)) return true;
    const std::int64_t pixelOffset = in.Le32(10);
    const std::uint32_t headerSize = in.Le32(14);
    std::int64_t width = 0;
    std::int64_t height = 0;
    std::int64_t bitsPerPixel = 0;
    std::uint32_t compression = 0;
    std::int64_t imageSize = 0;
    if (headerSize == 12) {
        width = in.Le16(18);
        height = in.Le16(20);
        bitsPerPixel = in.Le16(24);
    } else {
        if (!in.Has(0, 38)) return true;
        width = static_cast<std::int32_t>(in.Le32(18));
        height = std::abs(static_cast<std::int64_t>(static_cast<std::int32_t>(in.Le32(22))));
        bitsPerPixel = in.Le16(28);
        compression = in.Le32(30);
        imageSize = in.Le32(34);
    }
    constexpr std::uint32_t kRgb = 0, kRle8 = 1, kRle4 = 2, kBitFields = 3, kAlphaBitFields = 6;
    const std::int64_t available = in.size() - pixelOffset;  // the bytes for the pixels
    if (compression == kRgb || compression == kBitFields || compression == kAlphaBitFields) {
        if (width <= 0 || bitsPerPixel <= 0) return false;
        if (height == 0) return available < 0;
        // stride x height > available, without the product: a header may claim 2^31 rows of
        // 2^44 bytes.
        const std::int64_t stride = (width * bitsPerPixel + 31) / 32 * 4;
        return available < 0 || stride > available / height;
    }
    if (compression == kRle8 || compression == kRle4) return available < imageSize;
    return false;
}

// A PNG is whole when every chunk holds the bytes its length announces, up to the end chunk (or
// the end of the file on a chunk boundary: the reader finds out itself whether image data is
// missing). A chunk claiming more bytes than the file holds would otherwise make the reader
// allocate that much first: a gigabyte for a file of a few hundred bytes.
bool PngCutShort(const ByteReader& in) {
    constexpr char kSignature[] = "\x89PNG\r\n\x1a\n";
    for (qsizetype i = 0; i < 8; ++i)
        if (in.Byte(i) != static_cast<std::uint8_t>(kSignature[i])) return false;
    constexpr std::uint32_t kLongestChunk = 0x7FFFFFFF;
    qsizetype pos = 8;
    while (pos < in.size()) {
        if (!in.Has(pos, 8)) return true;
        const std::uint32_t length = in.Be32(pos);
        if (length > kLongestChunk || !in.Has(pos + 8, qsizetype{length} + 4)) return true;
        const bool end = in.Byte(pos + 4) == 'I' && in.Byte(pos + 5) == 'E' &&
                         in.Byte(pos + 6) == 'N' && in.Byte(pos + 7) == 'D';
        if (end) return false;
        pos += 12 + qsizetype{length};
    }
    return false;
}

// Skips the data sub-blocks starting at `pos`; false when the bytes end before their terminator.
bool SkipSubBlocks(const ByteReader& in, qsizetype& pos) {
    while (true) {
        if (!in.Has(pos, 1)) return false;
        const qsizetype count = in.Byte(pos);
        pos += 1 + count;
        if (count == 0) return true;
    }
}

// A GIF is whole, as far as the first picture goes (the one that is opened), when the data of its
// first image ends with the block terminator.
bool GifCutShort(const ByteReader& in) {
    if (!in.Has(0, 13)) return true;
    const auto tableSize = [](std::uint32_t packed) -> qsizetype {
        return (packed & 0x80) != 0 ? 3 * (qsizetype{2} << (packed & 7)) : 0;
    };
    qsizetype pos = 13 + tableSize(in.Byte(10));
    while (true) {
        if (!in.Has(pos, 1)) return true;
        const std::uint32_t block = in.Byte(pos);
        if (block == 0x21) {  // extension: introducer, label, sub-blocks
            pos += 2;
            if (!SkipSubBlocks(in, pos)) return true;
        } else if (block == 0x2C) {  // image: descriptor, local colour table, code size, data
            if (!in.Has(pos, 10)) return true;
            pos += 10 + tableSize(in.Byte(pos + 9)) + 1;
            return !SkipSubBlocks(in, pos);
        } else {
            return false;  // the trailer, or a block this check does not know
        }
    }
}

}  // namespace

bool IsCutShort(QByteArrayView bytes, QByteArrayView format) {
    const ByteReader in(bytes);
    if (format == "jpeg" || format == "jpg") return JpegCutShort(in);
    if (format == "bmp") return BmpCutShort(in);
    if (format == "gif") return GifCutShort(in);
    if (format == "png") return PngCutShort(in);
    return false;
}

bool IsFileCutShort(const QString& path, QByteArrayView format) {
    if (format != "jpeg" && format != "jpg" && format != "bmp" && format != "gif" &&
        format != "png")
        return false;
    QFile file;
    if (!OpenForReading(file, path)) return true;
    // Mapped rather than read: a 100-megapixel JPEG need not be copied to be walked through.
    if (uchar* const mapped = file.map(0, file.size())) {
        const bool cutShort = IsCutShort(QByteArrayView(mapped, file.size()), format);
        file.unmap(mapped);
        return cutShort;
    }
    const QByteArray bytes = file.readAll();
    return IsCutShort(bytes, format);
}

}  // namespace velmora
