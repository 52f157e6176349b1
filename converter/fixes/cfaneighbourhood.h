// Same-colour neighbours of a photosite within two pixels, for each phase of a 2x2 CFA.
#pragma once

#include "mlv/rawframe.h"

#include <array>
#include <cstdint>
#include <vector>

namespace mlv2dng {

struct PixelOffset
{
    int dx = 0;
    int dy = 0;
};

class CfaNeighbourhood
{
public:
    static constexpr int kReach = 2;  // the largest |dx| or |dy| of any offset

    explicit CfaNeighbourhood(const std::array<std::uint8_t, 4>& cfa);

    // Offsets (|dx|, |dy| <= 2) that land on the colour of (x, y), nearest first.
    const std::vector<PixelOffset>& neighbours(int x, int y) const { return mNeighbours[phase(x, y)]; }

    // One side of each opposite pair among neighbours(); the other side is the negated offset.
    // A 2x2 pattern repeats under negation, so every neighbour has its opposite.
    const std::vector<PixelOffset>& halfPairs(int x, int y) const { return mHalfPairs[phase(x, y)]; }

private:
    static std::size_t phase(int x, int y) { return static_cast<std::size_t>((y & 1) * 2 + (x & 1)); }

    std::array<std::vector<PixelOffset>, 4> mNeighbours;
    std::array<std::vector<PixelOffset>, 4> mHalfPairs;
};

}  // namespace mlv2dng
