// Properties of the pixel fixes as the pipeline uses them: prepare on the first frame, apply to each.
#include "framecorrector.h"
#include "rawframe.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <random>
#include <thread>
#include <vector>

using namespace mlv2dng;

namespace {

using Cfa = std::array<std::uint8_t, 4>;
const Cfa kRggb{{CfaRed, CfaGreen, CfaGreen, CfaBlue}};
const Cfa kGrbg{{CfaGreen, CfaRed, CfaBlue, CfaGreen}};
const Cfa kBggr{{CfaBlue, CfaGreen, CfaGreen, CfaRed}};

CorrectionOptions options(bool cold, bool moving, bool stripes, int chroma)
{
    CorrectionOptions o;
    o.fixColdPixels = cold;
    o.fixMovingColdPixels = moving;
    o.fixVerticalStripes = stripes;
    o.chromaSmoothing = chroma;
    return o;
}

// Signal above black of a smooth scene: a diagonal ramp with a slow bend, one level per colour.
double smoothSignal(int x, int y, int w, int h, std::uint8_t colour, double scale)
{
    const double gain[3] = {0.6, 1.0, 0.75};
    const double ramp = 0.25 + 0.45 * x / std::max(w, 1) + 0.2 * y / std::max(h, 1)
                        + 0.05 * std::sin(3.0 * x / std::max(w, 1) + 2.0 * y / std::max(h, 1));
    return scale * ramp * gain[colour];
}

RawFrame blankFrame(int w, int h, int bits, const Cfa& cfa = kRggb)
{
    RawFrame f;
    f.width = w;
    f.height = h;
    f.bitsPerPixel = bits;
    const int shift = 14 - std::min(bits, 14);
    f.blackLevel = bits == 16 ? 8192 : 2048 >> shift;
    f.whiteLevel = bits == 16 ? 60000 : 15000 >> shift;
    f.cfa = cfa;
    f.pixels.assign(static_cast<std::size_t>(w) * static_cast<std::size_t>(h), static_cast<std::uint16_t>(f.blackLevel));
    return f;
}

// The smooth scene, optionally with photon-like noise from a fixed seed.
RawFrame smoothFrame(int w, int h, int bits, const Cfa& cfa = kRggb, double noise = 0.0, unsigned seed = 1)
{
    RawFrame f = blankFrame(w, h, bits, cfa);
    std::mt19937 rng(seed);
    std::normal_distribution<double> unit(0.0, 1.0);
    const double scale = 0.8 * (f.whiteLevel - f.blackLevel);
    for (int y = 0; y < h; ++y) {
        for (int x = 0; x < w; ++x) {
            const double v = f.blackLevel + smoothSignal(x, y, w, h, f.colorAt(x, y), scale) + noise * unit(rng);
            f.at(x, y) = static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, static_cast<long>(f.whiteLevel)));
        }
    }
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

int maxDifference(const RawFrame& a, const RawFrame& b)
{
    int worst = 0;
    for (std::size_t i = 0; i < a.pixels.size(); ++i)
        worst = std::max(worst, std::abs(int(a.pixels[i]) - int(b.pixels[i])));
    return worst;
}

// Root-mean-square error against a reference, over the sites of one colour.
double rmsError(const RawFrame& f, const RawFrame& truth, std::uint8_t colour)
{
    double sum = 0.0;
    int n = 0;
    for (int y = 0; y < f.height; ++y) {
        for (int x = 0; x < f.width; ++x) {
            if (f.colorAt(x, y) != colour)
                continue;
            const double d = double(f.at(x, y)) - double(truth.at(x, y));
            sum += d * d;
            ++n;
        }
    }
    return n > 0 ? std::sqrt(sum / n) : 0.0;
}

// Every combination the command line can produce.
std::vector<CorrectionOptions> allCombinations()
{
    std::vector<CorrectionOptions> all;
    for (int bits = 0; bits < 8; ++bits) {
        for (const int cs : {0, 2, 3, 5})
            all.push_back(options(bits & 1, bits & 2, bits & 4, cs));
    }
    return all;
}

