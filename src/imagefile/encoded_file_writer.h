#pragma once

#include <QByteArray>
#include <QString>

namespace velmora {

// Puts an encoded picture on disk at `path`, replacing the target only once every byte has been
// written, so that a failed write leaves the old file intact. False when it could not.
bool WriteEncodedFile(const QString& path, const QByteArray& encoded);

}  // namespace velmora
