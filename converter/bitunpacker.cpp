#include "bitunpacker.h"

#include <algorithm>

namespace mlv2dng {

namespace {

inline std::uint32_t word(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

// Eight pixels of an even depth fill bits/2 whole words, so every shift below is a constant.
template <unsigned Bits>
void unpackGroups(const std::uint8_t* source, std::size_t groups, std::uint16_t* pixels)
{
    constexpr std::uint32_t mask = (1u << Bits) - 1;
    for (std::size_t g = 0; g < groups; ++g) {
        const std::uint8_t* in = source + g * Bits;
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
        for (unsigned k = 0; k < 8; ++k) {
            const unsigned bit = k * Bits;
            const unsigned w = bit / 16;
            const unsigned s = bit % 16;
            const std::uint32_t high = word(in + 2 * w);
            const std::uint32_t low = s + Bits > 16 ? word(in + 2 * w + 2) : 0;
            pixels[k] = static_cast<std::uint16_t>((((high << 16) | low) >> (32 - Bits - s)) & mask);
        }
        pixels += 8;
    }
}

// Any depth, any start: the word formula pixel by pixel, words past the end reading as zero.
void unpackSlowly(const std::uint8_t* source, std::size_t sourceSize, std::size_t first, std::size_t count,
                  unsigned bits, std::uint16_t* pixels)
{
    const std::uint32_t mask = (std::uint32_t{1} << bits) - 1;
    auto wordAt = [&](std::size_t w) {
        const std::size_t at = 2 * w;
        const std::uint32_t low = at < sourceSize ? source[at] : 0;
        const std::uint32_t high = at + 1 < sourceSize ? source[at + 1] : 0;
        return low | high << 8;
    };
    for (std::size_t i = first; i < count; ++i) {
        const std::size_t bit = i * bits;
        const std::size_t w = bit / 16;
        const unsigned s = static_cast<unsigned>(bit % 16);
        const std::uint32_t joined = wordAt(w) << 16 | (s + bits > 16 ? wordAt(w + 1) : 0);
        pixels[i] = static_cast<std::uint16_t>((joined >> (32 - bits - s)) & mask);
    }
}

}  // namespace

std::size_t BitUnpacker::packedSize(std::size_t count, int bitsPerPixel)
{
    return (count * static_cast<std::size_t>(bitsPerPixel) + 7) / 8;
}

std::size_t BitUnpacker::wordAlignedSize(std::size_t count, int bitsPerPixel)
{
    return (count * static_cast<std::size_t>(bitsPerPixel) + 15) / 16 * 2;
}

void BitUnpacker::unpack(const std::uint8_t* source, std::size_t sourceSize, std::size_t count, int bitsPerPixel,
                         std::uint16_t* pixels)
{
    const unsigned bits = static_cast<unsigned>(bitsPerPixel);
    // Whole groups of eight only where their bytes are all present; the rest takes the careful path.
    const std::size_t groups = std::min(count / 8, sourceSize / bits);
    std::size_t done = groups * 8;
    switch (bits) {
    case 10: unpackGroups<10>(source, groups, pixels); break;
    case 12: unpackGroups<12>(source, groups, pixels); break;
    case 14: unpackGroups<14>(source, groups, pixels); break;
    case 16:
        done = std::min(count, sourceSize / 2);
        for (std::size_t i = 0; i < done; ++i)
            pixels[i] = static_cast<std::uint16_t>(word(source + 2 * i));
        break;
    default: done = 0; break;
    }
    unpackSlowly(source, sourceSize, done, count, bits, pixels);
}

}  // namespace mlv2dng
