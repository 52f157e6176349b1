#include "output/asshotneutral.h"

#include <algorithm>
#include <cmath>

namespace mlv2dng {

namespace {

// Canon's nominal temperatures for its presets.
constexpr double kSunny = 5200, kCloudy = 6000, kTungsten = 3200, kFluorescent = 4000, kFlash = 6000, kShade = 7000;
// One step of the camera's white-balance shift: 5 mired on the blue-amber axis, and about as much
// distance from the black-body curve on the green-magenta axis.
constexpr double kMiredPerStep = 5;
constexpr double kDuvPerStep = 0.002;

// Black-body chromaticity by the cubic fits of Kim et al., good to about 1e-4 from 1667 K to 25000 K.
std::array<double, 2> planckian(double t)
{
    const double x = t <= 4000 ? -0.2661239e9 / (t * t * t) - 0.2343589e6 / (t * t) + 0.8776956e3 / t + 0.179910
                               : -3.0258469e9 / (t * t * t) + 2.1070379e6 / (t * t) + 0.2226347e3 / t + 0.240390;
    double y;
    if (t <= 2222)
        y = -1.1063814 * x * x * x - 1.34811020 * x * x + 2.18555832 * x - 0.20219683;
    else if (t <= 4000)
        y = -0.9549476 * x * x * x - 1.37418593 * x * x + 2.09137015 * x - 0.16748867;
    else
        y = 3.0817580 * x * x * x - 5.87338670 * x * x + 3.75112997 * x - 0.37001483;
    return {x, y};
}

// CIE 1960 uv, where distance from the locus is measured.
std::array<double, 2> toUv(const std::array<double, 2>& xy)
{
    const double d = -2 * xy[0] + 12 * xy[1] + 3;
    return {4 * xy[0] / d, 6 * xy[1] / d};
}

std::array<double, 2> fromUv(const std::array<double, 2>& uv)
{
    const double d = 2 * uv[0] - 8 * uv[1] + 4;
    return {3 * uv[0] / d, 2 * uv[1] / d};
}

constexpr double kLightA = 2856, kD65 = 6504;

std::array<double, 9> asDoubles(const ColourMatrix& matrix)
{
    std::array<double, 9> values{};
    for (std::size_t i = 0; i < 9; ++i)
        values[i] = static_cast<double>(matrix[i].first) / matrix[i].second;
    return values;
}

std::int32_t asSigned(std::uint32_t value)
{
    return static_cast<std::int32_t>(value);
}

}  // namespace

std::optional<ColourMatrix> AsShotNeutral::recordedMatrix(const RawInfo& raw)
{
    const auto& m = raw.colorMatrix;
    bool usable = false;
    for (std::size_t i = 0; i < 9; ++i) {
        usable = usable || m[2 * i] != 0;
        if (m[2 * i + 1] == 0)
            return std::nullopt;
    }
    if (!usable)
        return std::nullopt;
    ColourMatrix matrix;
    for (std::size_t i = 0; i < 9; ++i)
        matrix[i] = {m[2 * i], m[2 * i + 1]};
    return matrix;
}

double AsShotNeutral::temperatureOf(const WhiteBalanceInfo& whiteBalance)
{
    switch (whiteBalance.mode) {
    case 1:
        return kSunny;
    case 2:
        return kCloudy;
    case 3:
        return kTungsten;
    case 4:
        return kFluorescent;
    case 5:
        return kFlash;
    case 8:
        return kShade;
    case 9:
        return whiteBalance.kelvin;
    default:
        return 0;
    }
}

std::array<double, 2> AsShotNeutral::chromaticity(double kelvin, double duv)
{
    const std::array<double, 2> onLocus = toUv(planckian(kelvin));
    if (duv == 0)
        return fromUv(onLocus);
    // Off the locus along its normal, found from a neighbouring temperature.
    const std::array<double, 2> near = toUv(planckian(kelvin * 1.01));
    const double du = near[0] - onLocus[0];
    const double dv = near[1] - onLocus[1];
    const double length = std::hypot(du, dv);
    // Rising temperatures run towards smaller u and v; green lies towards larger v.
    return fromUv({onLocus[0] + duv * dv / length, onLocus[1] - duv * du / length});
}

std::array<double, 9> AsShotNeutral::blended(double kelvin, const ColourMatrix& matrixA, const ColourMatrix& matrixD65)
{
    const double weightA = std::clamp((1 / kelvin - 1 / kD65) / (1 / kLightA - 1 / kD65), 0.0, 1.0);
    const std::array<double, 9> a = asDoubles(matrixA), d65 = asDoubles(matrixD65);
    std::array<double, 9> matrix{};
    for (std::size_t i = 0; i < 9; ++i)
        matrix[i] = weightA * a[i] + (1 - weightA) * d65[i];
    return matrix;
}

std::array<double, 3> AsShotNeutral::neutral(double kelvin, double duv, const std::array<double, 9>& matrix)
{
    const std::array<double, 2> xy = chromaticity(kelvin, duv);
    const double xyz[3] = {xy[0] / xy[1], 1.0, (1 - xy[0] - xy[1]) / xy[1]};
    std::array<double, 3> camera{};
    for (std::size_t row = 0; row < 3; ++row) {
        for (std::size_t column = 0; column < 3; ++column)
            camera[row] += matrix[3 * row + column] * xyz[column];
    }
    return {camera[0] / camera[1], 1.0, camera[2] / camera[1]};
}

std::optional<std::array<double, 3>> AsShotNeutral::fromLight(const WhiteBalanceInfo& whiteBalance,
                                                              const std::optional<ColourMatrix>& matrixD65,
                                                              const std::optional<ColourMatrix>& matrixA)
{
    const double kelvin = temperatureOf(whiteBalance);
    if (!whiteBalance.present || !matrixD65 || kelvin < 1667 || kelvin > 25000)
        return std::nullopt;
    // Shifts are stored as signed steps in unsigned fields: amber and green count positive.
    const int amber = asSigned(whiteBalance.shiftBlueAmber);
    const int green = asSigned(whiteBalance.shiftGreenMagenta);
    const double shifted = 1e6 / (1e6 / kelvin - kMiredPerStep * amber);
    // A green shift renders greener, as if the light had been more magenta.
    const double light = std::min(25000.0, std::max(1667.0, shifted));
    const std::array<double, 3> n =
        neutral(light, -kDuvPerStep * green, matrixA ? blended(light, *matrixA, *matrixD65) : asDoubles(*matrixD65));
    if (!(n[0] > 0 && n[2] > 0 && n[0] < 100 && n[2] < 100))
        return std::nullopt;
    return n;
}

}  // namespace mlv2dng
