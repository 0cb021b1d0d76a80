#include "encoded_file_writer.h"

#include <QSaveFile>

namespace velmora {

bool WriteEncodedFile(const QString& path, const QByteArray& encoded) {
    QSaveFile file(path);
    if (!file.open(QIODevice::WriteOnly)) return false;
    if (file.write(encoded) != encoded.size()) {
        file.cancelWriting();
        return false;
    }
    return file.commit();
}

}  // namespace velmora
