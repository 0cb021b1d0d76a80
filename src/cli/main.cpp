#include <unistd.h>
#include <QCoreApplication>
#include <QTextStream>
#include <atomic>
#include <csignal>
#include <cstdio>

#include "cli/erase_command.h"
#include "imagefile/native_file_name.h"

namespace {

// Ctrl+C acts as the Stop command: the fill ends early and what was filled so far is written.
std::atomic<bool> stopRequested{false};
static_assert(std::atomic<bool>::is_always_lock_free);

extern "C" void RequestStop(int) {
    velmora::HandleInterrupt(stopRequested);
}

}  // namespace

int main(int argc, char* argv[]) {
    // First, so that no Ctrl+C after start-up kills the program without its message. A shell
    // that started it in the background with SIGINT ignored keeps it ignored.
    struct sigaction inherited {};
    if (sigaction(SIGINT, nullptr, &inherited) == 0 && inherited.sa_handler != SIG_IGN)
        std::signal(SIGINT, RequestStop);
    qInstallMessageHandler(velmora::DropQtMessages);
    QCoreApplication application(argc, argv);
    QTextStream out(stdout);
    QTextStream err(stderr);

    // From argv itself: file names are kept as the bytes they are.
    QStringList arguments;
    for (int i = 1; i < argc; ++i) arguments << velmora::FileNameFromNative(argv[i]);
    const velmora::ParsedEraseArguments parsed = velmora::ParseEraseArguments(arguments);
    if (!parsed.options) {
        err << "velmora-erase: " << parsed.error << '\n' << velmora::EraseUsage() << '\n';
        return velmora::kExitUsage;
    }
    if (parsed.options->helpRequested) {
        out << velmora::EraseUsage() << '\n';
        return velmora::kExitOk;
    }
    const bool showProgress = !parsed.options->quiet && isatty(STDERR_FILENO) != 0;
    return velmora::RunErase(*parsed.options, {out, err, showProgress}, stopRequested);
}
