#include "document_snapshot.h"

#include <QCryptographicHash>
#include <QDir>
#include <QDirIterator>
#include <QFile>

namespace velmora::test {

namespace {

QByteArray MaskBytes(const ByteGrid& mask) {
    return QByteArray(reinterpret_cast<const char*>(mask.data()),
                      static_cast<qsizetype>(mask.size()));
}

QByteArray PictureDigest(const QImage& picture) {
    QCryptographicHash hash(QCryptographicHash::Sha1);
    for (int y = 0; y < picture.height(); ++y)
        hash.addData(QByteArrayView(picture.constScanLine(y), picture.bytesPerLine()));
    return hash.result().toHex().left(12);
}

}  // namespace

DocumentSnapshot TakeSnapshot(const CVelmoraDoc& doc) {
    DocumentSnapshot snapshot;
    const ImageHistory& history = doc.History();
    snapshot.top = history.top();
    snapshot.current = history.current();
    for (std::int32_t index = history.top() - 7; index <= history.top(); ++index)
        if (const QImage* state = history.StateAt(index)) snapshot.states[index] = state->copy();
    snapshot.pathName = doc.PathName();
    snapshot.modified = doc.IsModified();
    snapshot.zoom = doc.ZoomFactor();
    snapshot.tool = doc.GetToolMode();
    snapshot.pointCount = doc.Selection().pointCount;
    snapshot.sourceRect = doc.SourceRect();
    snapshot.selectionBounds = doc.SelectionBounds();
    snapshot.fillMask = MaskBytes(doc.FillMask());
    snapshot.sourceMask = MaskBytes(doc.SourceMask());
    return snapshot;
}

std::ostream& operator<<(std::ostream& out, const DocumentSnapshot& s) {
    out << "{top " << s.top << ", current " << s.current << ", states";
    for (const auto& [index, picture] : s.states)
        out << ' ' << index << ':' << picture.width() << 'x' << picture.height() << '#'
            << PictureDigest(picture).constData();
    out << ", path " << s.pathName.toStdString() << ", modified " << s.modified << ", zoom "
        << s.zoom << ", tool " << s.tool << ", points " << s.pointCount << ", masks "
        << s.fillMask.size() << '/' << s.sourceMask.size() << '}';
    return out;
}

std::map<QString, QByteArray> FolderContents(const QString& folder) {
    std::map<QString, QByteArray> contents;
    const QDir root(folder);
    QDirIterator it(folder, QDir::AllEntries | QDir::NoDotAndDotDot | QDir::Hidden | QDir::System,
                    QDirIterator::Subdirectories);
    while (it.hasNext()) {
        const QString path = it.next();
        QFile file(path);
        const bool isFile = it.fileInfo().isFile() && file.open(QIODevice::ReadOnly);
        contents[root.relativeFilePath(path)] = isFile ? file.readAll() : QByteArray();
    }
    return contents;
}

}  // namespace velmora::test
