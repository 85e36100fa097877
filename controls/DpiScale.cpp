#include "controls/DpiScale.h"

#include <algorithm>
#include <cstdlib>

std::int32_t MulDivRound(std::int32_t value, std::int32_t numerator, std::int32_t denominator)
{
    if (denominator == 0)
        return -1;
    const std::int64_t product = std::int64_t{value} * numerator;
    const std::int64_t d = denominator;
    const std::int64_t magnitude = (std::llabs(product) * 2 + std::llabs(d)) / (std::llabs(d) * 2);
    return static_cast<std::int32_t>((product < 0) != (d < 0) ? -magnitude : magnitude);
}

int ToolBarPictureSize(int dpi)
{
    // Distances to 16 × dpi / 96, multiplied by 96 to stay in integers.
    const auto distance = [dpi](int size) { return std::abs(size * kDesignDpi - 16 * std::max(dpi, 1)); };
    int best = 16;
    for (const int size : {24, 32})
        if (distance(size) < distance(best))
            best = size;
    return best;
}

int PictureCellStart(int cell, int cells, int pixels)
{
    cell = std::clamp(cell, 0, cells);
    // The left half rounds its edges down and the right half up, so the two halves mirror.
    if (2 * cell > cells)
        return pixels - PictureCellStart(cells - cell, cells, pixels);
    return cell * pixels / cells;
}

int GridRowHeight(int textHeight) { return std::max(20, textHeight + (textHeight + 1) / 2 + 2); }

int GridHeaderHeight(int textHeight, int lines)
{
    return GridRowHeight(textHeight) + (std::max(lines, 1) - 1) * textHeight;
}
