// Lowers colour noise: red and blue sites take the median colour difference to green of their area.
#pragma once

#include "fixes/cfaneighbourhood.h"
#include "fixes/mediannetwork.h"
#include "mlv/rawframe.h"

#include <vector>

namespace mlv2dng {

class ChromaSmoother
{
public:
    // window: 2, 3 or 5 same-colour sites across; any other value leaves frames alone. The odd
    // windows are centred on the site; the 2x2 one is the four diagonal same-colour sites around
    // it, so no window shifts colour to one side.
    explicit ChromaSmoother(int window);

    int window() const { return mWindow; }

    // Green sites are never touched. A site whose own value or interpolated green involves a
    // clipped sample keeps its value and is not used for its neighbours either.
    void apply(RawFrame& frame) const;

private:
    template <typename T>
    void smoothSites(RawFrame& frame, int cellX, int cellY) const;

    int mWindow;
    int mReach;                         // sites the window reaches on each side
    std::vector<PixelOffset> mOffsets;  // in same-colour sites, one per network input
    MedianNetwork mNetwork;
};

}  // namespace mlv2dng
