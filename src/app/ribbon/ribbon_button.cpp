#include "app/ribbon/ribbon_button.h"

#include <QAction>

namespace velmora {

namespace {
constexpr int kLargeIcon = 32;
constexpr int kSmallIcon = 16;
constexpr int kLargeMinimumWidth = 52;
}  // namespace

RibbonButton::RibbonButton(QAction* action, QWidget* parent) : QToolButton(parent) {
    setDefaultAction(action);
    setAutoRaise(true);
    setFocusPolicy(Qt::NoFocus);  // the keyboard belongs to the canvas; the keys have accelerators
    SetLarge(true);
}

void RibbonButton::SetLarge(bool large) {
    large_ = large;
    if (large) {
        setToolButtonStyle(Qt::ToolButtonTextUnderIcon);
        setIconSize(QSize(kLargeIcon, kLargeIcon));
        setMinimumWidth(kLargeMinimumWidth);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Expanding);
    } else {
        setToolButtonStyle(Qt::ToolButtonTextBesideIcon);
        setIconSize(QSize(kSmallIcon, kSmallIcon));
        setMinimumWidth(0);
        setSizePolicy(QSizePolicy::Preferred, QSizePolicy::Preferred);
    }
}

int RibbonButton::CommandId() const {
    return defaultAction() != nullptr ? defaultAction()->data().toInt() : 0;
}

}  // namespace velmora
