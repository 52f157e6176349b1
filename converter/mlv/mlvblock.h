// One block as the walker hands it out: where it was, what it is, and its bytes.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace mlv2dng {

struct MlvBlock
{
    std::string type;  // the FourCC
    std::size_t chunk = 0;
    std::uint64_t offset = 0;  // within its chunk
    std::uint32_t size = 0;    // blockSize, header included
    std::uint64_t timestamp = 0;
    // The whole block, header included; only the 16-byte header for padding and unknown blocks.
    std::vector<std::uint8_t> bytes;
};

}  // namespace mlv2dng
