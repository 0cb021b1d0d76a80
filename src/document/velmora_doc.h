#pragma once

#include <QObject>
#include <QPointer>
#include <QSize>
#include <QString>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>

#include "document/fill_worker.h"
#include "document/image_history.h"
#include "document/selection_polygon.h"
#include "engine/grid_point.h"
#include "engine/pixel_grid.h"
#include "imagefile/image_file.h"
#include "imagefile/image_metadata.h"
#include "platform/command_router.h"
#include "platform/command_target.h"
#include "platform/tracker_state.h"
#include "platform/wait_cursor.h"

namespace velmora {

class MessageBoxes;
class RibbonStatusBar;

// Holds the current picture for painting: the fill job's write-backs wait (or skip a progress
// step) while it exists. Image() is null when no picture is loaded.
class PaintAccess {
  public:
    PaintAccess(std::mutex& guard, const QImage* image) : lock_(guard), image_(image) {}
    [[nodiscard]] const QImage* Image() const { return image_; }

  private:
    std::unique_lock<std::mutex> lock_;
    const QImage* image_;
};

// The one open picture and everything the canvas, the selection tools and the fill job share:
// the history of picture states, zoom, tool, selection, masks and rectangles, and the job's flags.
// Its commands reach it through a CommandRouter (Commands() is its stop on the route).
class CVelmoraDoc : public QObject {
    Q_OBJECT

  public:
    explicit CVelmoraDoc(QObject* parent = nullptr);
    // Stops a running fill job and waits for it before anything is released.
    ~CVelmoraDoc() override;

    // --- Wiring, done by the frame (all optional: tests leave out what they do not need).
    CommandTarget& Commands() { return commands_; }
    // The route the document's commands take and where the fill job posts its commands: the
    // document becomes the router's document stage (and leaves it when it goes away). Without a
    // router the document routes the job's commands itself. Set before the first fill.
    void SetCommandRouter(CommandRouter* router);
    void SetStatusBar(RibbonStatusBar* statusBar);
    // Without message boxes the messages go to the log.
    void SetMessageBoxes(MessageBoxes* messages) { messages_ = messages; }
    // The fill job's random seed; seconds since 1970 unless set.
    void SetSeedClock(std::function<std::uint32_t()> seedClock) {
        seedClock_ = std::move(seedClock);
    }
    // Called on the worker thread before each command a fill job posts; tests pause the job here.
    void SetJobPostHook(std::function<void(int command)> hook) { jobPostHook_ = std::move(hook); }
    // Called on the saving thread before the picture is encoded; tests hold a save here.
    void SetSaveHook(std::function<void()> hook) { saveHook_ = std::move(hook); }

    // --- Document life.
    bool OnNewDocument();
    bool OnOpenDocument(const QString& path);
    // Encodes and writes the current picture on a thread of its own; the window goes on being
    // drawn and handling input meanwhile, with every command that could change the picture
    // disabled (Busy()), and the call returns when the file is written or has failed.
    bool OnSaveDocument(const QString& path);
    [[nodiscard]] bool Saving() const { return saving_; }
    // Before the window closes (or anything else saves or drops the pictures): a running fill job
    // is stopped, waited for and finished, keeping what it filled.
    void EndRunningJob();
    [[nodiscard]] bool IsModified() const { return modified_; }
    void SetModifiedFlag(bool modified);
    [[nodiscard]] QString PathName() const { return pathName_; }
    [[nodiscard]] QString Title() const;
    void UpdateAllViews() { emit viewsUpdated(); }

    // --- Shared state.
    [[nodiscard]] float ZoomFactor() const { return zoomFactor_; }
    // A fill job runs, or has ended but its finish has not been handled yet, or a save runs.
    // Everything that could change what the job or the save reads is refused meanwhile.
    [[nodiscard]] bool Busy() const { return JobRunning() || saving_; }
    [[nodiscard]] bool JobRunning() const {
        return jobActive_ || busy_.load(std::memory_order_acquire);
    }
    [[nodiscard]] bool StopRequested() const {
        return stopRequested_.load(std::memory_order_acquire);
    }
    // The history's indices may be read at any time; its pixels only when not Busy(), or through
    // LockForPaint.
    [[nodiscard]] const ImageHistory& History() const { return history_; }
    [[nodiscard]] bool HasImage() const { return history_.GetCurrent() != nullptr; }
    // The picture's size (every state has the same), or empty when none is loaded.
    [[nodiscard]] QSize ImageSize() const { return HasImage() ? imageSize_ : QSize(); }
    // What the opened file said besides its pixels (EXIF, XMP, IPTC, ICC profile).
    [[nodiscard]] const ImageMetadata& Metadata() const { return metadata_; }
    [[nodiscard]] PaintAccess LockForPaint() const;

