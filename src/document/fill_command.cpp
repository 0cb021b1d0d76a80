// The user-interface side of a fill job: start, progress, stop and finish.
#include <algorithm>
#include <mutex>

#include "document/document_texts.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/ribbon_status_bar.h"

#include <QLabel>
#include <QProgressBar>

namespace velmora {

namespace {

constexpr int kProgressWidth = 500;
constexpr int kProgressHeight = 22;
constexpr int kProgressMaximum = 100;
static_assert(kProgressHeight <= RibbonStatusBar::kElementHeight,
              "the status bar keeps its height only for elements it has room for");

}  // namespace

void CVelmoraDoc::OnFillStart() {
    if (!history_.PushCopy()) {
        // No memory for the state the job would fill: nothing starts and nothing is lost.
        ShowError(QString::fromUtf8(kNoMemoryForFillText));
        return;
    }
    savedToolMode_ = toolMode_;
    toolMode_ = TOOL_MOVE;
    progressCount_ = 0;
    ShowJobElements();
    stopRequested_.store(false, std::memory_order_release);

    FillInputs inputs;
    inputs.image = history_.GetCurrent();
    // The masks go to the job for its run and come back when it has ended.
    inputs.fillMask = std::move(fillMask_);
    inputs.sourceMask = std::move(sourceMask_);
    inputs.selectionBounds = selectionBounds_;
    inputs.sourceRect = sourceRect_;
    CommandRouter* const router = router_ != nullptr ? router_.data() : &ownRouter_;
    jobActive_ = true;
    worker_.Start(
        std::move(inputs), pictureGuard_, busy_, stopRequested_,
        [router, hook = jobPostHook_](int command) {
            if (hook) hook(command);
            router->Post(command);
        },
        seedClock_);
    waitCursor_.Begin();
}

void CVelmoraDoc::ShowJobElements() {
    if (statusBar_ == nullptr) return;
    statusBar_->AddDynamicElement(ID_STATUS_LABEL,
                                  MakeStatusLabel(QString::fromUtf8(kStatusReadyText)));
    statusBar_->RecalcLayout();
    statusBar_->AddDynamicElement(
        ID_STATUS_PROGRESS,
        MakeStatusProgressBar(kProgressWidth, kProgressHeight, 0, kProgressMaximum));
    statusBar_->RecalcLayout();
    statusBar_->RepaintNow();
}

void CVelmoraDoc::OnFillProgress() {
    if (staleProgress_ > 0) {
        --staleProgress_;
        return;
    }
    if (!jobActive_) return;
    UpdateAllViews();
    // After a stop the label keeps saying so until the job has ended.
    if (!StopRequested()) SetStatusLabel(kStatusProcessingText);
    RepaintStatusBar();
    if (statusBar_ != nullptr) {
        if (QProgressBar* bar = statusBar_->FindProgressBar(ID_STATUS_PROGRESS))
            bar->setValue(std::clamp(progressCount_, 0, kProgressMaximum));
    }
    ++progressCount_;
}

void CVelmoraDoc::OnFillStop() {
    stopRequested_.store(true, std::memory_order_release);
    SetStatusLabel(kStatusStoppedText);
    RepaintStatusBar();
}

void CVelmoraDoc::OnFillFinished() {
    if (staleFinished_ > 0) {
        --staleFinished_;
        return;
    }
    if (!jobActive_) return;
    FinishJob();
}

void CVelmoraDoc::EndRunningJob() {
    if (!jobActive_) return;
    stopRequested_.store(true, std::memory_order_release);
    FinishJob();
    // The job's remaining commands are still queued; they find nothing left to do.
    staleProgress_ += std::max<std::int64_t>(worker_.Stats().progressReports - progressCount_, 0);
    ++staleFinished_;
}

void CVelmoraDoc::FinishJob() {
    // The job has lowered `busy` before posting its finish, so this wait is short; after a stop
    // it lasts at most one fill-order entry.
    FillInputs inputs = worker_.Join();
    fillMask_ = std::move(inputs.fillMask);
    sourceMask_ = std::move(inputs.sourceMask);
    jobActive_ = false;

    // A job that ran out of memory left no result, only what its progress steps wrote: its
    // state is taken back, with the states it displaced, and the document is as before.
    const bool outOfMemory = worker_.Stats().outOfMemory;
    if (outOfMemory) {
        const std::lock_guard lock(pictureGuard_);
        history_.RevertPush();
    } else {
        history_.KeepPush();
    }

    waitCursor_.End();
    toolMode_ = savedToolMode_;
    if (statusBar_ != nullptr) {
        statusBar_->RemoveElement(ID_STATUS_PROGRESS);
        statusBar_->RemoveElement(ID_STATUS_LABEL);
        RepaintStatusBar();
    }
    UpdateAllViews();
    if (outOfMemory) {
        ShowError(QString::fromUtf8(kNoMemoryForFillText));
        return;
    }
    SetModifiedFlag(true);
}

void CVelmoraDoc::SetStatusLabel(const char* text) {
    if (statusBar_ == nullptr) return;
    if (QLabel* label = statusBar_->FindLabel(ID_STATUS_LABEL))
        label->setText(QString::fromUtf8(text));
}

void CVelmoraDoc::RepaintStatusBar() {
    if (statusBar_ == nullptr) return;
    statusBar_->RecalcLayout();
    statusBar_->RepaintNow();
}

}  // namespace velmora
