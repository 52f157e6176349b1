// The neutral a raw developer starts from: the colour of the light the camera was set to, seen through the clip's
// matrix.
#pragma once

#include "mlv/clipmetadata.h"

#include <array>
#include <cstdint>
#include <optional>
#include <utility>

namespace mlv2dng {

using ColourMatrix = std::array<std::pair<std::int32_t, std::int32_t>, 9>;  // XYZ to camera, as rationals

class AsShotNeutral
{
public:
    // The recorded XYZ-to-camera matrix, if it is one: some numerator set and no zero denominator.
    static std::optional<ColourMatrix> recordedMatrix(const RawInfo& raw);

    // Camera red, green and blue of the light a preset or Kelvin setting stands for, green being 1;
    // nothing for auto and custom modes, whose recorded gains already say it. With a matrix for standard
    // light A beside the D65 one, the camera's response is theirs blended for the light's temperature, as a raw
    // developer blends them reading the DNG back.
    static std::optional<std::array<double, 3>> fromLight(const WhiteBalanceInfo& whiteBalance,
                                                          const std::optional<ColourMatrix>& matrixD65,
                                                          const std::optional<ColourMatrix>& matrixA = std::nullopt);

    // Colour temperature a mode stands for (the Kelvin setting for mode 9), 0 for gain modes.
    static double temperatureOf(const WhiteBalanceInfo& whiteBalance);
    // CIE 1931 chromaticity of a black body, moved off the locus by duv (positive: greener).
    static std::array<double, 2> chromaticity(double kelvin, double duv = 0);
    // The XYZ-to-camera matrix at a temperature: linear in mired between standard light A (2856 K) and D65
    // (6504 K), the nearer one outside them.
    static std::array<double, 9> blended(double kelvin, const ColourMatrix& matrixA, const ColourMatrix& matrixD65);
    static std::array<double, 3> neutral(double kelvin, double duv, const std::array<double, 9>& matrix);
};

}  // namespace mlv2dng
