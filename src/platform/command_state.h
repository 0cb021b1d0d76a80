#pragma once

namespace velmora {

// What an update handler decides about one command: whether it may be delivered now and whether
// its buttons and menu entries show a check mark. Update handlers only ever call these three.
class CommandState {
  public:
    CommandState(int id, bool enabled) : id_(id), enabled_(enabled) {}

    void Enable(bool enabled) { enabled_ = enabled; }
    void SetCheck(bool checked) {
        checkable_ = true;
        checked_ = checked;
    }
    // A radio mark is a check mark among a group of commands.
    void SetRadio(bool on) { SetCheck(on); }

    [[nodiscard]] int id() const { return id_; }
    [[nodiscard]] bool enabled() const { return enabled_; }
    [[nodiscard]] bool checkable() const { return checkable_; }
    [[nodiscard]] bool checked() const { return checked_; }

  private:
    int id_;
    bool enabled_;
    bool checkable_ = false;
    bool checked_ = false;
};

}  // namespace velmora
