#include "engine_test_pictures.h"

#include <algorithm>

#include "engine/random_generator.h"

namespace velmora::testing {

ByteGrid NoisePicture(std::int32_t width, std::int32_t height, std::uint32_t seed) {
    ByteGrid picture;
    picture.SetSize(width, height, 3);
    std::uint32_t state = seed * 2654435761u + 1u;
    for (std::uint8_t& byte : picture) {
        state ^= state << 13;
        state ^= state >> 17;
        state ^= state << 5;
        byte = static_cast<std::uint8_t>(state >> 24);
    }
    return picture;
}

ByteGrid PlainPicture(std::int32_t width, std::int32_t height, std::uint8_t b, std::uint8_t g,
                      std::uint8_t r) {
    ByteGrid picture;
    picture.SetSize(width, height, 3);
    for (std::int32_t y = 0; y < height; ++y)
        for (std::int32_t x = 0; x < width; ++x) {
            std::uint8_t* p = picture.At({x, y});
            p[0] = b;
            p[1] = g;
            p[2] = r;
        }
    return picture;
}

ByteGrid RectMask(std::int32_t width, std::int32_t height, const FillRect& area,
                  std::uint8_t value) {
    ByteGrid mask;
    mask.SetSize(width, height, 1);
    mask.Fill(0);
    for (std::int32_t y = std::max(area.y, 0); y < std::min(area.y + area.height, height); ++y)
        for (std::int32_t x = std::max(area.x, 0); x < std::min(area.x + area.width, width); ++x)
            *mask.At({x, y}) = value;
    return mask;
}

void PrepareSearch(FillEngine& engine, const ByteGrid& picture, std::int32_t offsetReach) {
    const auto copy = [](const ByteGrid& from, ByteGrid& to) {
        to.SetSize(from.width(), from.height(), from.depth());
        std::copy(from.begin(), from.end(), to.begin());
    };
    copy(picture, engine.workGrid);
    copy(picture, engine.sourceGrid);
    engine.sourceMaskGrid.SetSize(picture.width(), picture.height(), 1);
    engine.sourceMaskGrid.Fill(255);
    engine.statusGrid.SetSize(picture.width(), picture.height(), 1);
    engine.statusGrid.Fill(PixelStatus{1, 0, {}});
    engine.triedGrid.SetSize(picture.width(), picture.height(), 1);
    engine.triedGrid.Fill(-1);
    engine.sourcePoints.clear();
    for (std::int32_t y = 0; y < picture.height(); ++y)
        for (std::int32_t x = 0; x < picture.width(); ++x) engine.sourcePoints.push_back({x, y});
    BuildOffsetList(engine.offsetList, offsetReach, offsetReach);
    BuildDifferenceTable(engine.differenceTable);
}

}  // namespace velmora::testing
