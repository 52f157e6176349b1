#include "output/sensorsampling.h"

namespace mlv2dng {

std::optional<SensorSampling> SensorSampling::of(const ClipMetadata& metadata)
{
    const CaptureInfo& capture = metadata.capture;
    if (capture.present) {
        const SensorSampling recorded{capture.binningX + capture.skippingX, capture.binningY + capture.skippingY};
        if (recorded.across > 0 && recorded.down > 0)
            return recorded;
        return std::nullopt;
    }
    // Older recorders wrote no RAWC. Their 720p modes read every third column and every fifth row, which leaves a
    // picture more than twice as wide as high; crop_rec's modes can share that shape with other samplings.
    const auto& area = metadata.raw.activeArea;  // top, left, bottom, right
    const long width = static_cast<long>(area[3]) - area[1];
    const long height = static_cast<long>(area[2]) - area[0];
    if (metadata.raw.present && !metadata.cropRecording && height > 0 && height <= 720 && width > 2 * height)
        return SensorSampling{3, 5};
    return std::nullopt;
}

}  // namespace mlv2dng
