#include "velmora_doc.h"

#include <QFile>
#include <QFileInfo>
#include <QtDebug>
#include <algorithm>
#include <optional>

#include "document/document_texts.h"
#include "imagefile/image_file.h"
#include "imagefile/native_file_name.h"
#include "platform/message_boxes.h"
#include "platform/ribbon_status_bar.h"

namespace velmora {

namespace {

ByteGrid ZeroMask(const QSize& size) {
    ByteGrid mask;
    mask.SetSize(size.width(), size.height(), 1);
    mask.Fill(0);
    return mask;
}

}  // namespace

CVelmoraDoc::CVelmoraDoc(QObject* parent) : QObject(parent) {
    RegisterCommands();
    ownRouter_.SetTarget(RouteStage::Document, &commands_);
}

CVelmoraDoc::~CVelmoraDoc() {
    EndRunningJob();
    LeaveRouter();
}

void CVelmoraDoc::LeaveRouter() {
    if (router_ == nullptr) return;
    disconnect(router_, &CommandRouter::closing, this, nullptr);
    if (router_->Target(RouteStage::Document) == &commands_)
        router_->SetTarget(RouteStage::Document, nullptr);
    router_ = nullptr;
}

void CVelmoraDoc::SetCommandRouter(CommandRouter* router) {
    EndRunningJob();
    LeaveRouter();
    router_ = router;
    if (router == nullptr) return;
    router->SetTarget(RouteStage::Document, &commands_);
    connect(router, &CommandRouter::closing, this, [this] {
        EndRunningJob();
        // What that router still had queued goes with it.
        staleProgress_ = staleFinished_ = 0;
        router_ = nullptr;
    });
}

void CVelmoraDoc::SetStatusBar(RibbonStatusBar* statusBar) {
    statusBar_ = statusBar;
}

PaintAccess CVelmoraDoc::LockForPaint() const {
    return PaintAccess(pictureGuard_, history_.GetCurrent());
}

bool CVelmoraDoc::OnNewDocument() {
    // The pictures stay; a running job is ended first all the same, so nothing the prompt to save
    // before New may write is still being filled.
    EndRunningJob();
    SetPathName({});
    SetModifiedFlag(false);
    return true;
}

bool CVelmoraDoc::OnOpenDocument(const QString& path) {
    if (Busy()) return false;
    {
        QFile file;
        if (!OpenForReading(file, path)) {
            ShowError(QString::fromUtf8(kCannotOpenDocumentText));
            return false;
        }
    }
    // Decoded before anything is released: a file that is not a picture leaves the open one as
    // it was.
    std::optional<OpenedImage> opened = OpenImageFile(path);
    if (!opened) {
        ShowError(QString::fromUtf8(kCannotOpenImageText));
        return false;
    }
    const QSize size = opened->image.size();
    ByteGrid fillMask;
    ByteGrid sourceMask;
    try {
        fillMask = ZeroMask(size);
        sourceMask = ZeroMask(size);
    } catch (const std::bad_alloc&) {
        return false;
    }

    history_.Reset();
    history_.SetFirst(std::move(opened->image));
    imageSize_ = size;
    metadata_ = std::move(opened->metadata);
    multiPageFile_ = opened->otherPagesDropped ? QFileInfo(path).absoluteFilePath() : QString();
    fillMask_ = std::move(fillMask);
    sourceMask_ = std::move(sourceMask);
    sourceRect_ = {};
    selection_.pointCount = 0;
    zoomFactor_ = 1.0f;
    SetPathName(QFileInfo(path).absoluteFilePath());
    SetModifiedFlag(false);
    UpdateAllViews();
    if (opened->convertedFromPalette) ShowNotice(QString::fromUtf8(kPaletteConvertedText));
    if (opened->otherPagesDropped) ShowNotice(QString::fromUtf8(kOnlyFirstPageText));
    return true;
}

bool CVelmoraDoc::OnSaveDocument(const QString& path) {
    // One save at a time: a second one could only come from a direct call during the first.
    if (saving_) return false;
    // Never write a picture the job is still filling.
    EndRunningJob();
    const QImage* const current = history_.GetCurrent();
    if (current == nullptr) {
        SetModifiedFlag(false);
        return true;
    }
    const QString target = QFileInfo(path).absoluteFilePath();
    if (!multiPageFile_.isEmpty() && target == multiPageFile_ &&
        !AskYesNo(QString::fromUtf8(kSaveOverPagesText)))
        return false;
    // Shares the pixels: nothing may change them until the save has ended (Busy() says so).
    const SaveOutcome outcome = SaveOffThread(*current, metadata_, path);
    if (outcome != SaveOutcome::Saved) {
        const QString message = SaveOutcomeMessage(outcome);
        if (!message.isEmpty()) ShowError(message);
        return false;
    }
    if (target == multiPageFile_) multiPageFile_.clear();  // it holds one page now
    SetPathName(target);
    SetModifiedFlag(false);
    return true;
}

void CVelmoraDoc::SetModifiedFlag(bool modified) {
    if (modified_ == modified) return;
    modified_ = modified;
    emit modifiedChanged(modified);
}

QString CVelmoraDoc::Title() const {
    return pathName_.isEmpty() ? QString::fromUtf8(kUntitledText) : QFileInfo(pathName_).fileName();
}

void CVelmoraDoc::SetPathName(const QString& path) {
    pathName_ = path;
    emit titleChanged(Title());
}

void CVelmoraDoc::ShowNotice(const QString& notice) {
    if (messages_ != nullptr)
        messages_->ShowNotice(notice);
    else
        qInfo().noquote() << notice;
}

bool CVelmoraDoc::AskYesNo(const QString& question) {
    // Nobody to ask: the answer that loses nothing.
    if (messages_ == nullptr) {
        qWarning().noquote() << question;
        return false;
    }
    return messages_->AskYesNo(question);
}

void CVelmoraDoc::ShowError(const QString& message) {
    if (messages_ != nullptr)
        messages_->ShowError(message);
    else
        qWarning().noquote() << message;
}

int CVelmoraDoc::AddPoint(std::int32_t x, std::int32_t y) {
    if (selection_.pointCount >= SelectionPolygon::kCapacity) return 0;
    selection_.points[static_cast<std::size_t>(selection_.pointCount)] = {x, y};
    ++selection_.pointCount;
    return 1;
}

int CVelmoraDoc::SetPoint(std::int32_t i, std::int32_t x, std::int32_t y) {
    if (i < 0 || i >= selection_.pointCount) return 0;
    selection_.points[static_cast<std::size_t>(i)] = {x, y};
    return 1;
}

void CVelmoraDoc::ClearSelection() {
    selection_.pointCount = 0;
    sourceRect_ = {};
}

}  // namespace velmora
