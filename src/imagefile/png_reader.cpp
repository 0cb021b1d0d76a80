#include "png_reader.h"

#include <png.h>

#include <csetjmp>
#include <cstring>
#include <vector>

namespace velmora {

namespace {

struct MemorySource {
    const png_byte* data;
    std::size_t size;
    std::size_t offset = 0;
};

void ReadFromMemory(png_structp png, png_bytep out, png_size_t length) {
    auto* source = static_cast<MemorySource*>(png_get_io_ptr(png));
    if (length > source->size - source->offset) png_error(png, "read past the end");
    std::memcpy(out, source->data + source->offset, length);
    source->offset += length;
}

// libpng's messages are not the user's: a failure ends the decode, which the caller reports, and
// a warning (an odd ancillary chunk skipped) changes nothing.
[[noreturn]] void FailQuietly(png_structp png, png_const_charp) {
    png_longjmp(png, 1);
}
void IgnoreWarning(png_structp, png_const_charp) {}

// The pixel layout after DecodePng's transformations.
struct PngLayout {
    png_uint_32 width = 0;
    png_uint_32 height = 0;
    bool sixteenBit = false;
    bool alpha = false;
    bool palette = false;
};

// libpng reports errors by longjmp: the two functions that call into it hold nothing that needs
// a destructor, so the jump skips no clean-up.
bool ReadLayout(png_structp png, png_infop info, PngLayout& layout) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_info(png, info);
    const int colourType = png_get_color_type(png, info);
    layout.palette = colourType == PNG_COLOR_TYPE_PALETTE;
    layout.alpha =
        (colourType & PNG_COLOR_MASK_ALPHA) != 0 || png_get_valid(png, info, PNG_INFO_tRNS) != 0;
    layout.sixteenBit = png_get_bit_depth(png, info) == 16;
    // Palettes, low grey depths and the transparency colour become plain samples with alpha.
    png_set_expand(png);
    png_set_gray_to_rgb(png);
    if (layout.sixteenBit) {
        png_set_swap(png);  // QImage's 64-bit formats hold native-endian samples
    } else {
        png_set_bgr(png);  // ARGB32 is B, G, R, A in memory on little-endian machines
    }
    if (!layout.alpha) png_set_filler(png, layout.sixteenBit ? 0xffff : 0xff, PNG_FILLER_AFTER);
    png_set_interlace_handling(png);
    png_read_update_info(png, info);
    layout.width = png_get_image_width(png, info);
    layout.height = png_get_image_height(png, info);
    return png_get_rowbytes(png, info) == layout.width * (layout.sixteenBit ? 8u : 4u);
}

bool ReadRows(png_structp png, png_bytepp rows) {
    if (setjmp(png_jmpbuf(png))) return false;
    png_read_image(png, rows);
    png_read_end(png, nullptr);
    return true;
}

struct PngReadStruct {
    png_structp png = nullptr;
    png_infop info = nullptr;
    PngReadStruct() {
        png = png_create_read_struct(PNG_LIBPNG_VER_STRING, nullptr, FailQuietly, IgnoreWarning);
        if (png != nullptr) info = png_create_info_struct(png);
    }
    ~PngReadStruct() { png_destroy_read_struct(&png, &info, nullptr); }
    PngReadStruct(const PngReadStruct&) = delete;
    PngReadStruct& operator=(const PngReadStruct&) = delete;
};

}  // namespace

DecodedPng DecodePng(QByteArrayView file, qint64 maxBytes) {
    PngReadStruct read;
    if (read.info == nullptr) return {};
    MemorySource source{reinterpret_cast<const png_byte*>(file.data()),
                        static_cast<std::size_t>(file.size())};
    png_set_read_fn(read.png, &source, ReadFromMemory);
    // Text, time and other chunks the picture does not need are skipped unread, so a compressed
    // text chunk is never inflated.
    png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_NEVER, nullptr, 0);
    static constexpr png_byte kSkipped[] = "tEXt\0zTXt\0iTXt\0eXIf\0iCCP\0tIME\0sPLT\0";
    png_set_keep_unknown_chunks(read.png, PNG_HANDLE_CHUNK_NEVER, kSkipped,
                                static_cast<int>(sizeof(kSkipped) / 5));

    PngLayout layout;
    if (!ReadLayout(read.png, read.info, layout)) return {};
    const qint64 bytes = qint64{layout.width} * qint64{layout.height} * (layout.sixteenBit ? 8 : 4);
    if (layout.width == 0 || layout.height == 0 || bytes > maxBytes) return {};
    const QImage::Format format =
        layout.sixteenBit ? (layout.alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                          : (layout.alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    QImage image(static_cast<int>(layout.width), static_cast<int>(layout.height), format);
    if (image.isNull()) return {};
    std::vector<png_bytep> rows(layout.height);
    for (png_uint_32 y = 0; y < layout.height; ++y) rows[y] = image.scanLine(static_cast<int>(y));
    if (!ReadRows(read.png, rows.data())) return {};
    return {std::move(image), layout.palette};
}

}  // namespace velmora
