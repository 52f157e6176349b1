#include "fixes/streampixelrepairer.h"

#include "fixes/badpixelrepairer.h"
#include "fixes/cfaneighbourhood.h"
#include "io/byteorder.h"

#include <algorithm>

namespace mlv2dng {

using ByteOrder::le16At;
using ByteOrder::putLe16At;

std::uint16_t StreamPixelRepairer::pixel(const std::uint8_t* stream, std::size_t size, std::size_t index, int bits)
{
    const std::size_t bit = index * static_cast<std::size_t>(bits);
    const std::size_t word = bit / 16;
    const unsigned shift = 32 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 16);
    const std::uint32_t joined = le16At(stream, size, word) << 16 | le16At(stream, size, word + 1);
    return static_cast<std::uint16_t>((joined >> shift) & ((std::uint32_t{1} << bits) - 1));
}

void StreamPixelRepairer::setPixel(std::uint8_t* stream, std::size_t size, std::size_t index, int bits,
                                   std::uint16_t value)
{
    const std::size_t bit = index * static_cast<std::size_t>(bits);
    const std::size_t word = bit / 16;
    const unsigned shift = 32 - static_cast<unsigned>(bits) - static_cast<unsigned>(bit % 16);
    const std::uint32_t mask = ((std::uint32_t{1} << bits) - 1) << shift;
    std::uint32_t joined = le16At(stream, size, word) << 16 | le16At(stream, size, word + 1);
    joined = (joined & ~mask) | ((static_cast<std::uint32_t>(value) << shift) & mask);
    putLe16At(stream, size, word, joined >> 16);
    if (mask & 0xffff)
        putLe16At(stream, size, word + 1, joined & 0xffff);
}

void StreamPixelRepairer::repair(std::uint8_t* stream, std::size_t size, const RawFrame& frame,
                                 const std::vector<std::uint32_t>& bad)
{
    const int w = frame.width;
    const int h = frame.height;
    const int bits = frame.bitsPerPixel;
    const std::size_t area = static_cast<std::size_t>(w) * static_cast<std::size_t>(h);
    constexpr int reach = CfaNeighbourhood::kReach;

    // Each pixel is repaired in a small frame cut around it that holds every neighbour the
    // repair can look at; other bad pixels in it are marked too, so they serve as no source.
    RawFrame window;
    window.bitsPerPixel = bits;
    window.blackLevel = frame.blackLevel;
    window.whiteLevel = frame.whiteLevel;
    std::vector<std::uint32_t> windowBad;
    for (const std::uint32_t index : bad) {
        if (index >= area)
            continue;
        const int x = static_cast<int>(index % static_cast<std::uint32_t>(w));
        const int y = static_cast<int>(index / static_cast<std::uint32_t>(w));
        const int x0 = std::max(0, x - reach), x1 = std::min(w, x + reach + 1);
        const int y0 = std::max(0, y - reach), y1 = std::min(h, y + reach + 1);
        window.width = x1 - x0;
        window.height = y1 - y0;
        for (int cy = 0; cy < 2; ++cy) {
            for (int cx = 0; cx < 2; ++cx)
                window.cfa[static_cast<std::size_t>(cy * 2 + cx)] = frame.colorAt(x0 + cx, y0 + cy);
        }
        window.pixels.clear();
        windowBad.clear();
        for (int wy = y0; wy < y1; ++wy) {
            const std::size_t rowStart = static_cast<std::size_t>(wy) * static_cast<std::size_t>(w);
            auto found = std::lower_bound(bad.begin(), bad.end(), static_cast<std::uint32_t>(rowStart + x0));
            for (int wx = x0; wx < x1; ++wx) {
                const std::size_t at = rowStart + static_cast<std::size_t>(wx);
                window.pixels.push_back(pixel(stream, size, at, bits));
                if (found != bad.end() && *found == at) {
                    windowBad.push_back(static_cast<std::uint32_t>((wy - y0) * window.width + (wx - x0)));
                    ++found;
                }
            }
        }
        BadPixelRepairer::repair(window, windowBad);
        setPixel(stream, size, index, bits, window.at(x - x0, y - y0));
    }
}

}  // namespace mlv2dng
