#include "imagefile/jpeg_reader.h"

#include <gtest/gtest.h>

#include <jpeglib.h>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <QBuffer>
#include <QImage>
#include <QImageReader>
#include <vector>

#include "test_files.h"

namespace velmora::test {
namespace {

constexpr qint64 kNoLimit = qint64{1} << 40;

struct Encoding {
    int horizontalSampling;  // of the luma component; chroma is sampled once per block
    int verticalSampling;
    int restartRows = 0;  // a restart marker every this many rows of blocks; 0: none
    bool progressive = false;
    bool grey = false;
};

// The picture encoded with libjpeg as cameras do, at the given sampling.
QByteArray EncodeJpeg(const QImage& picture, const Encoding& encoding) {
    const QImage rows = picture.convertToFormat(QImage::Format_RGB888);
    jpeg_compress_struct info{};
    jpeg_error_mgr error{};
    info.err = jpeg_std_error(&error);
    jpeg_create_compress(&info);
    unsigned char* out = nullptr;
    unsigned long size = 0;
    jpeg_mem_dest(&info, &out, &size);
    info.image_width = static_cast<JDIMENSION>(rows.width());
    info.image_height = static_cast<JDIMENSION>(rows.height());
    info.input_components = 3;
    info.in_color_space = JCS_RGB;
    jpeg_set_defaults(&info);
    jpeg_set_quality(&info, 90, TRUE);
    if (encoding.grey) jpeg_set_colorspace(&info, JCS_GRAYSCALE);
    info.comp_info[0].h_samp_factor = encoding.horizontalSampling;
    info.comp_info[0].v_samp_factor = encoding.verticalSampling;
    info.restart_in_rows = encoding.restartRows;
    if (encoding.progressive) jpeg_simple_progression(&info);
    jpeg_start_compress(&info, TRUE);
    while (info.next_scanline < info.image_height) {
        auto* line = const_cast<JSAMPLE*>(rows.constScanLine(static_cast<int>(info.next_scanline)));
        jpeg_write_scanlines(&info, &line, 1);
    }
    jpeg_finish_compress(&info);
    jpeg_destroy_compress(&info);
    QByteArray encoded(reinterpret_cast<const char*>(out), static_cast<qsizetype>(size));
    std::free(out);
    return encoded;
}

QImage QtDecode(const QByteArray& file) {
    QBuffer buffer;
    buffer.setData(file);
    buffer.open(QIODevice::ReadOnly);
    QImageReader reader(&buffer, "jpeg");
    return reader.read();
}

// Heights that do not end on a whole row of blocks, so that the last band is cut short.
TEST(BaselineJpeg, EveryBandingGivesTheOneReaderPixels) {
    const QImage picture = NoisyPicture(301, 203);
    const Encoding encodings[] = {{2, 2}, {2, 1}, {1, 1}, {1, 2}, {2, 2, 1}, {1, 1, 3}};
    for (const Encoding& encoding : encodings) {
        SCOPED_TRACE(testing::Message()
                     << encoding.horizontalSampling << "x" << encoding.verticalSampling
                     << " restart " << encoding.restartRows);
        const QByteArray file = EncodeJpeg(picture, encoding);
        const QImage expected = QtDecode(file);
        ASSERT_EQ(expected.format(), QImage::Format_RGB32);
        for (const int bands : {1, 2, 3, 4, 7, 50}) {
            SCOPED_TRACE(bands);
            const QImage decoded = DecodeBaselineJpegInBands(file, kNoLimit, bands);
            ASSERT_FALSE(decoded.isNull());
            EXPECT_EQ(decoded.format(), QImage::Format_RGB32);
            EXPECT_TRUE(decoded == expected) << "pixels differ from a one-pass decode";
        }
    }
}

TEST(BaselineJpeg, LargePicturesAreDecodedWhole) {
    const QImage picture = NoisyPicture(2100, 2050);
    const QByteArray file = EncodeJpeg(picture, {2, 2});
    const QImage decoded = DecodeBaselineJpeg(file, kNoLimit);
    ASSERT_FALSE(decoded.isNull());
    EXPECT_TRUE(decoded == QtDecode(file));
}

TEST(BaselineJpeg, LeavesOtherAndDamagedFilesToTheGeneralReader) {
    const QImage picture = NoisyPicture(120, 90);
    EXPECT_TRUE(
        DecodeBaselineJpegInBands(EncodeJpeg(picture, {2, 2, 0, true}), kNoLimit, 2).isNull())
        << "progressive";
    EXPECT_TRUE(DecodeBaselineJpegInBands(EncodeJpeg(picture, {1, 1, 0, false, true}), kNoLimit, 2)
                    .isNull())
        << "grey";
    EXPECT_TRUE(DecodeBaselineJpeg(QByteArray("not a jpeg at all"), kNoLimit).isNull());

    const QByteArray good = EncodeJpeg(picture, {2, 2});
    EXPECT_TRUE(DecodeBaselineJpeg(good, 120 * 90 * 4 - 1).isNull()) << "over the limit";
    QByteArray damaged = good;
    for (qsizetype at = good.size() / 2; at < good.size() / 2 + 64; ++at) damaged[at] = '\xff';
    for (const int bands : {1, 2, 3}) {
        SCOPED_TRACE(bands);
        EXPECT_TRUE(DecodeBaselineJpegInBands(damaged, kNoLimit, bands).isNull());
        EXPECT_TRUE(
            DecodeBaselineJpegInBands(good.left(good.size() * 2 / 3), kNoLimit, bands).isNull())
            << "cut short";
    }
}

}  // namespace
}  // namespace velmora::test
