// Turns one VIDF block into a RawFrame: unpacks uncompressed data or maps decoded lossless samples.
#pragma once

#include "ljpeg/lj92decoder.h"
#include "mlv/clipmetadata.h"
#include "mlv/rawframe.h"

#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class FrameDecoder
{
public:
    static constexpr std::uint16_t kLosslessFlag = 0x20;
    static constexpr std::uint16_t kDeltaFlag = 0x40;
    static constexpr std::uint16_t kLzmaFlag = 0x80;

    // Why a recording's video cannot be converted at all, or an empty string if it can.
    static std::string unsupportedVideo(std::uint16_t videoClass);

    // Where a frame's pixel data sits in its block, and how it is coded.
    struct Payload
    {
        std::size_t offset = 0;
        std::size_t size = 0;
        bool lossless = false;
    };

    // Checks a whole VIDF block (header included) against the metadata in force for it and fills in
    // everything of the frame but its pixels. Uncompressed data is known to be complete afterwards.
    // On failure returns false with a one-line reason; never reads outside the block.
    static bool describe(const std::uint8_t* block, std::size_t size, const ClipMetadata& metadata, RawFrame& frame,
                         Payload& payload, std::string& error);

    // describe(), then the pixels. The frame's pixel buffer is reused when it has the right size.
    bool decode(const std::uint8_t* block, std::size_t size, const ClipMetadata& metadata, RawFrame& frame,
                std::string& error) const;

    // Places lossless samples, which come in raster order, into the frame.
    static bool placeLosslessSamples(Lj92Image&& image, RawFrame& frame, std::string& error);

private:
    Lj92Decoder mLossless;
};

}  // namespace mlv2dng
