#include "fixes/focuspixelplacement.h"

#include <algorithm>
#include <array>

namespace mlv2dng {

FocusPixelPlacement::FocusPixelPlacement(const std::vector<FocusPixelPosition>& map, int width, int height, int originX,
                                         int originY, const std::array<std::uint8_t, 4>& cfa, Method method,
                                         bool dualIso)
    : mWidth(width)
    , mHeight(height)
    , mOriginX(originX)
    , mOriginY(originY)
    , mCfa(cfa)
    , mDualIso(dualIso)
    , mMask(static_cast<std::size_t>(width) * static_cast<std::size_t>(height), 0)
{
    std::vector<std::uint32_t> indices;
    for (const FocusPixelPosition& p : map) {
        // In 64 bits: a user map may hold any number.
        const long long x = static_cast<long long>(p.x) - originX;
        const long long y = static_cast<long long>(p.y) - originY;
        if (x < 0 || y < 0 || x >= width || y >= height)
            continue;
        const std::uint32_t index = indexOf(static_cast<int>(x), static_cast<int>(y));
        if (mMask[index] == 0)
            indices.push_back(index);
        mMask[index] = 1;
    }
    std::sort(indices.begin(), indices.end());
    mRecipes.reserve(indices.size());
    for (const std::uint32_t index : indices) {
        const auto first = static_cast<std::uint32_t>(mSources.size());
        const int x = static_cast<int>(index % static_cast<std::uint32_t>(width));
        const int y = static_cast<int>(index / static_cast<std::uint32_t>(width));
        if (method == Method::Median)
            addMedianSources(x, y);
        else
            addInterpolationSources(x, y);
        mRecipes.push_back({index, first, static_cast<std::uint32_t>(mSources.size()) - first});
    }
    if (!mSources.empty()) {
        std::uint32_t lowest = mSources.front().pixel, highest = lowest;
        for (const Source& s : mSources) {
            lowest = std::min({lowest, s.pixel, s.near, s.far});
            highest = std::max({highest, s.pixel, s.near, s.far});
        }
        mFirstSourceRow = static_cast<int>(lowest / static_cast<std::uint32_t>(width));
        mEndSourceRow = static_cast<int>(highest / static_cast<std::uint32_t>(width)) + 1;
    }
    splitRecipes(method);
}

void FocusPixelPlacement::splitRecipes(Method method)
{
    const auto firstIndex = static_cast<std::uint32_t>(mFirstSourceRow) * static_cast<std::uint32_t>(mWidth);
    mFourSides.reserve(mRecipes.size());
    for (std::uint32_t i = 0; i < mRecipes.size(); ++i) {
        const Recipe& r = mRecipes[i];
        const Source* from = mSources.data() + r.first;
        const bool measured = method == Method::Interpolate && r.count == 4
                              && std::all_of(from, from + 4, [](const Source& s) { return s.near != s.far; });
        if (!measured) {
            mOtherRecipes.push_back(i);
            continue;
        }
        FourSides sides{r.index, {}};
        for (std::size_t side = 0; side < 4; ++side) {
            sides.reads[side * 3] = from[side].pixel - firstIndex;
            sides.reads[side * 3 + 1] = from[side].near - firstIndex;
            sides.reads[side * 3 + 2] = from[side].far - firstIndex;
        }
        mFourSides.push_back(sides);
    }
}

bool FocusPixelPlacement::usable(int x, int y, int fromY) const
{
    if (x < 0 || y < 0 || x >= mWidth || y >= mHeight || mMask[indexOf(x, y)] != 0)
        return false;
    return !mDualIso || ((y >> 1) & 1) == ((fromY >> 1) & 1);
}

void FocusPixelPlacement::addInterpolationSources(int x, int y)
{
    static constexpr std::array<std::array<int, 2>, 4> kSides{{{0, -1}, {0, 1}, {-1, 0}, {1, 0}}};
    for (const auto& side : kSides) {
        const int dx = side[0], dy = side[1];
        for (const int step : {2, 4}) {
            if (!usable(x + step * dx, y + step * dy, y))
                continue;
            const int nearX = x + (step - 1) * dx, nearY = y + (step - 1) * dy;
            const int farX = x + (step + 1) * dx, farY = y + (step + 1) * dy;
            const std::uint32_t pixel = indexOf(x + step * dx, y + step * dy);
            if (usable(nearX, nearY, y) && usable(farX, farY, y))
                mSources.push_back({pixel, indexOf(nearX, nearY), indexOf(farX, farY)});
            else
                mSources.push_back({pixel, pixel, pixel});
            break;
        }
    }
}

void FocusPixelPlacement::addMedianSources(int x, int y)
{
    // Both greens count as one colour, so a green focus pixel draws on the greens of the other rows too.
    const std::uint8_t colour = colourAt(x, y);
    for (int dy = -4; dy <= 4; ++dy) {
        for (int dx = -4; dx <= 4; ++dx) {
            if ((dx != 0 || dy != 0) && colourAt(x + dx, y + dy) == colour && usable(x + dx, y + dy, y)) {
                const std::uint32_t pixel = indexOf(x + dx, y + dy);
                mSources.push_back({pixel, pixel, pixel});
            }
        }
    }
}

}  // namespace mlv2dng
