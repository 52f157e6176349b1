// Evens out the per-column gain pattern that repeats every 8 columns, as learnt from one frame.
#pragma once

#include "mlv/rawframe.h"

#include <array>
#include <cstdint>

namespace mlv2dng {

class StripeCorrector
{
public:
    // Changes nothing until estimate() has found a pattern.
    StripeCorrector();

    // Measures one gain per column phase (x mod 8) and row parity, which with a 2x2 CFA is one
    // per phase and colour. Gains of each colour average 1. A colour whose pattern is within the
    // estimate's noise, or that has too few usable samples, is left at 1.
    static StripeCorrector estimate(const RawFrame& frame);

    bool active() const { return mActive; }
    double gain(int rowParity, int columnPhase) const { return mGains[index(rowParity, columnPhase)]; }

    // Divides each sample's distance from black by its column's gain. Samples at or below black
    // and at or above white stay; results are clamped to white.
    void apply(RawFrame& frame) const;

private:
    static std::size_t index(int rowParity, int columnPhase)
    {
        return static_cast<std::size_t>((rowParity & 1) * 8 + (columnPhase & 7));
    }
    void setGains(const std::array<double, 16>& gains);

    std::array<double, 16> mGains;
    std::array<std::uint32_t, 16> mFactors;  // 1 / gain, in 1/32768ths
    bool mActive = false;
};

}  // namespace mlv2dng
