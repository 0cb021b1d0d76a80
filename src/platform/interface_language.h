#pragma once

class QCoreApplication;

namespace velmora {

// The program speaks Simplified Chinese only, whatever the system's locale: Qt's own texts
// (standard buttons, file dialogs, their errors) come from Qt's Chinese translations, and dates
// and numbers follow the Chinese locale. Call once, right after the application object exists.
// False when Qt's translations could not be found; the program then runs with Qt's English.
bool UseChineseInterface(QCoreApplication& application);

}  // namespace velmora
