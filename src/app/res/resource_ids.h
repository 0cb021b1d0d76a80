#pragma once

namespace velmora {

// Identifiers of the program's resources: texts, menus, the About box and its links. Command
// identifiers live in platform/command_ids.h; a command's own string shares its number.

// Resources of the main window: menu, accelerator table, icon and document string.
inline constexpr int IDR_MAINFRAME = 128;
inline constexpr int IDR_POPUP_EDIT = 119;

// The About box and its two links.
inline constexpr int IDD_ABOUTBOX = 100;
inline constexpr int IDC_LINK_MAIL = 1004;
inline constexpr int IDC_LINK_WEB = 1005;

// Ribbon texts.
inline constexpr int IDS_SELECT_PANEL = 124;
inline constexpr int IDS_RECTANGLE = 125;
inline constexpr int IDS_POLYGON = 126;
inline constexpr int IDS_FILL_PANEL = 131;
inline constexpr int IDS_ERASE = 132;
inline constexpr int IDS_STOP = 133;
inline constexpr int IDS_UNDO = 134;
inline constexpr int IDS_REDO = 135;
inline constexpr int IDS_EDIT_PANEL = 137;
inline constexpr int IDS_ZOOM_IN = 138;
inline constexpr int IDS_ZOOM_OUT = 139;
inline constexpr int IDS_ZOOM_PANEL = 140;
inline constexpr int IDS_HELP_PANEL = 141;
inline constexpr int IDS_HELP = 142;
inline constexpr int IDS_ABOUT = 143;
inline constexpr int IDS_MAIN_CATEGORY = 260;
inline constexpr int IDS_OPEN = 263;
inline constexpr int IDS_SAVE = 264;
inline constexpr int IDS_SAVE_AS = 265;
inline constexpr int IDS_RECENT_FILES = 272;
inline constexpr int IDS_EXIT = 273;
inline constexpr int IDS_MAIN_SCREEN = 274;
inline constexpr int IDS_EDIT_MENU = 306;
inline constexpr int IDS_ZOOM_NORMAL = 310;

// Texts of the application frame that the program shows on its own paths.
inline constexpr int AFX_IDS_APP_TITLE = 57344;
inline constexpr int AFX_IDS_OPENFILE = 61440;
inline constexpr int AFX_IDS_SAVEFILE = 61441;
inline constexpr int AFX_IDS_ALLFILTER = 61442;
inline constexpr int AFX_IDS_UNTITLED = 61443;
inline constexpr int AFX_IDP_ASK_TO_SAVE = 61699;
inline constexpr int AFX_IDP_FAILED_TO_LAUNCH_HELP = 61703;

}  // namespace velmora
