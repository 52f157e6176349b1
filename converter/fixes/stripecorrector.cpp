#include "fixes/stripecorrector.h"

#include "fixes/ratiohistogram.h"
#include "vectorclones.h"

#include <algorithm>
#include <cmath>
#include <vector>

namespace mlv2dng {

namespace {

constexpr int kFactorShift = 15;
constexpr std::uint64_t kMinSamples = 256;
// Below this the pattern is invisible anyway; above it, only if it stands out of the noise.
constexpr double kMinDeviation = 0.0005;
// Sensor stripes are a few percent at most; anything wilder is scene content, not gain.
constexpr double kMaxDeviation = 0.1;

// The four phases of one colour form a ring: phase m sits between m-1 and m+1 (two columns
// away). Each measured ratio r_m = g_m / mean(g_{m-1}, g_{m+1}). In logs this is l - (Sl + S'l)/2,
// whose eigenvalues on a 4-ring are 0 (the overall level, fixed by normalising), 1, 2 and 1.
// The least-squares solution is therefore a - mean(a) - alt(a)/2, with alt the alternating part.
std::array<double, 4> solveRing(const std::array<double, 4>& a)
{
    const double mean = (a[0] + a[1] + a[2] + a[3]) / 4.0;
    const double alt = (a[0] - a[1] + a[2] - a[3]) / 4.0;
    std::array<double, 4> l{};
    for (std::size_t m = 0; m < 4; ++m) {
        const double sign = (m % 2 == 0) ? 1.0 : -1.0;
        l[m] = a[m] - mean - sign * alt / 2.0;
    }
    return l;
}

// Gains of one ring from its measured ratios; a few Newton steps remove the log approximation.
std::array<double, 4> gainsFromRatios(const std::array<double, 4>& ratios)
{
    std::array<double, 4> target{};
    for (std::size_t m = 0; m < 4; ++m)
        target[m] = std::log(ratios[m]);
    std::array<double, 4> l = solveRing(target);
    for (int step = 0; step < 4; ++step) {
        std::array<double, 4> residual{};
        for (std::size_t m = 0; m < 4; ++m) {
            const double predicted = 2.0 * std::exp(l[m]) / (std::exp(l[(m + 3) % 4]) + std::exp(l[(m + 1) % 4]));
            residual[m] = target[m] - std::log(predicted);
        }
        const std::array<double, 4> delta = solveRing(residual);
        for (std::size_t m = 0; m < 4; ++m)
            l[m] += delta[m];
    }
    std::array<double, 4> g{};
    double sum = 0.0;
    for (std::size_t m = 0; m < 4; ++m) {
        g[m] = std::exp(l[m]);
        sum += g[m];
    }
    for (double& gain : g)
        gain *= 4.0 / sum;
    return g;
}

}  // namespace

StripeCorrector::StripeCorrector()
{
    mGains.fill(1.0);
    mFactors.fill(1u << kFactorShift);
}

void StripeCorrector::setGains(const std::array<double, 16>& gains)
{
    mGains = gains;
    mActive = false;
    for (std::size_t i = 0; i < gains.size(); ++i) {
        mFactors[i] = static_cast<std::uint32_t>(std::lround(static_cast<double>(1u << kFactorShift) / gains[i]));
        mActive = mActive || gains[i] != 1.0;
    }
}

StripeCorrector StripeCorrector::estimate(const RawFrame& frame)
{
    StripeCorrector result;
    const int w = frame.width;
    const int h = frame.height;
    const int black = frame.blackLevel;
    const int white = frame.whiteLevel;
    const int range = white - black;
    if (w < 5 || range < 64 || !frame.hasShape())
        return result;

    // Well above black the noise is small next to the signal; near white the sensor bends.
    const int low = black + range / 16;
    const int high = white - range / 64;
    std::vector<RatioHistogram> histograms(16, RatioHistogram(0.8, 1.2, 4000));
    for (int y = 0; y < h; ++y) {
        const std::uint16_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        for (int x = 2; x + 2 < w; ++x) {
            const int v = row[x];
            const int left = row[x - 2];
            const int right = row[x + 2];
            if (v < low || v >= high || left < low || left >= high || right < low || right >= high)
                continue;
            // Same colour two columns either side; their mean is exact on a gradient.
            const double ratio = 2.0 * (v - black) / static_cast<double>(left + right - 2 * black);
            histograms[index(y, x)].add(ratio);
        }
    }

    std::array<double, 16> gains;
    gains.fill(1.0);
    for (int rowParity = 0; rowParity < 2; ++rowParity) {
        for (int columnParity = 0; columnParity < 2; ++columnParity) {
            std::array<double, 4> ratios{};
            double worstError = 0.0;
            bool enough = true;
            for (int m = 0; m < 4; ++m) {
                const RatioHistogram& hist = histograms[index(rowParity, columnParity + 2 * m)];
                if (hist.count() < kMinSamples) {
                    enough = false;
                    break;
                }
                ratios[static_cast<std::size_t>(m)] = hist.quantile(0.5);
                // Standard error of a median, with the spread taken from the quartiles.
                const double sigma = (hist.quantile(0.75) - hist.quantile(0.25)) / 1.349;
                worstError = std::max(worstError, 1.2533 * sigma / std::sqrt(static_cast<double>(hist.count())));
            }
            if (!enough)
                continue;
            const std::array<double, 4> ring = gainsFromRatios(ratios);
            double deviation = 0.0;
            for (const double g : ring)
                deviation = std::max(deviation, std::abs(g - 1.0));
            if (deviation < std::max(kMinDeviation, 4.0 * worstError) || deviation > kMaxDeviation)
                continue;
            for (int m = 0; m < 4; ++m)
                gains[index(rowParity, columnParity + 2 * m)] = ring[static_cast<std::size_t>(m)];
        }
    }
    result.setGains(gains);
    return result;
}

KORVALIN_VECTOR_CLONES
void StripeCorrector::apply(RawFrame& frame) const
{
    const int w = frame.width;
    const int h = frame.height;
    if (!mActive || !frame.hasShape())
        return;
    const std::uint32_t black = static_cast<std::uint32_t>(std::max(frame.blackLevel, 0));
    const std::uint32_t white = static_cast<std::uint32_t>(std::max(frame.whiteLevel, 0));
    const std::uint32_t rounding = 1u << (kFactorShift - 1);

    for (int y = 0; y < h; ++y) {
        std::uint16_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        const std::uint32_t* factors = mFactors.data() + index(y, 0);
        // Whole groups of 8 with the factor fixed per lane, so the loop vectorises.
        const auto correct = [&](std::uint16_t& sample, std::uint32_t factor) {
            const std::uint32_t v = sample;
            const std::uint32_t above = v > black ? v - black : 0;
            const std::uint32_t scaled = std::min(black + ((above * factor + rounding) >> kFactorShift), white);
            sample = static_cast<std::uint16_t>((v > black && v < white) ? scaled : v);
        };
        // Sixteen at a time (the eight factors twice) fills the widest vectors.
        std::uint32_t wide[16];
        for (int k = 0; k < 16; ++k)
            wide[k] = factors[k & 7];
        int x = 0;
        for (; x + 16 <= w; x += 16) {
            for (int k = 0; k < 16; ++k)
                correct(row[x + k], wide[k]);
        }
        for (; x + 8 <= w; x += 8) {
            for (int k = 0; k < 8; ++k)
                correct(row[x + k], factors[k]);
        }
        for (; x < w; ++x)
            correct(row[x], factors[x & 7]);
    }
}

}  // namespace mlv2dng
