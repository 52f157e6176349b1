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

// The red or blue sites of one cell of the 2x2 pattern, smoothed in four steps: measure each
// site's colour difference to its interpolated green, continue the differences beyond the
// frame's border, find the sites whose windows hold a clipped one, and write green plus the
// median difference back. Sites are counted in same-colour units: site (i, j) is pixel
// (cellX + 2i, cellY + 2j). T holds a colour difference.
template <typename T>
class CellSites
{
public:
    CellSites(RawFrame& frame, int cellX, int cellY, int reach)
        : mFrame(frame)
        , mCellX(cellX)
        , mCellY(cellY)
        , mWidth(frame.width)
        , mHeight(frame.height)
        , mWhite(frame.whiteLevel)
        , mNx((frame.width - cellX + 1) / 2)
        , mNy((frame.height - cellY + 1) / 2)
        , mReach(reach)
    {
        if (mNx <= 0 || mNy <= 0)
            return;
        for (std::size_t s = 0; s < kSides.size(); ++s) {
            mSideIsGreen[s] = frame.colorAt(cellX + kSides[s].dx, cellY + kSides[s].dy) == CfaGreen;
            mGreenCount += mSideIsGreen[s] ? 1 : 0;
        }
        const int chunks = (mNx + kLanes - 1) / kLanes;
        mPaddedW = chunks * kLanes + 2 * reach;
        const int paddedH = mNy + 2 * reach;
        mDiff.resize(static_cast<std::size_t>(mPaddedW) * static_cast<std::size_t>(paddedH));
        mGreen.resize(static_cast<std::size_t>(mNx) * static_cast<std::size_t>(mNy));
        mState.assign(mGreen.size(), SiteVectorised);
    }

    bool empty() const { return mNx <= 0 || mNy <= 0 || mGreenCount == 0; }
    bool anyKept() const { return mAnyKept; }

    // Sites with all four greens inside the frame take a branch-free loop that vectorises; the
    // others, and runs that saw a clipped sample, are measured one by one with every check.
    void measure()
    {
        const int firstInner = mCellX >= 1 ? 0 : 1;
        const int lastInner = (mWidth - 2 - mCellX) >= 0 ? (mWidth - 2 - mCellX) / 2 : -1;
        for (int j = 0; j < mNy; ++j) {
            const int y = mCellY + 2 * j;
            if (mGreenCount != 4 || y < 1 || y + 1 >= mHeight || firstInner > lastInner) {
                for (int i = 0; i < mNx; ++i)
                    measureSite(i, j);
                continue;
            }
            for (int i = 0; i < firstInner; ++i)
                measureSite(i, j);
            for (int i = lastInner + 1; i < mNx; ++i)
                measureSite(i, j);
            measureInnerSites(j, firstInner, lastInner);
        }
    }

    // Beyond the border the differences continue by point reflection through the edge site,
    // which keeps a steady colour gradient steady, so border windows do not pull the colour.
    void extendBeyondBorders()
    {
        const int lastColumn = mPaddedW - mReach - 1;  // rightmost padded column, in site units
        for (int j = 0; j < mNy; ++j) {
            T* row = mDiff.data() + padded(0, j);
            for (int m = 1; m <= mReach; ++m)
                row[-m] = reflected(row[0], row[std::min(m, mNx - 1)]);
            for (int i = mNx; i <= lastColumn; ++i)
                row[i] = reflected(row[mNx - 1], row[std::max(2 * (mNx - 1) - i, 0)]);
        }
        for (int m = 1; m <= mReach; ++m) {
            reflectRow(-m, 0, std::min(m, mNy - 1));
            reflectRow(mNy - 1 + m, mNy - 1, std::max(mNy - 1 - m, 0));
        }
    }

    // A padded position stands for up to four sites (itself, or an edge site and its mirror in
    // each direction); it is evidence only if none of them is kept. Every site whose window
    // covers an unusable position takes the slow path that leaves it out.
    void excludeKeptSites(const std::vector<PixelOffset>& offsets)
    {
        mUnusable.assign(mDiff.size(), 0);
        for (int pj = -mReach; pj < mNy + mReach; ++pj) {
            for (int pi = -mReach; pi < mNx + mReach; ++pi) {
                if (!standsForKeptSite(pi, pj))
                    continue;
                mUnusable[padded(pi, pj)] = 1;
                for (const PixelOffset& o : offsets) {
                    const int si = pi - o.dx;
                    const int sj = pj - o.dy;
                    if (si < 0 || si >= mNx || sj < 0 || sj >= mNy)
                        continue;
                    std::uint8_t& state = mState[site(si, sj)];
                    if (state == SiteVectorised)
                        state = SiteScalar;
                }
            }
        }
    }

