#include "chromasmoother.h"

#include "cfaneighbourhood.h"

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
int measureInnerRun(const std::uint16_t* __restrict__ p, std::ptrdiff_t stride,
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

}  // namespace

ChromaSmoother::ChromaSmoother(int window)
    : mWindow((window == 2 || window == 3 || window == 5) ? window : 0)
    , mNetwork(mWindow > 0 ? mWindow * mWindow : 1)
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

    // An even window reaches one site further right and down than left and up.
    const int k = mWindow;
    const int reachBack = (k == 2) ? 0 : k / 2;
    const int reachOn = k - 1 - reachBack;
    const int chunks = (nx + kLanes - 1) / kLanes;
    const int paddedW = chunks * kLanes + k - 1;
    const int paddedH = ny + k - 1;
    const auto padded = [&](int i, int j) {
        return static_cast<std::size_t>(j + reachBack) * static_cast<std::size_t>(paddedW)
               + static_cast<std::size_t>(i + reachBack);
    };

    std::vector<T> diff(static_cast<std::size_t>(paddedW) * static_cast<std::size_t>(paddedH));
    std::vector<std::uint16_t> green(static_cast<std::size_t>(nx) * static_cast<std::size_t>(ny));
    std::vector<std::uint8_t> state(green.size(), SiteVectorised);
    bool anyKept = false;

    const auto toDiff = [](int d) {
        return static_cast<T>(std::clamp(d, static_cast<int>(std::numeric_limits<T>::min()),
                                         static_cast<int>(std::numeric_limits<T>::max())));
    };
    // Any site, at the border or not: the rounded mean of the greens that exist.
    const auto measureSite = [&](int i, int j) {
        const int x = cellX + 2 * i;
        const int y = cellY + 2 * j;
        const int v = frame.at(x, y);
        int sum = 0;
        int count = 0;
        bool clipped = false;
        for (int g = 0; g < greenCount; ++g) {
            const int gx = x + greens[static_cast<std::size_t>(g)].dx;
            const int gy = y + greens[static_cast<std::size_t>(g)].dy;
            if (gx < 0 || gx >= w || gy < 0 || gy >= h)
                continue;
            const int value = frame.at(gx, gy);
            sum += value;
            clipped = clipped || value >= white;
            ++count;
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
            int brightest = 0;
            int i = firstInner;
            for (; i + kLanes - 1 <= lastInner; i += kLanes)
                brightest = std::max(brightest, measureInnerRun(p + 2 * i, w, greenRow + i, diffRow + i));
            for (; i <= lastInner; ++i)
                measureSite(i, j);
            if (brightest >= white) {
                for (int i = firstInner; i <= lastInner; ++i)
                    measureSite(i, j);
            }
        }
        // Edge sites repeat outwards, so border windows stay full.
        T* row = diff.data() + padded(0, j);
        std::fill(row - reachBack, row, row[0]);
        std::fill(row + nx, row - reachBack + paddedW, row[nx - 1]);
    }
    for (int j = -reachBack; j < 0; ++j)
        std::copy_n(diff.data() + padded(-reachBack, 0), paddedW, diff.data() + padded(-reachBack, j));
    for (int j = ny; j < ny + reachOn; ++j)
        std::copy_n(diff.data() + padded(-reachBack, ny - 1), paddedW, diff.data() + padded(-reachBack, j));

    if (anyKept) {
        // Every site whose window sees a kept site takes the slow path that leaves it out.
        for (int j = 0; j < ny; ++j) {
            for (int i = 0; i < nx; ++i) {
                if (state[static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(i)] != SiteKept)
                    continue;
                for (int oj = std::max(j - reachOn, 0); oj <= std::min(j + reachBack, ny - 1); ++oj) {
                    for (int oi = std::max(i - reachOn, 0); oi <= std::min(i + reachBack, nx - 1); ++oi) {
                        std::uint8_t& s = state[static_cast<std::size_t>(oj) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(oi)];
                        if (s == SiteVectorised)
                            s = SiteScalar;
                    }
                }
            }
        }
    }

    const auto scalarMedian = [&](int i, int j) {
        std::array<int, 25> values{};
        int count = 0;
        for (int dj = -reachBack; dj <= reachOn; ++dj) {
            for (int di = -reachBack; di <= reachOn; ++di) {
                const int si = std::clamp(i + di, 0, nx - 1);
                const int sj = std::clamp(j + dj, 0, ny - 1);
                if (state[static_cast<std::size_t>(sj) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(si)] != SiteKept)
                    values[static_cast<std::size_t>(count++)] = diff[padded(si, sj)];
            }
        }
        return medianOf(values.data(), count);  // never empty: the site itself counts
    };

    const int lowWire = mNetwork.lowOutput();
    const int highWire = mNetwork.highOutput();
    alignas(64) T work[25 * kLanes];
    for (int j = 0; j < ny; ++j) {
        for (int c0 = 0; c0 < nx; c0 += kLanes) {
            for (int dj = 0; dj < k; ++dj) {
                for (int di = 0; di < k; ++di) {
                    const T* source = diff.data() + padded(c0 + di - reachBack, j + dj - reachBack);
                    std::memcpy(work + (dj * k + di) * kLanes, source, sizeof(T) * kLanes);
                }
            }
            mNetwork.run(work);
            const int lanes = std::min(kLanes, nx - c0);
            const std::size_t firstSite = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(c0);
            std::uint16_t* const out = frame.pixels.data() + static_cast<std::ptrdiff_t>(cellY + 2 * j) * w + cellX + 2 * c0;
            if (!anyKept && lanes == kLanes) {
                writeRun(out, green.data() + firstSite, work + lowWire * kLanes, work + highWire * kLanes, white);
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
