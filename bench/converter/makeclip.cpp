// Writes a synthetic uncompressed MLV recording for the converter benchmark, one block at a time.
#include "mlvwriter.h"

#include <cstdio>
#include <cstdlib>
#include <fstream>
#include <string>
#include <vector>

int main(int argc, char** argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s OUTPUT.MLV [width height frames]\n", argv[0]);
        return 2;
    }
    const int width = argc > 4 ? std::atoi(argv[2]) : 1920;
    const int height = argc > 4 ? std::atoi(argv[3]) : 1080;
    const int frames = argc > 4 ? std::atoi(argv[4]) : 240;
    std::ofstream out(argv[1], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "cannot create %s\n", argv[1]);
        return 1;
    }
    auto flush = [&out](mlvtest::MlvWriter& w) {
        out.write(reinterpret_cast<const char*>(w.bytes().data()), static_cast<std::streamsize>(w.bytes().size()));
        w.bytes().clear();
    };
    mlvtest::MlvWriter w;
    w.fileHeader(0x5eed, 0, 1, 0, static_cast<std::uint32_t>(frames));
    w.rawInfo(width, height, 14, 2048, 15000);
    w.camera("Canon EOS 5D Mark III", 0x80000285, "BENCH");
    w.exposure(400, 20000);
    w.clock(124, 0, 1, 12, 0, 0);
    w.padTo(512);
    flush(w);
    // Packing is slow in the test writer, so a few distinct frames are packed once and reused.
    std::vector<std::vector<std::uint8_t>> payloads;
    for (unsigned seed = 0; seed < 4; ++seed)
        payloads.push_back(mlvtest::MlvWriter::pack(mlvtest::testPattern(width, height, 14, seed), 14));
    for (int i = 0; i < frames; ++i) {
        const std::size_t used = 64 + payloads[0].size() + 4;
        const std::uint32_t trailing = static_cast<std::uint32_t>((512 - used % 512) % 512 + 4);
        w.videoPayload(static_cast<std::uint32_t>(i), payloads[static_cast<std::size_t>(i) % payloads.size()], 32,
                       trailing, 1000000 + static_cast<std::uint64_t>(i) * 40000);
        flush(w);
    }
    return out ? 0 : 1;
}
