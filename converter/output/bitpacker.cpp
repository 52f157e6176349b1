#include "output/bitpacker.h"

#include "io/byteorder.h"
#include "vectorclones.h"

#include <algorithm>
#include <cstring>
#if defined(KORVALIN_AVX2_KERNELS)
#include <immintrin.h>
#elif defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace mlv2dng {

namespace {

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
        joined = ByteOrder::toBigEndian64(joined << (64 - 4 * Bits));
        std::memcpy(out, &joined, 8);
        row += 4;
        out += Bits / 2;
    }
}

#if defined(KORVALIN_AVX2_KERNELS)
// Where each output byte of eight packed pixels comes from: two 64-bit lanes of four pixels each,
// most significant byte first; the two bytes past them stay zero and are overwritten later.
template <unsigned Bits>
struct PackLayout
{
    std::uint8_t shuffle[32] = {};

    constexpr PackLayout()
    {
        constexpr unsigned quadBytes = Bits / 2;
        for (unsigned half = 0; half < 2; ++half) {
            for (unsigned j = 0; j < 16; ++j) {
                const unsigned quad = j / quadBytes;
                shuffle[16 * half + j] =
                    quad < 2 ? static_cast<std::uint8_t>(8 * quad + quadBytes - 1 - j % quadBytes) : std::uint8_t{0x80};
            }
        }
    }
};

// Sixteen pixels per step: clamp, join pairs, join pairs of pairs, put the bytes in stream order.
// Each step stores 16 - Bits bytes past its own end, so the caller leaves that much room.
template <unsigned Bits>
KORVALIN_TARGET_AVX2 void packBlocksAvx2(const std::uint16_t* row, std::size_t blocks, std::uint8_t* out)
{
    static constexpr PackLayout<Bits> layout;
    const __m256i shuffle = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(layout.shuffle));
    const __m256i maximum = _mm256_set1_epi16(static_cast<short>((1 << Bits) - 1));
    const __m256i pairWeights = _mm256_set1_epi32(1 << 16 | 1 << Bits);
    const __m256i lowHalves = _mm256_set1_epi64x(0xffffffff);
    for (std::size_t b = 0; b < blocks; ++b) {
        const __m256i pixels = _mm256_min_epu16(_mm256_loadu_si256(reinterpret_cast<const __m256i*>(row)), maximum);
        const __m256i pairs = _mm256_madd_epi16(pixels, pairWeights);
        const __m256i quads = _mm256_or_si256(_mm256_slli_epi64(_mm256_and_si256(pairs, lowHalves), 2 * Bits),
                                              _mm256_srli_epi64(pairs, 32));
        const __m256i bytes = _mm256_shuffle_epi8(quads, shuffle);
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out), _mm256_castsi256_si128(bytes));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(out + Bits), _mm256_extracti128_si256(bytes, 1));
        row += 16;
        out += 2 * Bits;
    }
}
#endif

// Packs a row's first quads; the fast kernel takes whole blocks of sixteen where the CPU has it.
template <unsigned Bits>
void packRowQuads(const std::uint16_t* row, std::size_t quads, bool avx2, std::uint8_t* out)
{
    std::size_t blocks = 0;
#if defined(KORVALIN_AVX2_KERNELS)
    // A block stores up to six bytes past itself: keep two quads for the portable loop.
    blocks = avx2 && quads >= 2 ? (quads - 2) / 4 : 0;
    packBlocksAvx2<Bits>(row, blocks, out);
#else
    (void)avx2;
#endif
    packQuads<Bits>(row + 16 * blocks, quads - 4 * blocks, out + 2 * Bits * blocks);
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
#if defined(KORVALIN_AVX2_KERNELS)
    const bool avx2 = grouped && cpuHasAvx2();
#else
    const bool avx2 = false;
#endif
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
        case 10:
            packRowQuads<10>(row, quads, avx2, out);
            break;
        case 12:
            packRowQuads<12>(row, quads, avx2, out);
            break;
        case 14:
            packRowQuads<14>(row, quads, avx2, out);
            break;
        default:
            break;
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
        word = ByteOrder::swap16(word);
        std::memcpy(data + i, &word, 2);
    }
}

}  // namespace mlv2dng
