#pragma once

#include <QIcon>
#include <QString>

namespace velmora {

// The program's pictures from the resource system.

// The program icon in every size it comes in.
QIcon ProgramIcon();
// The application button's picture, 26 by 26.
QIcon ApplicationButtonIcon();
// A command's picture by name ("open", "undo", ...) with its 16 and 32 pixel versions; a null
// icon for an unknown name.
QIcon CommandIcon(const QString& name);

}  // namespace velmora
