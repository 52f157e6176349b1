// How many sensor pixels one recorded pixel spans, across and down: video modes bin or skip, so the picture's pixel
// aspect and its pixel pitch on the sensor both follow from it.
#pragma once

#include "mlv/clipmetadata.h"

#include <optional>

namespace mlv2dng {

struct SensorSampling
{
    int across = 1;
    int down = 1;

    // As RAWC says; without RAWC only the 720p line-skipping modes are known, by their wide and low shape.
    // Nothing where the sampling is unknown.
    static std::optional<SensorSampling> of(const ClipMetadata& metadata);
};

}  // namespace mlv2dng