    // Green plus the median difference of the window, kLanes sites at a time through the network.
    void writeMedians(const MedianNetwork& network, const std::vector<PixelOffset>& offsets)
    {
        const int lowWire = network.lowOutput();
        const int highWire = network.highOutput();
        alignas(64) T work[25 * kLanes];
        for (int j = 0; j < mNy; ++j) {
            for (int c0 = 0; c0 < mNx; c0 += kLanes) {
                for (std::size_t wire = 0; wire < offsets.size(); ++wire) {
                    const T* source = mDiff.data() + padded(c0 + offsets[wire].dx, j + offsets[wire].dy);
                    std::memcpy(work + wire * kLanes, source, sizeof(T) * kLanes);
                }
                network.run(work);
                const int lanes = std::min(kLanes, mNx - c0);
                const std::size_t firstSite = site(c0, j);
                std::uint16_t* const out =
                    mFrame.pixels.data() + static_cast<std::ptrdiff_t>(mCellY + 2 * j) * mWidth + mCellX + 2 * c0;
                const T* const low = work + lowWire * kLanes;
                const T* const high = work + highWire * kLanes;
                if (!mAnyKept && lanes == kLanes) {
                    if (mCellX + 2 * (c0 + kLanes) <= mWidth)
                        writeRunInPairs(out, mGreen.data() + firstSite, low, high, mWhite);
                    else
                        writeRun(out, mGreen.data() + firstSite, low, high, mWhite);
                    continue;
                }
                for (int lane = 0; lane < lanes; ++lane) {
                    const std::size_t at = firstSite + static_cast<std::size_t>(lane);
                    if (mState[at] == SiteKept)
                        continue;
                    const int median = mState[at] == SiteScalar ? scalarMedian(c0 + lane, j, offsets)
                                                                : floorHalf(low[lane] + high[lane]);
                    out[2 * lane] = static_cast<std::uint16_t>(std::clamp(mGreen[at] + median, 0, mWhite));
                }
            }
        }
    }

private:
    // Left, right, up, down: the greens of opposite sides are used in pairs.
    static constexpr std::array<PixelOffset, 4> kSides{{{-1, 0}, {1, 0}, {0, -1}, {0, 1}}};

    // The interpolated green of a red or blue pixel, and whether the site can be smoothed:
    // not when no green is near or one of those used is clipped.
    struct Green
    {
        int value = 0;
        bool usable = false;
    };

    std::size_t padded(int i, int j) const
    {
        return static_cast<std::size_t>(j + mReach) * static_cast<std::size_t>(mPaddedW)
               + static_cast<std::size_t>(i + mReach);
    }
    std::size_t site(int i, int j) const
    {
        return static_cast<std::size_t>(j) * static_cast<std::size_t>(mNx) + static_cast<std::size_t>(i);
    }
    static T toDiff(int d)
    {
        return static_cast<T>(std::clamp(d, static_cast<int>(std::numeric_limits<T>::min()),
                                         static_cast<int>(std::numeric_limits<T>::max())));
    }
    static T reflected(T edge, T mirror) { return toDiff(2 * int(edge) - int(mirror)); }

    void reflectRow(int target, int edge, int mirror)
    {
        T* out = mDiff.data() + padded(-mReach, target);
        const T* e = mDiff.data() + padded(-mReach, edge);
        const T* m = mDiff.data() + padded(-mReach, mirror);
        for (int c = 0; c < mPaddedW; ++c)
            out[c] = reflected(e[c], m[c]);
    }

    // Any site, at the border or not.
    void measureSite(int i, int j)
    {
        const int x = mCellX + 2 * i;
        const int y = mCellY + 2 * j;
        const int v = mFrame.at(x, y);
        const Green green = interpolateGreen(x, y);
        const std::size_t at = site(i, j);
        mGreen[at] = static_cast<std::uint16_t>(green.value);
        mDiff[padded(i, j)] = toDiff(v - green.value);
        if (v >= mWhite || !green.usable) {
            mState[at] = SiteKept;
            mAnyKept = true;
        }
    }

    // A site at the border takes the pair of opposite greens it still has rather than a lopsided
    // mean; only where no pair is left (corners) does it fit a plane, or fall back to the mean
    // of what exists.
    Green interpolateGreen(int x, int y) const
    {
        std::array<int, 4> value{};
        std::array<bool, 4> present{};
        bool clipped = false;
        for (std::size_t s = 0; s < kSides.size(); ++s) {
            const int gx = x + kSides[s].dx;
            const int gy = y + kSides[s].dy;
            present[s] = mSideIsGreen[s] && gx >= 0 && gx < mWidth && gy >= 0 && gy < mHeight;
            if (present[s]) {
                value[s] = mFrame.at(gx, gy);
                clipped = clipped || value[s] >= mWhite;
            }
        }
        int sum = 0;
        int count = 0;
        for (std::size_t s = 0; s < kSides.size(); s += 2) {
            if (present[s] && present[s + 1]) {
                sum += value[s] + value[s + 1];
                count += 2;
            }
        }
        const std::size_t across = present[0] ? 0 : 1;  // the horizontal side present, if any
        const std::size_t down = present[2] ? 2 : 3;
        if (count == 0 && present[across] && present[down])
            fitCorner(x, y, across, down, value, sum, count, clipped);
        if (count == 0) {
            for (std::size_t s = 0; s < kSides.size(); ++s) {
                if (present[s]) {
                    sum += value[s];
                    ++count;
                }
            }
        }
        const int interpolated = count > 0 ? (sum + count / 2) / count : 0;
        return {interpolated, count > 0 && !clipped};
    }

