#pragma once

#include <QImage>
#include <array>
#include <cstdint>
#include <optional>

namespace velmora {

// The open picture as up to eight states. Every state has an index that only grows; its slot is
// the index modulo 8, so the slots are reused in turn. `top` is the newest state, `current` the
// one in use (0 <= current <= top). A state i is held when top - 7 <= i <= top and its slot holds
// a picture. Each held state owns its own pixels: no two states share a buffer.
class ImageHistory {
  public:
    static constexpr std::int32_t kSlots = 8;

    // The picture in use; null when no picture is loaded.
    [[nodiscard]] QImage* GetCurrent();
    [[nodiscard]] const QImage* GetCurrent() const;

    // Makes an independent copy of the current picture, in its pixel format, the new current
    // state one above the state in use; the states redo could have reached are released, and so
    // is the oldest state when eight were held. False, and nothing changed, when the picture
    // cannot be copied (no memory left): an empty current state would hide every picture behind
    // it. Without a current picture the new state is empty.
    bool PushCopy();
    // Takes back the last PushCopy: its state is released and the states it released (redo
    // states, the oldest one) are held again, with `top` and `current` as before. Until
    // KeepPush or the next PushCopy or Reset those released states are kept aside for this.
    void RevertPush();
    // The last PushCopy stays: the states it released are let go.
    void KeepPush();

    // Move `current` by one. Each does nothing when its Can... rule does not allow it.
    void Undo();
    void Redo();
    [[nodiscard]] bool CanUndo() const;
    [[nodiscard]] bool CanRedo() const;

    // Releases every state; top = current = 0.
    void Reset();
    // After Reset: the picture becomes state 0.
    void SetFirst(QImage picture);

    [[nodiscard]] std::int32_t top() const { return top_; }
    [[nodiscard]] std::int32_t current() const { return current_; }
    // Whether the state with this index is held.
    [[nodiscard]] bool IsHeld(std::int32_t index) const;
    // The picture of a held state, or null. Like GetCurrent, not to be read while a fill job
    // writes into the current state.
    [[nodiscard]] const QImage* StateAt(std::int32_t index) const;
    // Whether a slot (0 to 7) holds a picture.
    [[nodiscard]] bool SlotInUse(std::int32_t slot) const;

  private:
    static std::size_t SlotOf(std::int32_t index) {
        return static_cast<std::size_t>(index & (kSlots - 1));
    }
    void Release(std::int32_t index) { images_[SlotOf(index)].reset(); }

    // Emptiness is kept outside the QImage, so asking whether a state exists never touches a
    // picture that a fill job may be writing.
    std::array<std::optional<QImage>, kSlots> images_;
    std::int32_t top_ = 0;
    std::int32_t current_ = 0;

    // What the last PushCopy released, by slot, and the indices it left.
    struct Displaced {
        std::array<std::optional<QImage>, kSlots> images;
        std::int32_t top = 0;
        std::int32_t current = 0;
    };
    std::optional<Displaced> displaced_;
};

}  // namespace velmora
