// Unpacks MLV raw data: an MSB-first bit stream cut into little-endian 16-bit words.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mlv2dng {

class BitUnpacker
{
public:
    // Bytes a frame of count pixels occupies at the given depth.
    static std::size_t packedSize(std::size_t count, int bitsPerPixel);

    // Bytes the stream occupies when its last word is stored whole.
    static std::size_t wordAlignedSize(std::size_t count, int bitsPerPixel);

    // Unpacks count pixels of 1 to 16 bits from sourceSize bytes; bytes past the end read as zero.
    // When the stream ends mid-word, the word's high byte (its first bits) comes second, so a
    // caller passes the whole last word when the block has it.
    static void unpack(const std::uint8_t* source, std::size_t sourceSize, std::size_t count, int bitsPerPixel,
                       std::uint16_t* pixels);
};

}  // namespace mlv2dng
