#include "mlv/bitunpacker.h"

#include "io/byteorder.h"
#include "vectorclones.h"

#include <algorithm>
#if defined(KORVALIN_AVX2_KERNELS)
#include <immintrin.h>
#endif

namespace mlv2dng {

namespace {

using ByteOrder::le16;

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
            const std::uint32_t high = le16(in + 2 * w);
            const std::uint32_t low = s + Bits > 16 ? le16(in + 2 * w + 2) : 0;
            pixels[k] = static_cast<std::uint16_t>((((high << 16) | low) >> (32 - Bits - s)) & mask);
        }
        pixels += 8;
    }
}

#if defined(KORVALIN_AVX2_KERNELS)
// A group of eight pixels is read as two 16-byte halves; the second starts at the word holding
// pixel 4. Each pixel gets a 32-bit lane holding its first word and the next, then a shift of its own.
template <unsigned Bits>
struct GroupLayout
{
    static constexpr unsigned upperStart = 2 * (4 * Bits / 16);
    std::uint8_t shuffle[32] = {};
    std::uint32_t shifts[8] = {};

    constexpr GroupLayout()
    {
        for (unsigned k = 0; k < 8; ++k) {
            const unsigned bit = k * Bits;
            const unsigned at = 2 * (bit / 16) - (k < 4 ? 0 : upperStart);
            const unsigned lane = 4 * (k % 4) + (k < 4 ? 0 : 16);
            shuffle[lane + 0] = static_cast<std::uint8_t>(at + 2);
            shuffle[lane + 1] = static_cast<std::uint8_t>(at + 3);
            shuffle[lane + 2] = static_cast<std::uint8_t>(at);
            shuffle[lane + 3] = static_cast<std::uint8_t>(at + 1);
            shifts[k] = 32 - Bits - bit % 16;
        }
    }
};

template <unsigned Bits>
KORVALIN_TARGET_AVX2 inline __m256i unpackGroupAvx2(const std::uint8_t* in, __m256i shuffle, __m256i shifts,
                                                    __m256i mask)
{
    const __m256i bytes = _mm256_inserti128_si256(
        _mm256_castsi128_si256(_mm_loadu_si128(reinterpret_cast<const __m128i*>(in))),
        _mm_loadu_si128(reinterpret_cast<const __m128i*>(in + GroupLayout<Bits>::upperStart)), 1);
    return _mm256_and_si256(_mm256_srlv_epi32(_mm256_shuffle_epi8(bytes, shuffle), shifts), mask);
}

// Two groups per step, as long as both halves' 16-byte loads stay inside the source; returns the
// groups done.
template <unsigned Bits>
KORVALIN_TARGET_AVX2 std::size_t unpackGroupsAvx2(const std::uint8_t* source, std::size_t sourceSize,
                                                  std::size_t groups, std::uint16_t* pixels)
{
    static constexpr GroupLayout<Bits> layout;
    constexpr std::size_t reach = Bits + GroupLayout<Bits>::upperStart + 16;
    const __m256i shuffle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layout.shuffle));
    const __m256i shifts = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layout.shifts));
    const __m256i mask = _mm256_set1_epi32((1 << Bits) - 1);
    std::size_t g = 0;
    for (; g + 2 <= groups && g * Bits + reach <= sourceSize; g += 2) {
        const std::uint8_t* in = source + g * Bits;
        const __m256i first = unpackGroupAvx2<Bits>(in, shuffle, shifts, mask);
        const __m256i second = unpackGroupAvx2<Bits>(in + Bits, shuffle, shifts, mask);
        // Packing works per 128-bit lane: put the four quarters back in pixel order.
        const __m256i packed = _mm256_permute4x64_epi64(_mm256_packus_epi32(first, second), 0xd8);
        _mm256_storeu_si256(reinterpret_cast<__m256i*>(pixels + 8 * g), packed);
    }
    return g;
}
#endif

template <unsigned Bits>
void unpackAllGroups(const std::uint8_t* source, std::size_t sourceSize, std::size_t groups, std::uint16_t* pixels)
{
    std::size_t done = 0;
#if defined(KORVALIN_AVX2_KERNELS)
    if (cpuHasAvx2())
        done = unpackGroupsAvx2<Bits>(source, sourceSize, groups, pixels);
#else
    (void)sourceSize;
#endif
    unpackGroups<Bits>(source + done * Bits, groups - done, pixels + 8 * done);
}

// Any depth, any start: the word formula pixel by pixel, words past the end reading as zero.
void unpackSlowly(const std::uint8_t* source, std::size_t sourceSize, std::size_t first, std::size_t count,
                  unsigned bits, std::uint16_t* pixels)
{
    const std::uint32_t mask = (std::uint32_t{1} << bits) - 1;
    const auto wordAt = [&](std::size_t w) { return ByteOrder::le16At(source, sourceSize, w); };
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
    case 10:
        unpackAllGroups<10>(source, sourceSize, groups, pixels);
        break;
    case 12:
        unpackAllGroups<12>(source, sourceSize, groups, pixels);
        break;
    case 14:
        unpackAllGroups<14>(source, sourceSize, groups, pixels);
        break;
    case 16:
        done = std::min(count, sourceSize / 2);
        for (std::size_t i = 0; i < done; ++i)
            pixels[i] = static_cast<std::uint16_t>(le16(source + 2 * i));
        break;
    default:
        done = 0;
        break;
    }
    unpackSlowly(source, sourceSize, done, count, bits, pixels);
}

}  // namespace mlv2dng
