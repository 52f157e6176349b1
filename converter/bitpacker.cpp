#include "bitpacker.h"

namespace mlv2dng {

std::size_t BitPacker::rowBytes(int width, int bitsPerSample)
{
    return (static_cast<std::size_t>(width) * static_cast<std::size_t>(bitsPerSample) + 7) / 8;
}

void BitPacker::pack(const std::uint16_t* pixels, int width, int height, int bitsPerSample, std::uint8_t* out)
{
    const unsigned bits = static_cast<unsigned>(bitsPerSample);
    const std::uint32_t maximum = (std::uint32_t{1} << bits) - 1;
    const std::size_t w = static_cast<std::size_t>(width);
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
        std::uint64_t accumulator = 0;
        unsigned pending = 0;
        for (std::size_t x = 0; x < w; ++x) {
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

}  // namespace mlv2dng
