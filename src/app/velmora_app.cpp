#include "app/velmora_app.h"

#include <QCoreApplication>
#include <QDropEvent>
#include <QMimeData>

#include "app/app_settings.h"
#include "app/help_launcher.h"
#include "app/mainframe.h"
#include "app/user_prompts.h"
#include "document/velmora_doc.h"
#include "imagefile/native_file_name.h"
#include "platform/message_boxes.h"
#include "view/velmora_view.h"

namespace velmora {

CVelmoraApp::CVelmoraApp(AppEnvironment environment)
    : environment_(std::move(environment)), recentFiles_(AppSettings::kRecentFileCount) {
    if (!environment_.settings) environment_.settings = std::make_unique<AppSettings>();
    if (!environment_.prompts) environment_.prompts = std::make_unique<DialogUserPrompts>();
    if (environment_.executablePath.isEmpty())
        environment_.executablePath = QCoreApplication::applicationFilePath();
    settings_ = environment_.settings.get();
    prompts_ = environment_.prompts.get();
    help_ = std::make_unique<HelpLauncher>(
        environment_.executablePath, [this](const QUrl& url) { return prompts_->OpenUrl(url); },
        [this](const QString& text) {
            if (messages_ != nullptr) messages_->ShowError(text);
        });
}

CVelmoraApp::~CVelmoraApp() {
    DestroyDocumentSet();
    if (router_.Target(RouteStage::Application) == &commands_)
        router_.SetTarget(RouteStage::Application, nullptr);
}

bool CVelmoraApp::InitInstance(const QStringList& arguments) {
    recentFiles_.Assign(settings_->ReadRecentFiles());
    RegisterCommands();
    router_.SetTarget(RouteStage::Application, &commands_);
    if (!CreateDocumentSet()) return false;

    // The first argument names a picture to open; it enters the recent files like any open.
    const QString path = arguments.isEmpty() ? QString() : arguments.first();
    if (!path.isEmpty()) {
        if (!document_->OnOpenDocument(path)) {
            DestroyDocumentSet();
            return false;
        }
        AddToRecentFiles(path);
    } else {
        document_->OnNewDocument();
    }
    frame_->show();
    return true;
}

int CVelmoraApp::ExitInstance() {
    settings_->WriteRecentFiles(recentFiles_.Entries());
    settings_->Sync();
    return 0;
}

bool CVelmoraApp::eventFilter(QObject* watched, QEvent* event) {
    if (event->type() != QEvent::Drop || view_ == nullptr || watched != view_->viewport())
        return QObject::eventFilter(watched, event);
    auto* drop = static_cast<QDropEvent*>(event);
    for (const QUrl& url : drop->mimeData()->urls()) {
        if (!url.isLocalFile()) continue;
        // Only the first local file counts; a running fill refuses it like any open.
        if (DocumentIdle()) OpenDocumentFile(LocalFileOfUrl(url));
        drop->acceptProposedAction();
        return true;
    }
    return QObject::eventFilter(watched, event);
}

}  // namespace velmora
