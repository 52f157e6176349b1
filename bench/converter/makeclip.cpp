// Writes a synthetic MLV recording for the converter benchmark and `make demo`: a noisy smooth scene with a
// few dead photosites, uncompressed or lossless, optionally with the 8-column stripe pattern and a stereo tone,
// or with the headers and focus pixels of an EOS M in 1080p or a 100D in 3x crop.
#include "fixes/focuspixellattice.h"
#include "focuspixelclip.h"
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <string>
#include <vector>

namespace {

constexpr int kBlack = 2048;
constexpr int kWhite = 15000;

// Gradients and soft blobs, noise of a few tens of units (a 14-bit sensor at low ISO).
std::vector<std::uint16_t> scene(int width, int height, unsigned seed, bool stripes)
{
    std::vector<std::uint16_t> pixels(static_cast<std::size_t>(width) * static_cast<std::size_t>(height));
    std::uint32_t state = seed * 2654435761u + 1u;
    const auto uniform = [&state] {
        state = state * 1664525u + 1013904223u;
        return static_cast<int>(state >> 24) - 128;
    };
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double u = static_cast<double>(x) / width;
            const double v = static_cast<double>(y) / height;
            const int colour = (x & 1) + (y & 1);  // RGGB: 0 red, 1 green, 2 blue
            double level =
                0.15 + 0.35 * u + 0.2 * v + 0.1 * colour
                + 0.25 * std::exp(-40 * ((u - 0.3 - 0.01 * seed) * (u - 0.3 - 0.01 * seed) + (v - 0.5) * (v - 0.5)));
            if (stripes)
                level *= 1.0 + 0.01 * ((x >> 1) % 4 - 1.5) / 1.5;
            const int noise = (uniform() + uniform() + uniform()) / 8;
            const double value = kBlack + level * 0.8 * (kWhite - kBlack) + noise;
            pixels[static_cast<std::size_t>(y) * static_cast<std::size_t>(width) + static_cast<std::size_t>(x)] =
                static_cast<std::uint16_t>(std::min(16383.0, std::max(0.0, value)));
        }
    }
    // The same few dead photosites in every frame, as on a real sensor.
    for (int i = 0; i < 24; ++i) {
        const std::size_t at = (static_cast<std::size_t>(i) * 7919u * 613u + 12345u) % pixels.size();
        pixels[at] = static_cast<std::uint16_t>(i % 4);
    }
    return pixels;
}

// One frame's worth (40 ms) of a 440 Hz stereo tone, 16-bit little-endian at 48 kHz, continuing across frames.
std::vector<std::uint8_t> tone(int frame)
{
    constexpr int kSamples = 48000 / 25;
    constexpr double kPi = 3.14159265358979323846;
    std::vector<std::uint8_t> pcm;
    pcm.reserve(kSamples * 4);
    for (int i = 0; i < kSamples; ++i) {
        const double t = static_cast<double>(frame * kSamples + i) / 48000.0;
        const auto level = static_cast<std::int16_t>(8000.0 * std::sin(2 * kPi * 440.0 * t));
        const auto value = static_cast<std::uint16_t>(level);
        for (int channel = 0; channel < 2; ++channel) {
            pcm.push_back(static_cast<std::uint8_t>(value & 0xff));
            pcm.push_back(static_cast<std::uint8_t>(value >> 8));
        }
    }
    return pcm;
}

void printUsage(std::FILE* to, const char* program)
{
    std::fprintf(to,
                 "usage: %s [--lossless] [--stripes] [--sound] [--camera=eosm-1080p|100d-crop] OUTPUT.MLV"
                 " [width height frames]\n",
                 program);
}

}  // namespace

