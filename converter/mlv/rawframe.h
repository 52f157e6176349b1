// One raw CFA frame as it flows through the converter: unpacked samples plus what a fix needs to know.
#pragma once

#include <array>
#include <cstdint>
#include <vector>

namespace mlv2dng {

// Colour of one photosite, in the numbering DNG's CFAPattern uses.
enum CfaColor : std::uint8_t { CfaRed = 0, CfaGreen = 1, CfaBlue = 2 };

struct RawFrame
{
    int width = 0;
    int height = 0;
    int bitsPerPixel = 14;  // depth the samples were recorded at (10, 12, 14 or 16)
    int blackLevel = 0;     // at bitsPerPixel
    int whiteLevel = 0;     // at bitsPerPixel
    // Colours of the 2x2 repeat, row-major: (0,0), (1,0), (0,1), (1,1). RGGB by default.
    std::array<std::uint8_t, 4> cfa{{CfaRed, CfaGreen, CfaGreen, CfaBlue}};
    std::uint32_t frameNumber = 0;
    // Where the frame's first pixel lies in the camera's full raw buffer.
    int originX = 0;
    int originY = 0;
    std::vector<std::uint16_t> pixels;  // width * height samples, row-major

    // A non-empty frame whose pixels are exactly width x height: what every fix checks before it
    // indexes the pixels.
    bool hasShape() const
    {
        return width > 0 && height > 0
               && pixels.size() == static_cast<std::size_t>(width) * static_cast<std::size_t>(height);
    }
    std::uint8_t colorAt(int x, int y) const { return cfa[static_cast<std::size_t>((y & 1) * 2 + (x & 1))]; }
    std::uint16_t at(int x, int y) const
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
    std::uint16_t& at(int x, int y)
    {
        return pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)];
    }
};

}  // namespace mlv2dng
