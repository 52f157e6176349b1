#include "fixes/chromasmoother.h"

#include "vectorclones.h"

#include <algorithm>
#include <array>
#include <cstdint>
#include <cstring>
#include <limits>
#include <vector>

namespace mlv2dng {

namespace {

constexpr int kLanes = MedianNetwork::kLanes;

enum SiteState : std::uint8_t {
    SiteVectorised = 0,  // the lane-wise median applies
    SiteKept = 1,        // clipped or without green: unchanged, and no evidence for others
    SiteScalar = 2,      // its window holds a kept site, so the median skips those
};

int floorHalf(int sum)
{
    return (sum - (sum < 0 ? 1 : 0)) / 2;
}

// The middle value, or the floored mean of the middle two; the same rule as the network's.
int medianOf(int* values, int count)
{
    std::sort(values, values + count);
    return (count % 2 == 1) ? values[count / 2] : floorHalf(values[count / 2 - 1] + values[count / 2]);
}

// Colour differences of kLanes sites from p on, each with all four greens. Returns the
// brightest sample seen, so the caller knows when clipping calls for the careful path. A fixed
// count and restrict-qualified pointers let the compiler vectorise without run-time checks.
template <typename T>
KORVALIN_VECTOR_CLONES int measureInnerRun(const std::uint16_t* __restrict__ p, std::ptrdiff_t stride,
                    std::uint16_t* __restrict__ greenRow, T* __restrict__ diffRow)
{
    int brightest = 0;
    for (int i = 0; i < kLanes; ++i) {
        const int v = p[2 * i];
        const int left = p[2 * i - 1];
        const int right = p[2 * i + 1];
        const int up = p[2 * i - stride];
        const int down = p[2 * i + stride];
        const int interpolated = (left + right + up + down + 2) >> 2;
        greenRow[i] = static_cast<std::uint16_t>(interpolated);
        const int d = v - interpolated;
        const int low = std::numeric_limits<T>::min();
        const int high = std::numeric_limits<T>::max();
        diffRow[i] = static_cast<T>(d < low ? low : (d > high ? high : d));
        const int brighterGreen = std::max(std::max(left, right), std::max(up, down));
        brightest = std::max(brightest, std::max(v, brighterGreen));
    }
    return brightest;
}

// Green plus median difference for kLanes sites that all take the network's result.
template <typename T>
void writeRun(std::uint16_t* __restrict__ out, const std::uint16_t* __restrict__ greenRow,
              const T* __restrict__ lowWire, const T* __restrict__ highWire, int white)
{
    for (int lane = 0; lane < kLanes; ++lane) {
        const int value = greenRow[lane] + floorHalf(lowWire[lane] + highWire[lane]);
        out[2 * lane] = static_cast<std::uint16_t>(value < 0 ? 0 : (value > white ? white : value));
    }
}

// The same, for a run whose last site has a pixel after it: each site and its right neighbour are
// handled as one 32-bit word, the neighbour written back as it was, so the loop stores contiguously
// instead of one 16-bit lane at a time.
template <typename T>
KORVALIN_VECTOR_CLONES void writeRunInPairs(std::uint16_t* __restrict__ out, const std::uint16_t* __restrict__ greenRow,
                     const T* __restrict__ lowWire, const T* __restrict__ highWire, int white)
{
    std::uint32_t pairs[kLanes];
    std::memcpy(pairs, out, sizeof pairs);
    for (int lane = 0; lane < kLanes; ++lane) {
        const int value = greenRow[lane] + floorHalf(lowWire[lane] + highWire[lane]);
        const std::uint32_t site = static_cast<std::uint32_t>(value < 0 ? 0 : (value > white ? white : value));
#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_BIG_ENDIAN__
        pairs[lane] = (pairs[lane] & 0xffffu) | site << 16;
#else
        pairs[lane] = (pairs[lane] & 0xffff0000u) | site;
#endif
    }
    std::memcpy(out, pairs, sizeof pairs);
}

}  // namespace

namespace {

std::vector<PixelOffset> windowOffsets(int window)
{
    std::vector<PixelOffset> offsets;
    if (window == 2)
        return {{-1, -1}, {1, -1}, {-1, 1}, {1, 1}};
    for (int dy = -(window / 2); dy <= window / 2 && window > 0; ++dy)
        for (int dx = -(window / 2); dx <= window / 2; ++dx)
            offsets.push_back({dx, dy});
    return offsets;
}

}  // namespace

ChromaSmoother::ChromaSmoother(int window)
    : mWindow((window == 2 || window == 3 || window == 5) ? window : 0)
    , mReach(mWindow == 2 ? 1 : mWindow / 2)
    , mOffsets(windowOffsets(mWindow))
    , mNetwork(std::max<int>(static_cast<int>(mOffsets.size()), 1))
{
}

void ChromaSmoother::apply(RawFrame& frame) const
{
    if (mWindow == 0 || frame.width <= 0 || frame.height <= 0
        || frame.pixels.size() != static_cast<std::size_t>(frame.width) * static_cast<std::size_t>(frame.height))
        return;
    for (int cellY = 0; cellY < 2; ++cellY) {
        for (int cellX = 0; cellX < 2; ++cellX) {
            if (frame.colorAt(cellX, cellY) == CfaGreen)
                continue;
            // Colour differences need one sign bit more than the samples.
            if (frame.whiteLevel <= std::numeric_limits<std::int16_t>::max())
                smoothSites<std::int16_t>(frame, cellX, cellY);
            else
                smoothSites<std::int32_t>(frame, cellX, cellY);
        }
    }
}

template <typename T>
void ChromaSmoother::smoothSites(RawFrame& frame, int cellX, int cellY) const
{
    const int w = frame.width;
    const int h = frame.height;
    const int white = frame.whiteLevel;
    const int nx = (w - cellX + 1) / 2;  // sites of this cell across and down
    const int ny = (h - cellY + 1) / 2;
    if (nx <= 0 || ny <= 0)
        return;

    std::array<PixelOffset, 4> greens{};
    int greenCount = 0;
    for (const PixelOffset o : {PixelOffset{-1, 0}, PixelOffset{1, 0}, PixelOffset{0, -1}, PixelOffset{0, 1}}) {
        if (frame.colorAt(cellX + o.dx, cellY + o.dy) == CfaGreen)
            greens[static_cast<std::size_t>(greenCount++)] = o;
    }
    if (greenCount == 0)
        return;

    const int reach = mReach;
    const int chunks = (nx + kLanes - 1) / kLanes;
    const int paddedW = chunks * kLanes + 2 * reach;
    const int paddedH = ny + 2 * reach;
    const auto padded = [&](int i, int j) {
        return static_cast<std::size_t>(j + reach) * static_cast<std::size_t>(paddedW)
               + static_cast<std::size_t>(i + reach);
    };

    std::vector<T> diff(static_cast<std::size_t>(paddedW) * static_cast<std::size_t>(paddedH));
    std::vector<std::uint16_t> green(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
    std::vector<std::uint8_t> state(green.size(), SiteVectorised);
    bool anyKept = false;

    const auto toDiff = [](int d) {
        return static_cast<T>(std::clamp(d, static_cast<int>(std::numeric_limits<T>::min()),
                                         static_cast<int>(std::numeric_limits<T>::max())));
    };
    // Any site, at the border or not. The greens of opposite sides are used in pairs, so a site
    // at the border takes the pair it still has rather than a lopsided mean; only where no pair
    // is left (corners) does it fall back to the mean of what exists.
    const std::array<PixelOffset, 4> sides{{{-1, 0}, {1, 0}, {0, -1}, {0, 1}}};
    std::array<bool, 4> sideIsGreen{};
    for (std::size_t s = 0; s < sides.size(); ++s)
        sideIsGreen[s] = frame.colorAt(cellX + sides[s].dx, cellY + sides[s].dy) == CfaGreen;
    const auto measureSite = [&](int i, int j) {
        const int x = cellX + 2 * i;
        const int y = cellY + 2 * j;
        const int v = frame.at(x, y);
        std::array<int, 4> value{};
        std::array<bool, 4> present{};
        bool clipped = false;
        for (std::size_t s = 0; s < sides.size(); ++s) {
            const int gx = x + sides[s].dx;
            const int gy = y + sides[s].dy;
            present[s] = sideIsGreen[s] && gx >= 0 && gx < w && gy >= 0 && gy < h;
            if (present[s]) {
                value[s] = frame.at(gx, gy);
                clipped = clipped || value[s] >= white;
            }
        }
        int sum = 0;
        int count = 0;
        for (std::size_t s = 0; s < sides.size(); s += 2) {
            if (present[s] && present[s + 1]) {
                sum += value[s] + value[s + 1];
                count += 2;
            }
        }
        const std::size_t across = present[0] ? 0 : 1;  // the horizontal side present, if any
        const std::size_t down = present[2] ? 2 : 3;
        if (count == 0 && present[across] && present[down]) {
            // A corner: fit a plane through the two greens beside it and the two beyond them.
            const int hx = sides[across].dx;
            const int vy = sides[down].dy;
            const int fx1 = x + 2 * hx;
            const int fy1 = y + vy;
            const int fx2 = x + hx;
            const int fy2 = y + 2 * vy;
            if (fx1 >= 0 && fx1 < w && fy2 >= 0 && fy2 < h && frame.colorAt(fx1, fy1) == CfaGreen
                && frame.colorAt(fx2, fy2) == CfaGreen) {
                const int far1 = frame.at(fx1, fy1);
                const int far2 = frame.at(fx2, fy2);
                clipped = clipped || far1 >= white || far2 >= white;
                sum = std::max(3 * (value[across] + value[down]) - far1 - far2, 0);
                count = 4;
            }
        }
        if (count == 0) {
            for (std::size_t s = 0; s < sides.size(); ++s) {
                if (present[s]) {
                    sum += value[s];
                    ++count;
                }
            }
        }
        const std::size_t site = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(i);
        const int interpolated = count > 0 ? (sum + count / 2) / count : 0;
        green[site] = static_cast<std::uint16_t>(interpolated);
        diff[padded(i, j)] = toDiff(v - interpolated);
        if (v >= white || count == 0 || clipped) {
            state[site] = SiteKept;
            anyKept = true;
        }
    };

    // Sites with all four greens inside the frame take a branch-free loop that vectorises.
    const int firstInner = cellX >= 1 ? 0 : 1;
    const int lastInner = (w - 2 - cellX) >= 0 ? (w - 2 - cellX) / 2 : -1;
    const bool fourGreens = greenCount == 4;

    for (int j = 0; j < ny; ++j) {
        const int y = cellY + 2 * j;
        if (!fourGreens || y < 1 || y + 1 >= h || firstInner > lastInner) {
            for (int i = 0; i < nx; ++i)
                measureSite(i, j);
        } else {
            for (int i = 0; i < firstInner; ++i)
                measureSite(i, j);
            for (int i = lastInner + 1; i < nx; ++i)
                measureSite(i, j);
            const std::uint16_t* const p = frame.pixels.data() + static_cast<std::ptrdiff_t>(y) * w + cellX;
            std::uint16_t* const greenRow = green.data() + static_cast<std::size_t>(j) * static_cast<std::size_t>(nx);
            T* const diffRow = diff.data() + padded(0, j);
            // A row's last run ends on its last inner site, overlapping the one before, which it
            // measures again to the same result. A run that saw a clipped sample is measured again
            // with the checks.
            const int innerSites = lastInner - firstInner + 1;
            for (int done = 0; done < innerSites;) {
                const int i = done + kLanes <= innerSites ? firstInner + done : lastInner - kLanes + 1;
                if (i < firstInner) {
                    for (int k = firstInner + done; k <= lastInner; ++k)
                        measureSite(k, j);
                    break;
                }
                if (measureInnerRun(p + 2 * i, w, greenRow + i, diffRow + i) >= white) {
                    for (int k = i; k < i + kLanes; ++k)
                        measureSite(k, j);
                }
                done = i + kLanes - firstInner;
            }
        }
    }

    // Beyond the border the differences continue by point reflection through the edge site,
    // which keeps a steady colour gradient steady, so border windows do not pull the colour.
    const auto reflected = [&toDiff](T edge, T mirror) { return toDiff(2 * int(edge) - int(mirror)); };
    const int lastColumn = paddedW - reach - 1;  // rightmost padded column, in site units
    for (int j = 0; j < ny; ++j) {
        T* row = diff.data() + padded(0, j);
        for (int m = 1; m <= reach; ++m)
            row[-m] = reflected(row[0], row[std::min(m, nx - 1)]);
        for (int i = nx; i <= lastColumn; ++i)
            row[i] = reflected(row[nx - 1], row[std::max(2 * (nx - 1) - i, 0)]);
    }
    const auto reflectRow = [&](int target, int edge, int mirror) {
        T* out = diff.data() + padded(-reach, target);
        const T* e = diff.data() + padded(-reach, edge);
        const T* m = diff.data() + padded(-reach, mirror);
        for (int c = 0; c < paddedW; ++c)
            out[c] = reflected(e[c], m[c]);
    };
    for (int m = 1; m <= reach; ++m) {
        reflectRow(-m, 0, std::min(m, ny - 1));
        reflectRow(ny - 1 + m, ny - 1, std::max(ny - 1 - m, 0));
    }

    // A padded position stands for up to four sites (itself, or an edge site and its mirror in
    // each direction); it is evidence only if none of them is kept.
    std::vector<std::uint8_t> unusable;
    const auto isUnusable = [&](int i, int j) {
        return unusable[static_cast<std::size_t>(j + reach) * static_cast<std::size_t>(paddedW) + static_cast<std::size_t>(i + reach)] != 0;
    };
    if (anyKept) {
        const auto sources = [](int p, int n, std::array<int, 2>& out) {
            if (p < 0) {
                out = {0, std::min(-p, n - 1)};
                return 2;
            }
            if (p >= n) {
                out = {n - 1, std::max(2 * (n - 1) - p, 0)};
                return 2;
            }
            out = {p, p};
            return 1;
        };
        unusable.assign(diff.size(), 0);
        for (int pj = -reach; pj < ny + reach; ++pj) {
            for (int pi = -reach; pi < nx + reach; ++pi) {
                std::array<int, 2> xs{};
                std::array<int, 2> ys{};
                const int xCount = sources(pi, nx, xs);
                const int yCount = sources(pj, ny, ys);
                bool bad = false;
                for (int a = 0; a < xCount; ++a)
                    for (int b = 0; b < yCount; ++b)
                        bad = bad || state[static_cast<std::size_t>(ys[static_cast<std::size_t>(b)]) * static_cast<std::size_t>(nx)
                                           + static_cast<std::size_t>(xs[static_cast<std::size_t>(a)])] == SiteKept;
                if (!bad)
                    continue;
                unusable[static_cast<std::size_t>(pj + reach) * static_cast<std::size_t>(paddedW) + static_cast<std::size_t>(pi + reach)] = 1;
                // Every site whose window covers it leaves it out, on the slow path.
                for (const PixelOffset& o : mOffsets) {
                    const int si = pi - o.dx;
                    const int sj = pj - o.dy;
                    if (si < 0 || si >= nx || sj < 0 || sj >= ny)
                        continue;
                    std::uint8_t& s = state[static_cast<std::size_t>(sj) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(si)];
                    if (s == SiteVectorised)
                        s = SiteScalar;
                }
            }
        }
    }

    const auto scalarMedian = [&](int i, int j) {
        std::array<int, 25> values{};
        int count = 0;
        for (const PixelOffset& o : mOffsets) {
            if (!isUnusable(i + o.dx, j + o.dy))
                values[static_cast<std::size_t>(count++)] = diff[padded(i + o.dx, j + o.dy)];
        }
        // The 2x2 window leaves the site itself out, so it can come up empty.
        return count > 0 ? medianOf(values.data(), count) : int(diff[padded(i, j)]);
    };

    const int lowWire = mNetwork.lowOutput();
    const int highWire = mNetwork.highOutput();
    alignas(64) T work[25 * kLanes];
    for (int j = 0; j < ny; ++j) {
        for (int c0 = 0; c0 < nx; c0 += kLanes) {
            for (std::size_t wire = 0; wire < mOffsets.size(); ++wire) {
                const T* source = diff.data() + padded(c0 + mOffsets[wire].dx, j + mOffsets[wire].dy);
                std::memcpy(work + wire * kLanes, source, sizeof(T) * kLanes);
            }
            mNetwork.run(work);
            const int lanes = std::min(kLanes, nx - c0);
            const std::size_t firstSite = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(c0);
            std::uint16_t* const out = frame.pixels.data() + static_cast<std::ptrdiff_t>(cellY + 2 * j) * w + cellX + 2 * c0;
            if (!anyKept && lanes == kLanes) {
                const T* const low = work + lowWire * kLanes;
                const T* const high = work + highWire * kLanes;
                if (cellX + 2 * (c0 + kLanes) <= w)
                    writeRunInPairs(out, green.data() + firstSite, low, high, white);
                else
                    writeRun(out, green.data() + firstSite, low, high, white);
                continue;
            }
            for (int lane = 0; lane < lanes; ++lane) {
                const std::size_t site = firstSite + static_cast<std::size_t>(lane);
                const std::uint8_t siteState = state[site];
                if (siteState == SiteKept)
                    continue;
                const int median = (siteState == SiteScalar)
                                       ? scalarMedian(c0 + lane, j)
                                       : floorHalf(work[lowWire * kLanes + lane] + work[highWire * kLanes + lane]);
                out[2 * lane] = static_cast<std::uint16_t>(std::clamp(green[site] + median, 0, white));
            }
        }
    }
}

}  // namespace mlv2dng
