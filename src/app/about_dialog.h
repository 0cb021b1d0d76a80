#pragma once

#include <QDialog>
#include <QUrl>
#include <functional>

class QPushButton;

namespace velmora {

// The About box (dialog 100): the program icon, name and version, a notice, a link to the
// product's web page, a link to write to the maker, and OK.
class CAboutDlg : public QDialog {
    Q_OBJECT

  public:
    using UrlOpener = std::function<bool(const QUrl&)>;

    CAboutDlg(UrlOpener openUrl, QWidget* parent = nullptr);

    [[nodiscard]] QPushButton* WebLink() const { return m_linkWebPage; }
    [[nodiscard]] QPushButton* MailLink() const { return m_linkMail; }
    // The addresses the links open.
    [[nodiscard]] QUrl WebAddress() const;
    [[nodiscard]] QUrl MailAddress() const;

  private:
    // Binds each link to its address and shrinks it to its text, keeping its top-left corner.
    void OnInitDialog();
    void SetUpLink(QPushButton* link, const QUrl& url);

    UrlOpener openUrl_;
    QPushButton* m_linkWebPage = nullptr;
    QPushButton* m_linkMail = nullptr;
};

}  // namespace velmora
