#include "app/about_dialog.h"

#include <QFontMetrics>
#include <QLabel>
#include <QPushButton>

#include "app/res/about_box.h"
#include "app/res/images.h"
#include "app/res/resource_ids.h"

namespace velmora {

namespace {

const char kUrlProperty[] = "url";

// Dialog units to pixels for the dialog's font.
class DialogUnits {
  public:
    explicit DialogUnits(const QFontMetrics& metrics)
        : baseX_(metrics.averageCharWidth()), baseY_(metrics.height()) {}
    [[nodiscard]] QRect ToPixels(const QRect& units) const {
        return {units.x() * baseX_ / 4, units.y() * baseY_ / 8, units.width() * baseX_ / 4,
                units.height() * baseY_ / 8};
    }

  private:
    int baseX_;
    int baseY_;
};

}  // namespace

CAboutDlg::CAboutDlg(UrlOpener openUrl, QWidget* parent)
    : QDialog(parent), openUrl_(std::move(openUrl)) {
    const DialogTemplate& form = AboutBoxTemplate();
    const DialogUnits units(fontMetrics());
    setWindowTitle(QString::fromUtf8(form.caption));
    setFixedSize(units.ToPixels(QRect(QPoint(0, 0), form.units)).size());

    for (const DialogControl& control : form.controls) {
        const QRect place = units.ToPixels(control.units);
        const QString text = QString::fromUtf8(control.text);
        QWidget* widget = nullptr;
        switch (control.kind) {
            case DialogControl::Kind::DefaultButton: {
                auto* button = new QPushButton(text, this);
                button->setDefault(true);
                connect(button, &QPushButton::clicked, this, &QDialog::accept);
                widget = button;
                break;
            }
            case DialogControl::Kind::Icon: {
                auto* icon = new QLabel(this);
                icon->setPixmap(ProgramIcon().pixmap(32, 32));
                icon->setAlignment(Qt::AlignLeft | Qt::AlignTop);
                widget = icon;
                break;
            }
            case DialogControl::Kind::Text:
                widget = new QLabel(text, this);
                static_cast<QLabel*>(widget)->setTextFormat(Qt::PlainText);
                break;
            case DialogControl::Kind::LinkButton:
                widget = new QPushButton(text, this);
                if (control.id == IDC_LINK_WEB) m_linkWebPage = static_cast<QPushButton*>(widget);
                if (control.id == IDC_LINK_MAIL) m_linkMail = static_cast<QPushButton*>(widget);
                break;
        }
        widget->setGeometry(place);
        if (control.id != 0) widget->setObjectName(QStringLiteral("control%1").arg(control.id));
    }
    OnInitDialog();
}

QUrl CAboutDlg::WebAddress() const {
    return m_linkWebPage->property(kUrlProperty).toUrl();
}

QUrl CAboutDlg::MailAddress() const {
    return m_linkMail->property(kUrlProperty).toUrl();
}

void CAboutDlg::OnInitDialog() {
    SetUpLink(m_linkWebPage, QUrl(QString::fromUtf8(kProductWebPage)));
    SetUpLink(m_linkMail, QUrl(QString::fromUtf8(kSupportMail)));
}

void CAboutDlg::SetUpLink(QPushButton* link, const QUrl& url) {
    link->setProperty(kUrlProperty, url);
    link->setFlat(true);
    link->setCursor(Qt::PointingHandCursor);
    link->setToolTip(url.toString());
    link->setAutoDefault(false);
    QFont font = link->font();
    font.setUnderline(true);
    link->setFont(font);
    QPalette colours = link->palette();
    colours.setColor(QPalette::ButtonText, colours.color(QPalette::Link));
    link->setPalette(colours);
    // Sized to the text, keeping the top-left corner and the height.
    const int textWidth = QFontMetrics(font).horizontalAdvance(link->text());
    link->resize(textWidth + 8, link->height());
    connect(link, &QPushButton::clicked, this, [this, url] {
        if (openUrl_) openUrl_(url);
    });
}

}  // namespace velmora
