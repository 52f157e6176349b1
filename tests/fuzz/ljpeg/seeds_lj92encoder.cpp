// Writes a starting corpus for fuzz_lj92encoder into the directory given as the only argument: a few
// shapes, with smooth and noisy samples.
#include <cstdio>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s <corpus directory>\n", argv[0]);
        return 2;
    }
    for (int variant = 0; variant < 8; ++variant) {
        // Components 1 or 2, precision 14, 12 or 16; half of them rank the predictors.
        const int precision = variant % 3 == 0 ? 14 : variant % 3 == 1 ? 12 : 16;
        std::vector<unsigned char> bytes{static_cast<unsigned char>((variant & 1) | (precision - 2) << 2),
                                         static_cast<unsigned char>(15 | (variant & 2 ? 128 : 0))};
        for (unsigned i = 0, state = 777u + unsigned(variant); i < 16u * 2u * 8u; ++i) {
            state = state * 1103515245u + 12345u;
            const unsigned value =
                (variant < 4 ? 900 + 5 * i + (state >> 16) % 32 : state >> 8) & ((1u << precision) - 1);
            bytes.push_back(static_cast<unsigned char>(value));
            bytes.push_back(static_cast<unsigned char>(value >> 8));
        }
        const std::string path = std::string(argv[1]) + "/seed-" + std::to_string(variant);
        std::FILE* file = std::fopen(path.c_str(), "wb");
        const bool ok = file && std::fwrite(bytes.data(), 1, bytes.size(), file) == bytes.size();
        if ((file && std::fclose(file) != 0) || !ok) {
            std::fprintf(stderr, "cannot write %s\n", path.c_str());
            return 1;
        }
    }
    return 0;
}
