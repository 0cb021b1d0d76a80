#pragma once

#include "engine/fill_job.h"  // ID_FILL_FINISHED, ID_FILL_PROGRESS: posted by the fill job

namespace velmora {

// Command identifiers: the program's own and the standard ones of the command surface. The
// ribbon, the menus, the accelerators and the handlers all name commands by these numbers.

// File
inline constexpr int ID_FILE_NEW = 57600;
inline constexpr int ID_FILE_OPEN = 57601;
inline constexpr int ID_FILE_SAVE = 57603;
inline constexpr int ID_FILE_SAVE_AS = 57604;
inline constexpr int ID_FILE_PRINT = 57607;
inline constexpr int ID_FILE_MRU_FILE1 = 57616;  // the recent files follow in order
inline constexpr int ID_FILE_MRU_COUNT = 4;
inline constexpr int ID_APP_ABOUT = 57664;
inline constexpr int ID_APP_EXIT = 57665;

// Edit
inline constexpr int ID_EDIT_CLEAR = 57632;
inline constexpr int ID_EDIT_COPY = 57634;
inline constexpr int ID_EDIT_CUT = 57635;
inline constexpr int ID_EDIT_PASTE = 57637;
inline constexpr int ID_EDIT_UNDO = 57643;
inline constexpr int ID_EDIT_REDO = 57644;

// Tools
inline constexpr int ID_TOOL_RECTANGLE = 32771;
inline constexpr int ID_TOOL_POLYGON = 32772;
inline constexpr int ID_TOOL_ELLIPSE = 32773;
inline constexpr int ID_TOOL_SELECT = 32777;
inline constexpr int ID_TOOL_MOVE = 32788;

// Fill
inline constexpr int ID_FILL_START = 32778;
inline constexpr int ID_FILL_STOP = 32779;

// View
inline constexpr int ID_VIEW_ZOOM_IN = 32781;
inline constexpr int ID_VIEW_ZOOM_OUT = 32782;
inline constexpr int ID_VIEW_ZOOM_NORMAL = 32784;
inline constexpr int ID_VIEW_STATUS_BAR = 59393;
inline constexpr int ID_VIEW_CAPTION_BAR = 221;
inline constexpr int ID_VIEW_APPLOOK_WIN_2000 = 210;
inline constexpr int ID_VIEW_APPLOOK_OFF_XP = 211;
inline constexpr int ID_VIEW_APPLOOK_WIN_XP = 212;
inline constexpr int ID_VIEW_APPLOOK_OFF_2003 = 213;
inline constexpr int ID_VIEW_APPLOOK_VS_2005 = 214;
inline constexpr int ID_VIEW_APPLOOK_OFF_2007_BLUE = 215;
inline constexpr int ID_VIEW_APPLOOK_OFF_2007_BLACK = 216;
inline constexpr int ID_VIEW_APPLOOK_OFF_2007_SILVER = 217;
inline constexpr int ID_VIEW_APPLOOK_OFF_2007_AQUA = 218;

// Help
inline constexpr int ID_HELP_VIDEO = 32790;
inline constexpr int ID_HELP_FINDER = 57667;
inline constexpr int ID_CONTEXT_HELP = 57669;
inline constexpr int ID_HELP = 57670;
inline constexpr int ID_DEFAULT_HELP = 57671;
inline constexpr int ID_NEXT_PANE = 57680;
inline constexpr int ID_PREV_PANE = 57681;

// Elements a fill job shows in the status bar while it runs.
inline constexpr int ID_STATUS_LABEL = 120;
inline constexpr int ID_STATUS_PROGRESS = 121;

}  // namespace velmora
