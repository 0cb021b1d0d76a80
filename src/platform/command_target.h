#pragma once

#include <functional>
#include <unordered_map>

#include "platform/command_state.h"

namespace velmora {

// One stop on a command's route (frame, view, document or application): the commands it handles
// and the update handlers that decide when they are enabled, both by command identifier.
class CommandTarget {
  public:
    using Handler = std::function<void()>;
    using UpdateHandler = std::function<void(CommandState&)>;

    void SetHandler(int id, Handler handler) { handlers_[id] = std::move(handler); }
    void SetUpdateHandler(int id, UpdateHandler update) { updates_[id] = std::move(update); }

    [[nodiscard]] bool HasHandler(int id) const { return handlers_.contains(id); }
    [[nodiscard]] bool HasUpdateHandler(int id) const { return updates_.contains(id); }

    // Both return false, and do nothing, when this target has no such handler.
    bool Deliver(int id) const;
    bool Update(CommandState& state) const;

  private:
    std::unordered_map<int, Handler> handlers_;
    std::unordered_map<int, UpdateHandler> updates_;
};

}  // namespace velmora
