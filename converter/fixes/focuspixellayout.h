// Which focus-pixel map a recording needs: the camera, the sensor readout mode and whether the denser map of
// reduced-depth lossless recordings applies, all read from the clip's headers.
#pragma once

#include "mlv/clipmetadata.h"

#include <cstdint>
#include <string>

namespace mlv2dng {

struct FocusPixelLayout
{
    enum class Mode { None, Video720, Video1080, Crop, Zoom, CropRec720 };

    static constexpr std::uint32_t kEosM = 0x80000331;
    static constexpr std::uint32_t kEos650D = 0x80000301;
    static constexpr std::uint32_t kEos700D = 0x80000326;
    static constexpr std::uint32_t kEos100D = 0x80000346;

    std::uint32_t model = 0;
    Mode mode = Mode::None;
    bool lossless = false;

    // One of the cameras with focus pixels on their sensor, whatever the mode.
    static bool hasFocusPixels(std::uint32_t model);
    // The layout the headers in force at a clip's first frame call for; Mode::None when there is no
    // generated map for them. forceCropRec takes a 1808-wide buffer under 900 rows as crop_rec 720 even
    // without a capture block saying so.
    static FocusPixelLayout of(const ClipMetadata& metadata, bool forceCropRec);

    bool hasMap() const { return hasFocusPixels(model) && mode != Mode::None; }
    // "Canon EOS M, 1080p" or "Canon EOS 100D, 3x crop, reduced-depth lossless".
    std::string describe() const;
};

}  // namespace mlv2dng
