// Repairing pixels inside the packed stream must give exactly what repairing the unpacked frame gives.
#include "fixes/badpixelrepairer.h"
#include "mlv/bitunpacker.h"
#include "fixes/framecorrector.h"
#include "mlvwriter.h"
#include "fixes/streampixelrepairer.h"

#include <QtTest>

#include <algorithm>
#include <random>

using namespace mlv2dng;

class TestStreamPixelRepairer : public QObject
{
    Q_OBJECT

private slots:
    // Random bad sets with corners, clusters of neighbours and clipped pixels, at every depth and
    // CFA phase, odd widths included: unpack, repair, pack equals repairing in the stream.
    void matchesFrameRepair()
    {
        std::mt19937 rng(3);
        for (int bits = 10; bits <= 16; ++bits) {
            RawFrame frame;
            frame.width = 21 + 9 * (bits % 4);
            frame.height = 17;
            frame.bitsPerPixel = bits;
            frame.blackLevel = 2048 >> (14 - std::min(bits, 14));
            frame.whiteLevel = (1 << bits) - 1 - (1 << (bits - 4));
            const std::uint8_t phases[4][4] = {{0, 1, 1, 2}, {1, 0, 2, 1}, {2, 1, 1, 0}, {1, 2, 0, 1}};
            std::copy(phases[bits % 4], phases[bits % 4] + 4, frame.cfa.begin());
            const std::uint32_t area = std::uint32_t(frame.width * frame.height), w = std::uint32_t(frame.width);
            for (std::uint32_t i = 0; i < area; ++i)  // smooth per colour, with noise
                frame.pixels.push_back(std::uint16_t(frame.blackLevel + (frame.whiteLevel - frame.blackLevel) / 8
                                                     * (1 + frame.colorAt(int(i % w), int(i / w))) + i % w * 7 + rng() % 13));
            std::vector<std::uint32_t> bad{0, w - 1, area - w, area - 1, 5 * w + 5, 5 * w + 6, 5 * w + 7, 6 * w + 5, 6 * w + 7};
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
                QCOMPARE(corrector.onlyRepairs(description) != nullptr, !options.fixMovingColdPixels && options.chromaSmoothing == 0);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestStreamPixelRepairer)
#include "tst_streampixelrepairer.moc"
