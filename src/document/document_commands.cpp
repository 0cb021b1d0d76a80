// The document's commands and the rules that enable them.
#include "document/velmora_doc.h"
#include "document/zoom_ladder.h"
#include "platform/command_ids.h"

namespace velmora {

void CVelmoraDoc::RegisterCommands() {
    CommandTarget& c = commands_;
    c.SetHandler(ID_EDIT_UNDO, [this] { OnEditUndo(); });
    c.SetUpdateHandler(ID_EDIT_UNDO, [this](CommandState& s) {
        if (!history_.CanUndo() || Busy()) s.Enable(false);
    });
    c.SetHandler(ID_EDIT_REDO, [this] { OnEditRedo(); });
    c.SetUpdateHandler(ID_EDIT_REDO, [this](CommandState& s) {
        if (!history_.CanRedo() || Busy()) s.Enable(false);
    });

    c.SetHandler(ID_VIEW_ZOOM_IN, [this] { OnViewZoomIn(); });
    c.SetUpdateHandler(ID_VIEW_ZOOM_IN, [this](CommandState& s) {
        if (!HasImage() || !(zoomFactor_ < kZoomMax) || Busy()) s.Enable(false);
    });
    c.SetHandler(ID_VIEW_ZOOM_OUT, [this] { OnViewZoomOut(); });
    c.SetUpdateHandler(ID_VIEW_ZOOM_OUT, [this](CommandState& s) {
        if (!HasImage() || !(zoomFactor_ > kZoomMinEnabled) || Busy()) s.Enable(false);
    });
    c.SetHandler(ID_VIEW_ZOOM_NORMAL, [this] { OnViewZoomNormal(); });
    c.SetUpdateHandler(ID_VIEW_ZOOM_NORMAL, [this](CommandState& s) {
        if (!HasImage() || zoomFactor_ == kZoomNormal || Busy()) s.Enable(false);
    });

    c.SetHandler(ID_FILL_START, [this] { OnFillStart(); });
    c.SetUpdateHandler(ID_FILL_START, [this](CommandState& s) {
        if (!HasImage() || selection_.pointCount < 2 || Busy()) s.Enable(false);
    });
    c.SetHandler(ID_FILL_STOP, [this] { OnFillStop(); });
    c.SetUpdateHandler(ID_FILL_STOP, [this](CommandState& s) {
        if (!HasImage() || !JobRunning() || saving_) s.Enable(false);
    });

    const auto tool = [this](int id, ToolMode mode, bool clearsSelection) {
        commands_.SetHandler(id, [this, mode, clearsSelection] { SetTool(mode, clearsSelection); });
        commands_.SetUpdateHandler(id, [this, mode](CommandState& s) {
            UpdateNeedsIdleImage(s);
            s.SetCheck(toolMode_ == mode);  // shown also while disabled
        });
    };
    tool(ID_TOOL_RECTANGLE, TOOL_RECTANGLE, true);
    tool(ID_TOOL_POLYGON, TOOL_POLYGON, true);
    tool(ID_TOOL_SELECT, TOOL_SELECT, false);
    tool(ID_TOOL_MOVE, TOOL_MOVE, false);

    // Open, Save and Save As are carried out by the application; the document only decides when
    // they may be.
    c.SetUpdateHandler(ID_FILE_OPEN, [this](CommandState& s) {
        if (Busy()) s.Enable(false);
    });
    c.SetUpdateHandler(ID_FILE_SAVE, [this](CommandState& s) { UpdateNeedsIdleImage(s); });
    c.SetUpdateHandler(ID_FILE_SAVE_AS, [this](CommandState& s) { UpdateNeedsIdleImage(s); });

    // Posted by the fill job; no update handler, so they are always delivered.
    c.SetHandler(ID_FILL_FINISHED, [this] { OnFillFinished(); });
    c.SetHandler(ID_FILL_PROGRESS, [this] { OnFillProgress(); });
}

void CVelmoraDoc::UpdateNeedsIdleImage(CommandState& state) const {
    if (!HasImage() || Busy()) state.Enable(false);
}

void CVelmoraDoc::OnEditUndo() {
    history_.Undo();
    UpdateAllViews();
}

void CVelmoraDoc::OnEditRedo() {
    history_.Redo();
    UpdateAllViews();
}

void CVelmoraDoc::OnViewZoomIn() {
    zoomFactor_ = ZoomInStep(zoomFactor_);
    UpdateAllViews();
}

void CVelmoraDoc::OnViewZoomOut() {
    zoomFactor_ = ZoomOutStep(zoomFactor_);
    UpdateAllViews();
}

void CVelmoraDoc::OnViewZoomNormal() {
    zoomFactor_ = kZoomNormal;
    UpdateAllViews();
}

void CVelmoraDoc::SetTool(ToolMode mode, bool clearSelection) {
    // The outline cleared here stays on screen until the canvas next repaints.
    if (clearSelection) ClearSelection();
    toolMode_ = mode;
}

}  // namespace velmora
