#include "focuspixelclip.h"

#include "lj92encoder.h"
#include "mlvwriter.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace mlvtest {

namespace {

constexpr int kBlack = 2048;

}  // namespace

FocusPixelWindow writeFocusPixelHeaders(MlvWriter& w, const FocusPixelClipPlan& plan)
{
    const int white = plan.lossless ? 5586 : 15000;
    // mlv_lite's centred window: the widest starts at column 72, the tallest at row 28.
    const int maxWidth = plan.bufferWidth / 8 * 8 - 72, maxHeight = (plan.bufferHeight - 28) / 2 * 2;
    const FocusPixelWindow window{72 + (maxWidth - plan.width) / 2, 28 + (maxHeight - plan.height) / 2};
    w.fileHeader(0xf0c5, 0, plan.lossless ? 0x21 : 1, 0, static_cast<std::uint32_t>(plan.frames));
    std::vector<std::uint8_t> raw;
    put(raw, 2, {std::uint64_t(plan.width), std::uint64_t(plan.height)});
    const std::uint64_t bufferWidth = std::uint64_t(plan.bufferWidth), bufferHeight = std::uint64_t(plan.bufferHeight);
    put(raw, 4, {1, 0, bufferHeight, bufferWidth, bufferWidth * 14 / 8, 0, 14, kBlack, std::uint64_t(white)});
    put(raw, 4, {0, 0, std::uint64_t(plan.width), std::uint64_t(plan.height)});  // origin and size of the cut
    put(raw, 4, {28, 72, bufferHeight, bufferWidth, 0, 0, 0x02010100, 1});       // active area, bias, CFA, light
    for (const int m : {6722, -635, -963, -4287, 12460, 2028, -908, 2162, 5668})
        put(raw, 4, {std::uint32_t(m), 10000});
    put(raw, 4, {1100});
    w.block("RAWI", raw, 1);
    std::vector<std::uint8_t> camera(32, 0);  // the name, then the model
    std::copy_n("Canon EOS", 9, camera.begin());
    put(camera, 4, {plan.model});
    camera.resize(68, 0);
    w.block("IDNT", camera, 2);
    if (plan.samplingAcross > 0) {
        std::vector<std::uint8_t> capture;
        put(capture, 2, {5796, 3870, 100, 0});
        // All of the sampling as binning across, and one binned row plus the rest skipped down.
        put(capture, 1, {std::uint64_t(plan.samplingAcross), 0, 1, std::uint64_t(plan.samplingDown - 1)});
        put(capture, 2, {0, 0});
        w.block("RAWC", capture, 3);
    }
    if (plan.dualIso)
        w.block("DISO", {1, 0, 0, 0, 0x20, 0x03, 0, 0}, 4);  // on, the other ISO 800: two 32-bit fields
    return window;
}

void writeFocusPixelFrame(MlvWriter& w, std::uint32_t frameNumber, const std::vector<std::uint8_t>& payload,
                          FocusPixelWindow window, std::uint64_t timestamp)
{
    std::vector<std::uint8_t> frame;
    put(frame, 4, {frameNumber});
    // The crop position in 8x2 blocks, the pan position as asked for, before rounding.
    put(frame, 2,
        {std::uint64_t((window.panX + 7) / 8), std::uint64_t(window.panY / 2), std::uint64_t(window.panX),
         std::uint64_t(window.panY)});
    put(frame, 4, {0});
    frame.insert(frame.end(), payload.begin(), payload.end());
    w.block("VIDF", frame, timestamp);
}

FocusPixelClip writeFocusPixelClip(const std::string& path, const FocusPixelClipPlan& plan)
{
    MlvWriter w;
    const FocusPixelWindow window = writeFocusPixelHeaders(w, plan);
    const int white = plan.lossless ? 5586 : 15000;
    FocusPixelClip clip;
    std::mt19937 rng(plan.model + static_cast<unsigned>(plan.bufferWidth));
    std::normal_distribution<double> noise(0.0, 4.0 * (white - kBlack) / (15000 - kBlack));
    for (int f = 0; f < plan.frames; ++f) {
        const int originX = (window.panX + 16 * f + 7) / 8 * 8, originY = (window.panY + 4 * f) / 2 * 2;
        std::vector<std::uint16_t> truth(static_cast<std::size_t>(plan.width) * static_cast<std::size_t>(plan.height));
        for (int y = 0; y < plan.height; ++y)
            for (int x = 0; x < plan.width; ++x) {
                // Smooth in buffer coordinates, so every frame shows the same scene.
                const double u = double(x + originX) / plan.bufferWidth, v = double(y + originY) / plan.bufferHeight;
                double level = 0.12 + 0.25 * u + 0.15 * v + 0.06 * ((x & 1) + (y & 1)) + 0.05 * std::sin(6 * u + 4 * v);
                if (plan.dualIso && !((y + originY) >> 1 & 1))
                    level /= 2;
                truth[std::size_t(y) * std::size_t(plan.width) + std::size_t(x)] =
                    static_cast<std::uint16_t>(std::lround(kBlack + level * (white - kBlack) + noise(rng)));
            }
        std::vector<std::uint16_t> recorded = truth;
        for (const mlv2dng::FocusPixelPosition& p : plan.focusPixels) {
            const int x = p.x - originX, y = p.y - originY;
            if (x < 0 || y < 0 || x >= plan.width || y >= plan.height)
                continue;
            // 6 to 12 per cent brighter or darker, fixed by sensor position.
            std::uint16_t& value = recorded[std::size_t(y) * std::size_t(plan.width) + std::size_t(x)];
            const double offset = (0.06 + 0.02 * ((p.x / 8 + p.y) % 4)) * ((p.x + p.y / 2) % 2 ? 1 : -1);
            value = static_cast<std::uint16_t>(std::lround(kBlack + (value - kBlack) * (1 + offset)));
        }
        // Lossless as cameras code it: two raw rows per line in two components.
        const std::vector<std::uint8_t> payload =
            plan.lossless ? mlv2dng::encodeLj92(recorded, {plan.width, plan.height / 2, 2, 14, 1, 0, false})
                          : MlvWriter::pack(recorded, 14);
        writeFocusPixelFrame(w, static_cast<std::uint32_t>(f), payload, {window.panX + 16 * f, window.panY + 4 * f},
                             1000 + std::uint64_t(f) * 40000);
        clip.recorded.push_back(std::move(recorded));
        clip.truth.push_back(std::move(truth));
    }
    return w.save(path) ? clip : FocusPixelClip{};
}

}  // namespace mlvtest
