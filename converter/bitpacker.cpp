#include "bitpacker.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mlv2dng {

namespace {

// Eight pixels of an even depth make bits/2 whole 16-bit words of the MSB-first stream, stored high
// byte first; with a constant depth every shift is a constant.
template <unsigned Bits>
void packGroups(const std::uint16_t* row, std::size_t groups, std::uint8_t* out)
{
    constexpr std::uint32_t maximum = (1u << Bits) - 1;
    for (std::size_t g = 0; g < groups; ++g) {
        std::uint32_t words[Bits / 2 + 1] = {};
#if defined(__GNUC__)
#pragma GCC unroll 8
#endif
        for (unsigned k = 0; k < 8; ++k) {
            const std::uint32_t value = std::min<std::uint32_t>(row[k], maximum);
            const unsigned bit = k * Bits;
            const std::uint32_t placed = value << (32 - Bits - bit % 16);
            words[bit / 16] |= placed >> 16;
            words[bit / 16 + 1] |= placed & 0xffff;
        }
        for (unsigned w = 0; w < Bits / 2; ++w) {
            out[2 * w] = static_cast<std::uint8_t>(words[w] >> 8);
            out[2 * w + 1] = static_cast<std::uint8_t>(words[w]);
        }
        row += 8;
        out += Bits;
    }
}

}  // namespace

std::size_t BitPacker::rowBytes(int width, int bitsPerSample)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerSample) + 7) / 8;
}

void BitPacker::pack(const std::uint16_t* pixels, int width, int height, int bitsPerSample, std::uint8_t* out)
{
    const unsigned bits = static_cast<unsigned>(bitsPerSample);
    const std::uint32_t maximum = (std::uint32_t{1} << bits) - 1;
    const std::size_t w = static_cast<std::size_t>(width);
    const bool grouped = bits == 10 || bits == 12 || bits == 14;
    for (int y = 0; y < height; ++y) {
        const std::uint16_t* row = pixels + static_cast<std::size_t>(y) * w;
        if (bits == 16) {
            // TIFF stores 16-bit samples in the file's byte order: little-endian here.
            for (std::size_t x = 0; x < w; ++x) {
                *out++ = static_cast<std::uint8_t>(row[x] & 0xff);
                *out++ = static_cast<std::uint8_t>(row[x] >> 8);
            }
            continue;
        }
        const std::size_t groups = grouped ? w / 8 : 0;
        switch (bits) {
        case 10: packGroups<10>(row, groups, out); break;
        case 12: packGroups<12>(row, groups, out); break;
        case 14: packGroups<14>(row, groups, out); break;
        default: break;
        }
        out += groups * bits;
        std::uint64_t accumulator = 0;
        unsigned pending = 0;
        for (std::size_t x = groups * 8; x < w; ++x) {
            const std::uint32_t value = row[x] > maximum ? maximum : row[x];
            accumulator = (accumulator << bits) | value;
            pending += bits;
            while (pending >= 8) {
                pending -= 8;
                *out++ = static_cast<std::uint8_t>(accumulator >> pending);
            }
        }
        if (pending > 0)
            *out++ = static_cast<std::uint8_t>(accumulator << (8 - pending));
    }
}

bool BitPacker::stripIsSwappedStream(int width, int bitsPerSample)
{
    return bitsPerSample >= 1 && bitsPerSample <= 16 && width > 0
        && (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerSample)) % 16 == 0;
}

void BitPacker::stripFromStream(std::uint8_t* data, std::size_t size, int bitsPerSample)
{
    // 16-bit samples are little-endian words in both files; below that the strip is the
    // same MSB-first stream with each word's bytes in reading order.
    if (bitsPerSample == 16)
        return;
    std::size_t i = 0;
#if defined(__SSE2__)
    for (; i + 16 <= size; i += 16) {
        const __m128i words = _mm_loadu_si128(reinterpret_cast<const __m128i*>(data + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(data + i),
                         _mm_or_si128(_mm_slli_epi16(words, 8), _mm_srli_epi16(words, 8)));
    }
#endif
    for (; i + 1 < size; i += 2) {
        std::uint16_t word;
        std::memcpy(&word, data + i, 2);
        word = static_cast<std::uint16_t>(word << 8 | word >> 8);
        std::memcpy(data + i, &word, 2);
    }
}

}  // namespace mlv2dng
