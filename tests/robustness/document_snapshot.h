#pragma once

#include <QImage>
#include <QString>
#include <map>
#include <ostream>

#include "document/velmora_doc.h"

namespace velmora::test {

// Everything of an idle document that a failed open or save must leave as it was: the history
// (indices and every held picture), path, modified flag, zoom, tool, selection and masks.
struct DocumentSnapshot {
    std::int32_t top = 0;
    std::int32_t current = 0;
    std::map<std::int32_t, QImage> states;  // every held state by index
    QString pathName;
    bool modified = false;
    float zoom = 0;
    ToolMode tool = TOOL_POLYGON;
    std::int32_t pointCount = 0;
    FillRect sourceRect;
    FillRect selectionBounds;
    QByteArray fillMask;
    QByteArray sourceMask;

    friend bool operator==(const DocumentSnapshot&, const DocumentSnapshot&) = default;
};

DocumentSnapshot TakeSnapshot(const CVelmoraDoc& doc);

// For failure messages: the indices and what differs is enough.
std::ostream& operator<<(std::ostream& out, const DocumentSnapshot& snapshot);

// The bytes of every file below `folder`, by relative path (folders listed with empty bytes).
std::map<QString, QByteArray> FolderContents(const QString& folder);

}  // namespace velmora::test
