#include "erase_command.h"

#include <unistd.h>

#include <QElapsedTimer>
#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <mutex>
#include <optional>
#include <thread>

#include "document/document_texts.h"
#include "engine/fill_job.h"
#include "imagefile/encoded_file_writer.h"
#include "imagefile/image_file.h"
#include "platform/qimage_picture.h"
#include "view/selection_masks.h"

namespace velmora {

namespace {

constexpr int kMaskThreshold = 127;
constexpr int kProgressBarWidth = 40;

struct SelectionResult {
    std::optional<SelectionMasks> masks;
    int exitCode = kExitOk;
    QString message;  // why there are no masks, or a warning about the ones given
};

SelectionResult Fail(int exitCode, const QString& message) {
    return {std::nullopt, exitCode, message};
}

SelectionResult MasksFromFile(const QString& path, const QSize& pictureSize) {
    const std::optional<OpenedImage> opened = OpenImageFile(path);
    if (!opened) return Fail(kExitFileError, QString::fromUtf8(kCannotOpenImageText));
    if (opened->image.size() != pictureSize)
        return Fail(kExitUsage, QStringLiteral("the mask is %1 x %2, the picture %3 x %4")
                                    .arg(opened->image.width())
                                    .arg(opened->image.height())
                                    .arg(pictureSize.width())
                                    .arg(pictureSize.height()));
    const QImage grey = opened->image.convertToFormat(QImage::Format_Grayscale8);
    ByteGrid marks;
    marks.SetSize(grey.width(), grey.height(), 1);
    for (int y = 0; y < grey.height(); ++y) {
        const uchar* line = grey.constScanLine(y);
        std::uint8_t* row = marks.Row(y);
        for (int x = 0; x < grey.width(); ++x)
            row[x] = line[x] > kMaskThreshold ? kMaskSet : kMaskClear;
    }
    SelectionMasks masks;
    BuildMasksFromMarks(marks, masks);
    return {std::move(masks), kExitOk, {}};
}

bool HasUsableSource(const SelectionMasks& masks) {
    const FillRect& area = masks.sourceRect;
    if (!area.LiesInside(masks.sourceMask.width(), masks.sourceMask.height())) return false;
    for (std::int32_t y = area.y; y < area.y + area.height; ++y) {
        const std::uint8_t* row = masks.sourceMask.Row(y) + area.x;
        if (std::any_of(row, row + area.width, [](std::uint8_t b) { return b != kMaskSet; }))
            return true;
    }
    return false;
}

SelectionResult BuildSelection(const EraseOptions& options, const QSize& pictureSize) {
    SelectionResult result;
    if (options.selectionKind == SelectionKind::MaskFile) {
        result = MasksFromFile(options.maskPath, pictureSize);
        if (!result.masks) return result;
    } else {
        SelectionMasks masks;
        masks.fillMask.SetSize(pictureSize.width(), pictureSize.height(), 1);
        masks.sourceMask.SetSize(pictureSize.width(), pictureSize.height(), 1);
        BuildSelectionMasks(options.outline, ViewMapping{}, false, masks);
        result.masks = std::move(masks);
    }
    SelectionMasks& masks = *result.masks;
    if (std::none_of(masks.fillMask.begin(), masks.fillMask.end(),
                     [](std::uint8_t b) { return b != 0; }))
        return Fail(kExitUsage, QStringLiteral("the selection marks no pixel of the picture"));
    if (options.sourceRect) {
        masks.sourceRect = *options.sourceRect;
        PaintSourceMask(masks.fillMask, masks.sourceRect, masks.sourceMask);
    }
    // The fill then ends at once and the picture is written unchanged, as the engine defines it;
    // the user is told why.
    if (!HasUsableSource(masks))
        result.message =
            QStringLiteral(
                "nothing will be filled: the source rectangle leaves the %1 x %2 picture or lies "
                "wholly inside the selection")
                .arg(pictureSize.width())
                .arg(pictureSize.height());
    return result;
}

// Draws "[####    ]  42%" over itself on the error stream.
class ConsoleProgress {
  public:
    ConsoleProgress(QTextStream& err, bool enabled) : err_(err), enabled_(enabled) {}

    void Report(const FillJobStats& stats) {
        if (!enabled_) return;
        const std::int64_t length = 2 * stats.marked;
        const std::int64_t step = ProgressStep(length);
        const std::int64_t expected = std::max<std::int64_t>((length + step - 1) / step, 1);
        const auto percent = static_cast<int>(
            std::min<std::int64_t>(100, (stats.progressReports - 1) * 100 / expected));
        const int filled = percent * kProgressBarWidth / 100;
        err_ << '\r' << '[' << QString(filled, QLatin1Char('#'))
             << QString(kProgressBarWidth - filled, QLatin1Char(' ')) << "] "
             << QString::number(percent).rightJustified(3) << '%' << Qt::flush;
        shown_ = true;
    }
    void Finish() {
        if (shown_)
            err_ << '\r' << QString(kProgressBarWidth + 8, QLatin1Char(' ')) << '\r' << Qt::flush;
    }

