#include "view/velmora_view.h"

#include <QDragEnterEvent>
#include <QDropEvent>
#include <QMimeData>
#include <QScrollBar>
#include <QUrl>

#include "document/velmora_doc.h"
#include "imagefile/native_file_name.h"

namespace velmora {

namespace {

// The first dropped item, when it is a local file.
QString FirstDroppedFile(const QMimeData* mime) {
    if (mime == nullptr || !mime->hasUrls() || mime->urls().isEmpty()) return {};
    const QUrl first = mime->urls().constFirst();
    return LocalFileOfUrl(first);
}

}  // namespace

CVelmoraView::CVelmoraView(CVelmoraDoc& document, QWidget* parent)
    : QAbstractScrollArea(parent), document_(document), tracker_(document.SourceTracker()) {
    setFrameShape(QFrame::NoFrame);
    setFocusPolicy(Qt::StrongFocus);
    setAcceptDrops(true);
    viewport()->setAcceptDrops(true);
    viewport()->setMouseTracking(true);
    // Every paint covers the whole client area; the empty canvas paints the window colour itself.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    viewport()->setAutoFillBackground(false);
    horizontalScrollBar()->setRange(0, 0);
    verticalScrollBar()->setRange(0, 0);
    connect(&document_, &CVelmoraDoc::viewsUpdated, this, &CVelmoraView::OnUpdate);
    OnUpdate();
}

CVelmoraView::~CVelmoraView() {
    ReleaseConfinement();
}

QPoint CVelmoraView::ScrollPosition() const {
    return {horizontalScrollBar()->value(), verticalScrollBar()->value()};
}

CanvasMapping CVelmoraView::Mapping() const {
    return {document_.ZoomFactor(), ScrollPosition()};
}

bool CVelmoraView::TrackerShown() const {
    return document_.HasImage() && !document_.Busy() && IsSelectionClosed(document_.Selection());
}

void CVelmoraView::dragEnterEvent(QDragEnterEvent* event) {
    if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CVelmoraView::dragMoveEvent(QDragMoveEvent* event) {
    if (!FirstDroppedFile(event->mimeData()).isEmpty()) event->acceptProposedAction();
}

void CVelmoraView::dropEvent(QDropEvent* event) {
    // Only the first file opens; the document refuses while a fill runs and reports failures.
    const QString path = FirstDroppedFile(event->mimeData());
    if (path.isEmpty()) return;
    event->acceptProposedAction();
    document_.OnOpenDocument(path);
}

}  // namespace velmora
