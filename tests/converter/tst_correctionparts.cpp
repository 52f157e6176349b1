// The building blocks of the pixel fixes, checked against exhaustive or independent answers.
#include "badpixeldetector.h"
#include "mediannetwork.h"
#include "ratiohistogram.h"
#include "stripecorrector.h"

#include <QtTest>

#include <algorithm>
#include <cstdint>
#include <random>
#include <vector>

using namespace mlv2dng;

class TestCorrectionParts : public QObject
{
    Q_OBJECT

private slots:
    void networkSelectsMiddleForEveryZeroOneInput();
    void networkMatchesSortingOnRandomLanes();
    void histogramQuantiles();
    void stripeGainsAreRecovered();
    void detectorFindsOnlyTheBadOnes();
};

void TestCorrectionParts::networkSelectsMiddleForEveryZeroOneInput()
{
    // By the zero-one principle a comparator network selects correctly for all inputs if it
    // does for all 0/1 inputs. 64 inputs at a time: bit b of word k is input k of case b;
    // AND is min and OR is max.
    for (const int n : {4, 9, 25}) {
        const MedianNetwork net(n);
        const std::uint64_t cases = std::uint64_t(1) << n;
        for (std::uint64_t base = 0; base < std::max<std::uint64_t>(cases, 64); base += 64) {
            // Inputs 0..5 vary within the word, the rest are fixed by the word's base.
            const std::uint64_t lowBits[6] = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull, 0xF0F0F0F0F0F0F0F0ull,
                                              0xFF00FF00FF00FF00ull, 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};
            std::vector<std::uint64_t> wire(static_cast<std::size_t>(n), 0);
            for (int k = 0; k < n; ++k)
                wire[static_cast<std::size_t>(k)] = k < 6 ? lowBits[k] : (((base >> k) & 1) ? ~std::uint64_t(0) : 0);
            for (const MedianNetwork::Step& s : net.steps()) {
                const std::uint64_t a = wire[s.low];
                const std::uint64_t c = wire[s.high];
                if (s.keepMin)
                    wire[s.low] = a & c;
                if (s.keepMax)
                    wire[s.high] = a | c;
            }
            for (std::uint64_t b = 0; b < 64 && base + b < cases; ++b) {
                // Sorted, the (n-1)/2-th and n/2-th values are 1 when enough ones are there.
                const int ones = __builtin_popcountll(base + b);
                const bool low = ((wire[static_cast<std::size_t>(net.lowOutput())] >> b) & 1) != 0;
                const bool high = ((wire[static_cast<std::size_t>(net.highOutput())] >> b) & 1) != 0;
                if (low != (ones >= n - net.lowOutput()) || high != (ones >= n - net.highOutput()))
                    QFAIL(qPrintable(QStringLiteral("n=%1 input %2").arg(n).arg(base + b)));
            }
        }
    }
}

void TestCorrectionParts::networkMatchesSortingOnRandomLanes()
{
    std::mt19937 rng(3);
    for (const int n : {4, 9, 25}) {
        const MedianNetwork net(n);
        std::vector<std::int16_t> small(static_cast<std::size_t>(n * MedianNetwork::kLanes));
        std::vector<std::int32_t> wide(small.size());
        for (int round = 0; round < 20; ++round) {
            // Narrow ranges give many ties; the extremes check there is no overflow.
            const int spread = round % 2 ? 3 : 65535;
            for (std::size_t i = 0; i < small.size(); ++i) {
                small[i] = static_cast<std::int16_t>(int(rng() % unsigned(spread + 1)) - 32768 + (spread == 3 ? 32766 : 0));
                wide[i] = static_cast<std::int32_t>(rng()) / 2;
            }
            const std::vector<std::int16_t> smallIn = small;
            const std::vector<std::int32_t> wideIn = wide;
            net.run(small.data());
            net.run(wide.data());
            for (int lane = 0; lane < MedianNetwork::kLanes; ++lane) {
                std::vector<std::int64_t> a;
                std::vector<std::int64_t> b;
                for (int k = 0; k < n; ++k) {
                    a.push_back(smallIn[static_cast<std::size_t>(k * MedianNetwork::kLanes + lane)]);
                    b.push_back(wideIn[static_cast<std::size_t>(k * MedianNetwork::kLanes + lane)]);
                }
                std::sort(a.begin(), a.end());
                std::sort(b.begin(), b.end());
                const auto at = [lane](const auto& v, int wire) { return std::int64_t(v[static_cast<std::size_t>(wire * MedianNetwork::kLanes + lane)]); };
                QCOMPARE(at(small, net.lowOutput()), a[static_cast<std::size_t>(net.lowOutput())]);
                QCOMPARE(at(small, net.highOutput()), a[static_cast<std::size_t>(net.highOutput())]);
                QCOMPARE(at(wide, net.lowOutput()), b[static_cast<std::size_t>(net.lowOutput())]);
                QCOMPARE(at(wide, net.highOutput()), b[static_cast<std::size_t>(net.highOutput())]);
            }
        }
    }
}

