// Finds photosites that disagree with all their same-colour neighbours: stuck dark, or isolated hot.
#pragma once

#include "mlv/rawframe.h"

#include <cstdint>
#include <vector>

namespace mlv2dng {

class BadPixelDetector
{
public:
    // With findHot, isolated bright pixels below the white level are reported as well.
    explicit BadPixelDetector(bool findHot) : mFindHot(findHot) {}

    // Indices (y * width + x) of the bad pixels, ascending.
    std::vector<std::uint32_t> find(const RawFrame& frame) const;

    // A pixel at or below this is dark enough to be a cold-pixel candidate: half the black
    // level, or the bottom of the range when the black level is near zero.
    static int coldLimit(const RawFrame& frame);

private:
    bool mFindHot;
};

}  // namespace mlv2dng
