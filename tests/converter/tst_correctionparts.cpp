// The median network behind chroma smoothing, checked exhaustively and against sorting.
#include "mediannetwork.h"

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
};

void TestCorrectionParts::networkSelectsMiddleForEveryZeroOneInput()
{
    // By the zero-one principle a comparator network selects correctly for all inputs if it
    // does for all 0/1 inputs. 64 inputs at a time: bit b of word k is input k of case b;
    // AND is min and OR is max.
    const std::uint64_t lowBits[6] = {0xAAAAAAAAAAAAAAAAull, 0xCCCCCCCCCCCCCCCCull, 0xF0F0F0F0F0F0F0F0ull,
                                      0xFF00FF00FF00FF00ull, 0xFFFF0000FFFF0000ull, 0xFFFFFFFF00000000ull};
    for (const int n : {4, 9, 25}) {
        const MedianNetwork net(n);
        const std::uint64_t cases = std::uint64_t(1) << n;
        for (std::uint64_t base = 0; base < std::max<std::uint64_t>(cases, 64); base += 64) {
            std::vector<std::uint64_t> wire;
            for (int k = 0; k < n; ++k)
                wire.push_back(k < 6 ? lowBits[k] : (((base >> k) & 1) ? ~std::uint64_t(0) : 0));
            for (const MedianNetwork::Step& s : net.steps()) {
                const std::uint64_t a = wire[s.low], c = wire[s.high];
                wire[s.low] = s.keepMin ? a & c : a;
                wire[s.high] = s.keepMax ? a | c : c;
            }
            // Sorted, the (n-1)/2-th and n/2-th values are 1 when enough ones are there.
            for (std::uint64_t b = 0; b < 64 && base + b < cases; ++b) {
                const int ones = __builtin_popcountll(base + b);
                for (const int out : {net.lowOutput(), net.highOutput()})
                    if ((((wire[std::size_t(out)] >> b) & 1) != 0) != (ones >= n - out))
                        QFAIL(qPrintable(QStringLiteral("n=%1 input %2").arg(n).arg(base + b)));
            }
        }
    }
}

void TestCorrectionParts::networkMatchesSortingOnRandomLanes()
{
    // Narrow ranges give many ties; the extremes check there is no overflow in either width.
    std::mt19937 rng(3);
    const std::size_t lanes = MedianNetwork::kLanes;
    for (const int n : {4, 9, 25}) {
        const MedianNetwork net(n);
        for (int round = 0; round < 20; ++round) {
            std::vector<std::int16_t> small(std::size_t(n) * lanes);
            std::vector<std::int32_t> wide(small.size());
            for (std::size_t i = 0; i < small.size(); ++i) {
                small[i] = std::int16_t(round % 2 ? 32763 + int(rng() % 4) : int(rng() % 65536) - 32768);
                wide[i] = std::int32_t(rng()) / 2;
            }
            std::vector<std::int16_t> smallOut = small;
            std::vector<std::int32_t> wideOut = wide;
            net.run(smallOut.data());
            net.run(wideOut.data());
            for (std::size_t lane = 0; lane < lanes; ++lane) {
                std::vector<std::int64_t> a, b;
                for (std::size_t k = 0; k < std::size_t(n); ++k) {
                    a.push_back(small[k * lanes + lane]);
                    b.push_back(wide[k * lanes + lane]);
                }
                std::sort(a.begin(), a.end());
                std::sort(b.begin(), b.end());
                for (const int out : {net.lowOutput(), net.highOutput()}) {
                    QCOMPARE(std::int64_t(smallOut[std::size_t(out) * lanes + lane]), a[std::size_t(out)]);
                    QCOMPARE(std::int64_t(wideOut[std::size_t(out) * lanes + lane]), b[std::size_t(out)]);
                }
            }
        }
    }
}

QTEST_GUILESS_MAIN(TestCorrectionParts)
#include "tst_correctionparts.moc"