QByteArray describe(const CorrectionOptions& o)
{
    return QStringLiteral("cp=%1 cp2=%2 stripes=%3 cs=%4")
        .arg(o.fixColdPixels).arg(o.fixMovingColdPixels).arg(o.fixVerticalStripes).arg(o.chromaSmoothing)
        .toLatin1();
}

}  // namespace

Q_DECLARE_METATYPE(Cfa)

class TestFrameCorrector : public QObject
{
    Q_OBJECT

private slots:
    void cleanFramesBarelyChange_data();
    void cleanFramesBarelyChange();
    void deadPixelsAreRestored();
    void deadPixelRepairFollowsEdges();
    void movingDeadAndHotPixelsNeedPerFrameDetection();
    void stripePatternIsRemoved_data();
    void stripePatternIsRemoved();
    void chromaNoiseDropsWithWindowSize_data();
    void chromaNoiseDropsWithWindowSize();
    void levelsHoldForEveryCombination();
    void tinyAndOddFramesSurvive();
    void resultsDoNotDependOnThreads();
};

void TestFrameCorrector::cleanFramesBarelyChange_data()
{
    QTest::addColumn<int>("chroma");
    QTest::addColumn<int>("bits");
    QTest::addColumn<int>("maxChange");
    // Without smoothing nothing moves. The smoothing re-rounds the green mean at each site,
    // so a noiseless frame may move by one unit, or two where the colour difference bends.
    QTest::newRow("no smoothing, 14-bit") << 0 << 14 << 0;
    QTest::newRow("no smoothing, 10-bit") << 0 << 10 << 0;
    QTest::newRow("2x2, 14-bit") << 2 << 14 << 2;
    QTest::newRow("3x3, 14-bit") << 3 << 14 << 2;
    QTest::newRow("5x5, 14-bit") << 5 << 14 << 2;
    QTest::newRow("5x5, 16-bit") << 5 << 16 << 2;
}

void TestFrameCorrector::cleanFramesBarelyChange()
{
    QFETCH(int, chroma);
    QFETCH(int, bits);
    QFETCH(int, maxChange);
    for (const bool noisy : {false, true}) {
        // Noise on a clean sensor must not be taken for stripes, cold or hot pixels.
        const RawFrame frame = smoothFrame(160, 96, bits, kRggb, noisy ? 4.0 : 0.0, 7);
        const RawFrame out = corrected(frame, frame, options(true, true, true, chroma));
        if (chroma == 0 || !noisy)
            QVERIFY2(maxDifference(out, frame) <= maxChange, qPrintable(QString::number(maxDifference(out, frame))));
        for (int y = 0; y < frame.height; ++y) {
            for (int x = 0; x < frame.width; ++x) {
                if (frame.colorAt(x, y) == CfaGreen)
                    QCOMPARE(out.at(x, y), frame.at(x, y));
            }
        }
    }
}

