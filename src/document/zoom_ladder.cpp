#include "zoom_ladder.h"

namespace velmora {

// Exact comparisons are safe: every factor on the ladder is an exact binary fraction.
float ZoomInStep(float zoom) {
    if (zoom >= kZoomMax) return zoom;
    if (zoom == 0.5f) return 0.75f;
    if (zoom == 0.75f) return 1.0f;
    if (zoom == 1.0f) return 1.5f;
    if (zoom == 1.5f) return 2.0f;
    return zoom * 2.0f;
}

float ZoomOutStep(float zoom) {
    if (zoom <= kZoomFloor) return zoom;
    if (zoom == 2.0f) return 1.5f;
    if (zoom == 1.5f) return 1.0f;
    if (zoom == 1.0f) return 0.75f;
    if (zoom == 0.75f) return 0.5f;
    return zoom / 2.0f;
}

}  // namespace velmora
