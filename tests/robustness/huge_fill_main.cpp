// velmora-huge-fill: a fill on a large photograph through the document, as the desktop program
// runs it: open, a rectangle selection of a third of the picture, the fill on its worker thread,
// optionally stopped after a number of progress reports or seconds. Prints one line of figures;
// scripts/huge_fill.sh runs it under /usr/bin/time -v for the peak memory.
//
// Usage: velmora-huge-fill --make PICTURE [--width W] [--height H] [--photo PATH]
//        velmora-huge-fill --picture PICTURE [--stop-after-reports N] [--stop-after-seconds S]
//                          [--save PATH]
// The first writes the photograph scaled to W x H (6000 x 4000) as PICTURE, so that making it
// does not count towards the fill's peak memory.
#include <sys/resource.h>

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QGuiApplication>
#include <QImageReader>
#include <QImageWriter>
#include <QTextStream>
#include <atomic>
#include <cmath>
#include <thread>

#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/command_router.h"
#include "platform/message_boxes.h"
#include "view/selection_masks.h"

namespace {

using namespace velmora;

class ConsoleMessages final : public MessageBoxes {
  public:
    void ShowError(const QString& text) override { QTextStream(stderr) << text << '\n'; }
    void ShowNotice(const QString& text) override { QTextStream(stderr) << text << '\n'; }
    bool AskYesNo(const QString& question) override {
        QTextStream(stderr) << question << " yes\n";
        return true;
    }
};

long PeakResidentMegabytes() {
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    return usage.ru_maxrss / 1024;
}

// The photograph scaled to the size asked for, written as a JPEG the document then opens.
bool MakePicture(const QString& photo, QSize size, const QString& path) {
    const QImage source = QImageReader(photo).read();
    if (source.isNull()) return false;
    const QImage scaled = source.convertToFormat(QImage::Format_RGB32)
                              .scaled(size, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    QImageWriter writer(path, "jpeg");
    writer.setQuality(95);
    return writer.write(scaled);
}

// A centred rectangle covering a third of the picture, made into masks the way the canvas makes
// them from a closed rectangle outline.
void SelectThird(CVelmoraDoc& doc) {
    const QSize size = doc.ImageSize();
    const double side = std::sqrt(1.0 / 3.0);
    const auto w = static_cast<std::int32_t>(size.width() * side);
    const auto h = static_cast<std::int32_t>(size.height() * side);
    const GridPoint from{(size.width() - w) / 2, (size.height() - h) / 2};
    const GridPoint to{from.x + w, from.y + h};
    const std::vector<GridPoint> outline{from, {to.x, from.y}, to, {from.x, to.y}, from};
    SelectionMasks masks;
    masks.fillMask = std::move(doc.FillMask());
    masks.sourceMask = std::move(doc.SourceMask());
    BuildSelectionMasks(outline, ViewMapping{}, false, masks);
    doc.FillMask() = std::move(masks.fillMask);
    doc.SourceMask() = std::move(masks.sourceMask);
    doc.SelectionBounds() = masks.selectionBounds;
    doc.SourceRect() = masks.sourceRect;
    doc.ClearSelection();
    doc.SourceRect() = masks.sourceRect;
    for (const GridPoint p : outline) doc.AddPoint(p.x, p.y);
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication application(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption makeOption("make", "write the scaled photograph", "PICTURE");
    const QCommandLineOption pictureOption("picture", "picture to fill", "PICTURE");
    const QCommandLineOption widthOption("width", "picture width", "W", "6000");
    const QCommandLineOption heightOption("height", "picture height", "H", "4000");
    const QCommandLineOption photoOption("photo", "photograph to scale up", "PATH",
                                         VELMORA_SOURCE_DIR "/assets/sample/meadow.jpg");
    const QCommandLineOption reportsOption("stop-after-reports", "stop after N reports", "N", "0");
    const QCommandLineOption secondsOption("stop-after-seconds", "stop after S seconds", "S", "0");
    const QCommandLineOption saveOption("save", "save the result", "PATH");
    parser.addOptions({makeOption, pictureOption, widthOption, heightOption, photoOption,
                       reportsOption, secondsOption, saveOption});
    parser.addHelpOption();
    parser.process(application);
    QTextStream out(stdout);

    if (parser.isSet(makeOption)) {
        const QSize size(parser.value(widthOption).toInt(), parser.value(heightOption).toInt());
        if (MakePicture(parser.value(photoOption), size, parser.value(makeOption))) return 0;
        QTextStream(stderr) << "cannot make the picture from " << parser.value(photoOption) << '\n';
        return 2;
    }
    if (!parser.isSet(pictureOption)) parser.showHelp(1);
    const QString picture = parser.value(pictureOption);

    CommandRouter router;
    ConsoleMessages messages;
    CVelmoraDoc doc;
    doc.SetCommandRouter(&router);
    doc.SetMessageBoxes(&messages);
    std::atomic<std::int64_t> reports{0};
    doc.SetJobPostHook([&reports](int command) {
        if (command == ID_FILL_PROGRESS) reports.fetch_add(1, std::memory_order_relaxed);
    });
    QElapsedTimer clock;
    clock.start();
    if (!doc.OnOpenDocument(picture)) return 2;
    const double openSeconds = clock.nsecsElapsed() / 1e9;
    SelectThird(doc);
    std::int64_t marked = 0;
    for (const std::uint8_t b : doc.FillMask()) marked += b != 0 ? 1 : 0;

    const std::int64_t stopAfterReports = parser.value(reportsOption).toLongLong();
    const double stopAfterSeconds = parser.value(secondsOption).toDouble();
    clock.restart();
    if (!router.Execute(ID_FILL_START)) return 3;
    double firstReport = -1, stoppedAt = -1;
    while (doc.Busy()) {
        QCoreApplication::processEvents();
        const double now = clock.nsecsElapsed() / 1e9;
        if (firstReport < 0 && reports.load() > 0) firstReport = now;
        const bool stopNow = (stopAfterReports > 0 && reports.load() >= stopAfterReports) ||
                             (stopAfterSeconds > 0 && now >= stopAfterSeconds);
        if (stoppedAt < 0 && stopNow && router.Execute(ID_FILL_STOP)) stoppedAt = now;
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
    const double total = clock.nsecsElapsed() / 1e9;
    const bool modified = doc.IsModified();
    if (parser.isSet(saveOption) && !doc.OnSaveDocument(parser.value(saveOption))) return 4;

    out << "picture=" << doc.ImageSize().width() << 'x' << doc.ImageSize().height()
        << " marked=" << marked << " reports=" << reports.load()
        << " open_s=" << QString::number(openSeconds, 'f', 2)
        << " first_report_s=" << QString::number(firstReport, 'f', 2)
        << " fill_s=" << QString::number(total, 'f', 2);
    if (stoppedAt >= 0)
        out << " stopped_at_s=" << QString::number(stoppedAt, 'f', 2)
            << " stop_to_end_s=" << QString::number(total - stoppedAt, 'f', 3);
    out << " history_top=" << doc.History().top() << " modified=" << modified
        << " peak_mb=" << PeakResidentMegabytes() << '\n';
    return 0;
}
