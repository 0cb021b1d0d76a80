#pragma once

#include <QString>
#include <QUrl>
#include <optional>

class QDialog;
class QWidget;

namespace velmora {

// The questions the program asks with modal dialogs, and the desktop's handler for addresses.
// The program uses the dialogs; tests answer in their place, so no dialog waits for a click that
// will not come.
class UserPrompts {
  public:
    enum class SaveChanges { Save, Discard, Cancel };

    virtual ~UserPrompts() = default;
    // A picture to open; empty when the user cancels.
    virtual std::optional<QString> AskOpenPath(QWidget* parent) = 0;
    // Where to save, starting from `suggested`; empty when the user cancels.
    virtual std::optional<QString> AskSavePath(QWidget* parent, const QString& suggested) = 0;
    // "保存改变到 %1 ?" with Yes, No and Cancel.
    virtual SaveChanges AskSaveChanges(QWidget* parent, const QString& documentTitle) = 0;
    // Hands an address (a web page, a mail address, a local help page) to the desktop.
    virtual bool OpenUrl(const QUrl& url) = 0;
    // Shows a modal dialog of the program (the About box) until it is closed.
    virtual void RunModal(QDialog& dialog) = 0;
};

// The real dialogs and the desktop's handlers.
class DialogUserPrompts final : public UserPrompts {
  public:
    std::optional<QString> AskOpenPath(QWidget* parent) override;
    std::optional<QString> AskSavePath(QWidget* parent, const QString& suggested) override;
    SaveChanges AskSaveChanges(QWidget* parent, const QString& documentTitle) override;
    bool OpenUrl(const QUrl& url) override;
    void RunModal(QDialog& dialog) override;
};

}  // namespace velmora
