#include "fixes/coldpixelfixer.h"

#include "fixes/badpixeldetector.h"
#include "fixes/badpixelrepairer.h"

#include <algorithm>
#include <iterator>

namespace mlv2dng {

ColdPixelFixer::ColdPixelFixer(bool enabled, bool perFrame) : mEnabled(enabled || perFrame), mPerFrame(perFrame)
{
}

void ColdPixelFixer::learn(const RawFrame& first)
{
    mMap.clear();
    mWidth = first.width;
    mHeight = first.height;
    if (mEnabled)
        mMap = BadPixelDetector(false).find(first);
}

void ColdPixelFixer::apply(RawFrame& frame) const
{
    if (!mEnabled)
        return;
    // A map from a frame of another size says nothing about this one.
    const bool mapFits = this->mapFits(frame);
    if (!mPerFrame) {
        if (mapFits)
            BadPixelRepairer::repair(frame, mMap);
        return;
    }
    const std::vector<std::uint32_t> found = BadPixelDetector(true).find(frame);
    if (!mapFits || mMap.empty()) {
        BadPixelRepairer::repair(frame, found);
        return;
    }
    std::vector<std::uint32_t> all;
    all.reserve(found.size() + mMap.size());
    std::set_union(mMap.begin(), mMap.end(), found.begin(), found.end(), std::back_inserter(all));
    BadPixelRepairer::repair(frame, all);
}

}  // namespace mlv2dng
