#include "message_boxes.h"

#include <QMessageBox>
#include <QStatusBar>

namespace velmora {

namespace {
QString ApplicationTitle() {
    return QStringLiteral("Velmora");
}
}  // namespace

void DialogMessageBoxes::ShowError(const QString& text) {
    QMessageBox::critical(mainWindow_, ApplicationTitle(), text);
}

void DialogMessageBoxes::ShowNotice(const QString& text) {
    // A notice needs no answer: the status bar's message area, when the window has one.
    constexpr int kNoticeMilliseconds = 10000;
    // findChild, not QMainWindow::statusBar(), which would make one.
    QStatusBar* const bar = mainWindow_ != nullptr ? mainWindow_->findChild<QStatusBar*>(
                                                         QString(), Qt::FindDirectChildrenOnly)
                                                   : nullptr;
    if (bar != nullptr) {
        bar->showMessage(text, kNoticeMilliseconds);
        return;
    }
    QMessageBox::information(mainWindow_, ApplicationTitle(), text);
}

}  // namespace velmora
