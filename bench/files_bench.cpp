// Open and save times of large photographs in the formats the program writes, the 48-megapixel
// JPEG open against libjpeg-turbo's djpeg on the same file, and PNG's zlib levels (time against
// size). Photographs are the bundled ones resampled, with a little noise as a camera's sensor
// leaves it (a smooth upscale would compress far better than a photograph does).
#include <QBuffer>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QGuiApplication>
#include <QImageWriter>
#include <QPainter>
#include <QProcess>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cstdio>
#include <random>

#include "imagefile/image_file.h"

namespace {

using namespace velmora;

struct Size {
    const char* name;
    int width;
    int height;
};
constexpr Size kSizes[] = {{"9 MP", 4000, 2250}, {"24 MP", 6000, 4000}, {"48 MP", 8000, 6000}};
constexpr const char* kFormats[] = {"jpg", "png", "tif", "heic", "avif"};

QImage Photograph(const QString& sourceDir, const Size& size) {
    // The two bundled photographs side by side, scaled to fill the frame.
    QImage frame(size.width, size.height, QImage::Format_RGB32);
    QPainter painter(&frame);
    painter.setRenderHint(QPainter::SmoothPixmapTransform);
    const QImage left(sourceDir + QStringLiteral("/meadow.jpg"));
    const QImage right(sourceDir + QStringLiteral("/ladybird.jpg"));
    painter.drawImage(QRect(0, 0, size.width / 2, size.height), left);
    painter.drawImage(QRect(size.width / 2, 0, size.width - size.width / 2, size.height), right);
    painter.end();
    std::mt19937 random(1);
    std::uniform_int_distribution<int> noise(-3, 3);
    for (int y = 0; y < frame.height(); ++y) {
        auto* line = reinterpret_cast<QRgb*>(frame.scanLine(y));
        for (int x = 0; x < frame.width(); ++x) {
            const int n = noise(random);
            line[x] =
                qRgb(std::clamp(qRed(line[x]) + n, 0, 255), std::clamp(qGreen(line[x]) + n, 0, 255),
                     std::clamp(qBlue(line[x]) + n, 0, 255));
        }
    }
    return frame;
}

template <typename F>
double BestSeconds(int runs, F&& work) {
    double best = 1e9;
    for (int i = 0; i < runs; ++i) {
        QElapsedTimer timer;
        timer.start();
        work();
        best = std::min(best, static_cast<double>(timer.nsecsElapsed()) / 1e9);
    }
    return best;
}

// Qt's PNG writer takes a "compression" of 0 to 100 (zlib level = compression * 9 / 91; none
// given: zlib's default, level 6).
void PngLevels(const QImage& picture, QTextStream& out) {
    struct Row {
        int compression;
        double seconds;
        qint64 bytes;
    };
    const auto measure = [&picture](int compression) {
        qint64 bytes = 0;
        const double seconds = BestSeconds(2, [&] {
            QByteArray encoded;
            QBuffer buffer(&encoded);
            buffer.open(QIODevice::WriteOnly);
            QImageWriter writer(&buffer, "png");
            if (compression >= 0) writer.setCompression(compression);
            writer.write(picture);
            bytes = encoded.size();
        });
        return Row{compression, seconds, bytes};
    };
    std::vector<Row> rows;
    for (const int compression : {-1, 11, 21, 31, 41, 51, 61, 71, 81, 91})
        rows.push_back(measure(compression));
    out << "\nPNG compression, 9 MP (encode in memory, best of 2):\n\n"
        << "| Qt compression | zlib level | seconds | MB | size vs default "
           "|\n|---|---|---|---|---|\n";
    for (const Row& row : rows)
        out << "| "
            << (row.compression < 0 ? QStringLiteral("default") : QString::number(row.compression))
            << " | " << (row.compression < 0 ? 6 : row.compression * 9 / 91) << " | "
            << QString::number(row.seconds, 'f', 2) << " | "
            << QString::number(static_cast<double>(row.bytes) / 1e6, 'f', 1) << " | "
            << QString::number(
                   100.0 * static_cast<double>(row.bytes) / static_cast<double>(rows[0].bytes), 'f',
                   0)
            << " % |\n";
    out << "\n";
    out.flush();
}

double DjpegSeconds(const QString& path) {
    return BestSeconds(3, [&] {
        QProcess djpeg;
        djpeg.start(QStringLiteral("djpeg"),
                    {QStringLiteral("-outfile"), QStringLiteral("/dev/null"), path});
        djpeg.waitForFinished(-1);
    });
}

}  // namespace

int main(int argc, char** argv) {
    QGuiApplication app(argc, argv);
    const QStringList arguments = app.arguments();
    const bool quick = arguments.contains(QStringLiteral("--quick"));
    const bool levels = arguments.contains(QStringLiteral("--png-levels"));
    QTextStream out(stdout);
    QTemporaryDir scratch;
    const QString sourceDir = QStringLiteral(VELMORA_SOURCE_DIR "/assets/sample");

    out << "| picture | format | save s | open s | file MB |\n|---|---|---|---|---|\n";
    out.flush();
    double jpegOpen48 = 0;
    QString jpeg48;
    for (const Size& size : kSizes) {
        if (quick && size.width > 4000) break;
        const QImage picture = Photograph(sourceDir, size);
        if (levels && size.width == 4000) PngLevels(picture, out);
        const int runs = size.width > 4000 ? 1 : 3;
        for (const char* format : kFormats) {
            const QString path = scratch.filePath(
                QStringLiteral("%1.%2").arg(size.width).arg(QLatin1String(format)));
            const double save = BestSeconds(runs, [&] { SaveImageFile(picture, {}, path); });
            const double open = BestSeconds(runs, [&] { (void)OpenImageFile(path); });
            out << "| " << size.name << " | " << format << " | " << QString::number(save, 'f', 2)
                << " | " << QString::number(open, 'f', 2) << " | "
                << QString::number(static_cast<double>(QFileInfo(path).size()) / 1e6, 'f', 1)
                << " |\n";
            out.flush();
            if (size.width == 8000 && QLatin1String(format) == QLatin1String("jpg")) {
                jpegOpen48 = BestSeconds(3, [&] { (void)OpenImageFile(path); });
                jpeg48 = path;
            }
        }
    }
    if (!jpeg48.isEmpty()) {
        const double djpeg = DjpegSeconds(jpeg48);
        out << "\n48 MP JPEG open: " << QString::number(jpegOpen48, 'f', 3)
            << " s; djpeg: " << QString::number(djpeg, 'f', 3) << " s; ratio "
            << QString::number(jpegOpen48 / djpeg, 'f', 2) << "\n";
    }
    return 0;
}