void TestFrameCorrector::deadPixelsAreRestored()
{
    for (const int bits : {10, 12, 14}) {
        const RawFrame truth = smoothFrame(128, 80, bits);
        RawFrame first = truth;
        // Inside, on three borders, neighbours of different colours, and two dead pixels of
        // one colour side by side (neither may serve as the other's source).
        const QList<QPoint> dead = {{40, 30}, {41, 30}, {0, 40}, {127, 41}, {64, 79}, {90, 20}, {92, 20}, {17, 55}};
        for (const QPoint& p : dead)
            first.at(p.x(), p.y()) = static_cast<std::uint16_t>(p.x() % 3);  // at or near zero
        // In the dark too: a dark patch at black with a cold pixel far below it.
        for (int y = 60; y < 70; ++y)
            for (int x = 100; x < 110; ++x)
                first.at(x, y) = static_cast<std::uint16_t>(truth.blackLevel);
        first.at(104, 64) = static_cast<std::uint16_t>(truth.blackLevel / 4);
        RawFrame reference = truth;
        for (int y = 60; y < 70; ++y)
            for (int x = 100; x < 110; ++x)
                reference.at(x, y) = static_cast<std::uint16_t>(truth.blackLevel);

        const RawFrame fixed = corrected(first, first, options(true, false, false, 0));
        for (const QPoint& p : dead) {
            const double want = truth.at(p.x(), p.y()) - truth.blackLevel;
            const double got = fixed.at(p.x(), p.y()) - truth.blackLevel;
            QVERIFY2(std::abs(got - want) <= 0.02 * want,
                     qPrintable(QStringLiteral("%1-bit (%2,%3): %4 for %5").arg(bits).arg(p.x()).arg(p.y()).arg(got).arg(want)));
        }
        QCOMPARE(fixed.at(104, 64), static_cast<std::uint16_t>(truth.blackLevel));
        // Nothing else moved.
        for (std::size_t i = 0; i < fixed.pixels.size(); ++i) {
            const QPoint p(int(i % 128), int(i / 128));
            if (!dead.contains(p) && p != QPoint(104, 64))
                QCOMPARE(fixed.pixels[i], reference.pixels[i]);
        }

        // The map learnt on the first frame repairs the same pixels in a later one.
        RawFrame later = smoothFrame(128, 80, bits, kRggb, 0.0, 3);
        for (const QPoint& p : dead)
            later.at(p.x(), p.y()) = 0;
        const RawFrame laterFixed = corrected(first, later, options(true, false, false, 0));
        for (const QPoint& p : dead)
            QVERIFY(laterFixed.at(p.x(), p.y()) > truth.blackLevel);

        // Turned off, they stay dead.
        const RawFrame untouched = corrected(first, first, options(false, false, false, 0));
        QCOMPARE(untouched.pixels, first.pixels);
    }
}

void TestFrameCorrector::deadPixelRepairFollowsEdges()
{
    // A sharp vertical edge: dark left of column 32, bright from it on. A plain mean of the
    // neighbours would land halfway; the repair must keep each side's level.
    RawFrame truth = blankFrame(64, 32, 14);
    for (int y = 0; y < 32; ++y)
        for (int x = 0; x < 64; ++x)
            truth.at(x, y) = static_cast<std::uint16_t>(x < 32 ? 3000 : 12000);
    RawFrame frame = truth;
    frame.at(31, 16) = 0;  // green, last dark column
    frame.at(32, 16) = 0;  // red, first bright column
    frame.at(33, 17) = 0;  // blue, one column further in
    const RawFrame fixed = corrected(frame, frame, options(true, false, false, 0));
    QCOMPARE(fixed.at(31, 16), truth.at(31, 16));
    QCOMPARE(fixed.at(32, 16), truth.at(32, 16));
    QCOMPARE(fixed.at(33, 17), truth.at(33, 17));
}

void TestFrameCorrector::movingDeadAndHotPixelsNeedPerFrameDetection()
{
    const RawFrame first = smoothFrame(96, 64, 14, kGrbg, 3.0, 11);
    RawFrame second = smoothFrame(96, 64, 14, kGrbg, 3.0, 12);
    const RawFrame truth = second;
    const QList<QPoint> moved = {{10, 10}, {51, 33}, {95, 63}};
    for (const QPoint& p : moved)
        second.at(p.x(), p.y()) = 0;
    const QPoint hot(70, 20);
    second.at(hot.x(), hot.y()) = static_cast<std::uint16_t>(second.whiteLevel - 10);

    const RawFrame plain = corrected(first, second, options(true, false, true, 0));
    for (const QPoint& p : moved)
        QCOMPARE(plain.at(p.x(), p.y()), std::uint16_t(0));
    QCOMPARE(plain.at(hot.x(), hot.y()), second.at(hot.x(), hot.y()));

    // fixcp2 alone, and "no-fixcp" followed by "fixcp2" (which wins), both repair per frame.
    for (const CorrectionOptions& o : {options(true, true, true, 0), options(false, true, true, 0)}) {
        const RawFrame fixed = corrected(first, second, o);
        for (const QPoint& p : moved + QList<QPoint>{hot}) {
            const double want = truth.at(p.x(), p.y()) - truth.blackLevel;
            const double got = fixed.at(p.x(), p.y()) - truth.blackLevel;
            QVERIFY2(std::abs(got - want) <= 0.02 * want, qPrintable(QStringLiteral("(%1,%2): %3 for %4").arg(p.x()).arg(p.y()).arg(got).arg(want)));
        }
    }
}

