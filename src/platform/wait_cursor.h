#pragma once

namespace velmora {

// The busy cursor over the whole application, shown at most once by each owner and always taken
// away again, at the latest when the owner goes away.
class WaitCursor {
  public:
    WaitCursor() = default;
    WaitCursor(const WaitCursor&) = delete;
    WaitCursor& operator=(const WaitCursor&) = delete;
    ~WaitCursor() { End(); }

    void Begin();
    void End();
    [[nodiscard]] bool Shown() const { return shown_; }

  private:
    bool shown_ = false;
};

}  // namespace velmora
