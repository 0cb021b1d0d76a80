#pragma once

class QFileDialog;

namespace velmora {

// Makes the dialog Qt's own rather than the desktop's (which follows the system's language), and
// has its detail view show modification dates in the program's locale and folders under the
// program's word for them: Qt's file model writes dates in the system's locale and leaves the
// folder kind untranslated.
void UseProgramLanguage(QFileDialog& dialog);

}  // namespace velmora