void TestFrameCorrector::stripePatternIsRemoved_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<double>("noise");
    QTest::newRow("14-bit, clean") << 14 << 0.0;
    QTest::newRow("14-bit, noisy") << 14 << 12.0;
    QTest::newRow("12-bit, noisy") << 12 << 3.0;
}

void TestFrameCorrector::stripePatternIsRemoved()
{
    QFETCH(int, bits);
    QFETCH(double, noise);
    // About +-2 %, averaging 1 over the four columns each colour has in a group of eight.
    const double pattern[8] = {1.02, 0.985, 0.995, 1.01, 0.99, 1.02, 0.995, 0.985};
    const auto striped = [&](const RawFrame& clean) {
        RawFrame f = clean;
        std::mt19937 rng(5);
        std::normal_distribution<double> unit(0.0, 1.0);
        for (int y = 0; y < f.height; ++y) {
            for (int x = 0; x < f.width; ++x) {
                const double v = f.blackLevel + (clean.at(x, y) - f.blackLevel) * pattern[x & 7] + noise * unit(rng);
                f.at(x, y) = static_cast<std::uint16_t>(std::clamp(std::lround(v), 0L, long(f.whiteLevel)));
            }
        }
        return f;
    };
    const RawFrame truth = smoothFrame(512, 128, bits);
    const RawFrame first = striped(truth);
    const RawFrame laterTruth = smoothFrame(512, 128, bits, kRggb, 0.0, 2);
    RawFrame later = striped(laterTruth);
    // A clipped patch keeps its value.
    for (int y = 40; y < 50; ++y)
        for (int x = 200; x < 240; ++x)
            later.at(x, y) = static_cast<std::uint16_t>(later.whiteLevel);

    const RawFrame out = corrected(first, later, options(false, false, true, 0));
    // Residual per column phase and row parity: the mean ratio to the truth, which averages
    // the noise away; plus, without noise, every single pixel.
    double ratioSum[16] = {};
    int count[16] = {};
    for (int y = 0; y < out.height; ++y) {
        for (int x = 0; x < out.width; ++x) {
            if (y >= 40 && y < 50 && x >= 200 && x < 240) {
                QCOMPARE(out.at(x, y), static_cast<std::uint16_t>(out.whiteLevel));
                continue;
            }
            const double want = laterTruth.at(x, y) - out.blackLevel;
            const double got = out.at(x, y) - out.blackLevel;
            if (noise == 0.0)
                QVERIFY2(std::abs(got - want) <= 0.002 * want + 1.0, qPrintable(QStringLiteral("(%1,%2) %3 for %4").arg(x).arg(y).arg(got).arg(want)));
            ratioSum[(y & 1) * 8 + (x & 7)] += got / want;
            ++count[(y & 1) * 8 + (x & 7)];
        }
    }
    for (int k = 0; k < 16; ++k)
        QVERIFY2(std::abs(ratioSum[k] / count[k] - 1.0) < 0.002, qPrintable(QStringLiteral("phase %1: %2").arg(k).arg(ratioSum[k] / count[k])));

    // With the fix off the stripes stay exactly as they were.
    QCOMPARE(corrected(first, later, options(false, false, false, 0)).pixels, later.pixels);
}

void TestFrameCorrector::chromaNoiseDropsWithWindowSize_data()
{
    QTest::addColumn<int>("bits");
    QTest::addColumn<Cfa>("cfa");
    QTest::newRow("14-bit RGGB") << 14 << kRggb;
    QTest::newRow("12-bit GRBG") << 12 << kGrbg;
    QTest::newRow("16-bit BGGR") << 16 << kBggr;
}

