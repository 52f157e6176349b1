// Properties of the pixel fixes as the pipeline uses them (prepare on the first frame, apply to each),
// and of their parts: the median network behind chroma smoothing, repairs inside the packed stream.
#include "fixes/badpixelrepairer.h"
#include "fixes/framecorrector.h"
#include "fixes/mediannetwork.h"
#include "fixes/streampixelrepairer.h"
#include "mlv/bitunpacker.h"
#include "mlv/rawframe.h"
#include "mlvwriter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>
#include <thread>

using namespace mlv2dng;

namespace {

using Cfa = std::array<std::uint8_t, 4>;
const Cfa kRggb{{CfaRed, CfaGreen, CfaGreen, CfaBlue}};
const Cfa kGrbg{{CfaGreen, CfaRed, CfaBlue, CfaGreen}};
const Cfa kBggr{{CfaBlue, CfaGreen, CfaGreen, CfaRed}};

// A smooth scene (a diagonal ramp with a slow bend, one level per colour), optionally with
// noise from a fixed seed, scaled by gain[x & 7] above black.
RawFrame smoothFrame(int w, int h, int bits, const Cfa& cfa = kRggb, double noise = 0.0, unsigned seed = 1,
                     const std::array<double, 8>& gain = {1, 1, 1, 1, 1, 1, 1, 1})
{
    const int black = bits == 16 ? 8192 : 2048 >> (14 - std::min(bits, 14));
    const int white = bits == 16 ? 60000 : 15000 >> (14 - std::min(bits, 14));
    RawFrame f{w, h, bits, black, white, cfa, 0, 0, 0, std::vector<std::uint16_t>(std::size_t(w) * std::size_t(h))};
    std::mt19937 rng(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    const double colourGain[3] = {0.6, 1.0, 0.75};
    for (int y = 0; y < h; ++y)
        for (int x = 0; x < w; ++x) {
            const double ramp = 0.25 + 0.45 * x / w + 0.2 * y / h + 0.05 * std::sin(3.0 * x / w + 2.0 * y / h);
            const double v =
                f.blackLevel
                + 0.8 * (f.whiteLevel - f.blackLevel) * ramp * colourGain[f.colorAt(x, y)] * gain[std::size_t(x & 7)];
            f.at(x, y) = std::uint16_t(std::clamp(std::lround(v + noise * unit(rng)), 0L, long(f.whiteLevel)));
        }
    return f;
}

RawFrame withPixels(RawFrame f, const QList<QPoint>& points, int value)
{
    for (const QPoint& p : points)
        f.at(p.x(), p.y()) = std::uint16_t(value);
    return f;
}

RawFrame corrected(const RawFrame& first, const RawFrame& frame, const CorrectionOptions& o)
{
    FrameCorrector c(o);
    c.prepare(first);
    RawFrame out = frame;
    c.apply(out);
    return out;
}

// Whether each listed pixel is within 2 % of its true signal above black.
bool restored(const RawFrame& out, const RawFrame& truth, const QList<QPoint>& points)
{
    return std::all_of(points.begin(), points.end(), [&](const QPoint& p) {
        const double want = truth.at(p.x(), p.y()) - truth.blackLevel;
        return std::abs(out.at(p.x(), p.y()) - truth.blackLevel - want) <= 0.02 * want;
    });
}

}  // namespace

class TestFrameCorrector : public QObject
{
    Q_OBJECT

private slots:
    void deadPixelsAreRestored()
    {
        // Inside, on three borders, and two of one colour side by side (neither may serve as the
        // other's source).
        const QList<QPoint> dead = {{40, 30}, {41, 30}, {0, 40}, {127, 41}, {64, 79}, {90, 20}, {92, 20}, {17, 55}};
        const CorrectionOptions fixedMap{true, false, false, 0};
        for (const int bits : {10, 12, 14}) {
            const RawFrame truth = smoothFrame(128, 80, bits), first = withPixels(truth, dead, 1);
            const RawFrame fixed = corrected(first, first, fixedMap);
            QVERIFY(restored(fixed, truth, dead));
            QCOMPARE(withPixels(fixed, dead, 1).pixels, first.pixels);  // nothing else moved
            // The map learnt on the first frame repairs the same pixels in a later one; off, they stay.
            const RawFrame laterTruth = smoothFrame(128, 80, bits, kRggb, 0.0, 3);
            QVERIFY(restored(corrected(first, withPixels(laterTruth, dead, 0), fixedMap), laterTruth, dead));
            QCOMPARE(corrected(first, first, CorrectionOptions{false, false, false, 0}).pixels, first.pixels);
        }

        // Dead pixels that appear after the first frame, and a hot one, need per-frame detection:
        // fixcp2 alone, and "no-fixcp" followed by "fixcp2" (which wins).
        const RawFrame first = smoothFrame(96, 64, 14, kGrbg, 3.0, 11), truth = smoothFrame(96, 64, 14, kGrbg, 3.0, 12);
        const QList<QPoint> moved = {{10, 10}, {51, 33}, {95, 63}};
        const RawFrame second = withPixels(withPixels(truth, moved, 0), {{70, 20}}, truth.whiteLevel - 10);
        QCOMPARE(corrected(first, second, CorrectionOptions{true, false, true, 0}).pixels, second.pixels);
        for (const bool cold : {true, false})
            QVERIFY(restored(corrected(first, second, CorrectionOptions{cold, true, true, 0}), truth,
                             moved + QList<QPoint>{{70, 20}}));
    }

