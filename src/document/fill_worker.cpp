#include "fill_worker.h"

#include <system_error>

namespace velmora {

FillWorker::~FillWorker() {
    if (thread_.joinable()) thread_.join();
}

void FillWorker::Start(FillInputs inputs, std::mutex& pictureGuard, std::atomic<bool>& busy,
                       std::atomic<bool>& stopRequested, std::function<void(int)> post,
                       std::function<std::uint32_t()> seedClock) {
    Join();
    inputs_ = std::make_unique<FillInputs>(std::move(inputs));
    if (inputs_->image != nullptr)
        picture_ = std::make_unique<QImagePicture>(*inputs_->image, pictureGuard);
    job_ = std::make_unique<FillJob>();
    job_->image = picture_.get();
    job_->fillMask = inputs_->fillMask.size() != 0 ? &inputs_->fillMask : nullptr;
    job_->sourceMask = inputs_->sourceMask.size() != 0 ? &inputs_->sourceMask : nullptr;
    job_->selectionBounds = inputs_->selectionBounds;
    job_->sourceRect = inputs_->sourceRect;
    job_->busy = &busy;
    job_->stopRequested = &stopRequested;
    job_->post = std::move(post);
    job_->seedClock = std::move(seedClock);
    stats_ = {};
    pictureCounts_ = {};

    // Raised here rather than by the job, so nothing that `busy` disables slips in before the
    // thread has started.
    busy.store(true, std::memory_order_release);
    try {
        thread_ = std::thread(FillThreadProc, job_.get());
    } catch (const std::system_error&) {
        // No thread to be had (its stack found no memory): the fill did not happen.
        job_->stats.outOfMemory = true;
        busy.store(false, std::memory_order_release);
        job_->post(ID_FILL_FINISHED);
    }
}

FillInputs FillWorker::Join() {
    if (thread_.joinable()) thread_.join();
    if (job_ == nullptr) return {};
    stats_ = job_->stats;
    if (picture_ != nullptr) pictureCounts_ = picture_->Counts();
    FillInputs inputs = std::move(*inputs_);
    job_.reset();
    picture_.reset();
    inputs_.reset();
    return inputs;
}

}  // namespace velmora
