#include "fixes/focuspixelplacement.h"

#include <algorithm>

namespace mlv2dng {

FocusPixelPlacement::FocusPixelPlacement(const std::vector<FocusPixelPosition>& map, int width, int height, int originX,
                                         int originY)
    : mWidth(width)
    , mHeight(height)
    , mOriginX(originX)
    , mOriginY(originY)
    , mMask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0)
{
    for (const FocusPixelPosition& p : map) {
        // In 64 bits: a user map may hold any number.
        const long long x = static_cast<long long>(p.x) - originX;
        const long long y = static_cast<long long>(p.y) - originY;
        if (x < 0 || y < 0 || x >= width || y >= height)
            continue;
        const auto index = static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x);
        if (mMask[index] == 0)
            mIndices.push_back(static_cast<std::uint32_t>(index));
        mMask[index] = 1;
    }
    std::sort(mIndices.begin(), mIndices.end());
}

}  // namespace mlv2dng