void TestFrameCorrector::chromaNoiseDropsWithWindowSize()
{
    QFETCH(int, bits);
    QFETCH(Cfa, cfa);
    const RawFrame truth = smoothFrame(256, 192, bits, cfa);
    RawFrame noisy = truth;
    std::mt19937 rng(99);
    const double sigma = 0.01 * (truth.whiteLevel - truth.blackLevel);
    std::normal_distribution<double> unit(0.0, sigma);
    for (int y = 0; y < truth.height; ++y)
        for (int x = 0; x < truth.width; ++x)
            if (truth.colorAt(x, y) != CfaGreen)
                noisy.at(x, y) = static_cast<std::uint16_t>(std::lround(truth.at(x, y) + unit(rng)));

    double previous[3] = {rmsError(noisy, truth, CfaRed), 0.0, rmsError(noisy, truth, CfaBlue)};
    // Upper bounds on the remaining spread per window: a median of 4, 9 and 25 values.
    const double bound[6] = {0, 0, 0.75, 0.55, 0, 0.35};
    for (const int window : {2, 3, 5}) {
        const RawFrame out = corrected(noisy, noisy, options(false, false, false, window));
        for (const std::uint8_t colour : {CfaRed, CfaBlue}) {
            const double spread = rmsError(out, truth, colour);
            QVERIFY2(spread < previous[colour] && spread < bound[window] * sigma,
                     qPrintable(QStringLiteral("%1x%1 colour %2: %3 after %4").arg(window).arg(colour).arg(spread).arg(previous[colour])));
            previous[colour] = spread;
            // The level stays: the mean change is a small fraction of the noise.
            double shift = 0.0;
            int n = 0;
            for (int y = 0; y < out.height; ++y)
                for (int x = 0; x < out.width; ++x)
                    if (out.colorAt(x, y) == colour) {
                        shift += double(out.at(x, y)) - double(noisy.at(x, y));
                        ++n;
                    }
            QVERIFY(std::abs(shift / n) < 0.05 * sigma);
        }
        for (int y = 0; y < out.height; ++y)
            for (int x = 0; x < out.width; ++x)
                if (out.colorAt(x, y) == CfaGreen)
                    QCOMPARE(out.at(x, y), noisy.at(x, y));
    }
}

void TestFrameCorrector::levelsHoldForEveryCombination()
{
    // A harsh frame: noise, stripes, dead and hot pixels, a region below black, and clipped
    // samples both at and above white (as 12-bit data in 16-bit storage may carry).
    RawFrame harsh = smoothFrame(99, 67, 12, kBggr, 20.0, 21);
    for (int x = 0; x < harsh.width; ++x)
        for (int y = 0; y < harsh.height; ++y)
            harsh.at(x, y) = static_cast<std::uint16_t>(std::min<int>(harsh.whiteLevel,
                harsh.blackLevel + std::lround((harsh.at(x, y) - harsh.blackLevel) * (x % 8 < 4 ? 1.02 : 0.98))));
    for (int y = 10; y < 30; ++y)
        for (int x = 40; x < 70; ++x)
            harsh.at(x, y) = static_cast<std::uint16_t>(harsh.whiteLevel + ((x * y) % 3 == 0 ? 37 : 0));
    for (int y = 50; y < 60; ++y)
        for (int x = 5; x < 25; ++x)
            harsh.at(x, y) = static_cast<std::uint16_t>(harsh.blackLevel - 30 + (x + y) % 7);
    harsh.at(30, 30) = 0;
    harsh.at(80, 40) = static_cast<std::uint16_t>(harsh.whiteLevel - 1);
    harsh.at(39, 20) = static_cast<std::uint16_t>(harsh.whiteLevel - 5);  // next to the clipped patch

    const RawFrame black = blankFrame(40, 30, 14);
    for (const CorrectionOptions& o : allCombinations()) {
        const RawFrame out = corrected(harsh, harsh, o);
        for (std::size_t i = 0; i < out.pixels.size(); ++i) {
            if (harsh.pixels[i] >= harsh.whiteLevel)
                QVERIFY2(out.pixels[i] == harsh.pixels[i], describe(o));
            else
                QVERIFY2(out.pixels[i] <= harsh.whiteLevel, describe(o));
        }
        // A frame at black stays at black, whatever is switched on.
        QVERIFY2(corrected(black, black, o).pixels == black.pixels, describe(o));
    }
}

