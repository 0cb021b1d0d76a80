#include "gif_encoder.h"

#include <gif_lib.h>
#include <libimagequant.h>

#include <QIODevice>
#include <algorithm>
#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_map>
#include <vector>

namespace velmora {

namespace {

constexpr int kMaxColours = 256;
constexpr int kOpaqueFrom = 128;  // alpha from which a pixel is drawn, below it transparent

// One picture as palette indexes, row by row, with its palette.
struct IndexedPicture {
    int width = 0;
    int height = 0;
    std::vector<std::uint8_t> indexes;
    std::vector<QRgb> palette;       // at most 256 entries
    std::optional<int> transparent;  // the palette entry that stands for "no pixel"
};

QRgb Visible(QRgb pixel) {
    return qAlpha(pixel) < kOpaqueFrom ? 0 : (pixel | 0xFF000000u);
}

// The exact palette of a picture of few colours; nothing when it has more than 256.
std::optional<IndexedPicture> IndexExactly(const QImage& argb) {
    IndexedPicture out{argb.width(), argb.height(), {}, {}, std::nullopt};
    out.indexes.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    std::unordered_map<QRgb, std::uint8_t> lookup;
    for (int y = 0; y < out.height; ++y) {
        const auto* row = reinterpret_cast<const QRgb*>(argb.constScanLine(y));
        std::uint8_t* indexRow = out.indexes.data() + static_cast<std::size_t>(y) * out.width;
        for (int x = 0; x < out.width; ++x) {
            const QRgb colour = Visible(row[x]);
            auto found = lookup.find(colour);
            if (found == lookup.end()) {
                if (out.palette.size() == kMaxColours) return std::nullopt;
                found = lookup.emplace(colour, static_cast<std::uint8_t>(out.palette.size())).first;
                if (qAlpha(colour) == 0) out.transparent = static_cast<int>(out.palette.size());
                out.palette.push_back(colour);
            }
            indexRow[x] = found->second;
        }
    }
    return out;
}

struct LiqAttrDeleter {
    void operator()(liq_attr* p) const { liq_attr_destroy(p); }
};
struct LiqImageDeleter {
    void operator()(liq_image* p) const { liq_image_destroy(p); }
};
struct LiqResultDeleter {
    void operator()(liq_result* p) const { liq_result_destroy(p); }
};

// A richer picture reduced to 256 colours, dithered.
std::optional<IndexedPicture> Quantise(const QImage& rgba) {
    const std::unique_ptr<liq_attr, LiqAttrDeleter> attr(liq_attr_create());
    if (!attr) return std::nullopt;
    liq_set_max_colors(attr.get(), kMaxColours);
    liq_set_quality(attr.get(), 0, 100);
    std::vector<void*> rows(static_cast<std::size_t>(rgba.height()));
    for (int y = 0; y < rgba.height(); ++y)
        rows[static_cast<std::size_t>(y)] = const_cast<uchar*>(rgba.constScanLine(y));
    // The library only reads the rows.
    const std::unique_ptr<liq_image, LiqImageDeleter> image(
        liq_image_create_rgba_rows(attr.get(), rows.data(), rgba.width(), rgba.height(), 0));
    if (!image) return std::nullopt;
    liq_result* quantised = nullptr;
    if (liq_image_quantize(image.get(), attr.get(), &quantised) != LIQ_OK) return std::nullopt;
    const std::unique_ptr<liq_result, LiqResultDeleter> result(quantised);
    liq_set_dithering_level(result.get(), 1.0f);

    IndexedPicture out{rgba.width(), rgba.height(), {}, {}, std::nullopt};
    out.indexes.resize(static_cast<std::size_t>(out.width) * static_cast<std::size_t>(out.height));
    if (liq_write_remapped_image(result.get(), image.get(), out.indexes.data(),
                                 out.indexes.size()) != LIQ_OK)
        return std::nullopt;
    const liq_palette* palette = liq_get_palette(result.get());
    for (unsigned i = 0; i < palette->count; ++i) {
        const liq_color& c = palette->entries[i];
        if (c.a < kOpaqueFrom && !out.transparent) out.transparent = static_cast<int>(i);
        out.palette.push_back(qRgba(c.r, c.g, c.b, c.a < kOpaqueFrom ? 0 : 255));
    }
    return out;
}

int WriteToDevice(GifFileType* gif, const GifByteType* data, int length) {
    auto* const device = static_cast<QIODevice*>(gif->UserData);
    return static_cast<int>(device->write(reinterpret_cast<const char*>(data), length));
}

struct GifCloser {
    void operator()(GifFileType* gif) const {
        int error = 0;
        EGifCloseFile(gif, &error);  // frees the handle whatever the outcome of its last write
    }
};

struct ColourMapDeleter {
    void operator()(ColorMapObject* map) const { GifFreeMapObject(map); }
};

bool Encode(const IndexedPicture& picture, QIODevice& device) {
    // A GIF colour table has a power of two of entries, at least two.
    int tableSize = 2;
    while (tableSize < static_cast<int>(picture.palette.size())) tableSize *= 2;
    const std::unique_ptr<ColorMapObject, ColourMapDeleter> colours(
        GifMakeMapObject(tableSize, nullptr));
    if (!colours) return false;
    for (int i = 0; i < tableSize; ++i) {
        const QRgb c = i < static_cast<int>(picture.palette.size())
                           ? picture.palette[static_cast<std::size_t>(i)]
                           : 0;
        colours->Colors[i] = {static_cast<GifByteType>(qRed(c)),
                              static_cast<GifByteType>(qGreen(c)),
                              static_cast<GifByteType>(qBlue(c))};
    }

    int error = 0;
    std::unique_ptr<GifFileType, GifCloser> gif(EGifOpen(&device, WriteToDevice, &error));
    if (!gif) return false;
    EGifSetGifVersion(gif.get(), true);
    if (EGifPutScreenDesc(gif.get(), picture.width, picture.height, 8, 0, colours.get()) != GIF_OK)
        return false;
    if (picture.transparent) {
        GraphicsControlBlock control{};
        control.DisposalMode = DISPOSAL_UNSPECIFIED;
        control.DelayTime = 0;
        control.TransparentColor = *picture.transparent;
        GifByteType extension[4];
        const auto length = EGifGCBToExtension(&control, extension);
        if (EGifPutExtension(gif.get(), GRAPHICS_EXT_FUNC_CODE, static_cast<int>(length),
                             extension) != GIF_OK)
            return false;
    }
    if (EGifPutImageDesc(gif.get(), 0, 0, picture.width, picture.height, false, nullptr) != GIF_OK)
        return false;
    std::vector<GifPixelType> line(static_cast<std::size_t>(picture.width));
    for (int y = 0; y < picture.height; ++y) {
        const auto* row = picture.indexes.data() + static_cast<std::size_t>(y) * picture.width;
        std::copy(row, row + picture.width, line.begin());
        if (EGifPutLine(gif.get(), line.data(), picture.width) != GIF_OK) return false;
    }
    // Closing writes the trailer, which can fail like any other write.
    return EGifCloseFile(gif.release(), &error) == GIF_OK;
}

}  // namespace

bool WriteGif(const QImage& picture, QIODevice& device) {
    if (picture.isNull() || picture.width() > kGifMaxSide || picture.height() > kGifMaxSide)
        return false;
    const QImage argb = picture.convertToFormat(QImage::Format_ARGB32);
    std::optional<IndexedPicture> indexed = IndexExactly(argb);
    if (!indexed) indexed = Quantise(picture.convertToFormat(QImage::Format_RGBA8888));
    return indexed && Encode(*indexed, device);
}

}  // namespace velmora
