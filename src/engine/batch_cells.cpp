#include "batch_cells.h"

namespace velmora {

BatchCells::BatchCells(std::int32_t width, std::int32_t height)
    : columns_(std::max((width >> kCellShift) + 1, 1)),
      rows_(std::max((height >> kCellShift) + 1, 1)),
      filedIn_(static_cast<std::size_t>(columns_) * static_cast<std::size_t>(rows_), 0),
      latest_(filedIn_.size(), -1) {}

void BatchCells::File(std::span<const GridPoint> pixels) {
    ++batch_;
    pixels_ = pixels;
    previous_.resize(pixels.size());
    columnOf_.resize(pixels.size());
    rowOf_.resize(pixels.size());
    for (std::size_t e = 0; e < pixels.size(); ++e) {
        const GridPoint p = pixels[e];
        columnOf_[e] = p.x;
        rowOf_[e] = p.y;
        const auto at =
            static_cast<std::size_t>((p.y >> kCellShift) * columns_ + (p.x >> kCellShift));
        if (filedIn_[at] != batch_) {
            filedIn_[at] = batch_;
            latest_[at] = -1;
        }
        previous_[e] = latest_[at];
        latest_[at] = static_cast<std::int32_t>(e);
    }
}

}  // namespace velmora
