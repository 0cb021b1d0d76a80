#include "heif_codec.h"

#include <libheif/heif.h>

#include <QRgba64>
#include <algorithm>
#include <cstdint>
#include <cstring>
#include <memory>

namespace velmora {

namespace {

struct HeifDeleter {
    void operator()(heif_context* p) const { heif_context_free(p); }
    void operator()(heif_image_handle* p) const { heif_image_handle_release(p); }
    void operator()(heif_image* p) const { heif_image_release(p); }
    void operator()(heif_encoder* p) const { heif_encoder_release(p); }
    void operator()(heif_decoding_options* p) const { heif_decoding_options_free(p); }
    void operator()(heif_encoding_options* p) const { heif_encoding_options_free(p); }
};
template <typename T>
using HeifPtr = std::unique_ptr<T, HeifDeleter>;

bool Ok(const heif_error& error) {
    return error.code == heif_error_Ok;
}

// EXIF blocks in HEIF start with the big-endian offset of the TIFF header behind them.
QByteArray ExifOfHandle(const heif_image_handle* handle) {
    heif_item_id id = 0;
    if (heif_image_handle_get_list_of_metadata_block_IDs(handle, "Exif", &id, 1) != 1) return {};
    const std::size_t size = heif_image_handle_get_metadata_size(handle, id);
    if (size < 4 || size > (1u << 20)) return {};
    QByteArray block(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (!Ok(heif_image_handle_get_metadata(handle, id, block.data()))) return {};
    const auto* bytes = reinterpret_cast<const unsigned char*>(block.constData());
    const std::uint32_t offset = (std::uint32_t{bytes[0]} << 24) | (std::uint32_t{bytes[1]} << 16) |
                                 (std::uint32_t{bytes[2]} << 8) | std::uint32_t{bytes[3]};
    if (offset > size - 4) return {};
    return CarryableExif(QByteArrayView(block).sliced(4 + static_cast<qsizetype>(offset)));
}

QByteArray XmpOfHandle(const heif_image_handle* handle) {
    heif_item_id ids[8] = {};
    const int count = heif_image_handle_get_list_of_metadata_block_IDs(handle, "mime", ids, 8);
    for (int i = 0; i < count; ++i) {
        const char* type = heif_image_handle_get_metadata_content_type(handle, ids[i]);
        if (type == nullptr || std::strcmp(type, "application/rdf+xml") != 0) continue;
        const std::size_t size = heif_image_handle_get_metadata_size(handle, ids[i]);
        if (size == 0 || size > (1u << 20)) return {};
        QByteArray xmp(static_cast<qsizetype>(size), Qt::Uninitialized);
        if (!Ok(heif_image_handle_get_metadata(handle, ids[i], xmp.data()))) return {};
        return CarryableXmp(xmp);
    }
    return {};
}

QByteArray IccOfHandle(const heif_image_handle* handle) {
    const std::size_t size = heif_image_handle_get_raw_color_profile_size(handle);
    if (size == 0 || size > (4u << 20)) return {};
    QByteArray icc(static_cast<qsizetype>(size), Qt::Uninitialized);
    if (!Ok(heif_image_handle_get_raw_color_profile(handle, icc.data()))) return {};
    return icc;
}

heif_error AppendToArray(heif_context*, const void* data, size_t size, void* userdata) {
    static_cast<QByteArray*>(userdata)->append(static_cast<const char*>(data),
                                               static_cast<qsizetype>(size));
    return heif_error{heif_error_Ok, heif_suberror_Unspecified, ""};
}

heif_chroma InterleavedChroma(bool alpha, bool deep) {
    if (deep)
        return alpha ? heif_chroma_interleaved_RRGGBBAA_LE : heif_chroma_interleaved_RRGGBB_LE;
    return alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB;
}

// libheif's decoded rows as a picture of the program's own, 8 bits per channel.
QImage EightBitPicture(const heif_image* image, bool alpha) {
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    if (plane == nullptr || width <= 0 || height <= 0) return {};
    const QImage view(plane, width, height, stride,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    return view.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
}

// Rows of 10- or 12-bit samples (little-endian, in 16-bit words) as a 16-bit picture: each
// sample stretched to the full 16-bit range, so that 16-bit files saved from it keep its depth.
QImage DeepPicture(const heif_image* image, bool alpha) {
    int stride = 0;
    const uint8_t* plane = heif_image_get_plane_readonly(image, heif_channel_interleaved, &stride);
    const int width = heif_image_get_width(image, heif_channel_interleaved);
    const int height = heif_image_get_height(image, heif_channel_interleaved);
    const int bits = heif_image_get_bits_per_pixel_range(image, heif_channel_interleaved);
    if (plane == nullptr || width <= 0 || height <= 0 || bits <= 8 || bits > 16) return {};
    QImage picture(width, height, alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64);
    if (picture.isNull()) return {};
    const std::uint32_t top = (1u << bits) - 1;
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < height; ++y) {
        const uint8_t* in = plane + static_cast<std::ptrdiff_t>(y) * stride;
        auto* out = reinterpret_cast<QRgba64*>(picture.scanLine(y));
        for (int x = 0; x < width; ++x, in += 2 * channels) {
            std::uint16_t sample[4] = {0, 0, 0, 0xffff};
            for (int c = 0; c < channels; ++c) {
                const std::uint32_t value =
                    std::min<std::uint32_t>(in[2 * c] | (in[2 * c + 1] << 8), top);
                sample[c] = static_cast<std::uint16_t>((value * 0xffffu + top / 2) / top);
            }
            out[x] = QRgba64::fromRgba64(sample[0], sample[1], sample[2], sample[3]);
        }
    }
    return picture;
}

// How many bits a saved file keeps per channel: 10 for a deep picture in HEVC, else 8. The AV1
// encoder of this libheif aborts the process on 10-bit 4:4:4 input (a wrong profile), and 4:2:0
// would halve the colour resolution of every picture; AVIF stays at 8 bits.
int EncodedDepth(const QImage& image, HeifCodec codec) {
    return codec == HeifCodec::Hevc && image.depth() > 32 ? 10 : 8;
}

// Fills libheif's interleaved plane from the picture, at 8 or 10 bits per channel.
bool CopyIntoPlane(heif_image* heifImage, const QImage& image, bool alpha, int bits) {
    const QImage rows =
        bits > 8 ? image.convertToFormat(alpha ? QImage::Format_RGBA64 : QImage::Format_RGBX64)
                 : image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (rows.isNull() || !Ok(heif_image_add_plane(heifImage, heif_channel_interleaved, rows.width(),
                                                  rows.height(), bits)))
        return false;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(heifImage, heif_channel_interleaved, &stride);
    if (plane == nullptr) return false;
    const int channels = alpha ? 4 : 3;
    for (int y = 0; y < rows.height(); ++y) {
        uint8_t* out = plane + static_cast<std::ptrdiff_t>(y) * stride;
        if (bits == 8) {
            std::memcpy(out, rows.constScanLine(y),
                        static_cast<std::size_t>(rows.width()) * channels);
            continue;
        }
        const auto* in = reinterpret_cast<const QRgba64*>(rows.constScanLine(y));
        const std::uint32_t top = (1u << bits) - 1;
        for (int x = 0; x < rows.width(); ++x) {
            const std::uint16_t sample[4] = {in[x].red(), in[x].green(), in[x].blue(),
                                             in[x].alpha()};
            for (int c = 0; c < channels; ++c, out += 2) {
                const std::uint32_t value = (sample[c] * top + 0x7fffu) / 0xffffu;
                out[0] = static_cast<uint8_t>(value & 0xff);
                out[1] = static_cast<uint8_t>(value >> 8);
            }
        }
    }
    return true;
}

}  // namespace

bool LooksLikeHeif(QByteArrayView file) {
    if (file.size() < 12) return false;
    const heif_filetype_result type =
        heif_check_filetype(reinterpret_cast<const uint8_t*>(file.data()), 12);
    return type == heif_filetype_yes_supported || type == heif_filetype_yes_unsupported;
}

std::optional<DecodedHeif> DecodeHeif(QByteArrayView file, qint64 maxBytes) {
    const HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) return std::nullopt;
    if (!Ok(heif_context_read_from_memory_without_copy(context.get(), file.data(),
                                                       static_cast<size_t>(file.size()), nullptr)))
        return std::nullopt;
    heif_image_handle* rawHandle = nullptr;
    if (!Ok(heif_context_get_primary_image_handle(context.get(), &rawHandle))) return std::nullopt;
    const HeifPtr<heif_image_handle> handle(rawHandle);
    const qint64 width = heif_image_handle_get_width(handle.get());
    const qint64 height = heif_image_handle_get_height(handle.get());
    const bool deep = heif_image_handle_get_luma_bits_per_pixel(handle.get()) > 8;
    if (width <= 0 || height <= 0 || width * height * (deep ? 8 : 4) > maxBytes)
        return std::nullopt;

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    if (!Ok(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              InterleavedChroma(alpha, deep), options.get())))
        return std::nullopt;
    const HeifPtr<heif_image> image(rawImage);
    DecodedHeif decoded;
    decoded.image = deep ? DeepPicture(image.get(), alpha) : EightBitPicture(image.get(), alpha);
    if (decoded.image.isNull()) return std::nullopt;
    decoded.metadata.exif = ExifOfHandle(handle.get());
    decoded.metadata.xmp = XmpOfHandle(handle.get());
    decoded.metadata.icc = IccOfHandle(handle.get());
    decoded.topLevelImages = heif_context_get_number_of_top_level_images(context.get());
    return decoded;
}

