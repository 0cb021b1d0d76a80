// The single document of the program with its frame and view, made and wired together once.
#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/velmora_app.h"
#include "document/velmora_doc.h"
#include "platform/message_boxes.h"
#include "view/velmora_view.h"

namespace velmora {

bool CVelmoraApp::CreateDocumentSet() {
    frame_ = std::make_unique<CMainFrame>(
        FrameServices{router_, *settings_, m_nVisualStyle, looks_, *help_, recentFiles_});
    if (!frame_->OnCreate()) {
        frame_.reset();
        return false;
    }
    messages_ = environment_.messages.get();
    if (messages_ == nullptr) {
        ownMessages_ = std::make_unique<DialogMessageBoxes>(frame_.get());
        messages_ = ownMessages_.get();
    }
    frame_->SetCloseQuery([this] { return SaveModified(); });

    document_ = std::make_unique<CVelmoraDoc>();
    document_->SetMessageBoxes(messages_);
    document_->SetStatusBar(frame_->StatusBar());
    document_->SetCommandRouter(&router_);

    view_ = new CVelmoraView(*document_);
    view_->viewport()->installEventFilter(this);
    frame_->SetView(view_);

    CMainFrame* const frame = frame_.get();
    connect(document_.get(), &CVelmoraDoc::titleChanged, frame, &CMainFrame::SetDocumentTitle);
    connect(document_.get(), &CVelmoraDoc::modifiedChanged, frame, &QWidget::setWindowModified);
    frame->SetDocumentTitle(document_->Title());
    frame->setWindowModified(document_->IsModified());
    return true;
}

void CVelmoraApp::DestroyDocumentSet() {
    if (document_) document_->EndRunningJob();
    // The frame goes first with the view, which borrows the document.
    view_ = nullptr;
    frame_.reset();
    document_.reset();
    messages_ = nullptr;
    ownMessages_.reset();
}

}  // namespace velmora
