#include "fixes/mediannetwork.h"

#include "vectorclones.h"

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

// Separate functions with restrict-qualified parameters, so the compiler knows the rows
// never overlap and vectorises each loop without run-time checks.
#if defined(__GNUC__)
#define KORVALIN_INLINE inline __attribute__((always_inline))
#else
#define KORVALIN_INLINE inline
#endif

template <typename T>
KORVALIN_INLINE void minMaxLanes(T* __restrict__ a, T* __restrict__ b)
{
    for (int i = 0; i < MedianNetwork::kLanes; ++i) {
        const T x = a[i];
        const T y = b[i];
        a[i] = x < y ? x : y;
        b[i] = x < y ? y : x;
    }
}

template <typename T>
KORVALIN_INLINE void minLanes(T* __restrict__ a, const T* __restrict__ b)
{
    for (int i = 0; i < MedianNetwork::kLanes; ++i)
        a[i] = a[i] < b[i] ? a[i] : b[i];
}

template <typename T>
KORVALIN_INLINE void maxLanes(const T* __restrict__ a, T* __restrict__ b)
{
    for (int i = 0; i < MedianNetwork::kLanes; ++i)
        b[i] = a[i] < b[i] ? b[i] : a[i];
}

}  // namespace

MedianNetwork::MedianNetwork(int inputs) : mInputs(std::clamp(inputs, 1, 64))
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
KORVALIN_INLINE void MedianNetwork::runLanes(T* wires) const
{
    for (const Step& s : mSteps) {
        T* a = wires + static_cast<std::size_t>(s.low) * kLanes;
        T* b = wires + static_cast<std::size_t>(s.high) * kLanes;
        if (s.keepMin && s.keepMax)
            minMaxLanes(a, b);
        else if (s.keepMin)
            minLanes(a, b);
        else
            maxLanes(a, b);
    }
}

// Wider vectors where the processor has them.
KORVALIN_VECTOR_CLONES void MedianNetwork::run(std::int16_t* wires) const
{
    runLanes(wires);
}

KORVALIN_VECTOR_CLONES void MedianNetwork::run(std::int32_t* wires) const
{
    runLanes(wires);
}

}  // namespace mlv2dng
