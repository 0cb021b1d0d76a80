// The single document of the program with its frame and view, made and wired together once.
#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/velmora_app.h"

#include <utility>

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
    frame_->SetCloseQuery([this] {
        // A close while a save runs waits for it: the window closes (or asks first, when the
        // save failed) once the file is written.
        if (document_ && document_->Saving()) {
            closeAfterSave_ = true;
            return false;
        }
        return SaveModified();
    });

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
    // Queued: the close runs once the save's caller has finished with its outcome.
    connect(
        document_.get(), &CVelmoraDoc::saveFinished, frame,
        [this, frame] {
            if (std::exchange(closeAfterSave_, false)) frame->close();
        },
        Qt::QueuedConnection);
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
