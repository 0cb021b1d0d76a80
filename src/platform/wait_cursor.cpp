#include "wait_cursor.h"

#include <QCursor>
#include <QGuiApplication>

namespace velmora {

void WaitCursor::Begin() {
    if (shown_ || qGuiApp == nullptr) return;
    QGuiApplication::setOverrideCursor(QCursor(Qt::WaitCursor));
    shown_ = true;
}

void WaitCursor::End() {
    if (!shown_) return;
    shown_ = false;
    if (qGuiApp != nullptr) QGuiApplication::restoreOverrideCursor();
}

}  // namespace velmora
