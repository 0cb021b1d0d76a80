#pragma once

#include <QImage>
#include <QPoint>
#include <QString>
#include <QTemporaryDir>
#include <functional>
#include <memory>
#include <vector>

namespace velmora {

class CVelmoraApp;

// The program driven as a person would drive it, for pictures of the main window: its own
// settings in a scratch folder, no dialogs, messages printed instead of shown.
class ScreenshotSession {
  public:
    ScreenshotSession();
    ~ScreenshotSession();

    [[nodiscard]] bool Start(QSize windowSize);
    [[nodiscard]] CVelmoraApp& App() { return *app_; }

    // Clicks on the canvas at picture coordinates with the left button.
    void ClickPicture(QPoint picture);
    // Runs the event loop until the condition holds; false if it never did within the limit.
    bool WaitUntil(const std::function<bool()>& condition, int limitMs);
    // The whole main window as it is on screen now.
    [[nodiscard]] QImage Grab();

  private:
    QTemporaryDir scratch_;
    std::unique_ptr<CVelmoraApp> app_;
};

}  // namespace velmora
