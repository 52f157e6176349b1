// Decodes one lossless-JPEG (ITU-T T.81 process 14, SOF3) stream, as lossless MLV frames carry.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

namespace mlv2dng {

struct Lj92Image
{
    int width = 0;       // X: samples per line, per component
    int height = 0;      // Y: lines
    int components = 0;  // Nf
    int precision = 0;   // P
    // width * height * components samples in stream order: line by line, components interleaved.
    std::vector<std::uint16_t> samples;
};

class Lj92Decoder
{
public:
    // Decodes the stream in [data, data + size). The frame header must announce exactly
    // expectedSamples samples (X * Y * Nf); anything else is refused before any allocation.
    // On failure returns false and puts a one-line reason into error; never reads outside the range.
    bool decode(const std::uint8_t* data, std::size_t size, std::size_t expectedSamples, Lj92Image& image,
                std::string& error) const;
};

}  // namespace mlv2dng
