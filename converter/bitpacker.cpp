#include "bitpacker.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mlv2dng {

namespace {

// The value's bytes in memory order, most significant first.
inline std::uint64_t bigEndian(std::uint64_t value)
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(value);
#else
    std::uint8_t bytes[8];
    for (unsigned b = 0; b < 8; ++b)
        bytes[b] = static_cast<std::uint8_t>(value >> (56 - 8 * b));
    std::uint64_t ordered;
    std::memcpy(&ordered, bytes, 8);
    return ordered;
#endif
}

// Four pixels of an even depth make bits/2 whole bytes of the MSB-first stream. Each quad is stored
// as eight bytes, the surplus being overwritten by the next quad, so the caller leaves at least
// eight bytes of room after the last quad it asks for.
template <unsigned Bits>
void packQuads(const std::uint16_t* row, std::size_t quads, std::uint8_t* out)
{
    constexpr std::uint64_t maximum = (1u << Bits) - 1;
    for (std::size_t q = 0; q < quads; ++q) {
        std::uint64_t joined = 0;
        for (unsigned k = 0; k < 4; ++k)
            joined = joined << Bits | std::min<std::uint64_t>(row[k], maximum);
        joined = bigEndian(joined << (64 - 4 * Bits));
        std::memcpy(out, &joined, 8);
        row += 4;
        out += Bits / 2;
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
        // The last row keeps its final quads for the careful path, so no store runs past the strip.
        std::size_t quads = grouped ? w / 4 : 0;
        if (y == height - 1)
            quads = quads > 2 ? quads - 2 : 0;
        switch (bits) {
        case 10: packQuads<10>(row, quads, out); break;
        case 12: packQuads<12>(row, quads, out); break;
        case 14: packQuads<14>(row, quads, out); break;
        default: break;
        }
        out += quads * bits / 2;
        std::uint64_t accumulator = 0;
        unsigned pending = 0;
        for (std::size_t x = quads * 4; x < w; ++x) {
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
