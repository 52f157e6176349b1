// Test-only lossless-JPEG (ITU-T T.81 SOF3) encoder, used to make streams for the decoder and for MLV clips.
#pragma once

#include <cstdint>
#include <vector>

namespace mlv2dng {

struct Lj92EncodeOptions
{
    int width = 0;                   // X: samples per line, per component
    int height = 0;                  // Y: lines
    int components = 1;              // Nf, 1..4; samples interleaved per position
    int precision = 14;              // P, 2..16; every sample must be below 2^P
    int predictor = 1;               // 1..7
    int restartInterval = 0;         // in samples per component; a multiple of width, 0 for none
    bool tablePerComponent = false;  // component c uses table c instead of all sharing table 0
};

// Encodes width * height * components samples given in stream order, with fixed Huffman tables. The options must be
// valid and the samples fit the precision; a sample count that does not match the frame throws std::invalid_argument.
std::vector<std::uint8_t> encodeLj92(const std::vector<std::uint16_t>& samples, const Lj92EncodeOptions& options);

}  // namespace mlv2dng
