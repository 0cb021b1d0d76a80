#pragma once

namespace velmora {

// The zoom factors the zoom commands step through, compared exactly as 32-bit floats.
inline constexpr float kZoomNormal = 1.0f;
inline constexpr float kZoomMax = 16.0f;          // zoom in is disabled here
inline constexpr float kZoomMinEnabled = 0.125f;  // zoom out is disabled here and below
inline constexpr float kZoomFloor = 0.0625f;      // zoom out itself stops here

// One step up: 0.5 -> 0.75 -> 1 -> 1.5 -> 2, any other factor doubles; unchanged at 16 and above.
[[nodiscard]] float ZoomInStep(float zoom);
// One step down: 2 -> 1.5 -> 1 -> 0.75 -> 0.5, any other factor halves; unchanged at 1/16 and
// below.
[[nodiscard]] float ZoomOutStep(float zoom);

}  // namespace velmora
