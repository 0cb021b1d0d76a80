#include "view/canvas_geometry.h"

#include <algorithm>

namespace velmora {

namespace {

// float to integer, toward zero.
std::int32_t Trunc(float value) {
    return static_cast<std::int32_t>(value);
}

float AsFloat(std::int32_t value) {
    return static_cast<float>(value);
}

// One axis of the visible part: source origin and length, destination length.
struct AxisPart {
    std::int32_t sourceStart;
    std::int32_t sourceLength;
    std::int32_t destinationLength;
};

AxisPart VisibleAxis(std::int32_t picture, std::int32_t client, std::int32_t scroll, float zoom) {
    const float zoomed = AsFloat(picture) * zoom;
    AxisPart part{};
    part.sourceStart = Trunc(AsFloat(scroll) / zoom);
    part.sourceLength = AsFloat(client) > zoomed
                            ? picture
                            : Trunc(AsFloat(picture) - (zoomed - AsFloat(client)) / zoom);
    part.destinationLength = zoomed <= AsFloat(client) ? Trunc(zoomed) : client;
    return part;
}

}  // namespace

QPoint CanvasMapping::ToView(GridPoint image) const {
    return {Trunc(AsFloat(image.x) * zoom - AsFloat(scroll.x())),
            Trunc(AsFloat(image.y) * zoom - AsFloat(scroll.y()))};
}

GridPoint CanvasMapping::ToImage(QPoint view) const {
    return {Trunc(AsFloat(view.x() + scroll.x()) / zoom),
            Trunc(AsFloat(view.y() + scroll.y()) / zoom)};
}

QSize ZoomedSize(QSize picture, float zoom) {
    return {Trunc(AsFloat(picture.width()) * zoom), Trunc(AsFloat(picture.height()) * zoom)};
}

VisiblePart ComputeVisiblePart(QSize picture, QSize client, const CanvasMapping& mapping) {
    const AxisPart x =
        VisibleAxis(picture.width(), client.width(), mapping.scroll.x(), mapping.zoom);
    const AxisPart y =
        VisibleAxis(picture.height(), client.height(), mapping.scroll.y(), mapping.zoom);
    return {QRect(x.sourceStart, y.sourceStart, x.sourceLength, y.sourceLength),
            QRect(0, 0, x.destinationLength, y.destinationLength)};
}

bool InsidePicture(QPoint view, QSize picture, const CanvasMapping& mapping) {
    return AsFloat(view.x() + mapping.scroll.x()) <= AsFloat(picture.width()) * mapping.zoom &&
           AsFloat(view.y() + mapping.scroll.y()) <= AsFloat(picture.height()) * mapping.zoom;
}

QRect ConfinementRect(QSize client, QSize picture, float zoom) {
    const QSize zoomed = ZoomedSize(picture, zoom);
    return {0, 0, std::min(client.width(), zoomed.width()),
            std::min(client.height(), zoomed.height())};
}

QPoint ClampInto(QPoint view, const QRect& confinement) {
    return {
        std::clamp(view.x(), confinement.left(), std::max(confinement.left(), confinement.right())),
        std::clamp(view.y(), confinement.top(), std::max(confinement.top(), confinement.bottom()))};
}

}  // namespace velmora
