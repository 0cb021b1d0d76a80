#include "app/user_prompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "app/file_dialog_language.h"
#include "app/res/document_string.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "platform/message_boxes.h"

namespace velmora {

namespace {

// The dialog shows the filter names as the document string spells them, without the patterns.
void SetDocumentFilters(QFileDialog& dialog) {
    const DocumentString document = DocumentString::Load();
    dialog.setNameFilters(document.DialogFilters());
    dialog.setOption(QFileDialog::HideNameFilterDetails);
    // Qt's own dialog, not the desktop's: the desktop's speaks the system's language, Qt's the
    // program's, with dates in the program's locale.
    UseProgramLanguage(dialog);
}

}  // namespace

std::optional<QString> DialogUserPrompts::AskOpenPath(QWidget* parent) {
    QFileDialog dialog(parent, LoadString(AFX_IDS_OPENFILE));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetDocumentFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

std::optional<QString> DialogUserPrompts::AskSavePath(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, LoadString(AFX_IDS_SAVEFILE));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    SetDocumentFilters(dialog);
    dialog.setDefaultSuffix(DocumentString::Load().DefaultSuffix());
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().first();
}

UserPrompts::SaveChanges DialogUserPrompts::AskSaveChanges(QWidget* parent,
                                                           const QString& documentTitle) {
    const std::unique_ptr<QMessageBox> box =
        MakeMessageBox(parent, QMessageBox::Question, LoadString(AFX_IDS_APP_TITLE),
                       LoadString(AFX_IDP_ASK_TO_SAVE).arg(documentTitle),
                       QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
    box->setDefaultButton(QMessageBox::Yes);
    const auto answer = static_cast<QMessageBox::StandardButton>(box->exec());
    if (answer == QMessageBox::Yes) return SaveChanges::Save;
    if (answer == QMessageBox::No) return SaveChanges::Discard;
    return SaveChanges::Cancel;
}

bool DialogUserPrompts::OpenUrl(const QUrl& url) {
    return QDesktopServices::openUrl(url);
}

void DialogUserPrompts::RunModal(QDialog& dialog) {
    dialog.exec();
}

}  // namespace velmora
