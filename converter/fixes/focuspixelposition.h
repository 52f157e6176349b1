// One focus pixel, in the coordinates of the camera's full raw buffer.
#pragma once

namespace mlv2dng {

struct FocusPixelPosition
{
    int x = 0;
    int y = 0;
};

}  // namespace mlv2dng
