#pragma once

#include <QString>
#include <QStringList>
#include <cstdint>
#include <optional>
#include <vector>

#include "engine/grid_point.h"

namespace velmora {

enum class SelectionKind { Rectangle, Polygon, MaskFile };

// The output name that means standard output.
inline constexpr char kStandardOutputName[] = "-";

// What `velmora-erase` was asked to do.
struct EraseOptions {
    QString input;
    QString output;
    SelectionKind selectionKind = SelectionKind::Rectangle;
    std::vector<GridPoint> outline;  // closed: the last point repeats the first
    QString maskPath;
    std::optional<FillRect> sourceRect;
    std::optional<std::uint32_t> seed;
    int threads = 0;  // 0: as many as the process may run at once
    bool quiet = false;
    bool helpRequested = false;
};

struct ParsedEraseArguments {
    std::optional<EraseOptions> options;
    QString error;  // one line, when `options` is empty
};

// Parses the arguments after the program name.
ParsedEraseArguments ParseEraseArguments(const QStringList& arguments);

QString EraseUsage();

// The closed five-point outline the rectangle tool makes when dragged from (x0, y0) to (x1, y1).
std::vector<GridPoint> RectangleOutline(GridPoint from, GridPoint to);

}  // namespace velmora
