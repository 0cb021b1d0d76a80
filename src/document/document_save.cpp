// Saving on a thread of its own, so that encoding a large picture never freezes the window.
#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QEventLoop>
#include <QLabel>
#include <atomic>
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

    // Events go on being handled, drawing the window and delivering input; the update handlers
    // see Busy() and keep everything that could change the picture, or close the document,
    // disabled. The saver hands its outcome over through `done` and only wakes the event loop,
    // so nothing but that atomic is shared with it.
    SaveOutcome outcome = SaveOutcome::WriteFailed;
    std::atomic<bool> done{false};
    QAbstractEventDispatcher* const dispatcher = QAbstractEventDispatcher::instance();
    const std::function<void()> hook = saveHook_;
    std::thread saver;
    try {
        saver = std::thread([&outcome, &done, &picture, &metadata, path, dispatcher, hook] {
            if (hook) hook();
            outcome = SaveImageFile(picture, metadata, path);
            done.store(true, std::memory_order_release);
            if (dispatcher != nullptr) dispatcher->wakeUp();
        });
    } catch (const std::system_error&) {
        // No thread to be had (memory or threads ran out): saved below, the window waiting.
    }
    if (saver.joinable()) {
        while (!done.load(std::memory_order_acquire)) {
            if (dispatcher != nullptr)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
            else
                std::this_thread::yield();
        }
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
