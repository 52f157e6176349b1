// Writes a starting corpus for fuzz_mlvreader into the directory given as the only argument: small
// recordings from the test MLV writer (every depth, metadata, sound, a dead pixel, lossless).
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <cstdio>
#include <string>

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    bool ok = true;
    for (const int bits : {10, 12, 14, 16}) {
        for (const int width : {16, 12, 0}) {
            // A smooth ramp with a dead pixel, so the cold-pixel map is not empty.
            std::vector<std::uint16_t> pixels;
            for (int i = 0; i < 16 * 8; ++i)
                pixels.push_back(static_cast<std::uint16_t>(
                    (1 << bits) / 3 + (1 << bits) / 64 * ((i & 1) + (i >> 4 & 1)) + i % 16 + i / 16));
            pixels[67] = 0;
            mlvtest::MlvWriter w;
            w.fileHeader(0x1234, 0, width ? 1 : 0x21, 1, 2);
            w.rawInfo(width ? width : 16, 8, bits, 2048 >> (16 - bits), (1 << bits) - 100);
            w.cameraMetadata();
            w.exposure(400, 20000);
            w.audioFormat(1, 48000, 16);
            mlv2dng::Lj92EncodeOptions o;
            o.components = 2, o.width = 16, o.height = 4, o.precision = bits;
            w.videoPayload(1, width ? mlvtest::MlvWriter::pack(pixels, bits) : mlv2dng::encodeLj92(pixels, o), 8, 2);
            w.audioFrame(0, std::vector<std::uint8_t>(32, 7));
            ok = w.save(std::string(argv[1]) + "/seed" + std::to_string(bits) + "_" + std::to_string(width) + ".MLV")
                 && ok;
        }
    }
    return ok ? 0 : 1;
}
