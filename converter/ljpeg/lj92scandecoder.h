// Decodes the entropy-coded data of one lossless-JPEG scan into samples, line by line.
#pragma once

#include "ljpeg/huffmantable.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class Lj92ScanDecoder
{
public:
    struct Layout
    {
        int width = 0;  // samples per line, per component
        int height = 0;
        int components = 0;  // 1..4, interleaved
        int precision = 0;
        int pointTransform = 0;
        int predictor = 0;                            // 1..7
        int restartInterval = 0;                      // in samples per component (MCUs); 0 = none
        std::array<const HuffmanTable*, 4> tables{};  // one per component
    };

    explicit Lj92ScanDecoder(const Layout& layout);

    // Decodes the scan that starts at begin into out (width * height * components samples).
    // On success, marker is the code of the marker that follows the scan and next points after it.
    bool decode(const std::uint8_t* begin, const std::uint8_t* end, std::uint16_t* out, std::uint8_t& marker,
                const std::uint8_t*& next, std::string& error) const;

private:
    template <int Components>
    bool decodeLines(JpegBitReader& reader, std::uint16_t* out, std::string& error) const;

    Layout layout_;
};

}  // namespace mlv2dng
