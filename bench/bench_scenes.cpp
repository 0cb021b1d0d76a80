#include "bench_scenes.h"

#include <QFile>
#include <QImage>
#include <QString>
#include <QStringList>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <cstdlib>

#include "imagefile/image_file.h"
#include "platform/qimage_picture.h"
#include "view/selection_masks.h"

namespace velmora::bench {

namespace {

// A hash of a lattice point, in [0, 1).
double LatticeValue(std::int32_t x, std::int32_t y, std::uint32_t seed) {
    std::uint32_t h = static_cast<std::uint32_t>(x) * 0x8DA6B343u ^
                      static_cast<std::uint32_t>(y) * 0xD8163841u ^ seed * 0xCB1AB31Fu;
    h ^= h >> 15;
    h *= 0x2C1B3C6Du;
    h ^= h >> 12;
    h *= 0x297A2D39u;
    h ^= h >> 15;
    return static_cast<double>(h & 0xFFFFFFu) / 16777216.0;
}

// Smoothly interpolated lattice noise with cells of `cell` pixels, in [0, 1).
double ValueNoise(double x, double y, double cell, std::uint32_t seed) {
    const double fx = x / cell;
    const double fy = y / cell;
    const auto ix = static_cast<std::int32_t>(std::floor(fx));
    const auto iy = static_cast<std::int32_t>(std::floor(fy));
    const double tx = fx - ix;
    const double ty = fy - iy;
    const double sx = tx * tx * (3 - 2 * tx);
    const double sy = ty * ty * (3 - 2 * ty);
    const double top = LatticeValue(ix, iy, seed) * (1 - sx) + LatticeValue(ix + 1, iy, seed) * sx;
    const double bottom =
        LatticeValue(ix, iy + 1, seed) * (1 - sx) + LatticeValue(ix + 1, iy + 1, seed) * sx;
    return top * (1 - sy) + bottom * sy;
}

std::uint8_t ToByte(double v) {
    return static_cast<std::uint8_t>(std::clamp(v, 0.0, 255.0));
}

ByteGrid FromQImage(const QImage& image) {
    ByteGrid grid;
    CopyColourRect(image, {0, 0, image.width(), image.height()}, grid);
    return grid;
}

QImage ToQImage(const ByteGrid& picture) {
    QImage image(picture.width(), picture.height(), QImage::Format_RGB32);
    for (std::int32_t y = 0; y < picture.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
        const std::uint8_t* from = picture.Row(y);
        for (std::int32_t x = 0; x < picture.width(); ++x, from += 3)
            line[x] = qRgb(from[2], from[1], from[0]);
    }
    return image;
}

std::optional<FillRect> ParseRect(const QString& text, bool corners) {
    const QStringList parts = text.split(QLatin1Char(','));
    if (parts.size() != 4) return std::nullopt;
    std::int32_t v[4];
    for (int i = 0; i < 4; ++i) v[i] = parts[i].toInt();
    if (corners) return FillRect{v[0], v[1], v[2] - v[0], v[3] - v[1]};
    return FillRect{v[0], v[1], v[2], v[3]};
}

}  // namespace

CaseInputs BuildInputs(const BenchCase& c) {
    const std::int32_t width = c.picture->width();
    const std::int32_t height = c.picture->height();
    SelectionMasks masks;
    if (c.marks) {
        BuildMasksFromMarks(*c.marks, masks);
    } else {
        masks.fillMask.SetSize(width, height, 1);
        masks.fillMask.Fill(kMaskClear);
        for (std::int32_t y = std::max(c.selection.y, 0);
             y < std::min(c.selection.y + c.selection.height, height); ++y)
            for (std::int32_t x = std::max(c.selection.x, 0);
                 x < std::min(c.selection.x + c.selection.width, width); ++x)
                *masks.fillMask.At({x, y}) = kMaskSet;
        masks.selectionBounds = c.selection;
        masks.sourceRect = DeriveSourceRect(c.selection, width, height);
        masks.sourceMask.SetSize(width, height, 1);
        PaintSourceMask(masks.fillMask, masks.sourceRect, masks.sourceMask);
    }
    if (c.sourceRect) {
        masks.sourceRect = *c.sourceRect;
        PaintSourceMask(masks.fillMask, masks.sourceRect, masks.sourceMask);
    }
    return {std::move(masks.fillMask), std::move(masks.sourceMask), masks.selectionBounds,
            masks.sourceRect};
}

ByteGrid GeneratePhotoLike(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    ByteGrid picture;
    picture.SetSize(width, height, 3);
    const double scale =
        std::max(width, height) / 1000.0;  // features keep their share of the frame
    for (std::int32_t y = 0; y < height; ++y) {
        std::uint8_t* to = picture.Row(y);
        for (std::int32_t x = 0; x < width; ++x, to += 3) {
            // Sky-to-ground light, large soft regions, a surface texture and fine grain.
            const double light = 0.55 + 0.45 * (1.0 - static_cast<double>(y) / height);
            const double region = ValueNoise(x, y, 180 * scale, seed);
            const double texture =
                0.6 * ValueNoise(x, y, 9, seed + 1) + 0.4 * ValueNoise(x, y, 3, seed + 2);
            const double edge = ValueNoise(x, y, 60 * scale, seed + 3) > 0.62 ? 1.0 : 0.0;
            const double grain = LatticeValue(x, y, seed + 4) - 0.5;
            const double base = 255 * light * (0.35 + 0.5 * region) + 40 * texture - 20;
            to[0] = ToByte(base * (0.75 + 0.3 * edge) + 12 * grain);
            to[1] = ToByte(base * (0.95 - 0.25 * edge) + 12 * grain + 10 * texture);
            to[2] = ToByte(base * (0.85 + 0.2 * region) + 12 * grain);
        }
    }
    return picture;
}

std::optional<ByteGrid> LoadPicture(const std::string& path) {
    const std::optional<OpenedImage> opened = OpenImageFile(QString::fromStdString(path));
    if (!opened) return std::nullopt;
    return FromQImage(opened->image);
}

ByteGrid ScaleToMegapixels(const ByteGrid& picture, double megapixels) {
    const double factor =
        std::sqrt(megapixels * 1e6 / (static_cast<double>(picture.width()) * picture.height()));
    const QImage scaled = ToQImage(picture).scaled(static_cast<int>(picture.width() * factor),
                                                   static_cast<int>(picture.height() * factor),
                                                   Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    return FromQImage(scaled);
}

FillRect CentredSelection(std::int32_t width, std::int32_t height, SelectionSize size) {
    std::int32_t w = 40, h = 40;
    if (size == SelectionSize::Medium) {
        w = 120;
        h = 100;
    } else if (size == SelectionSize::Third) {
        w = static_cast<std::int32_t>(width / std::sqrt(3.0));
        h = static_cast<std::int32_t>(height / std::sqrt(3.0));
    } else if (size == SelectionSize::Tenth) {
        w = static_cast<std::int32_t>(width / std::sqrt(10.0));
        h = static_cast<std::int32_t>(height / std::sqrt(10.0));
    }
    return {(width - w) / 2, (height - h) / 2, w, h};
}

const char* SelectionName(SelectionSize size) {
    switch (size) {
        case SelectionSize::Small:
            return "40x40";
        case SelectionSize::Medium:
            return "120x100";
        case SelectionSize::Third:
            return "third";
        case SelectionSize::Tenth:
            return "tenth";
    }
    return "";
}

std::vector<BenchCase> ConformanceCases(const std::string& directory) {
    std::vector<BenchCase> cases;
    QFile file(QString::fromStdString(directory + "/cases.tsv"));
    if (!file.open(QIODevice::ReadOnly | QIODevice::Text)) return cases;
    QTextStream in(&file);
    in.readLine();  // the header
    const auto load = [&directory](const QString& name) -> std::shared_ptr<const ByteGrid> {
        std::optional<ByteGrid> picture = LoadPicture(directory + "/" + name.toStdString());
        return picture ? std::make_shared<const ByteGrid>(std::move(*picture)) : nullptr;
    };
    while (!in.atEnd()) {
        const QStringList f = in.readLine().split(QLatin1Char('\t'));
        if (f.size() < 6) continue;
        BenchCase c;
        c.name = f[0].toStdString();
        c.group = "conformance";
        c.picture = load(f[1]);
        c.expected = load(f[5]);
        if (!c.picture || !c.expected) continue;
        if (f[2].startsWith(QLatin1String("rect:"))) {
            c.selection = ParseRect(f[2].mid(5), true).value_or(FillRect{});
        } else {
            const std::shared_ptr<const ByteGrid> image = load(f[2].mid(5));
            if (!image) continue;
            auto marks = std::make_shared<ByteGrid>();
            marks->SetSize(image->width(), image->height(), 1);
            for (std::int32_t y = 0; y < image->height(); ++y)
                for (std::int32_t x = 0; x < image->width(); ++x)  // grey: all channels equal
                    *marks->At({x, y}) = image->At({x, y})[0] > 127 ? kMaskSet : kMaskClear;
            c.marks = std::move(marks);
        }
        if (f[3] != QLatin1String("-")) c.sourceRect = ParseRect(f[3], false);
        c.seed = f[4].toUInt();
        cases.push_back(std::move(c));
    }
    return cases;
}

CaseJob::CaseJob(const BenchCase& c, const CaseInputs& inputs) {
    image.pixels().SetSize(c.picture->width(), c.picture->height(), 3);
    std::copy(c.picture->begin(), c.picture->end(), image.pixels().begin());
    job.image = &image;
    job.fillMask = &inputs.fillMask;
    job.sourceMask = &inputs.sourceMask;
    job.selectionBounds = inputs.selectionBounds;
    job.sourceRect = inputs.sourceRect;
    job.busy = &busy;
    job.stopRequested = &stop;
    job.post = [](int) {};
    job.seedClock = [seed = c.seed] { return seed; };
}

CaseChoice::CaseChoice(int defaultRepeat)
    : repeat(defaultRepeat),
      photoDirectories{VELMORA_SOURCE_DIR "/assets/sample", VELMORA_SOURCE_DIR "/bench/photos"} {}

bool CaseChoice::Read(int& i, int argc, char** argv) {
    const std::string arg = argv[i];
    if (i + 1 >= argc) return false;
    if (arg == "--repeat") {
        repeat = std::max(1, std::atoi(argv[++i]));
    } else if (arg == "--only") {
        only = argv[++i];
    } else if (arg == "--photos") {
        photoDirectories.push_back(argv[++i]);
    } else {
        return false;
    }
    return true;
}

}  // namespace velmora::bench
