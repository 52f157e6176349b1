// Repairing pixels inside the packed stream must give exactly what repairing the unpacked frame gives.
#include "badpixelrepairer.h"
#include "bitunpacker.h"
#include "framecorrector.h"
#include "mlvwriter.h"
#include "streampixelrepairer.h"

#include <QtTest>

#include <algorithm>
#include <random>

using namespace mlv2dng;

using Cfa = std::array<std::uint8_t, 4>;
Q_DECLARE_METATYPE(Cfa)

namespace {

// A smooth scene with noise, one level per colour, well inside black and white.
RawFrame scene(int width, int height, int bits, const Cfa& cfa, unsigned seed)
{
    RawFrame f;
    f.width = width;
    f.height = height;
    f.bitsPerPixel = bits;
    f.blackLevel = 2048 >> (14 - std::min(bits, 14));
    f.whiteLevel = (1 << bits) - 1 - (1 << (bits - 4));
    f.cfa = cfa;
    std::mt19937 rng(seed);
    std::uniform_int_distribution<int> noise(-6, 6);
    const double range = f.whiteLevel - f.blackLevel;
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const double level = 0.2 + 0.15 * f.colorAt(x, y) + 0.3 * x / width + 0.2 * y / height;
            f.pixels.push_back(static_cast<std::uint16_t>(f.blackLevel + level * range * 0.6 + noise(rng)));
        }
    }
    return f;
}

std::vector<std::uint16_t> unpackStream(const std::vector<std::uint8_t>& stream, const RawFrame& f)
{
    std::vector<std::uint16_t> pixels(f.pixels.size());
    BitUnpacker::unpack(stream.data(), stream.size(), pixels.size(), f.bitsPerPixel, pixels.data());
    return pixels;
}

}  // namespace

class TestStreamPixelRepairer : public QObject
{
    Q_OBJECT

private slots:
    // Writing one pixel at every bit offset of every depth changes that pixel and no other.
    void setPixelTouchesOnlyItsBits()
    {
        for (int bits = 1; bits <= 16; ++bits) {
            const int count = 37;
            const auto pixels = mlvtest::testPattern(count, 1, bits, unsigned(bits));
            const auto original = mlvtest::MlvWriter::pack(pixels, bits);
            const std::uint16_t ones = std::uint16_t((1u << bits) - 1);
            for (int i = 0; i < count; ++i) {
                for (const std::uint16_t value : {std::uint16_t{0}, ones, std::uint16_t(ones / 3)}) {
                    std::vector<std::uint8_t> stream = original;
                    StreamPixelRepairer::setPixel(stream.data(), stream.size(), std::size_t(i), bits, value);
                    for (int j = 0; j < count; ++j) {
                        const std::uint16_t expected = j == i ? value : pixels[std::size_t(j)];
                        QCOMPARE(StreamPixelRepairer::pixel(stream.data(), stream.size(), std::size_t(j), bits), expected);
                    }
                }
            }
        }
    }

