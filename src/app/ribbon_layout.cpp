#include "app/ribbon_layout.h"

#include "app/res/resource_ids.h"
#include "app/res/string_table.h"
#include "platform/command_ids.h"

namespace velmora {

const std::vector<RibbonEntry>& ApplicationMenuEntries() {
    static const std::vector<RibbonEntry> entries = {
        {ID_FILE_OPEN, IDS_OPEN, "open"},
        {ID_FILE_SAVE, IDS_SAVE, "save"},
        {ID_FILE_SAVE_AS, IDS_SAVE_AS, "save-as"},
    };
    return entries;
}

const RibbonEntry& ApplicationMenuExit() {
    static const RibbonEntry exit = {ID_APP_EXIT, IDS_EXIT, "exit"};
    return exit;
}

const std::vector<RibbonPanelLayout>& MainScreenPanels() {
    static const std::vector<RibbonPanelLayout> panels = {
        {IDS_EDIT_PANEL, {{ID_EDIT_UNDO, IDS_UNDO, "undo"}, {ID_EDIT_REDO, IDS_REDO, "redo"}}},
        {IDS_ZOOM_PANEL,
         {{ID_VIEW_ZOOM_OUT, IDS_ZOOM_OUT, "zoom-out"},
          {ID_VIEW_ZOOM_NORMAL, IDS_ZOOM_NORMAL, "zoom-normal"},
          {ID_VIEW_ZOOM_IN, IDS_ZOOM_IN, "zoom-in"}}},
        {IDS_SELECT_PANEL,
         {{ID_TOOL_RECTANGLE, IDS_RECTANGLE, "rectangle"},
          {ID_TOOL_POLYGON, IDS_POLYGON, "polygon"}}},
        {IDS_FILL_PANEL, {{ID_FILL_START, IDS_ERASE, "erase"}, {ID_FILL_STOP, IDS_STOP, "stop"}}},
        {IDS_HELP_PANEL, {{ID_HELP_FINDER, IDS_HELP, "help"}, {ID_APP_ABOUT, IDS_ABOUT, "about"}}},
    };
    return panels;
}

QString RibbonToolTip(int command, int label) {
    const CommandString string = LoadCommandString(command);
    const QString title = string.title.isEmpty() ? PlainLabel(LoadString(label)) : string.title;
    QString tip = QStringLiteral("<b>%1</b>").arg(title.toHtmlEscaped());
    if (!string.description.isEmpty() && string.description != title)
        tip += QStringLiteral("<br>%1").arg(string.description.toHtmlEscaped());
    return tip;
}

}  // namespace velmora
