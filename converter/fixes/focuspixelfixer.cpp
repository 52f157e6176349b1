#include "fixes/focuspixelfixer.h"

#include "fixes/streampixelrepairer.h"

#include <algorithm>
#include <array>
#include <cmath>
#include <cstdlib>

namespace mlv2dng {

namespace {

struct FramePixels
{
    std::uint16_t* pixels;
    std::uint16_t get(std::size_t index) const { return pixels[index]; }
    void set(std::size_t index, std::uint16_t value) { pixels[index] = value; }
};

struct StreamPixels
{
    std::uint8_t* stream;
    std::size_t size;
    int bits;
    std::uint16_t get(std::size_t index) const { return StreamPixelRepairer::pixel(stream, size, index, bits); }
    void set(std::size_t index, std::uint16_t value)
    {
        StreamPixelRepairer::setPixel(stream, size, index, bits, value);
    }
};

// The neighbourhood of one focus pixel, with the rules for which pixels may serve as sources.
template <class Pixels>
class Neighbourhood
{
public:
    Neighbourhood(const Pixels& pixels, const FocusPixelPlacement& placement, const RawFrame& frame, bool dualIso,
                  int x, int y)
        : mPixels(pixels), mPlacement(placement), mFrame(frame), mDualIso(dualIso), mX(x), mY(y)
    {
    }

    // Healthy, inside the frame and, with dual ISO, read at the same ISO (the ISO changes every two rows).
    bool usable(int dx, int dy) const
    {
        const int x = mX + dx, y = mY + dy;
        if (x < 0 || y < 0 || x >= mFrame.width || y >= mFrame.height || mPlacement.isFocusPixel(index(x, y)))
            return false;
        return !mDualIso || ((y >> 1) & 1) == ((mY >> 1) & 1);
    }
    int value(int dx, int dy) const { return mPixels.get(index(mX + dx, mY + dy)); }

    // Same-colour neighbours two (or, past a focus pixel or with dual ISO, four) pixels away on each side,
    // weighted by how quiet the other-colour pixels between are. -1 when no side has one.
    int interpolate() const
    {
        static constexpr std::array<std::array<int, 2>, 4> kSides{{{0, -1}, {0, 1}, {-1, 0}, {1, 0}}};
        std::array<double, 4> values{}, activities{};
        std::array<bool, 4> known{};
        int count = 0;
        for (const auto& side : kSides) {
            const int dx = side[0], dy = side[1];
            for (const int step : {2, 4}) {
                if (!usable(step * dx, step * dy))
                    continue;
                values[count] = value(step * dx, step * dy);
                const int near = step - 1, far = step + 1;
                known[count] = usable(near * dx, near * dy) && usable(far * dx, far * dy);
                activities[count] =
                    known[count] ? std::abs(value(near * dx, near * dy) - value(far * dx, far * dy)) : 0.0;
                ++count;
                break;
            }
        }
        if (count == 0)
            return -1;
        if (count == 1)
            return static_cast<int>(values[0]);
        // A side whose activity cannot be measured counts as the average of those that can.
        double knownSum = 0;
        int knownCount = 0;
        for (int i = 0; i < count; ++i) {
            knownSum += known[i] ? activities[i] : 0.0;
            knownCount += known[i] ? 1 : 0;
        }
        double total = 0;
        for (int i = 0; i < count; ++i) {
            if (!known[i])
                activities[i] = knownCount > 0 ? knownSum / knownCount : 0.0;
            total += activities[i];
        }
        double result = 0;
        for (int i = 0; i < count; ++i) {
            // (total - own) over (count - 1) * total: quieter sides weigh more, and the weights sum to one.
            const double weight = total > 0 ? (total - activities[i]) / ((count - 1) * total) : 1.0 / count;
            result += weight * values[i];
        }
        return static_cast<int>(std::lround(result));
    }

    // The median of the same-colour pixels within four rows and columns; -1 when there are none.
    int median() const
    {
        std::array<int, 80> found{};
        std::size_t n = 0;
        const std::uint8_t colour = mFrame.colorAt(mX, mY);
        for (int dy = -4; dy <= 4; ++dy) {
            for (int dx = -4; dx <= 4; ++dx) {
                if ((dx != 0 || dy != 0) && usable(dx, dy) && mFrame.colorAt(mX + dx, mY + dy) == colour)
                    found[n++] = value(dx, dy);
            }
        }
        if (n == 0)
            return -1;
        std::sort(found.begin(), found.begin() + static_cast<std::ptrdiff_t>(n));
        // The mean of the two middle values for an even count, so the result leans neither way.
        return n % 2 ? found[n / 2] : (found[n / 2 - 1] + found[n / 2] + 1) / 2;
    }

private:
    std::size_t index(int x, int y) const
    {
        return static_cast<std::size_t>(y) * static_cast<std::size_t>(mFrame.width) + static_cast<std::size_t>(x);
    }

    const Pixels& mPixels;
    const FocusPixelPlacement& mPlacement;
    const RawFrame& mFrame;
    const bool mDualIso;
    const int mX, mY;
};

}  // namespace

FocusPixelFixer::FocusPixelFixer(std::vector<FocusPixelPosition> map, Method method, bool dualIso)
    : mMap(std::move(map)), mMethod(method), mDualIso(dualIso)
{
}

std::shared_ptr<const FocusPixelPlacement> FocusPixelFixer::placementFor(const RawFrame& frame) const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    for (auto it = mPlacements.begin(); it != mPlacements.end(); ++it) {
        if ((*it)->fits(frame.width, frame.height, frame.originX, frame.originY)) {
            std::rotate(mPlacements.begin(), it, it + 1);
            return mPlacements.front();
        }
    }
    auto placed =
        std::make_shared<const FocusPixelPlacement>(mMap, frame.width, frame.height, frame.originX, frame.originY);
    mPlacements.insert(mPlacements.begin(), placed);
    if (mPlacements.size() > kPlacementsKept)
        mPlacements.pop_back();
    return placed;
}

template <class Pixels>
void FocusPixelFixer::fix(Pixels& pixels, const RawFrame& frame) const
{
    if (frame.width <= 0 || frame.height <= 0)
        return;
    const std::shared_ptr<const FocusPixelPlacement> placement = placementFor(frame);
    const int maximum = (1 << std::clamp(frame.bitsPerPixel, 1, 16)) - 1;
    const auto width = static_cast<std::uint32_t>(frame.width);
    for (const std::uint32_t index : placement->indices()) {
        const Neighbourhood<Pixels> around(pixels, *placement, frame, mDualIso, static_cast<int>(index % width),
                                           static_cast<int>(index / width));
        const int value = mMethod == Method::Median ? around.median() : around.interpolate();
        if (value >= 0)
            pixels.set(index, static_cast<std::uint16_t>(std::min(value, maximum)));
    }
}

void FocusPixelFixer::apply(RawFrame& frame) const
{
    if (!frame.hasShape())
        return;
    FramePixels pixels{frame.pixels.data()};
    fix(pixels, frame);
}

void FocusPixelFixer::applyToStream(std::uint8_t* stream, std::size_t size, const RawFrame& frame) const
{
    StreamPixels pixels{stream, size, frame.bitsPerPixel};
    fix(pixels, frame);
}

}  // namespace mlv2dng
