// Writes a starting corpus for fuzz_lj92decoder into the directory given as the only argument:
// small streams from the test encoder covering its options, each prefixed by its sample count.
#include "lj92encoder.h"

#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    for (int variant = 0; variant < 10; ++variant) {
        const int components = variant % 3 == 0 ? 1 : 2;
        const int precision = variant == 4 ? 16 : variant == 5 ? 8 : 14;
        const mlv2dng::Lj92EncodeOptions o{16,
                                           6,
                                           components,
                                           precision,
                                           1 + variant % 7,
                                           variant == 2 || variant == 7 ? 32 : 0,
                                           variant == 3 || variant == 7};
        std::vector<std::uint16_t> samples;
        for (unsigned i = 0, state = 12345u + unsigned(variant); i < 16u * 6u * unsigned(components); ++i) {
            state = state * 1103515245u + 12345u;
            samples.push_back(std::uint16_t((i * 37u + (state >> 16) % 64) & ((1u << precision) - 1)));
        }
        const std::vector<std::uint8_t> stream = mlv2dng::encodeLj92(samples, o);
        const std::size_t n = samples.size();
        const unsigned char prefix[4] = {std::uint8_t(n), std::uint8_t(n >> 8), std::uint8_t(n >> 16),
                                         std::uint8_t(n >> 24)};
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(variant);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool ok = file && std::fwrite(prefix, 1, 4, file) == 4
                        && std::fwrite(stream.data(), 1, stream.size(), file) == stream.size();
        if ((file && std::fclose(file) != 0) || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
