// Lowers colour noise: red and blue sites take the median colour difference to green of their area.
#pragma once

#include "mediannetwork.h"
#include "rawframe.h"

namespace mlv2dng {

class ChromaSmoother
{
public:
    // window: 2, 3 or 5 same-colour sites across; any other value leaves frames alone.
    explicit ChromaSmoother(int window);

    int window() const { return mWindow; }

    // Green sites are never touched. A site whose own value or interpolated green involves a
    // clipped sample keeps its value and is not used for its neighbours either.
    void apply(RawFrame& frame) const;

private:
    template <typename T>
    void smoothSites(RawFrame& frame, int cellX, int cellY) const;

    int mWindow;
    MedianNetwork mNetwork;
};

}  // namespace mlv2dng