int main(int argc, char** argv)
{
    const char* const program = argc > 0 ? argv[0] : "mlv2dng_makeclip";
    std::vector<std::string> args(argv + 1, argv + argc);
    bool lossless = false;
    bool stripes = false;
    bool sound = false;
    std::string camera;
    std::vector<std::string> rest;
    for (const std::string& a : args) {
        if (a == "--help" || a == "-h") {
            printUsage(stdout, program);
            return 0;
        }
        if (a == "--lossless") {
            lossless = true;
        } else if (a == "--stripes") {
            stripes = true;
        } else if (a == "--sound") {
            sound = true;
        } else if (a.compare(0, 9, "--camera=") == 0 && (a.substr(9) == "eosm-1080p" || a.substr(9) == "100d-crop")) {
            camera = a.substr(9);
        } else if (a.size() > 1 && a[0] == '-') {
            std::fprintf(stderr, "unknown option '%s'\n", a.c_str());
            printUsage(stderr, program);
            return 2;
        } else {
            rest.push_back(a);
        }
    }
    if (rest.size() != 1 && rest.size() != 4) {
        printUsage(stderr, program);
        return 2;
    }
    const int width = rest.size() > 3 ? std::atoi(rest[1].c_str()) : 1920;
    const int height = rest.size() > 3 ? std::atoi(rest[2].c_str()) : 1080;
    const int frames = rest.size() > 3 ? std::atoi(rest[3].c_str()) : 240;
    if (width <= 0 || height <= 0 || height % 2 || frames <= 0) {
        std::fprintf(stderr, "bad size\n");
        return 2;
    }
    std::ofstream out(rest[0], std::ios::binary | std::ios::trunc);
    if (!out) {
        std::fprintf(stderr, "cannot create %s\n", rest[0].c_str());
        return 1;
    }
    auto flush = [&out](mlvtest::MlvWriter& w) {
        out.write(reinterpret_cast<const char*>(w.bytes().data()), static_cast<std::streamsize>(w.bytes().size()));
        w.bytes().clear();
    };
    mlvtest::MlvWriter w;
    mlvtest::FocusPixelClipPlan focus;
    mlvtest::FocusPixelWindow window;
    if (!camera.empty() && (lossless || sound)) {
        std::fprintf(stderr, "--camera writes uncompressed clips without sound\n");
        return 2;
    }
    if (!camera.empty()) {
        using mlv2dng::FocusPixelLayout;
        const bool eosM = camera == "eosm-1080p";
        focus.model = eosM ? FocusPixelLayout::kEosM : FocusPixelLayout::kEos100D;
        focus.bufferWidth = eosM ? 1808 : 1872;
        focus.bufferHeight = eosM ? 1190 : 1060;
        focus.samplingAcross = focus.samplingDown = eosM ? 3 : 1;
        focus.width = width;
        focus.height = height;
        focus.frames = frames;
        if (width > focus.bufferWidth / 8 * 8 - 72 || height > focus.bufferHeight - 28) {
            std::fprintf(stderr, "the window does not fit the camera's raw buffer\n");
            return 2;
        }
        window = mlvtest::writeFocusPixelHeaders(w, focus);
        const FocusPixelLayout layout{focus.model,
                                      eosM ? FocusPixelLayout::Mode::Video1080 : FocusPixelLayout::Mode::Crop, false};
        focus.focusPixels = mlv2dng::FocusPixelLattice::positions(layout, focus.bufferWidth, focus.bufferHeight);
    } else {
        w.fileHeader(0x5eed, 0, lossless ? 0x21 : 1, sound ? 1 : 0, static_cast<std::uint32_t>(frames));
        w.rawInfo(width, height, 14, kBlack, kWhite);
        w.cameraMetadata();
    }
    if (sound)
        w.audioFormat(2, 48000, 16);
    w.exposure(400, 20000);
    w.padTo(512);
    flush(w);
    // Packing and encoding are slow in the test helpers, so a few distinct frames are made once and reused.
    std::vector<std::vector<std::uint8_t>> payloads;
    for (unsigned seed = 0; seed < 4; ++seed) {
        std::vector<std::uint16_t> pixels = scene(width, height, seed, stripes);
        // Focus pixels read 8 % brighter than the scene; the window keeps one origin.
        const int originX = (window.panX + 7) / 8 * 8, originY = window.panY / 2 * 2;
        for (const mlv2dng::FocusPixelPosition& p : focus.focusPixels) {
            const int x = p.x - originX, y = p.y - originY;
            if (x >= 0 && y >= 0 && x < width && y < height) {
                std::uint16_t& value = pixels[std::size_t(y) * std::size_t(width) + std::size_t(x)];
                value = static_cast<std::uint16_t>(std::min(16383.0, kBlack + (value - kBlack) * 1.08));
            }
        }
        if (lossless) {
            // As cameras code it: two raw rows per line, two components.
            mlv2dng::Lj92EncodeOptions options;
            options.width = width;
            options.height = height / 2;
            options.components = 2;
            options.precision = 14;
            options.predictor = 1;
            payloads.push_back(mlv2dng::encodeLj92(pixels, options));
        } else {
            payloads.push_back(mlvtest::MlvWriter::pack(pixels, 14));
        }
    }
    for (int i = 0; i < frames; ++i) {
        const std::vector<std::uint8_t>& payload = payloads[static_cast<std::size_t>(i) % payloads.size()];
        const std::size_t used = 64 + payload.size() + 4;
        const std::uint32_t trailing = static_cast<std::uint32_t>((512 - used % 512) % 512 + 4);
        const std::uint64_t time = 1000000 + static_cast<std::uint64_t>(i) * 40000;
        if (camera.empty())
            w.videoPayload(static_cast<std::uint32_t>(i), payload, 32, trailing, time);
        else
            mlvtest::writeFocusPixelFrame(w, static_cast<std::uint32_t>(i), payload, window, time);
        if (sound)
            w.audioFrame(static_cast<std::uint32_t>(i), tone(i), 0, time);
        flush(w);
    }
    return out ? 0 : 1;
}
