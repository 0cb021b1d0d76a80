#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QImage>
#include <optional>

#include "imagefile/image_metadata.h"

namespace velmora {

// Whether the bytes start like a HEIF container (HEIC, HEIF, AVIF).
[[nodiscard]] bool LooksLikeHeif(QByteArrayView file);

struct DecodedHeif {
    QImage image;  // upright (the container's rotation and mirroring applied), ARGB32 or RGB32
    ImageMetadata metadata;
    int topLevelImages = 0;
};

// Decodes the primary picture of a HEIF file. Empty when it cannot be decoded, or would take more
// than `maxBytes` decoded.
[[nodiscard]] std::optional<DecodedHeif> DecodeHeif(QByteArrayView file, qint64 maxBytes);

enum class HeifCodec { Hevc, Av1 };

// Encodes a picture as HEIC (HEVC) or AVIF (AV1) at the encoder's best lossy quality and its
// fastest settings, with the metadata the container can hold. Empty when the encoder is missing or
// fails.
[[nodiscard]] std::optional<QByteArray> EncodeHeif(const QImage& image,
                                                   const ImageMetadata& metadata, HeifCodec codec);

}  // namespace velmora