std::optional<QByteArray> EncodeHeif(const QImage& image, const ImageMetadata& metadata,
                                     HeifCodec codec) {
    if (image.isNull()) return std::nullopt;
    const bool alpha = image.hasAlphaChannel();
    const int bits = EncodedDepth(image, codec);

    const HeifPtr<heif_context> context(heif_context_alloc());
    if (!context) return std::nullopt;
    heif_encoder* rawEncoder = nullptr;
    const heif_compression_format format =
        codec == HeifCodec::Hevc ? heif_compression_HEVC : heif_compression_AV1;
    if (!Ok(heif_context_get_encoder_for_format(context.get(), format, &rawEncoder)))
        return std::nullopt;
    const HeifPtr<heif_encoder> encoder(rawEncoder);
    if (!Ok(heif_encoder_set_lossy_quality(encoder.get(), 100))) return std::nullopt;
    // The encoders' slower settings take several times as long for a file of about the same
    // size at this quality (bench/README.md). Settings an encoder lacks are skipped.
    if (codec == HeifCodec::Hevc)
        heif_encoder_set_parameter_string(encoder.get(), "preset", "ultrafast");
    else
        heif_encoder_set_parameter_integer(encoder.get(), "speed", 8);

    heif_image* rawImage = nullptr;
    if (!Ok(heif_image_create(image.width(), image.height(), heif_colorspace_RGB,
                              InterleavedChroma(alpha, bits > 8), &rawImage)))
        return std::nullopt;
    const HeifPtr<heif_image> heifImage(rawImage);
    if (!CopyIntoPlane(heifImage.get(), image, alpha, bits)) return std::nullopt;
    if (!metadata.icc.isEmpty() &&
        !Ok(heif_image_set_raw_color_profile(heifImage.get(), "prof", metadata.icc.constData(),
                                             static_cast<size_t>(metadata.icc.size()))))
        return std::nullopt;

    heif_image_handle* rawHandle = nullptr;
    if (!Ok(heif_context_encode_image(context.get(), heifImage.get(), encoder.get(), nullptr,
                                      &rawHandle)))
        return std::nullopt;
    const HeifPtr<heif_image_handle> handle(rawHandle);
    if (!metadata.exif.isEmpty() &&
        !Ok(heif_context_add_exif_metadata(context.get(), handle.get(), metadata.exif.constData(),
                                           static_cast<int>(metadata.exif.size()))))
        return std::nullopt;
    if (!metadata.xmp.isEmpty() &&
        !Ok(heif_context_add_XMP_metadata(context.get(), handle.get(), metadata.xmp.constData(),
                                          static_cast<int>(metadata.xmp.size()))))
        return std::nullopt;

    QByteArray encoded;
    heif_writer writer{1, AppendToArray};
    if (!Ok(heif_context_write(context.get(), &writer, &encoded))) return std::nullopt;
    return encoded;
}

}  // namespace velmora
