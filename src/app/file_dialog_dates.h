#pragma once

class QFileDialog;

namespace velmora {

// Makes the dialog Qt's own rather than the desktop's (which follows the system's language) and
// has its detail view show modification dates in the program's locale: Qt's file model writes
// them in the system's.
void UseProgramLocaleDates(QFileDialog& dialog);

}  // namespace velmora
