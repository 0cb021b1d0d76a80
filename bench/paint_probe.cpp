#include "paint_probe.h"

#include <QElapsedTimer>
#include <QEvent>
#include <algorithm>
#include <cmath>
#include <ctime>

#include <sys/resource.h>

#include "engine/fill_job.h"

namespace velmora::bench {

namespace {

// Processor time of the calling thread: unlike the wall clock, it does not count the time the
// thread waited for a core on a busy machine (nor for a lock).
double ThreadCpuMs() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return static_cast<double>(now.tv_sec) * 1e3 + static_cast<double>(now.tv_nsec) / 1e6;
}

UiCost ThreadNow() {
    rusage usage{};
    getrusage(RUSAGE_THREAD, &usage);
    return {0, ThreadCpuMs(), usage.ru_nvcsw, usage.ru_nivcsw};
}

UiCost& operator+=(UiCost& a, const UiCost& b) {
    a.wallMs += b.wallMs;
    a.cpuMs += b.cpuMs;
    a.blocked += b.blocked;
    a.preempted += b.preempted;
    return a;
}

}  // namespace

ProbeApplication::ProbeApplication(int& argc, char** argv) : QApplication(argc, argv) {}

void ProbeApplication::Watch(const QObject* router, const QObject* window, const QObject* canvas) {
    router_ = router;
    window_ = window;
    canvas_ = canvas;
    openReport_.reset();
    reports_.clear();
    paints_.clear();
}

void ProbeApplication::StopWatching() {
    router_ = window_ = canvas_ = nullptr;
    openReport_.reset();
}

ProbeApplication::Watched ProbeApplication::Classify(const QObject* receiver,
                                                     const QEvent* event) const {
    if (receiver == nullptr) return Watched::None;
    if (receiver == router_ && event->type() >= QEvent::User) return Watched::Command;
    if (receiver == window_ && event->type() == QEvent::UpdateRequest) return Watched::WindowUpdate;
    if (receiver == canvas_ && event->type() == QEvent::Paint) return Watched::CanvasPaint;
    return Watched::None;
}

bool ProbeApplication::notify(QObject* receiver, QEvent* event) {
    const Watched kind = Classify(receiver, event);
    if (kind == Watched::None) return QApplication::notify(receiver, event);

    if (kind == Watched::Command) deliveredId_ = 0;
    ++depth_;
    QElapsedTimer wall;
    const UiCost start = ThreadNow();
    wall.start();
    const bool handled = QApplication::notify(receiver, event);
    const double wallMs = static_cast<double>(wall.nsecsElapsed()) / 1e6;
    const UiCost end = ThreadNow();
    const UiCost cost{wallMs, end.cpuMs - start.cpuMs, end.blocked - start.blocked,
                      end.preempted - start.preempted};
    --depth_;

    switch (kind) {
        case Watched::Command:
            if (deliveredId_ == ID_FILL_PROGRESS) {
                reports_.push_back(cost);
                openReport_ = reports_.size() - 1;
            } else {
                openReport_.reset();
            }
            break;
        case Watched::WindowUpdate:
            // Only the window's own turn of the event loop; one inside a command counts there.
            if (depth_ == 0 && openReport_) reports_[*openReport_] += cost;
            break;
        case Watched::CanvasPaint:
            paints_.push_back(cost);
            break;
        case Watched::None:
            break;
    }
    return handled;
}

Spread SpreadOf(std::vector<double> samples) {
    if (samples.empty()) return {};
    std::sort(samples.begin(), samples.end());
    const auto at = [&samples](double share) {
        const auto index =
            static_cast<std::size_t>(std::ceil(share * static_cast<double>(samples.size())) - 1);
        return samples[std::min(index, samples.size() - 1)];
    };
    const std::size_t n = samples.size();
    const double median = n % 2 == 1 ? samples[n / 2] : (samples[n / 2 - 1] + samples[n / 2]) / 2;
    return {median, at(0.95), samples.back()};
}

}  // namespace velmora::bench
