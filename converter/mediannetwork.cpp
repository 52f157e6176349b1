#include "mediannetwork.h"

#include <algorithm>
#include <utility>

namespace mlv2dng {

namespace {

// Batcher's merge exchange (Knuth, TAOCP 5.2.2, algorithm M): a sorting network for any count.
std::vector<std::pair<int, int>> sortingNetwork(int n)
{
    std::vector<std::pair<int, int>> comparators;
    if (n < 2)
        return comparators;
    int t = 0;
    while ((1 << t) < n)
        ++t;
    for (int p = 1 << (t - 1); p > 0; p >>= 1) {
        int q = 1 << (t - 1);
        int r = 0;
        int d = p;
        for (;;) {
            for (int i = 0; i + d < n; ++i) {
                if ((i & p) == r)
                    comparators.emplace_back(i, i + d);
            }
            if (q == p)
                break;
            d = q - p;
            q >>= 1;
            r = p;
        }
    }
    return comparators;
}

}  // namespace

MedianNetwork::MedianNetwork(int inputs)
    : mInputs(std::clamp(inputs, 1, 64))
{
    // Keep only the comparators whose outputs reach the middle wires, walking backwards.
    const std::vector<std::pair<int, int>> all = sortingNetwork(mInputs);
    std::vector<bool> needed(static_cast<std::size_t>(mInputs), false);
    needed[static_cast<std::size_t>(lowOutput())] = true;
    needed[static_cast<std::size_t>(highOutput())] = true;
    for (auto it = all.rbegin(); it != all.rend(); ++it) {
        const auto low = static_cast<std::size_t>(it->first);
        const auto high = static_cast<std::size_t>(it->second);
        const bool keepMin = needed[low];
        const bool keepMax = needed[high];
        if (!keepMin && !keepMax)
            continue;
        mSteps.push_back({static_cast<std::uint8_t>(low), static_cast<std::uint8_t>(high), keepMin, keepMax});
        needed[low] = true;
        needed[high] = true;
    }
    std::reverse(mSteps.begin(), mSteps.end());
}

template <typename T>
void MedianNetwork::runLanes(T* wires) const
{
    for (const Step& s : mSteps) {
        T* __restrict__ a = wires + static_cast<std::size_t>(s.low) * kLanes;
        T* __restrict__ b = wires + static_cast<std::size_t>(s.high) * kLanes;
        if (s.keepMin && s.keepMax) {
            for (int i = 0; i < kLanes; ++i) {
                const T x = a[i];
                const T y = b[i];
                a[i] = std::min(x, y);
                b[i] = std::max(x, y);
            }
        } else if (s.keepMin) {
            for (int i = 0; i < kLanes; ++i)
                a[i] = std::min(a[i], b[i]);
        } else {
            for (int i = 0; i < kLanes; ++i)
                b[i] = std::max(a[i], b[i]);
        }
    }
}

void MedianNetwork::run(std::int16_t* wires) const
{
    runLanes(wires);
}

void MedianNetwork::run(std::int32_t* wires) const
{
    runLanes(wires);
}

}  // namespace mlv2dng