    void stripePatternIsRemoved()
    {
        // About +-2 %, averaging 1 over the four columns each colour has in a group of eight.
        const std::array<double, 8> pattern = {1.02, 0.985, 0.995, 1.01, 0.99, 1.02, 0.995, 0.985};
        for (const auto& [bits, noise] : {std::pair(14, 0.0), std::pair(14, 12.0), std::pair(12, 3.0)}) {
            const RawFrame first = smoothFrame(512, 128, bits, kRggb, noise, 5, pattern);
            const RawFrame laterTruth = smoothFrame(512, 128, bits, kRggb, 0.0, 2);
            const RawFrame later = smoothFrame(512, 128, bits, kRggb, noise, 6, pattern);
            const RawFrame out = corrected(first, later, CorrectionOptions{false, false, true, 0});
            // Residual per column phase and row parity: the mean ratio to the truth, which averages
            // the noise away; plus, without noise, every single pixel.
            double ratio[16] = {};
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width; ++x) {
                    const double want = laterTruth.at(x, y) - out.blackLevel, got = out.at(x, y) - out.blackLevel;
                    QVERIFY2(noise > 0.0 || std::abs(got - want) <= 0.002 * want + 1.0,
                             qPrintable(QStringLiteral("(%1,%2)").arg(x).arg(y)));
                    ratio[(y & 1) * 8 + (x & 7)] += got / want / (out.width * out.height / 16);
                }
            for (const double r : ratio)
                QVERIFY2(std::abs(r - 1.0) < 0.002, qPrintable(QStringLiteral("%1-bit: %2").arg(bits).arg(r)));
            // With the fix off the stripes stay exactly as they were.
            QCOMPARE(corrected(first, later, CorrectionOptions{false, false, false, 0}).pixels, later.pixels);
        }
    }

    void chromaNoiseDropsWithWindowSize()
    {
        for (const auto& [bits, cfa] : {std::pair(14, kRggb), std::pair(12, kGrbg), std::pair(16, kBggr)}) {
            const RawFrame truth = smoothFrame(256, 192, bits, cfa);
            RawFrame noisy = truth;
            std::mt19937 rng(99);
            const double sigma = 0.01 * (truth.whiteLevel - truth.blackLevel);
            std::normal_distribution<double> unit(0.0, sigma);
            for (int i = 0; i < 256 * 192; ++i)
                if (truth.colorAt(i % 256, i / 256) != CfaGreen)
                    noisy.pixels[std::size_t(i)] = std::uint16_t(std::lround(truth.pixels[std::size_t(i)] + unit(rng)));
            // Per colour: the spread against the truth (RMS), and the mean change from the noisy input.
            const auto stats = [&](const RawFrame& f, std::uint8_t colour) {
                double sum = 0.0, shift = 0.0, n = 0.0;
                for (std::size_t i = 0; i < f.pixels.size(); ++i)
                    if (f.colorAt(int(i % 256), int(i / 256)) == colour) {
                        sum += std::pow(double(f.pixels[i]) - truth.pixels[i], 2);
                        shift += double(f.pixels[i]) - noisy.pixels[i];
                        ++n;
                    }
                return std::make_pair(std::sqrt(sum / n), shift / n);
            };
            double previous[3] = {stats(noisy, CfaRed).first, 0.0, stats(noisy, CfaBlue).first};
            // Upper bounds on the remaining spread per window (a median of 4, 9 and 25 values); the level stays.
            for (const auto& [window, bound] : {std::pair(2, 0.75), std::pair(3, 0.55), std::pair(5, 0.35)}) {
                const RawFrame out = corrected(noisy, noisy, CorrectionOptions{false, false, false, window});
                for (const std::uint8_t colour : {CfaRed, CfaBlue}) {
                    const auto [spread, shift] = stats(out, colour);
                    QVERIFY2(spread < previous[colour] && spread < bound * sigma,
                             qPrintable(QStringLiteral("%1x%1: %2").arg(window).arg(spread)));
                    QVERIFY(std::abs(shift) < 0.05 * sigma);
                    previous[colour] = spread;
                }
                for (std::size_t i = 0; i < out.pixels.size(); ++i)
                    QVERIFY(out.colorAt(int(i % 256), int(i / 256)) != CfaGreen || out.pixels[i] == noisy.pixels[i]);
            }
        }
    }

