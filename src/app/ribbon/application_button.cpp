#include "app/ribbon/application_button.h"

#include <QPainter>

namespace velmora {

ApplicationButton::ApplicationButton(QWidget* parent) : QToolButton(parent) {
    setPopupMode(QToolButton::InstantPopup);
    setToolButtonStyle(Qt::ToolButtonIconOnly);
    setIconSize(QSize(26, 26));
    setFocusPolicy(Qt::NoFocus);
    setCursor(Qt::PointingHandCursor);
}

void ApplicationButton::paintEvent(QPaintEvent*) {
    QPainter painter(this);
    painter.setRenderHint(QPainter::Antialiasing);
    const QColor base = palette().color(QPalette::Highlight);
    const bool lit = isDown() || underMouse();
    QLinearGradient fill(0, 0, 0, height());
    fill.setColorAt(0.0, base.lighter(lit ? 150 : 135));
    fill.setColorAt(0.5, base.lighter(lit ? 115 : 105));
    fill.setColorAt(1.0, base.darker(lit ? 95 : 110));
    painter.setBrush(fill);
    painter.setPen(base.darker(140));
    const QRectF tab = QRectF(rect()).adjusted(0.5, 0.5, -0.5, 3.0);  // open at the bottom
    painter.drawRoundedRect(tab, 5, 5);
    const QSize size = iconSize();
    const QPoint corner((width() - size.width()) / 2, (height() - size.height()) / 2);
    icon().paint(&painter, QRect(corner, size), Qt::AlignCenter,
                 isEnabled() ? QIcon::Normal : QIcon::Disabled);
}

}  // namespace velmora
