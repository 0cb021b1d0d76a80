#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// Puts an encoded picture on disk at `path`.
// - A regular file (or none yet), also behind a symbolic link: the bytes go to an unnamed
//   temporary file in the target's folder, which replaces the target only once every byte is on
//   disk, so a failed or interrupted write leaves the old file intact and no temporary behind.
//   When the folder does not let a temporary be made there but the target itself is writable,
//   the target is overwritten in place instead (not atomic: a failure half way leaves it broken).
// - Anything else that can be written (a FIFO, a device, also behind a link) is written into
//   directly and stays what it is.
// False when it could not.
bool WriteEncodedFile(const QString& path, const QByteArray& encoded);

// Writes every byte to an open descriptor (standard output, say). False on any failure.
bool WriteEncodedBytes(int descriptor, const QByteArray& encoded);

}  // namespace velmora
