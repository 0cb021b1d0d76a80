#include <unistd.h>
#include <QCoreApplication>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "cli/erase_command.h"

namespace {

// Ctrl+C acts as the Stop command: the fill ends early and what was filled so far is written.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RequestStop(int) {
    stopRequested.store(true);
}

}  // namespace

int main(int argc, char* argv[]) {
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    const velmora::ParsedEraseArguments parsed =
        velmora::ParseEraseArguments(QCoreApplication::arguments().mid(1));
    if (!parsed.options) {
        err << "velmora-erase: " << parsed.error << '\n' << velmora::EraseUsage() << '\n';
        return velmora::kExitUsage;
    }
    if (parsed.options->helpRequested) {
        out << velmora::EraseUsage() << '\n';
        return velmora::kExitOk;
    }
    std::signal(SIGINT, RequestStop);
    const bool showProgress = !parsed.options->quiet && isatty(STDERR_FILENO) != 0;
    return velmora::RunErase(*parsed.options, {out, err, showProgress}, stopRequested);
}
