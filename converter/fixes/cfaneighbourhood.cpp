#include "fixes/cfaneighbourhood.h"

#include <algorithm>

namespace mlv2dng {

CfaNeighbourhood::CfaNeighbourhood(const std::array<std::uint8_t, 4>& cfa)
{
    const auto colourAt = [&cfa](int x, int y) { return cfa[static_cast<std::size_t>((y & 1) * 2 + (x & 1))]; };
    for (int py = 0; py < 2; ++py) {
        for (int px = 0; px < 2; ++px) {
            const std::size_t p = static_cast<std::size_t>(py * 2 + px);
            std::vector<PixelOffset>& all = mNeighbours[p];
            for (int dy = -kReach; dy <= kReach; ++dy) {
                for (int dx = -kReach; dx <= kReach; ++dx) {
                    if ((dx != 0 || dy != 0) && colourAt(px + dx, py + dy) == colourAt(px, py))
                        all.push_back({dx, dy});
                }
            }
            // Stable sort keeps the raster order among equal distances, so the result never
            // depends on the standard library's sort.
            std::stable_sort(all.begin(), all.end(), [](const PixelOffset& a, const PixelOffset& b) {
                return a.dx * a.dx + a.dy * a.dy < b.dx * b.dx + b.dy * b.dy;
            });
            for (const PixelOffset& o : all) {
                if (o.dy > 0 || (o.dy == 0 && o.dx > 0))
                    mHalfPairs[p].push_back(o);
            }
        }
    }
}

}  // namespace mlv2dng
