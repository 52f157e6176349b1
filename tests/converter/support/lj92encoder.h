// Test-only lossless-JPEG (ITU-T T.81 SOF3) encoder, used to make streams for the decoder and for MLV clips.
#pragma once

#include <array>
#include <cstddef>
#include <cstdint>
#include <vector>

namespace mlv2dng {

// A marker segment written as FF marker, a 2-byte length and the payload (APPn, COM, ...).
struct JpegSegment
{
    std::uint8_t marker = 0xFE;
    std::vector<std::uint8_t> payload;
};

enum class Lj92HuffmanMode {
    Optimal,  // code lengths from the difference statistics, limited to 16 bits
    Flat,     // every category 0..16 gets a 5-bit code
};

struct Lj92EncodeOptions
{
    int width = 0;            // X: samples per line, per component
    int height = 0;           // Y: lines
    int components = 1;       // Nf, 1..4; samples interleaved per position
    int precision = 14;       // P, 2..16; every sample must be below 2^P
    int predictor = 1;        // 1..7
    int pointTransform = 0;   // Pt: samples are coded as value >> Pt
    int restartInterval = 0;  // in samples per component; a multiple of width, 0 for none
    bool tablePerComponent = false;  // component c uses table c instead of all sharing table 0
    Lj92HuffmanMode huffman = Lj92HuffmanMode::Optimal;
    int unusedTables = 0;            // extra (flat) tables defined after the used ones
    bool separateDhtSegments = false;  // one DHT segment per table instead of one for all
    bool frameBeforeTables = false;    // SOF3 before DHT (cameras write DHT first)
    std::vector<JpegSegment> extraSegments;  // written right after SOI
    std::size_t trailingPadding = 0;          // zero bytes after EOI
};

struct Lj92EncodeStats
{
    std::array<std::size_t, 17> categories{};  // how often each difference category was coded
    std::size_t stuffedBytes = 0;              // FF bytes in the entropy data (each followed by 00)
    std::size_t restartMarkers = 0;
    int longestCode = 0;  // longest Huffman code actually written
};

// Encodes width * height * components samples given in stream order. Throws
// std::invalid_argument for options or samples it cannot encode.
std::vector<std::uint8_t> encodeLj92(const std::vector<std::uint16_t>& samples, const Lj92EncodeOptions& options,
                                     Lj92EncodeStats* stats = nullptr);

}  // namespace mlv2dng
