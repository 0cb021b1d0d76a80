#include "heif_codec.h"

#include <libheif/heif.h>

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
    if (width <= 0 || height <= 0 || width * height * 4 > maxBytes) return std::nullopt;

    const bool alpha = heif_image_handle_has_alpha_channel(handle.get()) != 0;
    const HeifPtr<heif_decoding_options> options(heif_decoding_options_alloc());
    heif_image* rawImage = nullptr;
    if (!Ok(heif_decode_image(handle.get(), &rawImage, heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              options.get())))
        return std::nullopt;
    const HeifPtr<heif_image> image(rawImage);
    int stride = 0;
    const uint8_t* plane =
        heif_image_get_plane_readonly(image.get(), heif_channel_interleaved, &stride);
    const int decodedWidth = heif_image_get_width(image.get(), heif_channel_interleaved);
    const int decodedHeight = heif_image_get_height(image.get(), heif_channel_interleaved);
    if (plane == nullptr || decodedWidth <= 0 || decodedHeight <= 0) return std::nullopt;

    // A view of libheif's rows, converted into a picture of the program's own.
    const QImage view(plane, decodedWidth, decodedHeight, stride,
                      alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    DecodedHeif decoded;
    decoded.image = view.convertToFormat(alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
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
    const QImage rows =
        image.convertToFormat(alpha ? QImage::Format_RGBA8888 : QImage::Format_RGB888);
    if (rows.isNull()) return std::nullopt;

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
    if (!Ok(heif_image_create(rows.width(), rows.height(), heif_colorspace_RGB,
                              alpha ? heif_chroma_interleaved_RGBA : heif_chroma_interleaved_RGB,
                              &rawImage)))
        return std::nullopt;
    const HeifPtr<heif_image> heifImage(rawImage);
    if (!Ok(heif_image_add_plane(heifImage.get(), heif_channel_interleaved, rows.width(),
                                 rows.height(), 8)))
        return std::nullopt;
    int stride = 0;
    uint8_t* plane = heif_image_get_plane(heifImage.get(), heif_channel_interleaved, &stride);
    if (plane == nullptr) return std::nullopt;
    const auto rowBytes = static_cast<std::size_t>(rows.width()) * (alpha ? 4 : 3);
    for (int y = 0; y < rows.height(); ++y)
        std::memcpy(plane + static_cast<std::ptrdiff_t>(y) * stride, rows.constScanLine(y),
                    rowBytes);
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
