#include "image_history.h"

#include <algorithm>
#include <utility>

namespace velmora {

QImage* ImageHistory::GetCurrent() {
    std::optional<QImage>& slot = images_[SlotOf(current_)];
    return slot ? &*slot : nullptr;
}

const QImage* ImageHistory::GetCurrent() const {
    const std::optional<QImage>& slot = images_[SlotOf(current_)];
    return slot ? &*slot : nullptr;
}

bool ImageHistory::IsHeld(std::int32_t index) const {
    return index >= 0 && index <= top_ && index >= top_ - (kSlots - 1) &&
           images_[SlotOf(index)].has_value();
}

const QImage* ImageHistory::StateAt(std::int32_t index) const {
    return IsHeld(index) ? &*images_[SlotOf(index)] : nullptr;
}

bool ImageHistory::SlotInUse(std::int32_t slot) const {
    return slot >= 0 && slot < kSlots && images_[static_cast<std::size_t>(slot)].has_value();
}

bool ImageHistory::PushCopy() {
    const QImage* const current = GetCurrent();
    // The copy comes first, so it never shares pixels with a state released below.
    std::optional<QImage> copy;
    if (current != nullptr) {
        QImage pixels = current->copy(0, 0, current->width(), current->height());
        if (pixels.isNull()) return false;
        copy = std::move(pixels);
    }
    const std::int32_t next = current_ + 1;
    Displaced displaced{{}, top_, current_};
    // The redo states and, when eight are held, the oldest (the slot of `next`).
    for (std::int32_t index = next; index <= std::max(top_, next); ++index)
        displaced.images[SlotOf(index)] = std::exchange(images_[SlotOf(index)], std::nullopt);
    images_[SlotOf(next)] = std::move(copy);
    top_ = current_ = next;
    displaced_ = std::move(displaced);
    return true;
}

void ImageHistory::RevertPush() {
    if (!displaced_) return;
    images_[SlotOf(current_)].reset();
    for (std::size_t slot = 0; slot < images_.size(); ++slot)
        if (displaced_->images[slot]) images_[slot] = std::move(displaced_->images[slot]);
    top_ = displaced_->top;
    current_ = displaced_->current;
    displaced_.reset();
}

void ImageHistory::KeepPush() {
    displaced_.reset();
}

bool ImageHistory::CanUndo() const {
    return GetCurrent() != nullptr && current_ > 0 && current_ - 1 >= top_ - (kSlots - 1) &&
           images_[SlotOf(current_ - 1)].has_value();
}

bool ImageHistory::CanRedo() const {
    return GetCurrent() != nullptr && current_ != top_;
}

void ImageHistory::Undo() {
    if (CanUndo()) --current_;
}

void ImageHistory::Redo() {
    if (CanRedo()) ++current_;
}

void ImageHistory::Reset() {
    displaced_.reset();
    for (std::optional<QImage>& slot : images_) slot.reset();
    top_ = current_ = 0;
}

void ImageHistory::SetFirst(QImage picture) {
    images_[0] = picture.isNull() ? std::nullopt : std::optional<QImage>(std::move(picture));
}

}  // namespace velmora
