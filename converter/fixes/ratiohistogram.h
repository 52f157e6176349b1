// Fixed-bin histogram of values near 1, for robust quantiles over millions of samples.
#pragma once

#include <cstdint>
#include <vector>

namespace mlv2dng {

class RatioHistogram
{
public:
    // Values outside [low, high) are not counted.
    RatioHistogram(double low, double high, int bins);

    void add(double value);
    std::uint64_t count() const { return mCount; }

    // The q-quantile (0..1), interpolated inside its bin; low when empty.
    double quantile(double q) const;

private:
    double mLow;
    double mHigh;
    double mScale;
    std::vector<std::uint64_t> mBins;
    std::uint64_t mCount = 0;
};

}  // namespace mlv2dng