void TestCorrectionParts::histogramQuantiles()
{
    RatioHistogram h(0.8, 1.2, 4000);
    QCOMPARE(h.count(), std::uint64_t(0));
    std::mt19937 rng(8);
    std::uniform_real_distribution<double> u(0.9, 1.1);
    std::vector<double> values;
    for (int i = 0; i < 20001; ++i) {
        values.push_back(u(rng));
        h.add(values.back());
    }
    h.add(0.5);   // out of range
    h.add(1.2);   // the upper end is open
    h.add(std::nan(""));
    QCOMPARE(h.count(), std::uint64_t(values.size()));
    std::sort(values.begin(), values.end());
    for (const double q : {0.25, 0.5, 0.75}) {
        const double exact = values[static_cast<std::size_t>(q * (values.size() - 1))];
        QVERIFY2(std::abs(h.quantile(q) - exact) < 2e-4, qPrintable(QString::number(h.quantile(q) - exact)));
    }
}

void TestCorrectionParts::stripeGainsAreRecovered()
{
    // A bright ramp times a known gain per column phase and row parity, each ring of four
    // averaging 1; different on even and odd rows, as two colours would be.
    const double even[8] = {1.02, 0.99, 0.98, 1.015, 1.00, 0.985, 1.00, 1.01};
    const double odd[8] = {1.00, 1.01, 1.00, 0.995, 0.99, 1.00, 1.01, 0.995};
    RawFrame f;
    f.width = 400;
    f.height = 60;
    f.blackLevel = 512;
    f.whiteLevel = 4000;
    f.pixels.resize(400 * 60);
    std::mt19937 rng(2);
    std::normal_distribution<double> noise(0.0, 2.0);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            const double signal = 800.0 + 6.0 * x + 3.0 * y;
            f.at(x, y) = static_cast<std::uint16_t>(std::lround(512 + signal * ((y & 1) ? odd : even)[x & 7] + noise(rng)));
        }
    const StripeCorrector found = StripeCorrector::estimate(f);
    QVERIFY(found.active());
    for (int p = 0; p < 8; ++p) {
        QVERIFY2(std::abs(found.gain(0, p) - even[p]) < 0.001, qPrintable(QStringLiteral("even %1: %2").arg(p).arg(found.gain(0, p))));
        QVERIFY2(std::abs(found.gain(1, p) - odd[p]) < 0.001, qPrintable(QStringLiteral("odd %1: %2").arg(p).arg(found.gain(1, p))));
    }

    // The same ramp without a pattern, or too dark to measure, gives no correction at all.
    RawFrame flat = f;
    RawFrame dark = f;
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x) {
            flat.at(x, y) = static_cast<std::uint16_t>(std::lround(512 + 800.0 + 6.0 * x + 3.0 * y + noise(rng)));
            dark.at(x, y) = static_cast<std::uint16_t>(std::lround(512 + 100.0 * ((y & 1) ? odd : even)[x & 7] + noise(rng)));
        }
    QVERIFY(!StripeCorrector::estimate(flat).active());
    QVERIFY(!StripeCorrector::estimate(dark).active());
}

void TestCorrectionParts::detectorFindsOnlyTheBadOnes()
{
    RawFrame f;
    f.width = 120;
    f.height = 90;
    f.blackLevel = 2048;
    f.whiteLevel = 15000;
    f.pixels.resize(120 * 90);
    std::mt19937 rng(6);
    std::normal_distribution<double> noise(0.0, 30.0);
    for (int y = 0; y < f.height; ++y)
        for (int x = 0; x < f.width; ++x)
            f.at(x, y) = static_cast<std::uint16_t>(std::lround((x < 60 ? 2048 : 9000) + noise(rng)));
    // A thin bright line is detail, not a hot pixel: its pixels have bright neighbours along it.
    for (int y = 0; y < f.height; ++y)
        f.at(30, y) = 12000;
    const std::vector<std::uint32_t> cold = {5 * 120 + 7, 44 * 120 + 59, 80 * 120 + 100};
    const std::vector<std::uint32_t> hot = {20 * 120 + 90, 60 * 120 + 10};
    for (const std::uint32_t i : cold)
        f.pixels[i] = 3;
    for (const std::uint32_t i : hot)
        f.pixels[i] = 14500;

    QCOMPARE(BadPixelDetector(false).find(f), cold);
    std::vector<std::uint32_t> both = cold;
    both.insert(both.end(), hot.begin(), hot.end());
    std::sort(both.begin(), both.end());
    QCOMPARE(BadPixelDetector(true).find(f), both);
}

QTEST_GUILESS_MAIN(TestCorrectionParts)
#include "tst_correctionparts.moc"
