// Packs samples for a DNG strip: MSB-first into bytes with every row starting on a byte, or LE words at 16 bits.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mlv2dng {

class BitPacker
{
public:
    static std::size_t rowBytes(int width, int bitsPerSample);
    static std::size_t stripBytes(int width, int height, int bitsPerSample)
    {
        return rowBytes(width, bitsPerSample) * static_cast<std::size_t>(height);
    }

    // Values above the depth's maximum are clamped rather than wrapped.
    static void pack(const std::uint16_t* pixels, int width, int height, int bitsPerSample, std::uint8_t* out);

    // Whether a frame's strip is its MLV bit stream as it stands, words turned around: true when
    // every row ends on a word, so MLV's row-crossing stream and TIFF's byte-aligned rows agree.
    static bool stripIsSwappedStream(int width, int bitsPerSample);
    // Turns stripBytes() of an MLV stream into the strip, in place.
    static void stripFromStream(std::uint8_t* data, std::size_t size, int bitsPerSample);
};

}  // namespace mlv2dng
