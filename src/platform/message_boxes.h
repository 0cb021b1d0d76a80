#pragma once

#include <QMessageBox>
#include <QPointer>
#include <QString>
#include <QWidget>
#include <memory>

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
    // A question answered with yes or no; true for yes.
    virtual bool AskYesNo(const QString& question) = 0;
};

// Errors in modal boxes over the main window, titled "Velmora"; notices in the main window's
// status bar (a box when it has none).
class DialogMessageBoxes final : public MessageBoxes {
  public:
    explicit DialogMessageBoxes(QWidget* mainWindow) : mainWindow_(mainWindow) {}
    void ShowError(const QString& text) override;
    void ShowNotice(const QString& text) override;
    bool AskYesNo(const QString& question) override;

  private:
    QPointer<QWidget> mainWindow_;
};

// A modal box the width of which leaves the window manager room for the whole title: a box sized
// to a short text alone gets its title cut short in the title bar.
std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons);

// The narrowest a box may be for its title: the title's width plus the title bar's buttons.
[[nodiscard]] int MinimumMessageBoxWidth(const QString& title);

}  // namespace velmora
