// Repairs a few known bad pixels right inside a frame's MLV bit stream, so the frame need not be unpacked.
#pragma once

#include "mlv/rawframe.h"

#include <cstddef>
#include <cstdint>
#include <vector>

namespace mlv2dng {

class StreamPixelRepairer
{
public:
    // The frame describes the stream (size, depth, levels, CFA); its pixels are not used. Each
    // pixel in bad (ascending indices) gets the value BadPixelRepairer gives it in the unpacked
    // frame. Bytes past size read as zero and are never written.
    static void repair(std::uint8_t* stream, std::size_t size, const RawFrame& frame,
                       const std::vector<std::uint32_t>& bad);

    // One pixel of the stream, by its raster index.
    static std::uint16_t pixel(const std::uint8_t* stream, std::size_t size, std::size_t index, int bits);
    static void setPixel(std::uint8_t* stream, std::size_t size, std::size_t index, int bits, std::uint16_t value);
};

}  // namespace mlv2dng
