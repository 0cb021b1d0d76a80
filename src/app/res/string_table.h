#pragma once

#include <QString>

namespace velmora {

// The program's string table: every text of the user interface, keyed by its resource or command
// identifier. A command's string is "description\ntitle" (or the description alone).
QString LoadString(int id);

// The two halves of a command's string, split at the first line break.
struct CommandString {
    QString description;
    QString title;
};
CommandString LoadCommandString(int id);

// A resource text whose "\n" separates the caption from the key tip ("Velmora\n"): the caption.
QString CaptionOf(const QString& text);

// A menu label without its access-key marker and key name: "打开(&O)...\tCtrl+O" -> "打开...".
QString PlainLabel(const QString& label);

}  // namespace velmora
