#include "fixes/ratiohistogram.h"

#include <algorithm>

namespace mlv2dng {

RatioHistogram::RatioHistogram(double low, double high, int bins)
    : mLow(low)
    , mHigh(high)
    , mScale(static_cast<double>(std::max(bins, 1)) / (high - low))
    , mBins(static_cast<std::size_t>(std::max(bins, 1)), 0)
{
}

void RatioHistogram::add(double value)
{
    if (!(value >= mLow && value < mHigh))  // also drops NaN
        return;
    const auto bin = std::min(static_cast<std::size_t>((value - mLow) * mScale), mBins.size() - 1);
    ++mBins[bin];
    ++mCount;
}

double RatioHistogram::quantile(double q) const
{
    if (mCount == 0)
        return mLow;
    const double target = std::clamp(q, 0.0, 1.0) * static_cast<double>(mCount);
    double below = 0.0;
    for (std::size_t i = 0; i < mBins.size(); ++i) {
        const double inBin = static_cast<double>(mBins[i]);
        if (inBin > 0.0 && below + inBin >= target) {
            const double fraction = (target - below) / inBin;
            return mLow + (static_cast<double>(i) + fraction) / mScale;
        }
        below += inBin;
    }
    return mHigh;
}

}  // namespace mlv2dng
