// Measures single-core lossless-JPEG decoding speed on a 1920x1080 frame coded the camera way
// (X = 1920, Y = 540, two components, 14 bits), for predictors 1 and 6; then the speed of our own
// encoder on the same frame in the DNG shape (X = 960, Y = 1080, two components), as -c uses it.
#include "lj92encoder.h"
#include "ljpeg/lj92decoder.h"
#include "ljpeg/lj92encoder.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <vector>

namespace {

std::vector<std::uint16_t> realisticFrame(int width, int lines)
{
    // A raw frame: smooth shading with a per-colour level, plus photon and read noise.
    std::mt19937 random(2024);
    std::normal_distribution<double> gauss(0.0, 1.0);
    std::vector<std::uint16_t> samples;
    samples.reserve(std::size_t(width) * std::size_t(lines) * 2);
    for (int line = 0; line < lines; ++line) {
        for (int x = 0; x < width; ++x) {
            for (int c = 0; c < 2; ++c) {
                const int row = 2 * line + (x * 2 + c) / width;
                const int column = (x * 2 + c) % width;
                const bool green = ((row + column) & 1) != 0;
                const double shade = 0.5 + 0.4 * std::sin(column / 300.0) * std::cos(row / 200.0);
                const double signal = 2048 + shade * (green ? 9000.0 : 5000.0);
                const double noise = std::sqrt(signal / 4.0) + 6.0;
                const double value = signal + noise * gauss(random);
                samples.push_back(std::uint16_t(std::clamp(value, 0.0, 16383.0)));
            }
        }
    }
    return samples;
}

// Median and best megapixels per second of repeated calls for about the given time.
template <typename Work>
std::pair<double, double> rate(double megapixels, double seconds, Work work)
{
    std::vector<double> rates;
    const auto start = std::chrono::steady_clock::now();
    while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < seconds) {
        const auto t0 = std::chrono::steady_clock::now();
        work();
        rates.push_back(megapixels / std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count());
    }
    std::sort(rates.begin(), rates.end());
    return {rates[rates.size() / 2], rates.back()};
}

}  // namespace

int main(int argc, char** argv)
{
    const double secondsPerCase = argc > 1 ? std::atof(argv[1]) : 2.0;
    const int width = 1920;
    const int lines = 540;
    const std::vector<std::uint16_t> source = realisticFrame(width, lines);
    const double megapixels = double(source.size()) / 1e6;

    std::printf("frame: %dx%d x2 components, 14-bit, %.2f MP\n", width, lines, megapixels);
    int status = 0;
    for (const int predictor : {1, 6}) {
        mlv2dng::Lj92EncodeOptions options;
        options.width = width;
        options.height = lines;
        options.components = 2;
        options.precision = 14;
        options.predictor = predictor;
        const std::vector<std::uint8_t> stream = mlv2dng::encodeLj92(source, options);

        mlv2dng::Lj92Decoder decoder;
        mlv2dng::Lj92Image image;
        std::string error;
        if (!decoder.decode(stream.data(), stream.size(), source.size(), image, error) || image.samples != source) {
            std::fprintf(stderr, "predictor %d: decode failed or differs: %s\n", predictor, error.c_str());
            status = 1;
            continue;
        }
        std::vector<double> rates;
        const auto start = std::chrono::steady_clock::now();
        while (std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count() < secondsPerCase) {
            const auto t0 = std::chrono::steady_clock::now();
            decoder.decode(stream.data(), stream.size(), source.size(), image, error);
            const double seconds = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
            rates.push_back(megapixels / seconds);
        }
        std::sort(rates.begin(), rates.end());
        std::printf("predictor %d: %.2f bits/sample, %zu decodes, median %.0f MP/s, best %.0f MP/s (one core)\n",
                    predictor, 8.0 * double(stream.size()) / double(source.size()), rates.size(),
                    rates[rates.size() / 2], rates.back());
    }
    for (const bool choose : {false, true}) {
        mlv2dng::Lj92Encoder encoder;
        std::vector<std::uint8_t> stream;
        const mlv2dng::Lj92Encoder::Shape shape{width / 2, 2 * lines, 2, 14, choose};
        std::size_t length = 0;
        const auto [median, best] =
            rate(megapixels, secondsPerCase, [&] { length = encoder.encode(source.data(), shape, stream); });
        stream.resize(length);
        mlv2dng::Lj92Image image;
        std::string error;
        if (!mlv2dng::Lj92Decoder().decode(stream.data(), stream.size(), source.size(), image, error)
            || image.samples != source) {
            std::fprintf(stderr, "encoder: our decoder disagrees: %s\n", error.c_str());
            status = 1;
        }
        std::printf("encoder, %s: predictor %d, %.2f bits/sample, median %.0f MP/s, best %.0f MP/s (one core)\n",
                    choose ? "predictor ranked" : "predictor 1 (as in DNGs)", encoder.predictor(),
                    8.0 * double(stream.size()) / double(source.size()), median, best);
    }
    return status;
}
