#include "message_boxes.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QSpacerItem>
#include <QStatusBar>
#include <algorithm>

namespace velmora {

namespace {
QString ApplicationTitle() {
    return QStringLiteral("Velmora");
}
// Room for the window icon and the minimise, maximise and close buttons of the title bar.
constexpr int kTitleBarButtonsWidth = 160;
constexpr int kSmallestBoxWidth = 320;
}  // namespace

int MinimumMessageBoxWidth(const QString& title) {
    // Title bars commonly draw their text bold in the application font or slightly larger.
    QFont font = QApplication::font("QMdiSubWindowTitleBar");
    font.setBold(true);
    const int titleWidth = QFontMetrics(font).horizontalAdvance(title);
    return std::max(kSmallestBoxWidth, titleWidth + kTitleBarButtonsWidth);
}

std::unique_ptr<QMessageBox> MakeMessageBox(QWidget* parent, QMessageBox::Icon icon,
                                            const QString& title, const QString& text,
                                            QMessageBox::StandardButtons buttons) {
    auto box = std::make_unique<QMessageBox>(icon, title, text, buttons, parent);
    // The box fixes its own size from its layout's minimum when shown; a spacer across the
    // layout's full width raises that minimum. The layout owns the spacer.
    if (auto* const grid = qobject_cast<QGridLayout*>(box->layout())) {
        grid->addItem(new QSpacerItem(MinimumMessageBoxWidth(title), 0, QSizePolicy::Minimum,
                                      QSizePolicy::Fixed),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

void DialogMessageBoxes::ShowError(const QString& text) {
    const std::unique_ptr<QMessageBox> box = MakeMessageBox(
        mainWindow_, QMessageBox::Critical, ApplicationTitle(), text, QMessageBox::Ok);
    box->exec();
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
    MakeMessageBox(mainWindow_, QMessageBox::Information, ApplicationTitle(), text, QMessageBox::Ok)
        ->exec();
}

bool DialogMessageBoxes::AskYesNo(const QString& question) {
    return QMessageBox::question(mainWindow_, ApplicationTitle(), question,
                                 QMessageBox::Yes | QMessageBox::No,
                                 QMessageBox::No) == QMessageBox::Yes;
}

}  // namespace velmora
