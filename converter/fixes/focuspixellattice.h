// The focus-pixel positions of the EOS M, 650D, 700D and 100D sensors: each map is a few bands of rows
// over which a small lattice repeats across the whole buffer width, right of the optical-black border.
#pragma once

#include "fixes/focuspixellayout.h"
#include "fixes/focuspixelposition.h"

#include <vector>

namespace mlv2dng {

class FocusPixelLattice
{
public:
    // Every position of the layout's map inside a buffer of that size, band by band and row by row;
    // empty for a layout without a map.
    static std::vector<FocusPixelPosition> positions(const FocusPixelLayout& layout, int bufferWidth, int bufferHeight);
};

}  // namespace mlv2dng
