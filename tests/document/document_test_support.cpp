#include "document_test_support.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QImageWriter>
#include <QLabel>
#include <QProgressBar>
#include <atomic>
#include <chrono>
#include <thread>

#include "platform/command_ids.h"
#include "platform/qimage_picture.h"

namespace velmora::test {

QImage MakeTestPicture(int width, int height, QImage::Format format) {
    QImage picture(width, height, QImage::Format_ARGB32);
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const int stripe = ((x / 3 + y / 5) % 2) * 40;
            picture.setPixel(x, y,
                             qRgba((x * 255) / width, (y * 255) / height, (stripe + x * y) % 256,
                                   128 + (x + y) % 128));
        }
    }
    return picture.convertToFormat(format);
}

QString WritePicture(const QImage& picture, const QString& path, const char* format, int quality) {
    QImageWriter writer(path, format);
    writer.setQuality(quality);
    EXPECT_TRUE(writer.write(picture))
        << path.toStdString() << ": " << writer.errorString().toStdString();
    return path;
}

const std::vector<int>& DocumentCommandIds() {
    static const std::vector<int> ids{
        ID_EDIT_UNDO,  ID_EDIT_REDO, ID_VIEW_ZOOM_IN,   ID_VIEW_ZOOM_OUT, ID_VIEW_ZOOM_NORMAL,
        ID_FILL_START, ID_FILL_STOP, ID_TOOL_RECTANGLE, ID_TOOL_POLYGON,  ID_TOOL_SELECT,
        ID_FILE_OPEN,  ID_FILE_SAVE, ID_FILE_SAVE_AS,   ID_TOOL_MOVE};
    return ids;
}

std::set<int> EnabledCommands(const DocumentRig& rig) {
    std::set<int> enabled;
    for (const int id : DocumentCommandIds())
        if (rig.Enabled(id)) enabled.insert(id);
    return enabled;
}

int ExpectedReports(int marked) {
    const int length = 2 * marked;
    const int step = std::max(length / 100, 1);
    return (length + step - 1) / step;
}

std::function<void(int)> WorkerGate::HoldAtProgress(int n, std::function<bool()> releaseWhen) {
    return [this, n, releaseWhen = std::move(releaseWhen)](int command) {
        if (command != ID_FILL_PROGRESS || ++reports_ != n) return;
        std::unique_lock lock(mutex_);
        held_ = true;
        changed_.notify_all();
        while (!released_ && !(releaseWhen && releaseWhen()))
            changed_.wait_for(lock, std::chrono::milliseconds(1));
    };
}

void WorkerGate::WaitUntilHeld() {
    std::unique_lock lock(mutex_);
    changed_.wait(lock, [this] { return held_; });
}

void WorkerGate::Release() {
    const std::scoped_lock lock(mutex_);
    released_ = true;
    changed_.notify_all();
}

JobRecord::JobRecord(DocumentRig& rig) {
    QObject::connect(&rig.router, &CommandRouter::commandDelivered, [this, &rig](int id) {
        if (id == ID_FILL_PROGRESS) {
            labels.push_back(rig.LabelText());
            bars.push_back(rig.BarValue());
        } else if (id == ID_FILL_FINISHED) {
            ++finished;
        }
    });
}

DocumentRig::DocumentRig() : doc(std::make_unique<CVelmoraDoc>()) {
    router.SetTarget(RouteStage::Application, &application);
    for (const int id : {ID_FILE_OPEN, ID_FILE_SAVE, ID_FILE_SAVE_AS})
        application.SetHandler(id, [] {});
    doc->SetCommandRouter(&router);
    doc->SetStatusBar(&statusBar);
    doc->SetMessageBoxes(&messages);
    doc->SetSeedClock([] { return kSeed; });
}

DocumentRig::~DocumentRig() {
    doc.reset();
}

void DocumentRig::HoldJobUntilStopRequested() {
    CVelmoraDoc* held = doc.get();
    doc->SetSeedClock([held] {
        while (!held->StopRequested()) std::this_thread::yield();
        return kSeed;
    });
}

void DocumentRig::OpenPicture(int width, int height) {
    const QString path = WritePicture(MakeTestPicture(width, height), dir.filePath("open.png"));
    ASSERT_TRUE(doc->OnOpenDocument(path));
}

void DocumentRig::MarkHole(const FillRect& hole) {
    ByteGrid& fill = doc->FillMask();
    ByteGrid& source = doc->SourceMask();
    fill.Fill(0);
    source.Fill(255);
    const int margin = 12;
    const FillRect area{std::max(hole.x - margin, 0), std::max(hole.y - margin, 0),
                        hole.width + 2 * margin, hole.height + 2 * margin};
    const FillRect clipped{area.x, area.y, std::min(area.width, fill.width() - area.x),
                           std::min(area.height, fill.height() - area.y)};
    for (int y = clipped.y; y < clipped.y + clipped.height; ++y)
        for (int x = clipped.x; x < clipped.x + clipped.width; ++x) *source.At({x, y}) = 0;
    for (int y = hole.y; y < hole.y + hole.height; ++y) {
        for (int x = hole.x; x < hole.x + hole.width; ++x) {
            *fill.At({x, y}) = 255;
            *source.At({x, y}) = 255;
        }
    }
    doc->SelectionBounds() = hole;
    doc->SourceRect() = clipped;
    doc->ClearSelection();
    doc->SourceRect() = clipped;
    doc->AddPoint(hole.x, hole.y);
    doc->AddPoint(hole.x + hole.width, hole.y + hole.height);
}

void DocumentRig::WaitForIdle() {
    while (doc->Busy()) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
}

QImage DocumentRig::CurrentCopy() const {
    const PaintAccess access = doc->LockForPaint();
    return access.Image() != nullptr ? access.Image()->copy() : QImage();
}

QString DocumentRig::LabelText() const {
    const QLabel* label = statusBar.FindLabel(ID_STATUS_LABEL);
    return label != nullptr ? label->text() : QStringLiteral("<none>");
}

int DocumentRig::BarValue() const {
    const QProgressBar* bar = statusBar.FindProgressBar(ID_STATUS_PROGRESS);
    return bar != nullptr ? bar->value() : -1;
}

QImage ReferenceFill(const QImage& picture, const CVelmoraDoc& doc, const FillRect& hole,
                     std::uint32_t seed, int stopAfterReports) {
    QImage result = picture.copy();
    std::mutex guard;
    QImagePicture target(result, guard);
    std::atomic<bool> busy{false};
    std::atomic<bool> stop{false};
    int reports = 0;
    FillJob job;
    job.image = &target;
    job.fillMask = &doc.FillMask();
    job.sourceMask = &doc.SourceMask();
    job.selectionBounds = hole;
    job.sourceRect = doc.SourceRect();
    job.busy = &busy;
    job.stopRequested = &stop;
    job.post = [&](int command) {
        if (command == ID_FILL_PROGRESS && ++reports == stopAfterReports) stop = true;
    };
    job.seedClock = [seed] { return seed; };
    RunFillJob(job);
    return result;
}

}  // namespace velmora::test
