#include "fixes/focuspixelfixer.h"

#include "fixes/streampixelrepairer.h"
#include "io/byteorder.h"
#include "mlv/bitunpacker.h"

#include <algorithm>
#include <array>
#include <cstdlib>

namespace mlv2dng {

namespace {

struct FramePixels
{
    std::uint16_t* pixels;
    int get(std::uint32_t index) const { return pixels[index]; }
    void set(std::uint32_t index, std::uint16_t value) { pixels[index] = value; }
};

// How many pixels are unpacked for the work of picking one out of the stream: about eight (under two
// instructions a pixel with the AVX2 unpacker, a dozen a pick).
constexpr std::size_t kUnpackedPerRead = 8;

// MLV packing: one MSB-first bit stream in little-endian 16-bit words. A pixel spans at most two words;
// inside the stream both are read and written straight, without a bounds check per byte.
struct PackedStream
{
    std::uint8_t* stream;
    std::size_t size;
    int bits;

    int get(std::uint32_t index) const
    {
        const std::size_t bit = std::size_t{index} * static_cast<std::size_t>(bits);
        const std::size_t byte = bit / 16 * 2;
        if (byte + 4 > size)
            return StreamPixelRepairer::pixel(stream, size, index, bits);
        const std::uint32_t joined = ByteOrder::le16(stream + byte) << 16 | ByteOrder::le16(stream + byte + 2);
        const unsigned shift = 32 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 16);
        return static_cast<int>((joined >> shift) & ((std::uint32_t{1} << bits) - 1));
    }
    void set(std::uint32_t index, std::uint16_t value)
    {
        const std::size_t bit = std::size_t{index} * static_cast<std::size_t>(bits);
        const std::size_t byte = bit / 16 * 2;
        if (byte + 4 > size) {
            StreamPixelRepairer::setPixel(stream, size, index, bits, value);
            return;
        }
        const unsigned shift = 32 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 16);
        const std::uint32_t mask = ((std::uint32_t{1} << bits) - 1) << shift;
        std::uint32_t joined = ByteOrder::le16(stream + byte) << 16 | ByteOrder::le16(stream + byte + 2);
        joined = (joined & ~mask) | ((std::uint32_t{value} << shift) & mask);
        ByteOrder::putLe16(stream + byte, static_cast<std::uint16_t>(joined >> 16));
        ByteOrder::putLe16(stream + byte + 2, static_cast<std::uint16_t>(joined));
    }
};

// Reads from unpacked rows of the stream, which hold every source; writes go into the stream, since no
// replaced pixel is read again.
struct RowPixels
{
    const std::uint16_t* rows;
    std::uint32_t firstIndex;  // of the first unpacked pixel
    PackedStream out;
    int get(std::uint32_t index) const { return rows[index - firstIndex]; }
    void set(std::uint32_t index, std::uint16_t value) { out.set(index, value); }
};

// Each side's weight is (total - own activity) / ((n - 1) * total): quieter sides weigh more, and the n weights
// sum to one exactly, as integers over one common denominator.
template <std::uint32_t n>
int weightedMean(const std::array<int, n>& values, const std::array<int, n>& activities)
{
    int total = 0, sum = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        total += activities[i];
        sum += values[i];
    }
    if (total == 0)
        return (sum + static_cast<int>(n) / 2) / static_cast<int>(n);
    std::int64_t weighted = 0;
    for (std::uint32_t i = 0; i < n; ++i)
        weighted += std::int64_t{values[i]} * (total - activities[i]);
    // Both are exact in a double, and its division is several times faster than a 64-bit integer one.
    const std::int64_t denominator = std::int64_t{static_cast<int>(n) - 1} * total;
    return static_cast<int>(static_cast<double>(weighted) / static_cast<double>(denominator) + 0.5);
}

// A side whose activity cannot be measured counts as the average of those that can. The count is a template
// argument so that the loops unroll: this runs for every focus pixel of every frame.
template <std::uint32_t n, class Pixels>
int interpolate(const Pixels& pixels, const FocusPixelPlacement::Source* sources)
{
    // At most four 16-bit values: the sums fit an int, the weighted one needs 64 bits.
    std::array<int, n> values{};
    std::array<int, n> activities{};
    int measured = 0, measuredSum = 0;
    for (std::uint32_t i = 0; i < n; ++i) {
        const FocusPixelPlacement::Source& s = sources[i];
        values[i] = pixels.get(s.pixel);
        activities[i] = s.near == s.far ? -1 : std::abs(pixels.get(s.near) - pixels.get(s.far));
        if (activities[i] >= 0) {
            ++measured;
            measuredSum += activities[i];
        }
    }
    if (measured < static_cast<int>(n)) {
        const int standIn = measured > 0 ? (measuredSum + measured / 2) / measured : 0;
        for (int& activity : activities)
            activity = activity >= 0 ? activity : standIn;
    }
    return weightedMean<n>(values, activities);
}

// One source per side, four sides at most.
template <class Pixels>
int interpolate(const Pixels& pixels, const FocusPixelPlacement::Source* sources, std::uint32_t count)
{
    switch (count) {
    case 1:
        return pixels.get(sources[0].pixel);
    case 2:
        return interpolate<2>(pixels, sources);
    case 3:
        return interpolate<3>(pixels, sources);
    default:
        return interpolate<4>(pixels, sources);
    }
}

