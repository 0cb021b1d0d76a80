// The application's commands: About, New, Open, Save, Save As, the recent files and Exit, with
// the prompt to save a modified picture before it is replaced or the window closes.
#include <QDir>
#include <QFileInfo>

#include "app/about_dialog.h"
#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/res/document_string.h"
#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "app/user_prompts.h"
#include "app/velmora_app.h"
#include "document/velmora_doc.h"
#include "imagefile/native_file_name.h"
#include "platform/command_ids.h"

namespace velmora {

void CVelmoraApp::RegisterCommands() {
    commands_.SetHandler(ID_APP_ABOUT, [this] { OnShowAbout(); });
    commands_.SetHandler(ID_FILE_NEW, [this] { OnFileNew(); });
    commands_.SetHandler(ID_FILE_OPEN, [this] { OnFileOpen(); });
    commands_.SetHandler(ID_FILE_SAVE, [this] { OnFileSave(); });
    commands_.SetHandler(ID_FILE_SAVE_AS, [this] { OnFileSaveAs(); });
    commands_.SetHandler(ID_APP_EXIT, [this] {
        if (frame_) frame_->close();
    });
    // New and the recent files replace the picture like Open: not while a fill runs.
    const auto whileIdle = [this](CommandState& state) {
        if (!DocumentIdle()) state.Enable(false);
    };
    commands_.SetUpdateHandler(ID_FILE_NEW, whileIdle);
    for (int i = 0; i < recentFiles_.Capacity(); ++i) {
        commands_.SetHandler(ID_FILE_MRU_FILE1 + i, [this, i] { OnOpenRecentFile(i); });
        commands_.SetUpdateHandler(ID_FILE_MRU_FILE1 + i, [this, i](CommandState& state) {
            if (i >= recentFiles_.Size() || !DocumentIdle()) state.Enable(false);
        });
    }
}

bool CVelmoraApp::DocumentIdle() const {
    return document_ && !document_->Busy();
}

void CVelmoraApp::OnShowAbout() {
    CAboutDlg about([this](const QUrl& url) { return prompts_->OpenUrl(url); }, frame_.get());
    prompts_->RunModal(about);
}

void CVelmoraApp::OnFileNew() {
    if (!DocumentIdle() || !SaveModified()) return;
    document_->OnNewDocument();
}

void CVelmoraApp::OnFileOpen() {
    const std::optional<QString> path = prompts_->AskOpenPath(frame_.get());
    if (path) OpenDocumentFile(*path);
}

bool CVelmoraApp::OpenDocumentFile(const QString& path) {
    if (!DocumentIdle() || !SaveModified()) return false;
    if (!document_->OnOpenDocument(path)) return false;
    AddToRecentFiles(path);
    return true;
}

void CVelmoraApp::OnOpenRecentFile(int index) {
    if (index < 0 || index >= recentFiles_.Size()) return;
    const QString path = recentFiles_.Entries()[index];
    if (!DocumentIdle() || !SaveModified()) return;
    if (document_->OnOpenDocument(path)) {
        AddToRecentFiles(path);
        return;
    }
    // A file that no longer opens leaves the list.
    recentFiles_.Remove(index);
    settings_->WriteRecentFiles(recentFiles_.Entries());
    if (frame_) frame_->RefreshRecentFiles();
}

bool CVelmoraApp::OnFileSave() {
    const QString path = document_ ? document_->PathName() : QString();
    if (path.isEmpty() || (NativeFileExists(path) && !NativeFileWritable(path)))
        return OnFileSaveAs();
    return DoSave(path);
}

bool CVelmoraApp::OnFileSaveAs() {
    if (!document_) return false;
    QString suggested = document_->PathName();
    if (suggested.isEmpty()) {
        // An untitled picture is offered under its title with the first extension of the filter.
        const QString extension = DocumentString::Load().Extensions().value(0);
        suggested = document_->Title() + extension;
    }
    const std::optional<QString> path = prompts_->AskSavePath(frame_.get(), suggested);
    return path && DoSave(*path);
}

bool CVelmoraApp::DoSave(const QString& path) {
    if (!document_->OnSaveDocument(path)) return false;
    AddToRecentFiles(path);
    return true;
}

bool CVelmoraApp::SaveModified() {
    if (!document_) return true;
    // A running fill ends first, keeping what it filled: then the question is about the result.
    document_->EndRunningJob();
    if (!document_->IsModified()) return true;
    const QString title = document_->PathName().isEmpty()
                              ? document_->Title()
                              : QDir::toNativeSeparators(document_->PathName());
    switch (prompts_->AskSaveChanges(frame_.get(), title)) {
        case UserPrompts::SaveChanges::Save:
            return OnFileSave();
        case UserPrompts::SaveChanges::Discard:
            return true;
        case UserPrompts::SaveChanges::Cancel:
            break;
    }
    return false;
}

void CVelmoraApp::AddToRecentFiles(const QString& path) {
    recentFiles_.Add(path);
    settings_->WriteRecentFiles(recentFiles_.Entries());
    if (frame_) frame_->RefreshRecentFiles();
}

}  // namespace velmora
