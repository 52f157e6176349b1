// Keeps the clip's cold-pixel map from its first frame and repairs it, and per-frame finds, in every frame.
#pragma once

#include "mlv/rawframe.h"

#include <cstdint>
#include <vector>

namespace mlv2dng {

class ColdPixelFixer
{
public:
    // enabled: repair the pixels found cold in the first frame. perFrame: also look for cold and
    // isolated hot pixels in each frame, for footage where they move; implies enabled.
    ColdPixelFixer(bool enabled, bool perFrame);

    void learn(const RawFrame& first);
    void apply(RawFrame& frame) const;

    // False when apply() cannot change a frame: off, or nothing found and no per-frame search.
    bool active() const { return mEnabled && (mPerFrame || !mMap.empty()); }
    bool searchesEachFrame() const { return mEnabled && mPerFrame; }
    // Whether the map learnt applies to a frame: only to frames of the learnt size.
    bool mapFits(const RawFrame& frame) const { return frame.width == mWidth && frame.height == mHeight; }

    // Ascending pixel indices of the map learnt from the first frame.
    const std::vector<std::uint32_t>& map() const { return mMap; }

private:
    bool mEnabled;
    bool mPerFrame;
    int mWidth = 0;
    int mHeight = 0;
    std::vector<std::uint32_t> mMap;
};

}  // namespace mlv2dng
