// Applies the optional pixel fixes (focus pixels, cold pixels, vertical stripes, chroma smoothing) to raw frames.
#pragma once

#include "fixes/chromasmoother.h"
#include "fixes/coldpixelfixer.h"
#include "fixes/focuspixelfixer.h"
#include "fixes/stripecorrector.h"
#include "mlv/rawframe.h"

namespace mlv2dng {

struct CorrectionOptions
{
    bool fixColdPixels = true;
    bool fixMovingColdPixels = false;  // per-frame detection as well; wins over fixColdPixels being off
    bool fixVerticalStripes = true;
    int chromaSmoothing = 0;  // 0 off, or the window size: 2, 3 or 5
    bool fixFocusPixels = true;
    FocusPixelFixer::Method focusPixelMethod = FocusPixelFixer::Method::Interpolate;
    bool assumeDualIso = false;  // even without a dual-ISO block in the clip
    bool assumeCropRec = false;  // a 1808-wide buffer under 900 rows is crop_rec 720 even without a capture block
};

class FrameCorrector
{
public:
    explicit FrameCorrector(const CorrectionOptions& options);

    // The focus pixels to replace before any other fix; set, if at all, before prepare().
    void useFocusPixels(std::shared_ptr<const FocusPixelFixer> fixer) { mFocusPixels = std::move(fixer); }
    const FocusPixelFixer* focusPixels() const { return mFocusPixels.get(); }

    // Learns what holds for the whole clip (cold-pixel map, stripe gains) from its first frame.
    // Called once, from one thread, before any apply().
    void prepare(const RawFrame& first);

    // Corrects one frame in place. Safe to call from several threads at once after prepare().
    void apply(RawFrame& frame) const;

    const CorrectionOptions& options() const { return mOptions; }

    // When all apply() would do to a frame like this one (its pixels are not looked at) is to replace its
    // focus pixels, if any, and then repair the fixed pixels found in prepare(), their ascending indices,
    // possibly none; otherwise null. A caller may then do just that wherever the frame lies instead of
    // calling apply().
    const std::vector<std::uint32_t>* onlyRepairs(const RawFrame& frame) const;

private:
    // Levels and sizes that every fix can rely on; other frames pass through untouched.
    static bool isUsable(const RawFrame& frame);
    static bool hasUsableShape(const RawFrame& frame);

    CorrectionOptions mOptions;
    std::shared_ptr<const FocusPixelFixer> mFocusPixels;
    StripeCorrector mStripes;
    ColdPixelFixer mColdPixels;
    ChromaSmoother mChroma;
    std::vector<std::uint32_t> mNoPixels;  // always empty
};

}  // namespace mlv2dng
