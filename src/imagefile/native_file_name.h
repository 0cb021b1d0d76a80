#pragma once

#include <QByteArray>
#include <QByteArrayView>
#include <QFile>
#include <QString>
#include <QUrl>
#include <optional>

namespace velmora {

// File names are bytes on this system and need not be UTF-8; Qt's own conversion turns every
// byte that is not into U+FFFD, so two different names could meet in one. These keep each such
// byte as a lone surrogate U+DC80..U+DCFF instead (which no valid UTF-8 decodes to), and turn it
// back into the same byte, so a name survives the trip through a QString unchanged.
QString FileNameFromNative(QByteArrayView bytes);
QByteArray NativeFileName(const QString& name);

// Qt's file dialogs list a folder with Qt's own decoding, so a name that is not UTF-8 reaches us
// with U+FFFD in place of its odd bytes. This finds the file the dialog showed: each part of the
// path holding U+FFFD is matched against the folder's entries as Qt would spell them. A part that
// matches no entry stays as given (a new name typed into a save dialog); one that matches
// several, which the dialog showed alike, cannot be told apart: empty then.
std::optional<QString> FileShownByDialog(const QString& shown);

// The local file a file: URL names (a dropped file), its name kept as bytes like the above.
QString LocalFileOfUrl(const QUrl& url);

// Opens the named file with open(2) flags (O_CLOEXEC added): a descriptor, or -1 with errno set.
int OpenNativeFile(const QString& name, int flags, unsigned mode = 0);

// Opens the named file for reading into `file` (which closes it). Its fileName() is the name as
// Qt spells it, for the extension only.
bool OpenForReading(QFile& file, const QString& name);

// Whether the named file exists, and whether this process may write it.
bool NativeFileExists(const QString& name);
bool NativeFileWritable(const QString& name);

}  // namespace velmora
