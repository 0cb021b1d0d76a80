#pragma once

#include <QTextStream>
#include <atomic>

#include "cli/erase_options.h"

namespace velmora {

// Exit codes of velmora-erase.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFileError = 2;

struct EraseStreams {
    QTextStream& out;  // the closing line
    QTextStream& err;  // messages and the progress bar
    bool showProgress = false;
};

// Opens the input, builds the selection, runs the fill (stopped early when `stopRequested` is
// raised, keeping what was filled) and writes the output. Returns an exit code.
int RunErase(const EraseOptions& options, EraseStreams streams, std::atomic<bool>& stopRequested);

}  // namespace velmora
