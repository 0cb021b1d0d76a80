#include "app/user_prompts.h"

#include <QDesktopServices>
#include <QDialog>
#include <QFileDialog>
#include <QMessageBox>

#include "app/file_dialog_language.h"
#include "app/res/document_string.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "imagefile/native_file_name.h"
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

// Shown when the dialog's choice is one of several names it spelled alike (names that are not
// UTF-8): guessing could open or overwrite the wrong file.
constexpr char kAmbiguousNameText[] =
    "文件名中有无法显示的字符，无法与同一文件夹中的其他文件区分。请先给文件改名。";

// The file the dialog's choice names, with its name as bytes; empty (after saying why) when the
// choice cannot be told apart from another file.
std::optional<QString> ChosenFile(QWidget* parent, const QFileDialog& dialog) {
    const QString shown = dialog.selectedFiles().first();
    std::optional<QString> file = FileShownByDialog(shown);
    if (!file) {
        MakeMessageBox(parent, QMessageBox::Critical, LoadString(AFX_IDS_APP_TITLE),
                       QString::fromUtf8(kAmbiguousNameText), QMessageBox::Ok)
            ->exec();
    }
    return file;
}

}  // namespace

std::optional<QString> DialogUserPrompts::AskOpenPath(QWidget* parent) {
    QFileDialog dialog(parent, LoadString(AFX_IDS_OPENFILE));
    dialog.setAcceptMode(QFileDialog::AcceptOpen);
    dialog.setFileMode(QFileDialog::ExistingFile);
    SetDocumentFilters(dialog);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ChosenFile(parent, dialog);
}

std::optional<QString> DialogUserPrompts::AskSavePath(QWidget* parent, const QString& suggested) {
    QFileDialog dialog(parent, LoadString(AFX_IDS_SAVEFILE));
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    dialog.setFileMode(QFileDialog::AnyFile);
    SetDocumentFilters(dialog);
    dialog.setDefaultSuffix(DocumentString::Load().DefaultSuffix());
    if (!suggested.isEmpty()) dialog.selectFile(suggested);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return ChosenFile(parent, dialog);
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
