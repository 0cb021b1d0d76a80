#include "app/screenshots/screenshot_session.h"

#include <QApplication>
#include <QElapsedTimer>
#include <QMouseEvent>
#include <QTextStream>

#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/user_prompts.h"
#include "app/velmora_app.h"
#include "platform/message_boxes.h"
#include "view/velmora_view.h"

namespace velmora {

namespace {

// Nothing here asks a question: the session says what it does itself.
class SilentPrompts final : public UserPrompts {
  public:
    std::optional<QString> AskOpenPath(QWidget*) override { return std::nullopt; }
    std::optional<QString> AskSavePath(QWidget*, const QString&) override { return std::nullopt; }
    SaveChanges AskSaveChanges(QWidget*, const QString&) override { return SaveChanges::Discard; }
    bool OpenUrl(const QUrl&) override { return true; }
    void RunModal(QDialog&) override {}
};

class PrintedMessages final : public MessageBoxes {
  public:
    void ShowError(const QString& text) override { Print(QStringLiteral("error: ") + text); }
    void ShowNotice(const QString& text) override { Print(text); }
    bool AskYesNo(const QString& question) override {
        Print(question + QStringLiteral(" yes"));
        return true;
    }

  private:
    static void Print(const QString& text) { QTextStream(stderr) << text << Qt::endl; }
};

void SendMouse(QWidget* target, QEvent::Type type, QPoint at, Qt::MouseButton button,
               Qt::MouseButtons held) {
    QMouseEvent event(type, QPointF(at), QPointF(target->mapToGlobal(at)), button, held,
                      Qt::NoModifier);
    QApplication::sendEvent(target, &event);
}

}  // namespace

ScreenshotSession::ScreenshotSession() = default;
ScreenshotSession::~ScreenshotSession() = default;

bool ScreenshotSession::Start(QSize windowSize) {
    AppEnvironment environment;
    environment.settings =
        std::make_unique<AppSettings>(scratch_.filePath(QStringLiteral("Velmora.conf")));
    environment.prompts = std::make_unique<SilentPrompts>();
    environment.messages = std::make_unique<PrintedMessages>();
    app_ = std::make_unique<CVelmoraApp>(std::move(environment));
    if (!app_->InitInstance({})) return false;
    app_->MainFrame()->resize(windowSize);
    QApplication::processEvents();
    return true;
}

void ScreenshotSession::ClickPicture(QPoint picture) {
    CVelmoraView* view = app_->View();
    const QPoint at = view->Mapping().ToView({picture.x(), picture.y()});
    QWidget* canvas = view->viewport();
    SendMouse(canvas, QEvent::MouseMove, at, Qt::NoButton, Qt::NoButton);
    SendMouse(canvas, QEvent::MouseButtonPress, at, Qt::LeftButton, Qt::LeftButton);
    SendMouse(canvas, QEvent::MouseButtonRelease, at, Qt::LeftButton, Qt::NoButton);
    QApplication::processEvents();
}

bool ScreenshotSession::WaitUntil(const std::function<bool()>& condition, int limitMs) {
    QElapsedTimer clock;
    clock.start();
    while (!condition()) {
        if (clock.elapsed() > limitMs) return false;
        QApplication::processEvents(QEventLoop::WaitForMoreEvents, 20);
    }
    return true;
}

QImage ScreenshotSession::Grab() {
    // The buttons show what the commands allow now, as after any turn of the event loop.
    app_->Router().RefreshActions();
    QApplication::processEvents();
    return app_->MainFrame()->grab().toImage();
}

}  // namespace velmora
