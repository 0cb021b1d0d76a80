#include "message_boxes.h"

#include <QMessageBox>

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
    QMessageBox::information(mainWindow_, ApplicationTitle(), text);
}

}  // namespace velmora
