#pragma once

#include <QString>
#include <vector>

namespace velmora {

// A menu as data: a popup with children, a command entry or a separator. A label's tab separates
// the text from the key name shown at the right; "(&X)" marks the access key.
struct MenuItem {
    enum class Kind { Popup, Command, Separator };
    Kind kind = Kind::Command;
    QString label;
    int command = 0;
    bool grayed = false;
    std::vector<MenuItem> children;
};

// Menu 128: the program's commands and their labels as the classic menu bar lists them. The ribbon
// replaces it on screen.
const std::vector<MenuItem>& MainMenu();

// Menu 119: the edit popup with Cut, Copy and Paste, registered under the name of string 306.
const MenuItem& EditPopup();

// Depth-first search for the entry of a command; null when the menu has none.
const MenuItem* FindMenuItem(const std::vector<MenuItem>& menu, int command);

}  // namespace velmora
