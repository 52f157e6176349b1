// A focus-pixel map laid onto one recorded window: which pixels of a frame of that size and origin are
// focus pixels. Positions outside the window are simply not in it.
#pragma once

#include "fixes/focuspixelposition.h"

#include <cstdint>
#include <vector>

namespace mlv2dng {

class FocusPixelPlacement
{
public:
    FocusPixelPlacement(const std::vector<FocusPixelPosition>& map, int width, int height, int originX, int originY);

    bool fits(int width, int height, int originX, int originY) const
    {
        return width == mWidth && height == mHeight && originX == mOriginX && originY == mOriginY;
    }
    // Raster indices of the focus pixels in the frame, ascending, each once.
    const std::vector<std::uint32_t>& indices() const { return mIndices; }
    bool isFocusPixel(std::size_t index) const { return mMask[index] != 0; }

private:
    int mWidth;
    int mHeight;
    int mOriginX;
    int mOriginY;
    std::vector<std::uint32_t> mIndices;
    std::vector<std::uint8_t> mMask;  // one byte a pixel: the lookups are random and many
};

}  // namespace mlv2dng
