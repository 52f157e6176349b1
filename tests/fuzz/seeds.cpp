// Writes a starting corpus for one fuzz target into a directory: `seeds NAME DIRECTORY`, NAME being
// lj92decoder or mlvreader. Small inputs from the test writers, covering their options.
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

namespace {

using Bytes = std::vector<std::uint8_t>;

// Streams from the test encoder, each prefixed by its sample count (32 bits, little-endian).
std::vector<Bytes> decoderSeeds()
{
    std::vector<Bytes> seeds;
    for (int variant = 0; variant < 10; ++variant) {
        const int components = variant % 3 == 0 ? 1 : 2, precision = variant == 4 ? 16 : variant == 5 ? 8 : 14;
        const bool restarts = variant == 2 || variant == 7, tablePerComponent = variant == 3 || variant == 7;
        const std::size_t n = 16u * 6u * unsigned(components);
        seeds.push_back(
            mlv2dng::encodeLj92(mlvtest::testPattern(int(n), 1, precision, unsigned(variant)),
                                {16, 6, components, precision, 1 + variant % 7, restarts ? 32 : 0, tablePerComponent}));
        seeds.back().insert(seeds.back().begin(), {std::uint8_t(n), std::uint8_t(n >> 8), 0, 0});
    }
    return seeds;
}

// Small recordings at every depth, with metadata and sound: packed, packed with a padded width, and lossless.
// A smooth ramp with a dead pixel, so the cold-pixel map is not empty.
std::vector<Bytes> readerSeeds()
{
    std::vector<Bytes> seeds;
    for (const int bits : {10, 12, 14, 16})
        for (const int width : {16, 12, 0}) {
            std::vector<std::uint16_t> pixels;
            for (int i = 0; i < 16 * 8; ++i)
                pixels.push_back(
                    std::uint16_t((1 << bits) / 3 + (1 << bits) / 64 * ((i & 1) + (i >> 4 & 1)) + i % 16 + i / 16));
            pixels[67] = 0;
            mlvtest::MlvWriter w = mlvtest::MlvWriter::recording(width ? width : 16, 8, bits, width ? 1 : 0x21, true);
            const Bytes lossless = mlv2dng::encodeLj92(pixels, {16, 4, 2, bits, 1, 0, false});
            w.videoPayload(1, width ? mlvtest::MlvWriter::pack(pixels, bits) : lossless, 8, 2);
            w.audioFrame(0, Bytes(32, 7));
            seeds.push_back(w.bytes());
        }
    return seeds;
}

}  // namespace

int main(int argc, char** argv)
{
    const std::string name = argc == 3 ? argv[1] : "";
    const std::vector<Bytes> seeds = name == "lj92decoder" ? decoderSeeds()
                                     : name == "mlvreader" ? readerSeeds()
                                                           : std::vector<Bytes>();
    if (seeds.empty()) {
        std::fprintf(stderr, "usage: %s lj92decoder|mlvreader CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    for (std::size_t i = 0; i < seeds.size(); ++i) {
        const std::string path = std::string(argv[2]) + "/seed-" + std::to_string(i);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool ok = file && std::fwrite(seeds[i].data(), 1, seeds[i].size(), file) == seeds[i].size();
        if ((file && std::fclose(file) != 0) || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
