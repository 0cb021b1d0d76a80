#pragma once

#include <QPointer>
#include <QString>
#include <QWidget>

namespace velmora {

// Where the document's messages to the user go. The program shows them in modal boxes; tests
// record them instead, so no dialog ever waits for a click that will not come.
class MessageBoxes {
  public:
    virtual ~MessageBoxes() = default;
    // A failure the user must see: an error box with the application's title.
    virtual void ShowError(const QString& text) = 0;
    // Something worth knowing that needs no answer.
    virtual void ShowNotice(const QString& text) = 0;
};

// Errors in modal boxes over the main window, titled "Velmora"; notices in the main window's
// status bar (a box when it has none).
class DialogMessageBoxes final : public MessageBoxes {
  public:
    explicit DialogMessageBoxes(QWidget* mainWindow) : mainWindow_(mainWindow) {}
    void ShowError(const QString& text) override;
    void ShowNotice(const QString& text) override;

  private:
    QPointer<QWidget> mainWindow_;
};

}  // namespace velmora
