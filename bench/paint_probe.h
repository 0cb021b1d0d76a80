#pragma once

#include <QApplication>
#include <cstddef>
#include <optional>
#include <vector>

namespace velmora::bench {

// Wall-clock and processor time of one stretch of work on the user-interface thread.
// The thread's context switches tell why wall time exceeds processor time: a voluntary one means
// it blocked (on a lock, say), an involuntary one that it was preempted.
struct UiCost {
    double wallMs = 0;
    double cpuMs = 0;
    long blocked = 0;    // voluntary context switches
    long preempted = 0;  // involuntary ones
};

// The application with a stopwatch on what a fill's progress costs the user-interface thread:
// each posted command the router handles (the report and all it runs, a repaint it forces
// included), the window's update requests that follow a report until the next command, and every
// paint of the canvas on its own.
class ProbeApplication final : public QApplication {
  public:
    ProbeApplication(int& argc, char** argv);

    // Starts watching: the router the job posts to, the top-level window, the canvas's viewport.
    void Watch(const QObject* router, const QObject* window, const QObject* canvas);
    void StopWatching();
    // The router delivered a command (connect its commandDelivered here).
    void NoteDelivered(int id) { deliveredId_ = id; }

    // One entry per progress report handled: its handling plus the repaints until the next command.
    [[nodiscard]] const std::vector<UiCost>& ReportCosts() const { return reports_; }
    [[nodiscard]] const std::vector<UiCost>& CanvasPaints() const { return paints_; }

    bool notify(QObject* receiver, QEvent* event) override;

  private:
    enum class Watched { None, Command, WindowUpdate, CanvasPaint };
    [[nodiscard]] Watched Classify(const QObject* receiver, const QEvent* event) const;

    const QObject* router_ = nullptr;
    const QObject* window_ = nullptr;
    const QObject* canvas_ = nullptr;
    int deliveredId_ = 0;
    int depth_ = 0;                          // watched events being handled, nested ones included
    std::optional<std::size_t> openReport_;  // the report later repaints are added to
    std::vector<UiCost> reports_;
    std::vector<UiCost> paints_;
};

// The median, 95th percentile and largest of some samples (zero when there are none).
struct Spread {
    double median = 0;
    double p95 = 0;
    double max = 0;
};
[[nodiscard]] Spread SpreadOf(std::vector<double> samples);

}  // namespace velmora::bench
