#include "fixes/badpixelrepairer.h"

#include "fixes/cfaneighbourhood.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace mlv2dng {

void BadPixelRepairer::repair(RawFrame& frame, const std::vector<std::uint32_t>& bad)
{
    const int w = frame.width;
    const int h = frame.height;
    if (bad.empty() || !frame.hasShape())
        return;

    const CfaNeighbourhood hood(frame.cfa);
    const auto isBad = [&bad](int x, int y, int width) {
        const std::uint32_t index =
            static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(width) + static_cast<std::uint32_t>(x);
        return std::binary_search(bad.begin(), bad.end(), index);
    };
    // A usable source is inside the frame and not bad itself.
    const auto source = [&](int x, int y, int& value) {
        if (x < 0 || x >= w || y < 0 || y >= h || isBad(x, y, w))
            return false;
        value = frame.at(x, y);
        return true;
    };

    std::array<int, 24> singles{};
    for (const std::uint32_t index : bad) {
        if (index >= frame.pixels.size())
            continue;
        const int x = static_cast<int>(index % static_cast<std::uint32_t>(w));
        const int y = static_cast<int>(index / static_cast<std::uint32_t>(w));
        if (frame.pixels[index] >= frame.whiteLevel)
            continue;

        // Edge-aware: of the opposite pairs, the one that differs least runs along any edge
        // through the pixel, and its mean is exact on a gradient.
        int bestDiff = -1;
        int bestValue = 0;
        std::size_t count = 0;
        for (const PixelOffset& o : hood.halfPairs(x, y)) {
            int a = 0;
            int b = 0;
            const bool hasA = source(x + o.dx, y + o.dy, a);
            const bool hasB = source(x - o.dx, y - o.dy, b);
            if (hasA)
                singles[count++] = a;
            if (hasB)
                singles[count++] = b;
            if (hasA && hasB && (bestDiff < 0 || std::abs(a - b) < bestDiff)) {
                bestDiff = std::abs(a - b);
                bestValue = (a + b + 1) / 2;
            }
        }
        if (bestDiff < 0) {
            // At the border or next to other bad pixels: the median of what is left.
            if (count == 0)
                continue;
            std::sort(singles.begin(), singles.begin() + static_cast<std::ptrdiff_t>(count));
            bestValue = (count % 2 == 1) ? singles[count / 2] : (singles[count / 2 - 1] + singles[count / 2] + 1) / 2;
        }
        frame.pixels[index] = static_cast<std::uint16_t>(std::min(bestValue, frame.whiteLevel));
    }
}

}  // namespace mlv2dng
