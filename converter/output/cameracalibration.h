// What one camera model's sensor needs a raw developer to know: two colour calibrations, the forward matrices and
// the pixel pitch, as Adobe's DNG Converter writes them for the model's still raws.
#pragma once

#include <array>
#include <cstdint>
#include <utility>

namespace mlv2dng {

struct CameraCalibration
{
    static constexpr std::int32_t kDenominator = 10000;
    using Matrix = std::array<std::int32_t, 9>;  // row by row, in ten-thousandths

    std::uint32_t model;  // IDNT cameraModel
    const char* uniqueName;
    Matrix colorMatrixA;  // XYZ to camera under standard light A
    Matrix colorMatrixD65;
    Matrix forwardMatrixA;  // white-balanced camera RGB to XYZ D50 under standard light A
    Matrix forwardMatrixD65;
    std::pair<std::uint32_t, std::uint32_t> focalPlaneX;  // full-sensor pixels per inch, as a fraction
    std::pair<std::uint32_t, std::uint32_t> focalPlaneY;

    // The model's calibration, or nothing for a camera the table does not know.
    static const CameraCalibration* find(std::uint32_t model);
};

}  // namespace mlv2dng
