// Writes a starting corpus for fuzz_lj92decoder into the directory given as the only argument:
// small streams from the test encoder covering its options, each prefixed by its sample count.
#include "lj92encoder.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

std::vector<std::uint16_t> pattern(const mlv2dng::Lj92EncodeOptions& o, unsigned salt)
{
    std::vector<std::uint16_t> samples;
    const unsigned maximum = (1u << o.precision) - 1;
    unsigned state = 12345 + salt;
    for (int i = 0; i < o.width * o.height * o.components; ++i) {
        state = state * 1103515245u + 12345u;
        const unsigned ramp = unsigned(i) * 37u % (maximum + 1);
        samples.push_back(std::uint16_t((ramp + (state >> 16) % 64) & maximum));
    }
    return samples;
}

bool writeSeed(const std::string& path, const std::vector<std::uint16_t>& samples, const mlv2dng::Lj92EncodeOptions& o)
{
    const std::vector<std::uint8_t> stream = mlv2dng::encodeLj92(samples, o);
    const std::size_t count = samples.size();
    const unsigned char prefix[4] = {static_cast<unsigned char>(count), static_cast<unsigned char>(count >> 8),
                                     static_cast<unsigned char>(count >> 16), static_cast<unsigned char>(count >> 24)};
    std::FILE* file = std::fopen(path.c_str(), "wb");
    if (!file)
        return false;
    const bool ok = std::fwrite(prefix, 1, 4, file) == 4 && std::fwrite(stream.data(), 1, stream.size(), file) == stream.size();
    return std::fclose(file) == 0 && ok;
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    int index = 0;
    for (int variant = 0; variant < 10; ++variant) {
        mlv2dng::Lj92EncodeOptions o;
        o.width = 16;
        o.height = 6;
        o.components = variant % 3 == 0 ? 1 : 2;
        o.precision = variant == 4 ? 16 : variant == 5 ? 8 : 14;
        o.predictor = 1 + variant % 7;
        o.restartInterval = variant == 2 || variant == 7 ? o.width * 2 : 0;
        o.tablePerComponent = variant == 3 || variant == 7;
        o.huffman = variant == 4 ? mlv2dng::Lj92HuffmanMode::Flat : mlv2dng::Lj92HuffmanMode::Optimal;
        o.pointTransform = variant == 6 ? 2 : 0;
        o.unusedTables = variant == 8 ? 2 : 0;
        o.frameBeforeTables = variant == 8;
        if (variant == 9)
            o.extraSegments = {mlv2dng::JpegSegment{0xE0, {'K', 'o', 'r'}}, mlv2dng::JpegSegment{0xFE, {'c'}}};
        const std::string path = directory + "/seed-" + std::to_string(index++);
        if (!writeSeed(path, pattern(o, unsigned(variant)), o)) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