    // Every combination of the fixes, on clean frames and on harsh ones. Noise on a clean sensor is not taken for
    // stripes, cold or hot pixels: without smoothing nothing moves, and greens never do. The smoothing re-rounds the
    // green mean at each site, so a noiseless frame may move by one unit, or two where the colour difference bends.
    void levelsHoldForEveryCombination()
    {
        std::vector<RawFrame> clean;
        for (const int bits : {10, 14})
            for (const double noise : {0.0, 4.0})
                clean.push_back(smoothFrame(160, 96, bits, kRggb, noise, 7));
        // A harsh frame: noise, stripes, dead and hot pixels, a region below black, and clipped
        // samples both at and above white (as 12-bit data in 16-bit storage may carry); tiny frames.
        RawFrame harsh = smoothFrame(99, 67, 12, kBggr, 20.0, 21, {1.02, 1.02, 1.02, 1.02, 0.98, 0.98, 0.98, 0.98});
        for (int y = 0; y < 20; ++y)
            for (int x = 0; x < 30; ++x) {
                harsh.at(x + 40, y + 10) = std::uint16_t(harsh.whiteLevel + ((x * y) % 3 == 0 ? 37 : 0));
                harsh.at(x / 2 + 5, y / 2 + 50) = std::uint16_t(harsh.blackLevel - 30 + (x + y) % 7);
            }
        harsh = withPixels(withPixels(withPixels(harsh, {{30, 30}}, 0), {{80, 40}}, harsh.whiteLevel - 1), {{39, 20}},
                           harsh.whiteLevel - 5);
        std::vector<RawFrame> frames{harsh};
        for (const QSize& size :
             {QSize(1, 1), QSize(2, 2), QSize(3, 1), QSize(1, 7), QSize(40, 1), QSize(7, 5), QSize(9, 2)})
            frames.push_back(smoothFrame(size.width(), size.height(), 14, kGrbg, 5.0, 4));
        const RawFrame black = smoothFrame(40, 30, 14, kRggb, 0.0, 1, {0, 0, 0, 0, 0, 0, 0, 0});  // no signal

        for (int flags = 0; flags < 32; ++flags) {
            const CorrectionOptions o = CorrectionOptions{(flags & 1) != 0, (flags & 2) != 0, (flags & 4) != 0,
                                                          std::array<int, 4>{0, 2, 3, 5}[std::size_t(flags >> 3)]};
            const QByteArray name = "flags " + QByteArray::number(flags);
            for (const RawFrame& f : frames) {
                const RawFrame out = corrected(f, f, o);
                QCOMPARE(out.pixels.size(), f.pixels.size());
                for (std::size_t i = 0; i < out.pixels.size(); ++i)
                    QVERIFY2(f.pixels[i] >= f.whiteLevel ? out.pixels[i] == f.pixels[i] : out.pixels[i] <= f.whiteLevel,
                             name);
            }
            for (const RawFrame& f : clean) {
                const RawFrame out = corrected(f, f, o);
                const bool noisy = f.pixels != clean[f.bitsPerPixel == 10 ? 0 : 2].pixels;
                for (std::size_t i = 0; i < out.pixels.size(); ++i) {
                    const bool fixed = o.chromaSmoothing == 0 || f.colorAt(int(i % 160), int(i / 160)) == CfaGreen;
                    QVERIFY2((!fixed && noisy) || std::abs(out.pixels[i] - f.pixels[i]) <= (fixed ? 0 : 2), name);
                }
            }
            // A frame at black stays at black, whatever is switched on.
            QVERIFY2(corrected(black, black, o).pixels == black.pixels, name);
        }
    }

