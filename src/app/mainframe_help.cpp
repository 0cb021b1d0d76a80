// The frame's help commands and the moves between panes.
#include <QWhatsThis>

#include "app/help_launcher.h"
#include "app/mainframe.h"
#include "platform/command_ids.h"

namespace velmora {

void CMainFrame::RegisterHelpCommands() {
    const auto showHelp = [this] { services_.help.ShowHelp(); };
    commands_.SetHandler(ID_HELP_FINDER, showHelp);
    commands_.SetHandler(ID_HELP, showHelp);
    commands_.SetHandler(ID_DEFAULT_HELP, showHelp);
    commands_.SetHandler(ID_CONTEXT_HELP, [this] { OnContextHelp(); });
    commands_.SetHandler(ID_NEXT_PANE, [this] { OnNextPane(); });
    commands_.SetHandler(ID_PREV_PANE, [this] { OnNextPane(); });
}

void CMainFrame::OnContextHelp() {
    // The next click on an element of the window shows what it does instead of doing it.
    QWhatsThis::enterWhatsThisMode();
}

void CMainFrame::OnNextPane() {
    // The canvas is the window's only pane: the keys bring the keyboard back to it.
    if (View() != nullptr) View()->setFocus(Qt::TabFocusReason);
}

}  // namespace velmora
