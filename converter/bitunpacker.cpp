#include "bitunpacker.h"

namespace mlv2dng {

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
    const std::uint64_t mask = (std::uint64_t{1} << bits) - 1;
    const std::size_t bytes = sourceSize;
    std::uint64_t accumulator = 0;
    unsigned available = 0;
    std::size_t in = 0;
    for (std::size_t i = 0; i < count; ++i) {
        while (available < bits) {
            // The last word may be half present when the stream ends mid-word.
            const std::uint64_t low = in < bytes ? source[in] : 0;
            const std::uint64_t high = in + 1 < bytes ? source[in + 1] : 0;
            accumulator = (accumulator << 16) | (high << 8) | low;
            available += 16;
            in += 2;
        }
        available -= bits;
        pixels[i] = static_cast<std::uint16_t>((accumulator >> available) & mask);
    }
}

}  // namespace mlv2dng