void TestFrameCorrector::tinyAndOddFramesSurvive()
{
    const QList<QSize> sizes = {{1, 1}, {2, 2}, {3, 1}, {1, 7}, {40, 1}, {7, 5}, {9, 2}, {2, 9}, {67, 33}};
    for (const QSize& size : sizes) {
        for (const Cfa& cfa : {kRggb, kGrbg}) {
            const RawFrame frame = smoothFrame(size.width(), size.height(), 14, cfa, 5.0, 4);
            for (const CorrectionOptions& o : allCombinations()) {
                const RawFrame out = corrected(frame, frame, o);
                QCOMPARE(out.pixels.size(), frame.pixels.size());
                for (const std::uint16_t v : out.pixels)
                    QVERIFY(v <= frame.whiteLevel);
            }
        }
    }
    // A single row still has same-colour neighbours left and right.
    RawFrame row = smoothFrame(40, 1, 14);
    const RawFrame truth = row;
    row.at(20, 0) = 0;
    const RawFrame fixed = corrected(row, row, options(true, false, false, 0));
    QVERIFY(std::abs(fixed.at(20, 0) - truth.at(20, 0)) <= 0.02 * (truth.at(20, 0) - truth.blackLevel));

    // Frames whose numbers make no sense pass through untouched.
    RawFrame bad = smoothFrame(16, 16, 14);
    bad.at(5, 5) = 0;
    bad.pixels.pop_back();
    QCOMPARE(corrected(bad, bad, options(true, true, true, 5)).pixels, bad.pixels);
    RawFrame inverted = smoothFrame(16, 16, 14);
    inverted.at(5, 5) = 0;
    inverted.whiteLevel = inverted.blackLevel;
    QCOMPARE(corrected(inverted, inverted, options(true, true, true, 5)).pixels, inverted.pixels);
}

void TestFrameCorrector::resultsDoNotDependOnThreads()
{
    // Several frames with everything on, striped and with moving dead pixels.
    std::vector<RawFrame> frames;
    for (unsigned i = 0; i < 8; ++i) {
        RawFrame f = smoothFrame(200, 120, 14, kRggb, 15.0, 100 + i);
        for (int y = 0; y < f.height; ++y)
            for (int x = 0; x < f.width; ++x)
                if (x % 8 == 3)
                    f.at(x, y) = static_cast<std::uint16_t>(f.blackLevel + (f.at(x, y) - f.blackLevel) * 1.02);
        f.at(int(17 + 13 * i), int(9 + 7 * i)) = 0;
        frames.push_back(f);
    }
    for (const int chroma : {0, 5}) {
        FrameCorrector corrector(options(true, true, true, chroma));
        corrector.prepare(frames.front());

        std::vector<RawFrame> sequential = frames;
        for (RawFrame& f : sequential)
            corrector.apply(f);

        // A second corrector, from scratch, gives the same bytes.
        FrameCorrector again(options(true, true, true, chroma));
        again.prepare(frames.front());
        std::vector<RawFrame> secondRun = frames;
        for (RawFrame& f : secondRun)
            again.apply(f);

        // Four threads, interleaved frames, all sharing the one corrector.
        std::vector<RawFrame> parallel = frames;
        std::vector<std::thread> threads;
        for (std::size_t t = 0; t < 4; ++t) {
            threads.emplace_back([&corrector, &parallel, t] {
                for (std::size_t i = t; i < parallel.size(); i += 4)
                    corrector.apply(parallel[i]);
            });
        }
        for (std::thread& t : threads)
            t.join();

        for (std::size_t i = 0; i < frames.size(); ++i) {
            QVERIFY(sequential[i].pixels != frames[i].pixels);
            QCOMPARE(secondRun[i].pixels, sequential[i].pixels);
            QCOMPARE(parallel[i].pixels, sequential[i].pixels);
        }
    }
}

QTEST_GUILESS_MAIN(TestFrameCorrector)
#include "tst_framecorrector.moc"
