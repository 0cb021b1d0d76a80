#include "app/ribbon/ribbon_panel.h"

#include <QGridLayout>
#include <QLabel>
#include <QPainter>
#include <QVBoxLayout>
#include <algorithm>

#include "app/ribbon/ribbon_button.h"

namespace velmora {

namespace {
constexpr int kCompactRows = 3;
}  // namespace

RibbonPanel::RibbonPanel(const QString& caption, QWidget* parent)
    : QWidget(parent), buttonGrid_(new QGridLayout), caption_(new QLabel(caption)) {
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(4, 3, 4, 2);
    column->setSpacing(1);
    buttonGrid_->setSpacing(1);
    column->addLayout(buttonGrid_, 1);
    caption_->setAlignment(Qt::AlignCenter);
    caption_->setForegroundRole(QPalette::WindowText);
    // Latin and Chinese captions alike get the height of the taller script.
    caption_->setFixedHeight(std::max(fontMetrics().height(),
                                      fontMetrics().boundingRect(QStringLiteral("汉")).height()) +
                             2);
    column->addWidget(caption_);
    setSizePolicy(QSizePolicy::Fixed, QSizePolicy::Expanding);
}

RibbonButton* RibbonPanel::AddButton(QAction* action) {
    auto* button = new RibbonButton(action, this);
    buttons_.push_back(button);
    Relayout();
    return button;
}

QString RibbonPanel::Caption() const {
    return caption_->text();
}

void RibbonPanel::SetCompact(bool compact) {
    if (compact == compact_) return;
    compact_ = compact;
    Relayout();
}

void RibbonPanel::Relayout() {
    for (RibbonButton* button : buttons_) buttonGrid_->removeWidget(button);
    for (std::size_t i = 0; i < buttons_.size(); ++i) {
        RibbonButton* button = buttons_[i];
        button->SetLarge(!compact_);
        const int index = static_cast<int>(i);
        if (compact_)
            buttonGrid_->addWidget(button, index % kCompactRows, index / kCompactRows,
                                   Qt::AlignLeft | Qt::AlignTop);
        else
            buttonGrid_->addWidget(button, 0, index);
    }
    updateGeometry();
}

void RibbonPanel::paintEvent(QPaintEvent*) {
    // A rounded frame with the caption on a darker strip, in the colours of the current look.
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QRectF frame = QRectF(rect()).adjusted(0.5, 0.5, -0.5, -0.5);
    QLinearGradient body(frame.topLeft(), frame.bottomLeft());
    body.setColorAt(0.0, palette().color(QPalette::Button).lighter(104));
    body.setColorAt(1.0, palette().color(QPalette::Button));
    painter.setPen(QPen(palette().color(QPalette::Mid), 1.0));
    painter.setBrush(body);
    painter.drawRoundedRect(frame, 3, 3);

    const QRectF strip(frame.left() + 1, caption_->geometry().top() - 1, frame.width() - 2,
                       frame.bottom() - caption_->geometry().top());
    painter.setPen(Qt::NoPen);
    painter.setBrush(palette().color(QPalette::Window));
    painter.drawRoundedRect(strip, 2, 2);
}

}  // namespace velmora