  private:
    QTextStream& err_;
    bool enabled_;
    bool shown_ = false;
};

SaveOutcome WriteToStandardOutput(const QImage& picture, const ImageMetadata& metadata,
                                  const ImageEncoder& encoder) {
    try {
        const std::optional<QByteArray> encoded = EncodeImage(picture, metadata, encoder);
        return encoded && WriteEncodedBytes(STDOUT_FILENO, *encoded) ? SaveOutcome::Saved
                                                                     : SaveOutcome::WriteFailed;
    } catch (const std::bad_alloc&) {
        return SaveOutcome::WriteFailed;
    }
}

}  // namespace

int RunErase(const EraseOptions& options, EraseStreams streams, std::atomic<bool>& stopRequested) {
    std::optional<OpenedImage> opened = OpenImageFile(options.input);
    if (!opened) {
        streams.err << QString::fromUtf8(kCannotOpenImageText) << '\n' << Qt::flush;
        return kExitFileError;
    }
    if (opened->otherPagesDropped)
        streams.err << QString::fromUtf8(kOnlyFirstPageText) << '\n' << Qt::flush;
    QImage& picture = opened->image;

    const SelectionResult selection = BuildSelection(options, picture.size());
    if (!selection.message.isEmpty()) streams.err << selection.message << '\n' << Qt::flush;
    if (!selection.masks) return selection.exitCode;
    // Standard output gets the input's format.
    const bool toStandardOutput = options.output == QLatin1String(kStandardOutputName);
    const QString& formatName = toStandardOutput ? options.input : options.output;
    const qsizetype dot = formatName.lastIndexOf(QLatin1Char('.'));
    const std::optional<ImageEncoder> encoder =
        dot < 0 ? std::nullopt : FindEncoder(formatName.mid(dot));
    if (!encoder) {
        streams.err << QString::fromUtf8(kUnknownFormatText) << '\n' << Qt::flush;
        return kExitFileError;
    }

    std::mutex pictureGuard;
    QImagePicture target(picture, pictureGuard);
    std::atomic<bool> busy{true};
    ConsoleProgress progress(streams.err, streams.showProgress);
    FillJob job;
    job.image = &target;
    job.fillMask = &selection.masks->fillMask;
    job.sourceMask = &selection.masks->sourceMask;
    job.selectionBounds = selection.masks->selectionBounds;
    job.sourceRect = selection.masks->sourceRect;
    job.busy = &busy;
    job.stopRequested = &stopRequested;
    job.post = [&job, &progress](int command) {
        if (command == ID_FILL_PROGRESS) progress.Report(job.stats);
    };
    if (options.seed) job.seedClock = [seed = *options.seed] { return seed; };
    job.threads = options.threads;

    QElapsedTimer timer;
    timer.start();
    std::thread worker(FillThreadProc, &job);
    worker.join();
    const double seconds = static_cast<double>(timer.nsecsElapsed()) / 1e9;
    progress.Finish();
    if (job.stats.outOfMemory) {
        // What the progress steps wrote is no result; the output is left alone.
        streams.err << QString::fromUtf8(kNoMemoryForFillText) << '\n' << Qt::flush;
        return kExitNoMemory;
    }

    const SaveOutcome saved = toStandardOutput
                                  ? WriteToStandardOutput(picture, opened->metadata, *encoder)
                                  : SaveImageFile(picture, opened->metadata, options.output);
    if (saved != SaveOutcome::Saved) {
        streams.err << SaveOutcomeMessage(saved) << '\n' << Qt::flush;
        return kExitFileError;
    }
    // The picture owns standard output when it went there.
    (toStandardOutput ? streams.err : streams.out)
        << "marked=" << job.stats.marked << " sources=" << job.stats.sources
        << " progress=" << job.stats.progressReports
        << " seconds=" << QString::number(seconds, 'f', 3) << '\n'
        << Qt::flush;
    if (stopRequested.load()) {
        streams.err << "interrupted: what was filled so far is written to "
                    << (toStandardOutput ? QStringLiteral("standard output") : options.output)
                    << '\n'
                    << Qt::flush;
        return kExitInterrupted;
    }
    return kExitOk;
}

void HandleInterrupt(std::atomic<bool>& stopRequested) noexcept {
    if (stopRequested.exchange(true)) _exit(kExitInterrupted);
}

void DropQtMessages(QtMsgType type, const QMessageLogContext&, const QString& message) {
    if (type != QtFatalMsg) return;
    const QByteArray text = message.toLocal8Bit();
    std::fwrite(text.constData(), 1, static_cast<std::size_t>(text.size()), stderr);
    std::fputc('\n', stderr);
    std::abort();
}

}  // namespace velmora
