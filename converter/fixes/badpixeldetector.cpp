#include "fixes/badpixeldetector.h"

#include "fixes/cfaneighbourhood.h"
#include "vectorclones.h"

#include <algorithm>
#include <array>
#include <vector>

namespace mlv2dng {

namespace {

struct Limits
{
    int cold = 0;      // candidates are at or below this
    int coldGap = 0;   // the neighbours' median must be this far above `cold`
    int hotFloor = 0;  // hot candidates are above this
    int hotGap = 0;    // and this far above their brightest neighbour
    int black = 0;
    int white = 0;
};

Limits limitsFor(const RawFrame& frame)
{
    Limits l;
    l.black = frame.blackLevel;
    l.white = frame.whiteLevel;
    const int range = l.white - l.black;
    l.cold = BadPixelDetector::coldLimit(frame);
    l.coldGap = std::max({l.black / 4, range / 64, 1});
    l.hotGap = std::max(range / 16, 1);
    l.hotFloor = l.black + l.hotGap;
    return l;
}

}  // namespace

int BadPixelDetector::coldLimit(const RawFrame& frame)
{
    return std::max(frame.blackLevel / 2, frame.whiteLevel / 1024);
}

KORVALIN_VECTOR_CLONES
std::vector<std::uint32_t> BadPixelDetector::find(const RawFrame& frame) const
{
    std::vector<std::uint32_t> bad;
    const int w = frame.width;
    const int h = frame.height;
    if (!frame.hasShape())
        return bad;

    const Limits lim = limitsFor(frame);
    const CfaNeighbourhood hood(frame.cfa);
    const int hotFloor = mFindHot ? lim.hotFloor : lim.white;  // nothing passes when hot search is off
    std::array<int, 24> values{};
    std::vector<std::uint8_t> worthALook(static_cast<std::size_t>(w), 1);
    const int cold = lim.cold;
    const int white = lim.white;
    const int hotGap = lim.hotGap;

    for (int y = 0; y < h; ++y) {
        const std::uint16_t* row = frame.pixels.data() + static_cast<std::size_t>(y) * static_cast<std::size_t>(w);
        // Two columns away on the same row is always the same colour and always among the
        // neighbours, so a hot pixel must clear both; this pass runs in vector lanes.
        for (int x = 2; x < w - 2; ++x) {
            const int v = row[x];
            const int coldCandidate = v <= cold;
            const int hotCandidate =
                (v > hotFloor) & (v < white) & (v > row[x - 2] + hotGap) & (v > row[x + 2] + hotGap);
            worthALook[static_cast<std::size_t>(x)] = static_cast<std::uint8_t>(coldCandidate | hotCandidate);
        }
        for (int x = 0; x < w; ++x) {
            if (!worthALook[static_cast<std::size_t>(x)])
                continue;
            const int v = row[x];
            const bool coldCandidate = v <= lim.cold;
            const bool hotCandidate = v > hotFloor && v < lim.white;
            if (!coldCandidate && !hotCandidate)
                continue;

            const std::vector<PixelOffset>& offsets = hood.neighbours(x, y);
            if (hotCandidate) {
                // Cheap rejection by the nearest neighbour before looking at all of them.
                const PixelOffset& n = offsets.front();
                const int nx = x + n.dx;
                const int ny = y + n.dy;
                if (nx >= 0 && nx < w && ny >= 0 && ny < h && v <= frame.at(nx, ny) + lim.hotGap)
                    continue;
            }

            std::size_t count = 0;
            for (const PixelOffset& o : offsets) {
                const int nx = x + o.dx;
                const int ny = y + o.dy;
                if (nx >= 0 && nx < w && ny >= 0 && ny < h)
                    values[count++] = frame.at(nx, ny);
            }
            if (count < 2)
                continue;

            bool isBad = false;
            if (coldCandidate) {
                const auto mid = values.begin() + static_cast<std::ptrdiff_t>(count / 2);
                std::nth_element(values.begin(), mid, values.begin() + static_cast<std::ptrdiff_t>(count));
                isBad = *mid > lim.cold + lim.coldGap;
            } else {
                const int brightest =
                    *std::max_element(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(count));
                // Half as bright again as the brightest neighbour (above black), and clearly above
                // it: real detail this small does not stand out from every same-colour neighbour.
                isBad = v > brightest + lim.hotGap && 2 * (v - lim.black) > 3 * (brightest - lim.black);
            }
            if (isBad)
                bad.push_back(static_cast<std::uint32_t>(y) * static_cast<std::uint32_t>(w)
                              + static_cast<std::uint32_t>(x));
        }
    }
    return bad;
}

}  // namespace mlv2dng
