// A focus-pixel map laid onto one recorded window: which pixels of a frame of that size and origin are focus
// pixels, and which healthy pixels each is replaced from. Positions outside the window are not in it.
#pragma once

#include "fixes/focuspixelposition.h"

#include <array>
#include <cstdint>
#include <vector>

namespace mlv2dng {

class FocusPixelPlacement
{
public:
    enum class Method { Interpolate, Median };

    // A source of one focus pixel, as raster indices in the frame.
    struct Source
    {
        std::uint32_t pixel;
        // Interpolate: two other-colour pixels between the focus pixel and this one whose difference says how
        // busy the image is on that side; equal when they cannot be read.
        std::uint32_t near;
        std::uint32_t far;
    };
    struct Recipe
    {
        std::uint32_t index;  // of the focus pixel
        std::uint32_t first;  // its sources in sources(); none: it is left as it is
        std::uint32_t count;
    };
    // The usual Interpolate recipe, all four sides measured, laid out for a frame whose source rows are
    // unpacked: each side's pixel, near and far, counted from the first pixel of the first source row.
    struct FourSides
    {
        std::uint32_t index;  // of the focus pixel in the frame
        std::array<std::uint32_t, 12> reads;
    };

    // Sources are healthy pixels inside the frame and, with dual ISO, in rows of the same ISO (it changes
    // every two rows). Interpolate takes the same-colour pixel two away on each side, or four away past a focus
    // pixel or a row of the other ISO; Median takes every same-colour pixel within four rows and columns.
    // The colours of the frame's 2x2 repeat are in DNG's numbering, row-major.
    FocusPixelPlacement(const std::vector<FocusPixelPosition>& map, int width, int height, int originX, int originY,
                        const std::array<std::uint8_t, 4>& cfa, Method method, bool dualIso);

    bool fits(int width, int height, int originX, int originY, const std::array<std::uint8_t, 4>& cfa) const
    {
        return width == mWidth && height == mHeight && originX == mOriginX && originY == mOriginY && cfa == mCfa;
    }
    // One per focus pixel in the frame, by ascending index.
    const std::vector<Recipe>& recipes() const { return mRecipes; }
    const std::vector<Source>& sources() const { return mSources; }
    // The recipes again, split for the unpacked source rows: those of four measured sides, and the indices
    // in recipes() of the others.
    const std::vector<FourSides>& fourSides() const { return mFourSides; }
    const std::vector<std::uint32_t>& otherRecipes() const { return mOtherRecipes; }
    bool isFocusPixel(std::size_t index) const { return mMask[index] != 0; }
    // The rows that hold every source, first and past the last; equal when there is none.
    int firstSourceRow() const { return mFirstSourceRow; }
    int endSourceRow() const { return mEndSourceRow; }

private:
    bool usable(int x, int y, int fromY) const;
    void addInterpolationSources(int x, int y);
    void addMedianSources(int x, int y);
    void splitRecipes(Method method);
    std::uint32_t indexOf(int x, int y) const
    {
        return static_cast<std::uint32_t>(static_cast<std::size_t>(y) * static_cast<std::size_t>(mWidth)
                                          + static_cast<std::size_t>(x));
    }
    std::uint8_t colourAt(int x, int y) const { return mCfa[static_cast<std::size_t>((y & 1) * 2 + (x & 1))]; }

    int mWidth;
    int mHeight;
    int mOriginX;
    int mOriginY;
    std::array<std::uint8_t, 4> mCfa;
    bool mDualIso;
    std::vector<std::uint8_t> mMask;  // one byte a pixel: the lookups are random and many
    std::vector<Recipe> mRecipes;
    std::vector<Source> mSources;
    std::vector<FourSides> mFourSides;
    std::vector<std::uint32_t> mOtherRecipes;
    int mFirstSourceRow = 0;
    int mEndSourceRow = 0;
};

}  // namespace mlv2dng
