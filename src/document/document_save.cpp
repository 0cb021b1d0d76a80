// Saving on a thread of its own, so that encoding a large picture never freezes the window.
#include <QEventLoop>
#include <QLabel>
#include <functional>
#include <system_error>
#include <thread>

#include "document/document_texts.h"
#include "document/velmora_doc.h"
#include "platform/command_ids.h"
#include "platform/ribbon_status_bar.h"

namespace velmora {

SaveOutcome CVelmoraDoc::SaveOffThread(QImage picture, ImageMetadata metadata,
                                       const QString& path) {
    saving_ = true;
    waitCursor_.Begin();
    const bool labelShown =
        statusBar_ != nullptr && statusBar_->FindLabel(ID_STATUS_LABEL) == nullptr;
    if (labelShown) {
        statusBar_->AddDynamicElement(ID_STATUS_LABEL,
                                      MakeStatusLabel(QString::fromUtf8(kStatusSavingText)));
        RepaintStatusBar();
    }

    // The loop goes on drawing the window and delivering input; the update handlers see Busy()
    // and keep everything that could change the picture, or close the document, disabled.
    QEventLoop loop;
    SaveOutcome outcome = SaveOutcome::WriteFailed;
    const std::function<void()> hook = saveHook_;
    std::thread saver;
    try {
        saver = std::thread([&outcome, &picture, &metadata, path, &loop, hook] {
            if (hook) hook();
            outcome = SaveImageFile(picture, metadata, path);
            QMetaObject::invokeMethod(&loop, &QEventLoop::quit, Qt::QueuedConnection);
        });
    } catch (const std::system_error&) {
        // No thread to be had (memory or threads ran out): saved below, the window waiting.
    }
    if (saver.joinable()) {
        loop.exec();
        saver.join();
    } else {
        outcome = SaveImageFile(picture, metadata, path);
    }

    if (labelShown && statusBar_ != nullptr) {
        statusBar_->RemoveElement(ID_STATUS_LABEL);
        RepaintStatusBar();
    }
    waitCursor_.End();
    saving_ = false;
    emit saveFinished(outcome == SaveOutcome::Saved);
    return outcome;
}

}  // namespace velmora
