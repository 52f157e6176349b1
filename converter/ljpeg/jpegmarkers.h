// The JPEG marker codes the lossless decoder meets, and how a marker is named in an error message.
#pragma once

#include <cstdint>
#include <string>

namespace mlv2dng::JpegMarkers {

enum Code : std::uint8_t {
    kTem = 0x01,
    kSof3 = 0xC3,
    kDht = 0xC4,
    kRst0 = 0xD0,  // RST0 to RST7 follow on
    kRst7 = 0xD7,
    kSoi = 0xD8,
    kEoi = 0xD9,
    kSos = 0xDA,
    kDri = 0xDD,
};

// "FFD9": how the JPEG documents write a marker.
inline std::string name(std::uint8_t code)
{
    static const char digits[] = "0123456789ABCDEF";
    return std::string("FF") + digits[code >> 4] + digits[code & 15];
}

}  // namespace mlv2dng::JpegMarkers
