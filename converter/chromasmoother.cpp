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
    return sum >= 0 ? sum / 2 : -((1 - sum) / 2);
}

// The middle value, or the floored mean of the middle two; the same rule as the network's.
int medianOf(int* values, int count)
{
    std::sort(values, values + count);
    return (count % 2 == 1) ? values[count / 2] : floorHalf(values[count / 2 - 1] + values[count / 2]);
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

    for (int j = 0; j < ny; ++j) {
        const int y = cellY + 2 * j;
        const bool innerRow = y >= 1 && y + 1 < h;
        for (int i = 0; i < nx; ++i) {
            const int x = cellX + 2 * i;
            const int v = frame.at(x, y);
            int sum = 0;
            int count = 0;
            bool clipped = false;
            if (innerRow && x >= 1 && x + 1 < w) {
                for (int g = 0; g < greenCount; ++g) {
                    const int value = frame.at(x + greens[static_cast<std::size_t>(g)].dx, y + greens[static_cast<std::size_t>(g)].dy);
                    sum += value;
                    clipped = clipped || value >= white;
                }
                count = greenCount;
            } else {
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
            }
            const std::size_t site = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(i);
            const int interpolated = count > 0 ? (sum + count / 2) / count : 0;
            green[site] = static_cast<std::uint16_t>(interpolated);
            if (v >= white || count == 0 || clipped) {
                state[site] = SiteKept;
                anyKept = true;
            }
            const int d = std::clamp(v - interpolated, static_cast<int>(std::numeric_limits<T>::min()),
                                     static_cast<int>(std::numeric_limits<T>::max()));
            diff[padded(i, j)] = static_cast<T>(d);
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
            for (int lane = 0; lane < lanes; ++lane) {
                const int i = c0 + lane;
                const std::size_t site = static_cast<std::size_t>(j) * static_cast<std::size_t>(nx) + static_cast<std::size_t>(i);
                if (state[site] == SiteKept)
                    continue;
                const int median = (state[site] == SiteScalar)
                                       ? scalarMedian(i, j)
                                       : floorHalf(work[lowWire * kLanes + lane] + work[highWire * kLanes + lane]);
                frame.at(cellX + 2 * i, cellY + 2 * j) = static_cast<std::uint16_t>(std::clamp(green[site] + median, 0, white));
            }
        }
    }
}

}  // namespace mlv2dng
