#pragma once

#include <QString>
#include <QTextStream>
#include <QtGlobal>
#include <atomic>

#include "cli/erase_options.h"

namespace velmora {

// Exit codes of velmora-erase.
inline constexpr int kExitOk = 0;
inline constexpr int kExitUsage = 1;
inline constexpr int kExitFileError = 2;
inline constexpr int kExitNoMemory = 3;
// As a shell reports a program ended by SIGINT.
inline constexpr int kExitInterrupted = 130;

struct EraseStreams {
    QTextStream& out;  // the closing line
    QTextStream& err;  // messages and the progress bar
    bool showProgress = false;
};

// Opens the input, builds the selection, runs the fill (stopped early when `stopRequested` is
// raised, keeping what was filled) and writes the output. Returns an exit code: after a stop,
// kExitInterrupted once the partial result is written; when the fill ran out of memory,
// kExitNoMemory and nothing is written.
int RunErase(const EraseOptions& options, EraseStreams streams, std::atomic<bool>& stopRequested);

// Ctrl+C, from a signal handler: the first raises `stopRequested`, a second one ends the process
// at once with kExitInterrupted, writing nothing. Async-signal-safe.
void HandleInterrupt(std::atomic<bool>& stopRequested) noexcept;

// Qt's own log lines (an allocation limit hit by a reader, a plugin's complaint) would come
// before and between the program's messages on stderr; they are dropped. Fatal ones still abort
// with their text.
void DropQtMessages(QtMsgType type, const QMessageLogContext& context, const QString& message);

}  // namespace velmora
