#include "fixes/framecorrector.h"

#include <cstdint>
#include <limits>

namespace mlv2dng {

FrameCorrector::FrameCorrector(const CorrectionOptions& options)
    : mOptions(options)
    , mColdPixels(options.fixColdPixels, options.fixMovingColdPixels)
    , mChroma(options.chromaSmoothing)
{
}

bool FrameCorrector::hasUsableShape(const RawFrame& frame)
{
    const auto area = static_cast<std::uint64_t>(frame.width > 0 ? frame.width : 0)
                      * static_cast<std::uint64_t>(frame.height > 0 ? frame.height : 0);
    return area > 0 && area <= std::numeric_limits<std::uint32_t>::max() && frame.blackLevel >= 0
           && frame.blackLevel < frame.whiteLevel && frame.whiteLevel <= std::numeric_limits<std::uint16_t>::max();
}

bool FrameCorrector::isUsable(const RawFrame& frame)
{
    return hasUsableShape(frame) && frame.hasShape();
}

void FrameCorrector::prepare(const RawFrame& first)
{
    if (!isUsable(first))
        return;
    // Focus pixels would pass for cold pixels or stripes; the others learn from the frame without them.
    RawFrame withoutFocusPixels;
    if (mFocusPixels) {
        withoutFocusPixels = first;
        mFocusPixels->apply(withoutFocusPixels);
    }
    const RawFrame& learnFrom = mFocusPixels ? withoutFocusPixels : first;
    if (mOptions.fixVerticalStripes)
        mStripes = StripeCorrector::estimate(learnFrom);
    mColdPixels.learn(learnFrom);
}

const std::vector<std::uint32_t>* FrameCorrector::onlyRepairs(const RawFrame& frame) const
{
    if (!hasUsableShape(frame))
        return &mNoPixels;
    if (mStripes.active() || mChroma.window() != 0 || mColdPixels.searchesEachFrame())
        return nullptr;
    return mColdPixels.active() && mColdPixels.mapFits(frame) ? &mColdPixels.map() : &mNoPixels;
}

void FrameCorrector::apply(RawFrame& frame) const
{
    if (!isUsable(frame))
        return;
    // Focus pixels first, so that none leaks into another fix; then stripes, so repaired and smoothed
    // values come from evened-out neighbours.
    if (mFocusPixels)
        mFocusPixels->apply(frame);
    mStripes.apply(frame);
    mColdPixels.apply(frame);
    mChroma.apply(frame);
}

}  // namespace mlv2dng
