// Writes a starting corpus for fuzz_mlvreader into the directory given as the only argument: small
// recordings from the test MLV writer (every depth, metadata, sound, a few dead pixels, lossless).
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <cstdio>
#include <string>
#include <vector>

namespace {

// A smooth ramp with a dead pixel, so the cold-pixel map is not empty.
std::vector<std::uint16_t> scene(int width, int height, int bits)
{
    std::vector<std::uint16_t> pixels;
    const int maximum = (1 << bits) - 1;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x)
            pixels.push_back(static_cast<std::uint16_t>(maximum / 3 + (maximum / 64) * ((x & 1) + (y & 1)) + x + y));
    }
    pixels[pixels.size() / 2 + 3] = 0;
    return pixels;
}

bool save(const std::string& directory, const std::string& name, const mlvtest::MlvWriter& w)
{
    return w.save(directory + "/" + name);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2) {
        std::fprintf(stderr, "usage: %s CORPUS_DIRECTORY\n", argv[0]);
        return 2;
    }
    const std::string directory = argv[1];
    bool ok = true;
    for (const int bits : {10, 12, 14, 16}) {
        for (const int width : {16, 12}) {
            mlvtest::MlvWriter w;
            w.fileHeader(0x1234, 0, 1, 1, 2);
            w.rawInfo(width, 8, bits, 2048 >> (16 - bits), (1 << bits) - 100);
            w.camera("Canon EOS 5D Mark III", 0x80000285, "SEED");
            w.exposure(400, 20000);
            w.lens(35, 2000, 280, "EF35mm", "1");
            w.clock(124, 2, 9, 10, 11, 12);
            w.whiteBalance(6, 5500, 2048, 1024, 1536);
            w.audioFormat(1, 48000, 16);
            w.videoFrame(1, scene(width, 8, bits), bits, 8, 2);
            w.audioFrame(0, std::vector<std::uint8_t>(32, 7));
            w.videoFrame(0, scene(width, 8, bits), bits);
            ok = save(directory, "plain" + std::to_string(bits) + "_" + std::to_string(width) + ".MLV", w) && ok;
        }
    }
    for (const int components : {1, 2}) {
        mlvtest::MlvWriter w;
        w.fileHeader(0x1234, 0, 0x21, 0, 1);
        w.rawInfo(16, 8, 14, 2048, 15000);
        mlv2dng::Lj92EncodeOptions o;
        o.components = components;
        o.width = components == 2 ? 16 : 32;
        o.height = 4;
        o.predictor = components == 2 ? 1 : 6;
        w.videoPayload(0, mlv2dng::encodeLj92(scene(16, 8, 14), o));
        ok = save(directory, "lossless" + std::to_string(components) + ".MLV", w) && ok;
    }
    return ok ? 0 : 1;
}