    void matchesFrameRepair_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("width");
        QTest::addColumn<Cfa>("cfa");
        QTest::newRow("14-bit RGGB") << 14 << 64 << Cfa{{0, 1, 1, 2}};
        QTest::newRow("12-bit GRBG") << 12 << 48 << Cfa{{1, 0, 2, 1}};
        QTest::newRow("10-bit BGGR") << 10 << 40 << Cfa{{2, 1, 1, 0}};
        QTest::newRow("16-bit GBRG") << 16 << 24 << Cfa{{1, 2, 0, 1}};
        QTest::newRow("14-bit, odd width") << 14 << 27 << Cfa{{0, 1, 1, 2}};
    }

    // Random bad sets, with corners, edges, clusters of neighbours and clipped pixels among them:
    // the stream and the unpacked frame end up identical.
    void matchesFrameRepair()
    {
        QFETCH(int, bits);
        QFETCH(int, width);
        QFETCH(Cfa, cfa);
        const int height = 21;
        for (unsigned round = 0; round < 20; ++round) {
            RawFrame frame = scene(width, height, bits, cfa, round + 1);
            std::mt19937 rng(round * 7 + 3);
            std::vector<std::uint32_t> bad;
            const std::uint32_t area = std::uint32_t(width * height);
            for (int i = 0; i < 25; ++i)
                bad.push_back(std::uint32_t(rng() % area));
            for (const std::uint32_t corner : {0u, std::uint32_t(width - 1), area - std::uint32_t(width), area - 1})
                bad.push_back(corner);
            const std::uint32_t cluster = std::uint32_t(10 * width + 10);
            for (const std::uint32_t offset : {0u, 1u, 2u, std::uint32_t(width), std::uint32_t(width + 2)})
                bad.push_back(cluster + offset);
            std::sort(bad.begin(), bad.end());
            bad.erase(std::unique(bad.begin(), bad.end()), bad.end());
            for (std::size_t i = 0; i < bad.size(); ++i)
                frame.pixels[bad[i]] = i % 5 == 0 ? std::uint16_t(frame.whiteLevel) : std::uint16_t(i % 3);

            std::vector<std::uint8_t> stream = mlvtest::MlvWriter::pack(frame.pixels, bits);
            RawFrame expected = frame;
            BadPixelRepairer::repair(expected, bad);
            QVERIFY(expected.pixels != frame.pixels);
            RawFrame description = frame;
            description.pixels.clear();
            StreamPixelRepairer::repair(stream.data(), stream.size(), description, bad);
            QCOMPARE(unpackStream(stream, frame), expected.pixels);
        }
    }

    // The corrector offers its fixed map for in-stream repair only when nothing else would run,
    // and the result equals apply().
    void correctorOffersOnlyItsMap()
    {
        RawFrame frame = scene(64, 32, 14, Cfa{{0, 1, 1, 2}}, 9);
        for (const std::size_t dead : {std::size_t(5 * 64 + 9), std::size_t(20 * 64 + 40), std::size_t(31 * 64 + 63)})
            frame.pixels[dead] = 0;
        RawFrame description = frame;
        description.pixels.clear();

        CorrectionOptions defaults;
        FrameCorrector corrector(defaults);
        corrector.prepare(frame);
        const std::vector<std::uint32_t>* repairs = corrector.onlyRepairs(description);
        QVERIFY(repairs != nullptr);
        QCOMPARE(repairs->size(), std::size_t(3));
        std::vector<std::uint8_t> stream = mlvtest::MlvWriter::pack(frame.pixels, 14);
        StreamPixelRepairer::repair(stream.data(), stream.size(), description, *repairs);
        RawFrame applied = frame;
        corrector.apply(applied);
        QVERIFY(applied.pixels != frame.pixels);
        QCOMPARE(unpackStream(stream, frame), applied.pixels);

        // A frame of another size gets no repairs, as apply() would leave it alone.
        RawFrame other = description;
        other.width = 32;
        QVERIFY(corrector.onlyRepairs(other) != nullptr);
        QVERIFY(corrector.onlyRepairs(other)->empty());

        CorrectionOptions off;
        off.fixColdPixels = false;
        off.fixVerticalStripes = false;
        FrameCorrector none(off);
        none.prepare(frame);
        QVERIFY(none.onlyRepairs(description) != nullptr);
        QVERIFY(none.onlyRepairs(description)->empty());

        CorrectionOptions moving;
        moving.fixMovingColdPixels = true;
        CorrectionOptions smoothing;
        smoothing.chromaSmoothing = 3;
        for (const CorrectionOptions& options : {moving, smoothing}) {
            FrameCorrector more(options);
            more.prepare(frame);
            QVERIFY(more.onlyRepairs(description) == nullptr);
        }

        // Stripes found in the first frame touch every pixel, so they rule it out too.
        RawFrame striped = scene(512, 256, 14, Cfa{{0, 1, 1, 2}}, 10);
        for (int y = 0; y < striped.height; ++y) {
            for (int x = 0; x < striped.width; ++x) {
                std::uint16_t& p = striped.pixels[std::size_t(y * striped.width + x)];
                if (p > striped.blackLevel)
                    p = std::uint16_t(striped.blackLevel + (p - striped.blackLevel) * (x % 8 < 4 ? 1.02 : 0.98));
            }
        }
        FrameCorrector stripes(defaults);
        stripes.prepare(striped);
        QVERIFY(stripes.onlyRepairs(description) == nullptr);
    }
};

QTEST_APPLESS_MAIN(TestStreamPixelRepairer)
#include "tst_streampixelrepairer.moc"
