// velmora-bench-paint: what a fill's progress costs the user-interface thread, and whether the
// worker ever waits for the canvas.
//
// A 3456 x 2592 picture (a photograph resampled, or generated) opens in the real document and
// canvas inside a main window with its status bar, at two window sizes and three zoom factors. A
// centred third of the picture is outlined and filled by the real worker; every progress report
// the window handles is timed from the posted command through the repaint of the canvas, and set
// against the 16 ms of one frame and against a plain drawImage of the same visible part. The
// worker's side comes from the picture's own access counts.
//
// Usage: velmora-bench-paint [--reports N] [--photo PATH | --generated] [--only TEXT]
#include <QCommandLineParser>
#include <QElapsedTimer>
#include <QImage>
#include <QImageReader>
#include <QImageWriter>
#include <QMainWindow>
#include <QPainter>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QTextStream>
#include <algorithm>
#include <cmath>
#include <vector>

#include "bench_scenes.h"
#include "document/velmora_doc.h"
#include "paint_probe.h"
#include "platform/command_ids.h"
#include "platform/command_router.h"
#include "platform/ribbon_status_bar.h"
#include "view/canvas_geometry.h"
#include "view/velmora_view.h"

namespace {

using namespace velmora;
using namespace velmora::bench;

constexpr double kFrameBudgetMs = 16.0;
constexpr QSize kPictureSize(3456, 2592);
constexpr int kBaselineRepeats = 40;

struct PaintCase {
    QSize window;
    const char* zoomName;
    int zoomSteps;  // below zero: zoom out that many steps from 100 %; above: zoom in
};

struct CaseResult {
    QSize client;
    float zoom = 1;
    std::vector<UiCost> reports;
    std::vector<UiCost> paints;
    double baselineMs = 0;
    PictureAccessCounts counts;
    std::int32_t reportsHandled = 0;
};

// The picture the document opens, written once as a JPEG of the benchmark's size.
bool MakePicture(const QString& photo, bool generated, const QString& path) {
    QImage image;
    if (generated) {
        const ByteGrid grid = GeneratePhotoLike(kPictureSize.width(), kPictureSize.height(), 7);
        image = QImage(grid.width(), grid.height(), QImage::Format_RGB32);
        for (std::int32_t y = 0; y < grid.height(); ++y) {
            auto* line = reinterpret_cast<QRgb*>(image.scanLine(y));
            const std::uint8_t* from = grid.Row(y);
            for (std::int32_t x = 0; x < grid.width(); ++x, from += 3)
                line[x] = qRgb(from[2], from[1], from[0]);
        }
    } else {
        const QImage source = QImageReader(photo).read();
        if (source.isNull()) return false;
        image = source.convertToFormat(QImage::Format_RGB32)
                    .scaled(kPictureSize, Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
    }
    QImageWriter writer(path, "jpeg");
    writer.setQuality(95);
    return writer.write(image);
}

// A closed rectangle outline around a centred third of the picture, made into the fill's masks
// by the canvas as the rectangle tool does.
void OutlineThird(CVelmoraDoc& doc, CVelmoraView& view) {
    const QSize size = doc.ImageSize();
    const double side = std::sqrt(1.0 / 3.0);
    const auto w = static_cast<std::int32_t>(size.width() * side);
    const auto h = static_cast<std::int32_t>(size.height() * side);
    const GridPoint from{(size.width() - w) / 2, (size.height() - h) / 2};
    const GridPoint to{from.x + w, from.y + h};
    doc.ClearSelection();
    for (const GridPoint p : {from, GridPoint{to.x, from.y}, to, GridPoint{from.x, to.y}, from})
        doc.AddPoint(p.x, p.y);
    view.BuildSelectionMasks(false);
}

// A plain drawImage of the part of the picture the canvas shows, into an image of the client's
// size: what a paint cannot be cheaper than.
double BaselineMs(const QImage& picture, QSize client, const CanvasMapping& mapping) {
    const VisiblePart part = ComputeVisiblePart(picture.size(), client, mapping);
    QImage target(client, QImage::Format_RGB32);
    std::vector<double> times;
    for (int i = 0; i < kBaselineRepeats; ++i) {
        QElapsedTimer clock;
        clock.start();
        QPainter painter(&target);
        painter.drawImage(part.destination, picture, part.source);
        painter.end();
        times.push_back(static_cast<double>(clock.nsecsElapsed()) / 1e6);
    }
    return SpreadOf(times).median;
}

std::optional<CaseResult> RunCase(ProbeApplication& app, const PaintCase& c, const QString& path,
                                  const QImage& baselinePicture, int reportsWanted) {
    CommandRouter router;
    CVelmoraDoc doc;
    QMainWindow window;
    auto* statusBar = new RibbonStatusBar;
    window.setStatusBar(statusBar);
    auto* view = new CVelmoraView(doc);
    window.setCentralWidget(view);
    doc.SetStatusBar(statusBar);
    doc.SetCommandRouter(&router);
    QObject::connect(&router, &CommandRouter::commandDelivered, &app,
                     [&app](int id) { app.NoteDelivered(id); });
    window.resize(c.window);
    window.show();
    if (!doc.OnOpenDocument(path)) return std::nullopt;
    for (int i = 0; i < std::abs(c.zoomSteps); ++i)
        router.Execute(c.zoomSteps < 0 ? ID_VIEW_ZOOM_OUT : ID_VIEW_ZOOM_IN);
    QApplication::processEvents();
    // The canvas shows the middle of the picture, where the hole is.
    for (QScrollBar* bar : {view->horizontalScrollBar(), view->verticalScrollBar()})
        bar->setValue(bar->maximum() / 2);
    OutlineThird(doc, *view);
    QApplication::processEvents();

    app.Watch(&router, &window, view->viewport());
    if (!router.Execute(ID_FILL_START)) {
        app.StopWatching();
        return std::nullopt;
    }
    bool stopped = false;
    while (doc.Busy()) {
        QApplication::processEvents(QEventLoop::WaitForMoreEvents);
        if (!stopped && static_cast<int>(app.ReportCosts().size()) >= reportsWanted)
            stopped = router.Execute(ID_FILL_STOP);
    }
    QApplication::processEvents();
    app.StopWatching();

    CaseResult result;
    result.client = view->viewport()->size();
    result.zoom = doc.ZoomFactor();
    result.reports = app.ReportCosts();
    result.paints = app.CanvasPaints();
    result.counts = doc.LastFillPictureCounts();
    result.reportsHandled = doc.ProgressCount();
    result.baselineMs = BaselineMs(baselinePicture, result.client, view->Mapping());
    return result;
}

QString Ms(double v) {
    return QString::number(v, 'f', v < 10 ? 2 : 1);
}

QString Ratio(double budget, double v) {
    return v > 0 ? QString::number(budget / v, 'f', 1) : QStringLiteral("-");
}

std::vector<double> Wall(const std::vector<UiCost>& costs) {
    std::vector<double> out;
    for (const UiCost& c : costs) out.push_back(c.wallMs);
    return out;
}

// How many of the stretches blocked at least once, and how many were preempted.
QString Switches(const std::vector<UiCost>& costs) {
    int blocked = 0, preempted = 0;
    for (const UiCost& c : costs) {
        blocked += c.blocked > 0 ? 1 : 0;
        preempted += c.preempted > 0 ? 1 : 0;
    }
    return QStringLiteral("%1 / %2").arg(blocked).arg(preempted);
}

int Blocked(const std::vector<UiCost>& costs) {
    return static_cast<int>(
        std::count_if(costs.begin(), costs.end(), [](const UiCost& c) { return c.blocked > 0; }));
}

std::vector<double> Cpu(const std::vector<UiCost>& costs) {
    std::vector<double> out;
    for (const UiCost& c : costs) out.push_back(c.cpuMs);
    return out;
}

}  // namespace

int main(int argc, char* argv[]) {
    if (!qEnvironmentVariableIsSet("QT_QPA_PLATFORM")) qputenv("QT_QPA_PLATFORM", "offscreen");
    ProbeApplication app(argc, argv);
    QCommandLineParser parser;
    const QCommandLineOption reportsOption("reports", "progress reports per case", "N", "30");
    const QCommandLineOption photoOption("photo", "photograph to resample", "PATH",
                                         VELMORA_SOURCE_DIR "/assets/sample/meadow.jpg");
    const QCommandLineOption generatedOption("generated", "a generated picture, not a photograph");
    const QCommandLineOption onlyOption("only", "cases whose name contains TEXT", "TEXT");
    parser.addOptions({reportsOption, photoOption, generatedOption, onlyOption});
    parser.addHelpOption();
    parser.process(app);
    QTextStream out(stdout);

    QTemporaryDir directory;
    const QString path = directory.filePath(QStringLiteral("picture.jpg"));
    if (!directory.isValid() ||
        !MakePicture(parser.value(photoOption), parser.isSet(generatedOption), path)) {
        QTextStream(stderr) << "cannot make the picture\n";
        return 2;
    }
    const QImage baselinePicture = QImageReader(path).read();
    const int reportsWanted = std::max(1, parser.value(reportsOption).toInt());

    const std::vector<PaintCase> cases{
        {{1280, 800}, "100 %", 0},  {{1280, 800}, "fit", -3},  {{1280, 800}, "400 %", 3},
        {{1920, 1080}, "100 %", 0}, {{1920, 1080}, "fit", -3}, {{1920, 1080}, "400 %", 3},
    };
    out << "picture " << baselinePicture.width() << 'x' << baselinePicture.height() << " format "
        << baselinePicture.format() << ", a third filled, " << reportsWanted
        << " progress reports per case; times in ms, ratios budget/time (16 ms budget)\n\n";
    out << "| window | zoom | client | reports | UI median | UI p95 | UI max | budget/median | "
           "budget/max | UI cpu median / max | blocked / preempted | paint median / max | "
           "paints blocked | baseline | paint/baseline | write-backs skipped | worker wait | final "
           "wait | "
           "longest guard hold |\n";
    out << "|---|---|---|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:|---:"
           "|---:|\n";
    out.flush();

    for (const PaintCase& c : cases) {
        const QString name = QStringLiteral("%1x%2 %3")
                                 .arg(c.window.width())
                                 .arg(c.window.height())
                                 .arg(QString::fromLatin1(c.zoomName));
        if (parser.isSet(onlyOption) && !name.contains(parser.value(onlyOption))) continue;
        const std::optional<CaseResult> r = RunCase(app, c, path, baselinePicture, reportsWanted);
        if (!r) {
            out << "| " << name << " | failed to run |\n";
            continue;
        }
        const Spread ui = SpreadOf(Wall(r->reports));
        const Spread uiCpu = SpreadOf(Cpu(r->reports));
        const Spread paint = SpreadOf(Wall(r->paints));
        const PictureAccessCounts& k = r->counts;
        out << "| " << c.window.width() << 'x' << c.window.height() << " | " << c.zoomName << " ("
            << r->zoom * 100 << " %) | " << r->client.width() << 'x' << r->client.height() << " | "
            << r->reports.size() << " | " << Ms(ui.median) << " | " << Ms(ui.p95) << " | "
            << Ms(ui.max) << " | " << Ratio(kFrameBudgetMs, ui.median) << " | "
            << Ratio(kFrameBudgetMs, ui.max) << " | " << Ms(uiCpu.median) << " / " << Ms(uiCpu.max)
            << " | " << Switches(r->reports) << " | " << Ms(paint.median) << " / " << Ms(paint.max)
            << " | " << Blocked(r->paints) << " of " << r->paints.size() << " | "
            << Ms(r->baselineMs) << " | "
            << QString::number(r->baselineMs > 0 ? paint.median / r->baselineMs : 0, 'f', 1)
            << " | " << k.progressSkipped << " of " << k.progressWrites << " | "
            << Ms(static_cast<double>(k.waitNs) / 1e6) << " | "
            << Ms(static_cast<double>(k.finalWaitNs) / 1e6) << " | "
            << Ms(static_cast<double>(k.longestHoldNs) / 1e6) << " |\n";
        out.flush();
    }
    return 0;
}
