// The median network behind chroma smoothing, checked against sorting.
#include "fixes/mediannetwork.h"

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
    // Narrow ranges give many ties; the extremes check there is no overflow in either width.
    void networkMatchesSortingOnRandomLanes()
    {
        std::mt19937 rng(3);
        const std::size_t lanes = MedianNetwork::kLanes;
        for (const int n : {4, 9, 25}) {
            const MedianNetwork net(n);
            for (int round = 0; round < 40; ++round) {
                std::vector<std::int16_t> small(std::size_t(n) * lanes), smallOut;
                std::vector<std::int32_t> wide(small.size()), wideOut;
                for (std::size_t i = 0; i < small.size(); ++i) {
                    small[i] = std::int16_t(round % 2 ? 32763 + int(rng() % 4) : int(rng() % 65536) - 32768);
                    wide[i] = std::int32_t(rng()) / 2;
                }
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
};

QTEST_GUILESS_MAIN(TestCorrectionParts)
#include "tst_correctionparts.moc"
