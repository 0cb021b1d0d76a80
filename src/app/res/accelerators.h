#pragma once

#include <QKeyCombination>
#include <vector>

namespace velmora {

// One entry of the main accelerator table: keys and the command they send.
struct Accelerator {
    QKeyCombination keys;
    int command;
};

// Accelerator table 128, in its order. Some entries name commands that nothing handles: those
// keys stay bound and do nothing, like every disabled command.
const std::vector<Accelerator>& MainAccelerators();

}  // namespace velmora
