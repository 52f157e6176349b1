// Times each set of pixel fixes on a 1920x1080 14-bit frame, one thread, and prints ms per frame;
// then unpacking the recorded stream and packing the DNG strip, which any fix needs around it.
// Usage: bench_corrections [rounds] [case name]
#include "fixes/framecorrector.h"
#include "mlv/bitunpacker.h"
#include "mlv/rawframe.h"
#include "output/bitpacker.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <functional>
#include <random>
#include <string>
#include <vector>

using mlv2dng::BitPacker;
using mlv2dng::BitUnpacker;
using mlv2dng::CorrectionOptions;
using mlv2dng::FrameCorrector;
using mlv2dng::RawFrame;

namespace {

// A daylight-like scene: smooth shading, some fine texture, photon noise, a faint 8-column
// stripe pattern and a handful of cold pixels, so every fix has real work to do.
RawFrame makeScene()
{
    RawFrame f;
    f.width = 1920;
    f.height = 1080;
    f.bitsPerPixel = 14;
    f.blackLevel = 2048;
    f.whiteLevel = 15000;
    f.pixels.resize(static_cast<std::size_t>(f.width) * static_cast<std::size_t>(f.height));
    std::mt19937 rng(1234);
    std::normal_distribution<double> unit(0.0, 1.0);
    const double stripes[8] = {1.015, 0.99, 1.0, 1.01, 0.985, 1.005, 0.995, 1.0};
    const double colour[4] = {0.55, 1.0, 1.0, 0.7};
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            const double shade =
                0.2 + 0.6 * x / f.width + 0.15 * std::sin(y * 0.01) + 0.05 * std::sin(x * 0.7 + y * 0.3);
            const double signal = 12000.0 * shade * colour[(y & 1) * 2 + (x & 1)] * stripes[x & 7];
            const double noisy = signal + unit(rng) * std::sqrt(signal * 0.5 + 36.0);
            f.at(x, y) = static_cast<std::uint16_t>(std::clamp(f.blackLevel + noisy, 0.0, double(f.whiteLevel)));
        }
    }
    for (int i = 0; i < 200; ++i)
        f.at(static_cast<int>(rng() % 1920u), static_cast<int>(rng() % 1080u)) =
            static_cast<std::uint16_t>(rng() % 40u);
    return f;
}

double medianMs(int rounds, const std::function<void()>& work)
{
    std::vector<double> times;
    for (int r = 0; r < rounds; ++r) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(times.begin(), times.end());
    return times[times.size() / 2];
}

struct Case
{
    const char* name;
    CorrectionOptions options;
};

}  // namespace

int main(int argc, char** argv)
{
    const int rounds = argc > 1 ? std::max(1, std::atoi(argv[1])) : 20;
    const RawFrame scene = makeScene();

    const auto with = [](bool cp, bool cp2, bool stripes, int cs) {
        CorrectionOptions o;
        o.fixColdPixels = cp;
        o.fixMovingColdPixels = cp2;
        o.fixVerticalStripes = stripes;
        o.chromaSmoothing = cs;
        return o;
    };
    const std::vector<Case> cases = {
        {"off", with(false, false, false, 0)}, {"defaults", with(true, false, true, 0)},
        {"fixcp2", with(true, true, true, 0)}, {"cs2x2", with(true, false, true, 2)},
        {"cs3x3", with(true, false, true, 3)}, {"cs5x5", with(true, false, true, 5)},
    };

    std::printf("1920x1080 14-bit, %d rounds, one thread; ms per frame (median, min), prepare once\n", rounds);
    const std::string only = argc > 2 ? argv[2] : "";
    for (const Case& c : cases) {
        if (!only.empty() && only != c.name)
            continue;
        FrameCorrector corrector(c.options);
        const auto p0 = std::chrono::steady_clock::now();
        corrector.prepare(scene);
        const double prepareMs =
            std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - p0).count();
        std::vector<double> times;
        std::uint64_t checksum = 0;
        for (int r = 0; r < rounds; ++r) {
            RawFrame frame = scene;  // the copy stays outside the timing
            const auto t0 = std::chrono::steady_clock::now();
            corrector.apply(frame);
            times.push_back(std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - t0).count());
            checksum += frame.pixels[static_cast<std::size_t>(r) * 7919u % frame.pixels.size()];
        }
        std::sort(times.begin(), times.end());
        std::printf("%-9s %8.2f ms  (min %6.2f)  prepare %6.2f ms  [%llu]\n", c.name, times[times.size() / 2],
                    times.front(), prepareMs, static_cast<unsigned long long>(checksum));
    }
    if (!only.empty() && only != "packing")
        return 0;
    for (const int bits : {10, 12, 14}) {
        const std::size_t count = scene.pixels.size();
        std::vector<std::uint8_t> stream(BitPacker::stripBytes(scene.width, scene.height, bits));
        std::vector<std::uint16_t> pixels(count);
        const std::uint16_t mask = static_cast<std::uint16_t>((1u << bits) - 1);
        for (std::size_t i = 0; i < count; ++i)
            pixels[i] = scene.pixels[i] & mask;
        // Rows fill whole words here, so the strip doubles as a recorded stream of the same size.
        BitPacker::pack(pixels.data(), scene.width, scene.height, bits, stream.data());
        const double packMs =
            medianMs(rounds, [&] { BitPacker::pack(pixels.data(), scene.width, scene.height, bits, stream.data()); });
        const double unpackMs =
            medianMs(rounds, [&] { BitUnpacker::unpack(stream.data(), stream.size(), count, bits, pixels.data()); });
        std::printf("%2d-bit    unpack %6.2f ms  pack %6.2f ms\n", bits, unpackMs, packMs);
    }
    return 0;
}