int maximumOf(int bitsPerPixel)
{
    return (1 << std::clamp(bitsPerPixel, 1, 16)) - 1;
}

// For an even count the mean of the two middle values, so the result leans neither way.
template <class Pixels>
int median(const Pixels& pixels, const FocusPixelPlacement::Source* sources, std::uint32_t count)
{
    std::array<int, 80> values{};
    const std::size_t n = std::min<std::size_t>(count, values.size());
    for (std::size_t i = 0; i < n; ++i)
        values[i] = pixels.get(sources[i].pixel);
    std::sort(values.begin(), values.begin() + static_cast<std::ptrdiff_t>(n));
    return n % 2 ? values[n / 2] : (values[n / 2 - 1] + values[n / 2] + 1) / 2;
}

}  // namespace

FocusPixelFixer::FocusPixelFixer(std::vector<FocusPixelPosition> map, Method method, bool dualIso)
    : mMap(std::move(map)), mMethod(method), mDualIso(dualIso)
{
}

std::shared_ptr<const FocusPixelPlacement> FocusPixelFixer::placementFor(const RawFrame& frame) const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    for (auto it = mPlacements.begin(); it != mPlacements.end(); ++it) {
        if ((*it)->fits(frame.width, frame.height, frame.originX, frame.originY, frame.cfa)) {
            std::rotate(mPlacements.begin(), it, it + 1);
            return mPlacements.front();
        }
    }
    auto placed = std::make_shared<const FocusPixelPlacement>(mMap, frame.width, frame.height, frame.originX,
                                                              frame.originY, frame.cfa, mMethod, mDualIso);
    mPlacements.insert(mPlacements.begin(), placed);
    if (mPlacements.size() > kPlacementsKept)
        mPlacements.pop_back();
    return placed;
}

template <class Pixels>
void FocusPixelFixer::fix(Pixels& pixels, const FocusPixelPlacement& placement, const Recipe& recipe, int maximum) const
{
    if (recipe.count == 0)
        return;
    const FocusPixelPlacement::Source* from = placement.sources().data() + recipe.first;
    const int value =
        mMethod == Method::Median ? median(pixels, from, recipe.count) : interpolate(pixels, from, recipe.count);
    pixels.set(recipe.index, static_cast<std::uint16_t>(std::clamp(value, 0, maximum)));
}

void FocusPixelFixer::apply(RawFrame& frame) const
{
    if (!frame.hasShape())
        return;
    FramePixels pixels{frame.pixels.data()};
    const std::shared_ptr<const FocusPixelPlacement> placement = placementFor(frame);
    for (const Recipe& recipe : placement->recipes())
        fix(pixels, *placement, recipe, maximumOf(frame.bitsPerPixel));
}

void FocusPixelFixer::applyToStream(std::uint8_t* stream, std::size_t size, const RawFrame& frame,
                                    std::vector<std::uint16_t>& rows) const
{
    if (frame.width <= 0 || frame.height <= 0 || frame.bitsPerPixel < 1 || frame.bitsPerPixel > 16)
        return;
    const std::shared_ptr<const FocusPixelPlacement> placement = placementFor(frame);
    const auto width = static_cast<std::size_t>(frame.width);
    const auto bits = static_cast<std::size_t>(frame.bitsPerPixel);
    PackedStream packed{stream, size, frame.bitsPerPixel};
    const int maximum = maximumOf(frame.bitsPerPixel);
    const auto first = static_cast<std::size_t>(placement->firstSourceRow());
    const std::size_t count = (static_cast<std::size_t>(placement->endSourceRow()) - first) * width;
    // Unpacking a pixel costs a small fraction of picking one out of the stream, so the rows are unpacked
    // unless the sources are thinly spread over them (each is read up to three times). Unpacking needs rows
    // that start on a whole 16-bit word.
    if (width * bits % 16 != 0 || count > placement->sources().size() * kUnpackedPerRead * 3) {
        for (const Recipe& recipe : placement->recipes())
            fix(packed, *placement, recipe, maximum);
        return;
    }
    const std::size_t offset = first * width * bits / 8;
    rows.resize(count);
    BitUnpacker::unpack(stream + std::min(offset, size), size - std::min(offset, size), count, frame.bitsPerPixel,
                        rows.data());
    // Nearly every focus pixel has four measured sides: those go without the checks and the indirection
    // that the general recipe needs.
    const std::uint16_t* from = rows.data();
    for (const FocusPixelPlacement::FourSides& r : placement->fourSides()) {
        std::array<int, 4> values{};
        std::array<int, 4> activities{};
        for (std::size_t side = 0; side < 4; ++side) {
            values[side] = from[r.reads[side * 3]];
            activities[side] = std::abs(from[r.reads[side * 3 + 1]] - from[r.reads[side * 3 + 2]]);
        }
        packed.set(r.index, static_cast<std::uint16_t>(std::clamp(weightedMean<4>(values, activities), 0, maximum)));
    }
    RowPixels pixels{rows.data(), static_cast<std::uint32_t>(first * width), packed};
    for (const std::uint32_t other : placement->otherRecipes())
        fix(pixels, *placement, placement->recipes()[other], maximum);
}

}  // namespace mlv2dng
