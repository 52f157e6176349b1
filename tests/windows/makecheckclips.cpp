// Writes the small MLV clips that `make windows-check` converts on Linux and under Wine: every
// depth and layout, a spanned clip, sound, a damaged frame, a non-ASCII path and one file past 4 GiB.
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <cstdio>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kWidth = 384;
constexpr int kHeight = 216;
constexpr int kFrames = 8;
constexpr std::uint64_t kFrameInterval = 40000;  // microseconds at 25 fps

struct Clip
{
    int bits = 14;
    bool lossless = false;
    bool withSound = false;
    std::uint32_t cutFrame = kFrames;  // this frame's data is cut short: stopped at, or skipped with --relaxed
};

mlvtest::MlvWriter header(const Clip& clip, std::uint16_t fileNumber = 0)
{
    if (fileNumber == 0)
        return mlvtest::MlvWriter::recording(kWidth, kHeight, clip.bits, clip.lossless ? 0x21 : 1, clip.withSound,
                                             0xc0ffee);
    mlvtest::MlvWriter w;
    w.fileHeader(0xc0ffee, fileNumber, clip.lossless ? 0x21 : 1, clip.withSound ? 1 : 0, kFrames);
    w.padTo(512);
    return w;
}

void frame(mlvtest::MlvWriter& w, const Clip& clip, std::uint32_t number)
{
    const std::uint64_t timestamp = 1000000 + number * kFrameInterval;
    // Random pixels, which the fixes take for many cold pixels, so every correction has something to do. Lossless
    // as cameras code it: two raw rows per line in two components.
    const std::vector<std::uint16_t> pixels = mlvtest::testPattern(kWidth, kHeight, clip.bits, number);
    std::vector<std::uint8_t> data = clip.lossless
                                         ? mlv2dng::encodeLj92(pixels, {kWidth, kHeight / 2, 2, clip.bits, 1, 0, false})
                                         : mlvtest::MlvWriter::pack(pixels, clip.bits);
    if (number == clip.cutFrame)
        data.resize(data.size() / 2);
    w.videoPayload(number, data, 32, number == clip.cutFrame ? 0 : 4, timestamp);
    if (!clip.withSound || number == clip.cutFrame)
        return;
    std::vector<std::uint8_t> pcm(7680);  // 1920 stereo 16-bit samples, one video frame's worth at 48 kHz
    for (std::size_t i = 0; i < pcm.size(); ++i)
        pcm[i] = static_cast<std::uint8_t>(i * 7 + number * 31);
    w.audioFrame(number, pcm, 8, timestamp + 10);
}

bool save(const mlvtest::MlvWriter& w, const std::string& path)
{
    if (w.save(path))
        return true;
    std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return false;
}

bool plainClip(const std::string& path, const Clip& clip)
{
    mlvtest::MlvWriter w = header(clip);
    for (std::uint32_t i = 0; i < kFrames; ++i)
        frame(w, clip, i);
    return save(w, path);
}

// .MLV, .M00 and .M01, with frames out of order across the chunks.
bool spannedClip(const std::string& base)
{
    const Clip clip;
    mlvtest::MlvWriter chunks[3] = {header(clip), header(clip, 1), header(clip, 2)};
    for (std::uint32_t i = 0; i < kFrames; ++i)
        frame(chunks[i < 3 ? 0 : (i == 5 ? 2 : 1 + i % 2)], clip, i);
    return save(chunks[0], base + ".MLV") && save(chunks[1], base + ".M00") && save(chunks[2], base + ".M01");
}

// Two frames and their sound, NULL padding past 4 GiB that is left as a hole in the file, then the
// rest: only a reader with 64-bit sizes and offsets gets there.
bool largeClip(const std::string& path)
{
    const Clip clip{14, true, true};
    std::ofstream out(path, std::ios::binary | std::ios::trunc);
    const auto flush = [&out](mlvtest::MlvWriter& w) {
        out.write(reinterpret_cast<const char*>(w.bytes().data()), static_cast<std::streamsize>(w.bytes().size()));
        w.bytes().clear();
    };
    mlvtest::MlvWriter w = header(clip);
    frame(w, clip, 0);
    frame(w, clip, 1);
    flush(w);
    constexpr std::uint32_t kPad = 32u << 20;
    while (static_cast<std::uint64_t>(out.tellp()) < (std::uint64_t{1} << 32) + (std::uint64_t{1} << 20)) {
        const std::uint8_t null[16] = {'N', 'U', 'L', 'L', 0, 0, 0, 2};  // 32 MiB, little-endian; timestamp 0
        static_assert(kPad == 0x02000000u, "the size field above");
        out.write(reinterpret_cast<const char*>(null), sizeof null);
        out.seekp(kPad - sizeof null, std::ios::cur);
    }
    for (std::uint32_t i = 2; i < 4; ++i)
        frame(w, clip, i);
    flush(w);
    out.close();
    if (!out)
        std::fprintf(stderr, "cannot write %s\n", path.c_str());
    return static_cast<bool>(out);
}

}  // namespace

int main(int argc, char** argv)
{
    if (argc != 2 || argv[1][0] == '-') {
        std::fprintf(stderr, "usage: %s DIRECTORY (which must exist, as must its folder \"Drehtag 3 Straße\")\n",
                     argv[0]);
        return 2;
    }
    const std::string dir = std::string(argv[1]) + "/";
    const bool ok =
        plainClip(dir + "u10.MLV", {10, false, false}) && plainClip(dir + "u12.MLV", {12, false, false})
        && plainClip(dir + "u14.MLV", {14, false, false}) && plainClip(dir + "lossless.MLV", {14, true, false})
        && spannedClip(dir + "spanned") && plainClip(dir + "sound.MLV", {14, false, true})
        && plainClip(dir + "damaged.MLV", {12, false, true, 4})
        && plainClip(dir + "Drehtag 3 Straße/Café Müller é ü ß.MLV", {12, true, true}) && largeClip(dir + "large.MLV");
    return ok ? 0 : 1;
}
