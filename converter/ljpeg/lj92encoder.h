// Encodes samples as one lossless-JPEG (SOF3) stream, with the predictor and Huffman tables fitted to the image.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mlv2dng {

class Lj92Encoder
{
public:
    struct Shape
    {
        int width = 0;       // X: samples per line, per component
        int height = 0;      // Y: lines
        int components = 1;  // Nf, 1..4, interleaved per position
        int precision = 14;  // P, 2..16
        // Rank all seven predictors on the image and take the best, instead of the left neighbour.
        // Off for DNGs: darktable's reader takes predictor 1 only, as Adobe's converter writes.
        bool choosePredictor = false;
    };

    // Writes the stream for width * height * components samples in stream order (line by line,
    // components interleaved) into out from start on and returns its length, or 0 for a shape it
    // cannot describe. out grows as needed but never shrinks, and its bytes from start on are
    // overwritten, not cleared first: a buffer that goes round keeps its size. Samples above the
    // precision's maximum are clamped.
    std::size_t encode(const std::uint16_t* samples, const Shape& shape, std::vector<std::uint8_t>& out,
                       std::size_t start = 0);

    // The predictor (1..7) that the last encode used.
    int predictor() const { return mPredictor; }

    // Code lengths (1..16, 0 for unused) of an optimal prefix code for the 17 difference
    // categories, none of length 16 made of ones only, as a JPEG table must be.
    static std::array<std::uint8_t, 17> codeLengths(const std::array<std::uint64_t, 17>& counts);

private:
    int mPredictor = 1;
    std::vector<std::uint16_t> mClamped;  // only used when a sample exceeds the precision
};

}  // namespace mlv2dng
