#include "jpeg_reader.h"

#include <sched.h>

// libjpeg's header needs size_t and FILE declared before it.
#include <jpeglib.h>
#include <csetjmp>
#include <cstddef>
#include <cstdio>

#include <algorithm>
#include <atomic>
#include <thread>
#include <vector>

namespace velmora {

namespace {

// Below this many pixels one thread decodes the whole picture: threads would cost more than the
// skipped work saves.
constexpr qint64 kPixelsPerBand = 2'000'000;
// Beyond this many bands each new one saves less than its skipping costs.
constexpr int kMostBands = 4;

// libjpeg reports errors through a callback that must not return; it jumps back to the decode.
struct ErrorJump {
    jpeg_error_mgr manager{};
    std::jmp_buf back{};
};

[[noreturn]] void JumpBack(j_common_ptr info) {
    std::longjmp(reinterpret_cast<ErrorJump*>(info->err)->back, 1);
}

void IgnoreMessage(j_common_ptr) {}

// The memory layout of Format_RGB32: 0xffRRGGBB in native byte order.
constexpr J_COLOR_SPACE kRgb32Layout =
    Q_BYTE_ORDER == Q_LITTLE_ENDIAN ? JCS_EXT_BGRX : JCS_EXT_XRGB;

// Rows of the picture being decoded, written by several threads at once: each its own band.
// Taken once, as QImage's non-const row access is not for use from several threads.
struct Rows {
    uchar* first;
    qsizetype stride;
    [[nodiscard]] JSAMPROW Row(JDIMENSION y) const {
        return first + static_cast<qsizetype>(y) * stride;
    }
};

// One decoder over the whole file. Holds no C++ objects, so a jump out of libjpeg skips no
// destructor.
class Decoder {
  public:
    explicit Decoder(QByteArrayView file) : file_(file) {}
    Decoder(const Decoder&) = delete;
    Decoder& operator=(const Decoder&) = delete;
    ~Decoder() {
        if (created_) jpeg_destroy_decompress(&info_);
    }

    // Reads the header; false for anything but a baseline colour picture.
    bool ReadHeader() {
        info_.err = jpeg_std_error(&error_.manager);
        error_.manager.error_exit = JumpBack;
        error_.manager.output_message = IgnoreMessage;
        if (setjmp(error_.back) != 0) return false;
        jpeg_create_decompress(&info_);
        created_ = true;
        jpeg_mem_src(&info_, reinterpret_cast<const unsigned char*>(file_.data()),
                     static_cast<unsigned long>(file_.size()));
        if (jpeg_read_header(&info_, TRUE) != JPEG_HEADER_OK) return false;
        if (info_.progressive_mode || info_.num_components != 3 ||
            (info_.jpeg_color_space != JCS_YCbCr && info_.jpeg_color_space != JCS_RGB))
            return false;
        info_.out_color_space = kRgb32Layout;
        return true;
    }

    [[nodiscard]] int Width() const { return static_cast<int>(info_.image_width); }
    [[nodiscard]] int Height() const { return static_cast<int>(info_.image_height); }
    // Rows a band should start on: whole rows of coded blocks.
    [[nodiscard]] int RowGroup() const { return info_.max_v_samp_factor * DCTSIZE; }

    // Decodes rows [first, end) of a picture of the header's size; false on any error or
    // warning.
    bool DecodeRows(const Rows& rows, int first, int end) {
        if (setjmp(error_.back) != 0) return false;
        jpeg_start_decompress(&info_);
        if (info_.output_width != info_.image_width || info_.output_height != info_.image_height)
            return false;
        if (first > 0 && jpeg_skip_scanlines(&info_, static_cast<JDIMENSION>(first)) !=
                             static_cast<JDIMENSION>(first))
            return false;
        while (info_.output_scanline < static_cast<JDIMENSION>(end)) {
            JSAMPROW line = rows.Row(info_.output_scanline);
            if (jpeg_read_scanlines(&info_, &line, 1) != 1) return false;
        }
        const bool clean = error_.manager.num_warnings == 0;
        jpeg_abort_decompress(&info_);
        return clean;
    }

  private:
    QByteArrayView file_;
    jpeg_decompress_struct info_{};
    ErrorJump error_;
    bool created_ = false;
};

int UsableThreads() {
    cpu_set_t set;
    CPU_ZERO(&set);
    if (sched_getaffinity(0, sizeof(set), &set) != 0) return 1;
    return std::max(1, CPU_COUNT(&set));
}

bool DecodeBand(QByteArrayView file, const Rows& rows, int first, int end) {
    Decoder decoder(file);
    return decoder.ReadHeader() && decoder.DecodeRows(rows, first, end);
}

}  // namespace

QImage DecodeBaselineJpegInBands(QByteArrayView file, qint64 maxBytes, int bands) {
    Decoder header(file);
    if (!header.ReadHeader()) return {};
    const qint64 pixels = qint64{header.Width()} * header.Height();
    if (pixels <= 0 || pixels * 4 > maxBytes) return {};
    QImage picture(header.Width(), header.Height(), QImage::Format_RGB32);
    if (picture.isNull()) return {};
    const Rows rows{picture.bits(), picture.bytesPerLine()};
    const int group = header.RowGroup();
    bands = std::clamp(bands, 1, (picture.height() + group - 1) / group);
    if (bands == 1) return header.DecodeRows(rows, 0, picture.height()) ? picture : QImage();

    // Band edges on whole row groups.
    std::vector<int> edges{0};
    const int groups = (picture.height() + group - 1) / group;
    for (int band = 1; band < bands; ++band) edges.push_back(groups * band / bands * group);
    edges.push_back(picture.height());
    std::atomic<bool> failed{false};
    {
        std::vector<std::jthread> helpers;
        for (int band = 1; band < bands; ++band)
            helpers.emplace_back([&, band] {
                if (!DecodeBand(file, rows, edges[band], edges[band + 1])) failed = true;
            });
        if (!header.DecodeRows(rows, edges[0], edges[1])) failed = true;
    }
    return failed ? QImage() : picture;
}

QImage DecodeBaselineJpeg(QByteArrayView file, qint64 maxBytes) {
    Decoder header(file);
    if (!header.ReadHeader()) return {};
    const qint64 pixels = qint64{header.Width()} * header.Height();
    const auto bands = static_cast<int>(
        std::clamp<qint64>(pixels / kPixelsPerBand, 1, std::min(kMostBands, UsableThreads())));
    return DecodeBaselineJpegInBands(file, maxBytes, bands);
}

}  // namespace velmora
