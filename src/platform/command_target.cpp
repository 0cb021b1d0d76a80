#include "command_target.h"

namespace velmora {

bool CommandTarget::Deliver(int id) const {
    const auto found = handlers_.find(id);
    if (found == handlers_.end()) return false;
    // A copy: the handler may replace its own entry (a frame rewiring its commands, say).
    const Handler handler = found->second;
    handler();
    return true;
}

bool CommandTarget::Update(CommandState& state) const {
    const auto found = updates_.find(state.id());
    if (found == updates_.end()) return false;
    found->second(state);
    return true;
}

}  // namespace velmora
