// Replaces focus pixels with what their healthy same-colour neighbours say: a weighted mean of linear values
// whose weights sum to one (quieter directions count more), or their median. Focus pixels never serve as
// sources, so the order of the replacements does not matter.
#pragma once

#include "fixes/focuspixelplacement.h"
#include "fixes/focuspixelposition.h"
#include "mlv/rawframe.h"

#include <cstddef>
#include <cstdint>
#include <memory>
#include <mutex>
#include <vector>

namespace mlv2dng {

class FocusPixelFixer
{
public:
    using Method = FocusPixelPlacement::Method;
    using Recipe = FocusPixelPlacement::Recipe;

    // The map is in buffer coordinates. With dual ISO, rows read at the other ISO serve as no source.
    FocusPixelFixer(std::vector<FocusPixelPosition> map, Method method, bool dualIso);

    // Each frame is placed by its own origin. Safe to call from several threads at once.
    void apply(RawFrame& frame) const;
    // The same replacements inside a frame's MLV bit stream; the frame describes the stream and its
    // pixels are not used. The rows the sources lie in are unpacked into rows, the caller's to reuse.
    void applyToStream(std::uint8_t* stream, std::size_t size, const RawFrame& frame,
                       std::vector<std::uint16_t>& rows) const;

    // The map laid onto frames like this one: built on first use, then shared by every such frame.
    std::shared_ptr<const FocusPixelPlacement> placementFor(const RawFrame& frame) const;

private:
    template <class Pixels>
    void fix(Pixels& pixels, const FocusPixelPlacement& placement, const Recipe& recipe, int maximum) const;

    static constexpr std::size_t kPlacementsKept = 4;  // a panning window has a few origins at a time

    const std::vector<FocusPixelPosition> mMap;
    const Method mMethod;
    const bool mDualIso;
    mutable std::mutex mMutex;
    mutable std::vector<std::shared_ptr<const FocusPixelPlacement>> mPlacements;  // the latest used first
};

}  // namespace mlv2dng
