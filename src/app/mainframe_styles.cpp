// The frame's visual-style commands 210 to 218.
#include "app/app_settings.h"
#include "app/mainframe.h"
#include "app/visual_styles.h"
#include "platform/command_ids.h"
#include "platform/wait_cursor.h"

namespace velmora {

void CMainFrame::RegisterStyleCommands() {
    for (int id = ID_VIEW_APPLOOK_WIN_2000; id <= ID_VIEW_APPLOOK_OFF_2007_AQUA; ++id) {
        commands_.SetHandler(id, [this, id] { OnVisualStyle(id); });
        commands_.SetUpdateHandler(id, [this](CommandState& state) { OnUpdateVisualStyle(state); });
    }
}

void CMainFrame::OnVisualStyle(int styleId) {
    WaitCursor wait;
    wait.Begin();
    services_.visualStyle = styleId;
    services_.looks.Apply(styleId);
    // Every widget repaints now in the new colours, not at the next turn of the loop.
    repaint();
    services_.settings.WriteVisualStyle(services_.visualStyle);
}

void CMainFrame::OnUpdateVisualStyle(CommandState& state) const {
    state.SetRadio(services_.visualStyle == state.id());
}

}  // namespace velmora
