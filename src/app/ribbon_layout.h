#pragma once

#include <QString>
#include <vector>

namespace velmora {

// What the ribbon shows, in order: the application menu's entries and the panels of the category
// "主界面" with their buttons. Labels are string identifiers; pictures are named by meaning.
struct RibbonEntry {
    int command;
    int label;
    const char* picture;
};

struct RibbonPanelLayout {
    int caption;
    std::vector<RibbonEntry> buttons;
};

const std::vector<RibbonEntry>& ApplicationMenuEntries();  // before the recent files
const RibbonEntry& ApplicationMenuExit();                  // at the bottom
const std::vector<RibbonPanelLayout>& MainScreenPanels();

// The tooltip of a command's button: the title of its command string (or the button's label when
// the string has none) in bold over the description.
QString RibbonToolTip(int command, int label);

}  // namespace velmora
