#pragma once

#include <QImage>
#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

#include "engine/fill_job.h"
#include "engine/grid_point.h"
#include "engine/pixel_grid.h"
#include "platform/qimage_picture.h"

namespace velmora {

// What one fill job works on. The masks are handed to the job for its whole run and handed back
// when it has ended, so nothing else can change them meanwhile.
struct FillInputs {
    QImage* image = nullptr;  // the new current state; null ends the job at once
    ByteGrid fillMask;
    ByteGrid sourceMask;
    FillRect selectionBounds;
    FillRect sourceRect;
};

// Runs one fill job on its own thread. The picture is reached only under `pictureGuard`, which
// painting holds too.
class FillWorker {
  public:
    FillWorker() = default;
    FillWorker(const FillWorker&) = delete;
    FillWorker& operator=(const FillWorker&) = delete;
    // Waits for a running thread; the owner asks it to stop first.
    ~FillWorker();

    // Raises `busy` and starts the thread. `post` is called on the worker thread and must not
    // block. If the thread cannot be started, `busy` is lowered and ID_FILL_FINISHED posted here,
    // as the job itself would have done, with the stats saying it ran out of memory.
    void Start(FillInputs inputs, std::mutex& pictureGuard, std::atomic<bool>& busy,
               std::atomic<bool>& stopRequested, std::function<void(int)> post,
               std::function<std::uint32_t()> seedClock);

    [[nodiscard]] bool Started() const { return job_ != nullptr; }

    // Waits for the thread and hands back the job's inputs; afterwards Stats() tells what the job
    // did. Does nothing when no job was started.
    FillInputs Join();

    [[nodiscard]] const FillJobStats& Stats() const { return stats_; }
    // How the job's picture accesses met the canvas; like Stats(), valid after Join().
    [[nodiscard]] const PictureAccessCounts& PictureCounts() const { return pictureCounts_; }

  private:
    std::unique_ptr<FillInputs> inputs_;
    std::unique_ptr<QImagePicture> picture_;
    std::unique_ptr<FillJob> job_;
    std::thread thread_;
    FillJobStats stats_;
    PictureAccessCounts pictureCounts_;
};

}  // namespace velmora
