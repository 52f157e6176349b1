// Replaces bad photosites from their good same-colour neighbours, following edges.
#pragma once

#include "mlv/rawframe.h"

#include <cstdint>
#include <vector>

namespace mlv2dng {

class BadPixelRepairer
{
public:
    // `bad` holds ascending pixel indices. Bad pixels never serve as sources, so the result does
    // not depend on the order of repair. Samples at or above the white level are left alone.
    static void repair(RawFrame& frame, const std::vector<std::uint32_t>& bad);
};

}  // namespace mlv2dng