    // Picture-sized masks (fill: 255 = to fill; source: 255 = not usable), zero after an open.
    // They belong to a running fill job and read as empty until it has ended.
    [[nodiscard]] ByteGrid& FillMask() { return fillMask_; }
    [[nodiscard]] ByteGrid& SourceMask() { return sourceMask_; }
    [[nodiscard]] const ByteGrid& FillMask() const { return fillMask_; }
    [[nodiscard]] const ByteGrid& SourceMask() const { return sourceMask_; }
    [[nodiscard]] FillRect& SelectionBounds() { return selectionBounds_; }
    [[nodiscard]] FillRect& SourceRect() { return sourceRect_; }
    [[nodiscard]] const FillRect& SelectionBounds() const { return selectionBounds_; }
    [[nodiscard]] const FillRect& SourceRect() const { return sourceRect_; }
    [[nodiscard]] TrackerState& SourceTracker() { return sourceTracker_; }
    [[nodiscard]] const TrackerState& SourceTracker() const { return sourceTracker_; }
    [[nodiscard]] ToolMode GetToolMode() const { return toolMode_; }
    [[nodiscard]] std::int32_t ProgressCount() const { return progressCount_; }
    // How the last ended fill job's picture accesses met the canvas (for measurements).
    [[nodiscard]] const PictureAccessCounts& LastFillPictureCounts() const {
        return worker_.PictureCounts();
    }

    // --- Selection, edited by the canvas.
    [[nodiscard]] const SelectionPolygon& Selection() const { return selection_; }
    // Appends a point: 1, or 0 (and nothing stored) when the outline already holds 8000.
    int AddPoint(std::int32_t x, std::int32_t y);
    // Overwrites point i when 0 <= i < pointCount: 1; otherwise 0.
    int SetPoint(std::int32_t i, std::int32_t x, std::int32_t y);
    // No outline and no source rectangle.
    void ClearSelection();

  signals:
    void viewsUpdated();
    // A save has ended, whether written or failed.
    void saveFinished(bool saved);
    void modifiedChanged(bool modified);
    void titleChanged(const QString& title);

  private:
    // document_commands.cpp
    void RegisterCommands();
    void OnEditUndo();
    void OnEditRedo();
    void OnViewZoomIn();
    void OnViewZoomOut();
    void OnViewZoomNormal();
    void SetTool(ToolMode mode, bool clearSelection);
    void UpdateNeedsIdleImage(CommandState& state) const;

    // fill_command.cpp
    void OnFillStart();
    void OnFillProgress();
    void OnFillStop();
    void OnFillFinished();
    void ShowJobElements();
    void SetStatusLabel(const char* text);
    void RepaintStatusBar();
    void FinishJob();

    // document_save.cpp
    // `picture` shares the current state's pixels, which nothing changes while saving_ is set.
    SaveOutcome SaveOffThread(QImage picture, ImageMetadata metadata, const QString& path);

    // velmora_doc.cpp
    void ShowError(const QString& message);
    void ShowNotice(const QString& notice);
    bool AskYesNo(const QString& question);
    void SetPathName(const QString& path);
    void LeaveRouter();

    float zoomFactor_ = 1.0f;
    std::atomic<bool> busy_{false};           // raised for a job's whole run
    std::atomic<bool> stopRequested_{false};  // written by the user interface only
    ImageHistory history_;
    QSize imageSize_;
    ImageMetadata metadata_;  // the opened file's, written back with every save
    // The opened file when it held more pages or frames than the one kept: saving over it asks.
    QString multiPageFile_;
    ByteGrid fillMask_;
    ByteGrid sourceMask_;
    std::int32_t progressCount_ = 0;
    TrackerState sourceTracker_;
    FillRect sourceRect_;
    FillRect selectionBounds_;
    ToolMode toolMode_ = TOOL_POLYGON;
    ToolMode savedToolMode_ = TOOL_POLYGON;
    SelectionPolygon selection_;

    bool modified_ = false;
    QString pathName_;

    // The fill job on the user-interface side.
    mutable std::mutex pictureGuard_;  // held by painting and by every job access to the picture
    FillWorker worker_;
    bool jobActive_ = false;  // from the fill start until its finish has been handled
    // Commands of jobs that were ended by EndRunningJob and are still on their way.
    std::int64_t staleProgress_ = 0;
    std::int64_t staleFinished_ = 0;
    WaitCursor waitCursor_;
    std::function<std::uint32_t()> seedClock_;
    std::function<void(int)> jobPostHook_;
    std::function<void()> saveHook_;
    bool saving_ = false;  // from the start of a save until its outcome is known

    CommandTarget commands_;
    CommandRouter ownRouter_;  // routes the job's commands when the frame has given no router
    QPointer<CommandRouter> router_;
    QPointer<RibbonStatusBar> statusBar_;
    MessageBoxes* messages_ = nullptr;
};

}  // namespace velmora