    void resultsDoNotDependOnThreads()
    {
        // Striped frames with moving dead pixels, everything on: four threads sharing one corrector
        // give the same bytes as a fresh corrector for each frame on one thread.
        std::vector<RawFrame> frames;
        for (int i = 0; i < 8; ++i)
            frames.push_back(
                withPixels(smoothFrame(200, 120, 14, kRggb, 15.0, 100 + unsigned(i), {1, 1, 1, 1.02, 1, 1, 1, 1}),
                           {{17 + 13 * i, 9 + 7 * i}}, 0));
        for (const int chroma : {0, 5}) {
            const CorrectionOptions all{true, true, true, chroma};
            FrameCorrector corrector(all);
            corrector.prepare(frames.front());
            std::vector<RawFrame> parallel = frames;
            std::vector<std::thread> threads;
            for (std::size_t t = 0; t < 4; ++t)
                threads.emplace_back([&, t] {
                    for (std::size_t i = t; i < parallel.size(); i += 4)
                        corrector.apply(parallel[i]);
                });
            for (std::thread& t : threads)
                t.join();
            for (std::size_t i = 0; i < frames.size(); ++i) {
                const RawFrame sequential = corrected(frames.front(), frames[i], all);
                QVERIFY(sequential.pixels != frames[i].pixels);
                QCOMPARE(parallel[i].pixels, sequential.pixels);
            }
        }
    }

    // Narrow ranges give many ties; the extremes check there is no overflow in either width.
    void medianNetworkMatchesSorting()
    {
        std::mt19937 rng(3);
        const std::size_t lanes = MedianNetwork::kLanes;
        for (const int n : {4, 9, 25}) {
            const MedianNetwork net(n);
            for (int round = 0; round < 40; ++round) {
                std::vector<std::int16_t> small(std::size_t(n) * lanes), smallOut;
                std::vector<std::int32_t> wide(small.size()), wideOut;
                for (std::size_t i = 0; i < small.size(); ++i)
                    small[i] = std::int16_t(round % 2 ? 32763 + int(rng() % 4) : int(rng() % 65536) - 32768),
                    wide[i] = std::int32_t(rng()) / 2;
                net.run((smallOut = small).data());
                net.run((wideOut = wide).data());
                for (std::size_t lane = 0; lane < lanes; ++lane) {
                    std::vector<std::int64_t> a, b;
                    for (std::size_t k = 0; k < std::size_t(n); ++k)
                        a.push_back(small[k * lanes + lane]), b.push_back(wide[k * lanes + lane]);
                    std::sort(a.begin(), a.end());
                    std::sort(b.begin(), b.end());
                    for (const std::size_t out : {net.lowOutput(), net.highOutput()})
                        QVERIFY(smallOut[out * lanes + lane] == a[out] && wideOut[out * lanes + lane] == b[out]);
                }
            }
        }
    }

    // Random bad sets with corners, clusters of neighbours and clipped pixels, at every depth and
    // CFA phase, odd widths included: unpack, repair, pack equals repairing in the stream.
    void streamRepairMatchesFrameRepair()
    {
        std::mt19937 rng(3);
        for (int bits = 10; bits <= 16; ++bits) {
            const Cfa phases[] = {kRggb, kGrbg, kBggr, {{CfaGreen, CfaBlue, CfaRed, CfaGreen}}};
            RawFrame frame = smoothFrame(21 + 9 * (bits % 4), 17, bits, phases[bits % 4], 5.0, unsigned(bits));
            const std::uint32_t area = std::uint32_t(frame.width * frame.height), w = std::uint32_t(frame.width);
            std::vector<std::uint32_t> bad{0,         w - 1,     area - w,  area - 1, 5 * w + 5,
                                           5 * w + 6, 5 * w + 7, 6 * w + 5, 6 * w + 7};
            for (int i = 0; i < 25; ++i)
                bad.push_back(std::uint32_t(rng() % area));
            std::sort(bad.begin(), bad.end());
            bad.erase(std::unique(bad.begin(), bad.end()), bad.end());
            for (std::size_t i = 0; i < bad.size(); ++i)
                frame.pixels[bad[i]] = i % 5 == 0 ? std::uint16_t(frame.whiteLevel) : std::uint16_t(i % 3);

            std::vector<std::uint8_t> stream = mlvtest::MlvWriter::pack(frame.pixels, bits);
            RawFrame expected = frame, description = frame;
            BadPixelRepairer::repair(expected, bad);
            QVERIFY(expected.pixels != frame.pixels);
            description.pixels.clear();
            StreamPixelRepairer::repair(stream.data(), stream.size(), description, bad);
            std::vector<std::uint16_t> repaired(frame.pixels.size());
            BitUnpacker::unpack(stream.data(), stream.size(), repaired.size(), bits, repaired.data());
            QCOMPARE(repaired, expected.pixels);

            // The corrector offers its fixed map for repair in the stream only when nothing else would run.
            for (const CorrectionOptions& options : {CorrectionOptions{}, CorrectionOptions{true, true, true, 0},
                                                     CorrectionOptions{true, false, true, 3}}) {
                FrameCorrector corrector(options);
                corrector.prepare(frame);
                QCOMPARE(corrector.onlyRepairs(description) != nullptr,
                         !options.fixMovingColdPixels && options.chromaSmoothing == 0);
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFrameCorrector)
#include "tst_framecorrector.moc"