    // A corner: a plane through the two greens beside it and the two beyond them, where those exist.
    void fitCorner(int x, int y, std::size_t across, std::size_t down, const std::array<int, 4>& value, int& sum,
                   int& count, bool& clipped) const
    {
        const int hx = kSides[across].dx;
        const int vy = kSides[down].dy;
        const int fx1 = x + 2 * hx;
        const int fy1 = y + vy;
        const int fx2 = x + hx;
        const int fy2 = y + 2 * vy;
        if (fx1 < 0 || fx1 >= mWidth || fy2 < 0 || fy2 >= mHeight || mFrame.colorAt(fx1, fy1) != CfaGreen
            || mFrame.colorAt(fx2, fy2) != CfaGreen)
            return;
        const int far1 = mFrame.at(fx1, fy1);
        const int far2 = mFrame.at(fx2, fy2);
        clipped = clipped || far1 >= mWhite || far2 >= mWhite;
        sum = std::max(3 * (value[across] + value[down]) - far1 - far2, 0);
        count = 4;
    }

    // A row's inner sites in runs of kLanes. The last run ends on the last inner site,
    // overlapping the one before, which it measures again to the same result. A run that saw a
    // clipped sample is measured again with the checks.
    void measureInnerSites(int j, int firstInner, int lastInner)
    {
        const int y = mCellY + 2 * j;
        const std::uint16_t* const p = mFrame.pixels.data() + static_cast<std::ptrdiff_t>(y) * mWidth + mCellX;
        std::uint16_t* const greenRow = mGreen.data() + site(0, j);
        T* const diffRow = mDiff.data() + padded(0, j);
        const int innerSites = lastInner - firstInner + 1;
        for (int done = 0; done < innerSites;) {
            const int i = done + kLanes <= innerSites ? firstInner + done : lastInner - kLanes + 1;
            if (i < firstInner) {
                for (int k = firstInner + done; k <= lastInner; ++k)
                    measureSite(k, j);
                break;
            }
            if (measureInnerRun(p + 2 * i, mWidth, greenRow + i, diffRow + i) >= mWhite) {
                for (int k = i; k < i + kLanes; ++k)
                    measureSite(k, j);
            }
            done = i + kLanes - firstInner;
        }
    }

    // Whether a padded position stands for a kept site: itself, or the edge site or its mirror.
    bool standsForKeptSite(int pi, int pj) const
    {
        std::array<int, 2> xs{};
        std::array<int, 2> ys{};
        const int xCount = reflectionSources(pi, mNx, xs);
        const int yCount = reflectionSources(pj, mNy, ys);
        for (int a = 0; a < xCount; ++a) {
            for (int b = 0; b < yCount; ++b) {
                if (mState[site(xs[static_cast<std::size_t>(a)], ys[static_cast<std::size_t>(b)])] == SiteKept)
                    return true;
            }
        }
        return false;
    }
    static int reflectionSources(int p, int n, std::array<int, 2>& out)
    {
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
    }

    // The median of the window's usable differences. The 2x2 window leaves the site itself out,
    // so it can come up empty; then the site keeps its own difference.
    int scalarMedian(int i, int j, const std::vector<PixelOffset>& offsets) const
    {
        std::array<int, 25> values{};
        int count = 0;
        for (const PixelOffset& o : offsets) {
            if (mUnusable[padded(i + o.dx, j + o.dy)] == 0)
                values[static_cast<std::size_t>(count++)] = mDiff[padded(i + o.dx, j + o.dy)];
        }
        return count > 0 ? medianOf(values.data(), count) : int(mDiff[padded(i, j)]);
    }

    RawFrame& mFrame;
    const int mCellX, mCellY;
    const int mWidth, mHeight, mWhite;
    const int mNx, mNy;  // sites of this cell across and down
    const int mReach;
    int mPaddedW = 0;  // sites per padded row: whole runs of kLanes plus the reach on both sides
    std::array<bool, 4> mSideIsGreen{};
    int mGreenCount = 0;
    std::vector<T> mDiff;                 // padded by mReach on every side
    std::vector<std::uint16_t> mGreen;    // per site
    std::vector<std::uint8_t> mState;     // per site: SiteState
    std::vector<std::uint8_t> mUnusable;  // padded; only filled in when a site is kept
    bool mAnyKept = false;
};

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
    if (mWindow == 0 || !frame.hasShape())
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
    CellSites<T> sites(frame, cellX, cellY, mReach);
    if (sites.empty())
        return;
    sites.measure();
    sites.extendBeyondBorders();
    if (sites.anyKept())
        sites.excludeKeptSites(mOffsets);
    sites.writeMedians(mNetwork, mOffsets);
}

}  // namespace mlv2dng
