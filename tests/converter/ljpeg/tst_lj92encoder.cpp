// The product lossless-JPEG encoder: its code lengths obey JPEG's limits, and our decoder gets every sample back.
#include "ljpeg/lj92decoder.h"
#include "ljpeg/lj92encoder.h"
#include "mlvwriter.h"

#include <QtTest>

#include <cmath>

using namespace mlv2dng;
using Counts = std::array<std::uint64_t, 17>;

Q_DECLARE_METATYPE(Counts)

class TestLj92Encoder : public QObject
{
    Q_OBJECT

private slots:
    void codeLengths_data()
    {
        QTest::addColumn<Counts>("counts");
        Counts one{}, even{}, fibonacci{}, typical{};
        one[5] = 1000;
        even.fill(7);
        // Weights growing like Fibonacci numbers give a Huffman tree 17 deep before the limit.
        std::uint64_t a = 1, b = 1;
        for (std::size_t s = 0; s < 17; ++s, b = a + b, a = b - a)
            fibonacci[s] = a;
        for (std::size_t s = 0; s < 12; ++s)
            typical[s] = std::uint64_t(1000000 * std::exp(-std::abs(int(s) - 6.0)));
        QTest::newRow("one category") << one;
        QTest::newRow("all alike") << even;
        QTest::newRow("fibonacci") << fibonacci;
        QTest::newRow("typical") << typical;
    }

    // Every used category gets a code of 1 to 16 bits, unused ones none, more frequent ones are never
    // longer, and the code leaves room (Kraft sum below 1) so that no code is all ones.
    void codeLengths()
    {
        QFETCH(Counts, counts);
        const std::array<std::uint8_t, 17> lengths = Lj92Encoder::codeLengths(counts);
        double kraft = 0;
        for (std::size_t s = 0; s < 17; ++s) {
            QCOMPARE(lengths[s] > 0, counts[s] > 0);
            QVERIFY(lengths[s] <= 16);
            if (lengths[s])
                kraft += std::ldexp(1.0, -lengths[s]);
            for (std::size_t t = 0; t < 17; ++t)
                QVERIFY(!(counts[s] > counts[t] && counts[t] > 0 && lengths[s] > lengths[t]));
        }
        QVERIFY(kraft < 1.0);
        QVERIFY(kraft >= 0.5);  // nothing wasted: one code more would not fit at the longest length
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<int>("components");
        QTest::addColumn<int>("precision");
        QTest::addColumn<bool>("choose");
        QTest::addColumn<QString>("content");
        QTest::newRow("CFA pairs, 14-bit") << 32 << 16 << 2 << 14 << false << "smooth";
        QTest::newRow("chosen predictor") << 32 << 16 << 2 << 14 << true << "smooth";
        QTest::newRow("chosen predictor, noise") << 17 << 9 << 1 << 12 << true << "random";
        QTest::newRow("16-bit, whole range") << 20 << 6 << 2 << 16 << false << "random";
        QTest::newRow("2-bit, 4 components") << 5 << 3 << 4 << 2 << true << "random";
        QTest::newRow("constant") << 40 << 4 << 3 << 10 << true << "constant";
        QTest::newRow("every difference to 2048") << 8192 << 1 << 1 << 14 << false << "sweep";
        QTest::newRow("one sample") << 1 << 1 << 1 << 8 << false << "random";
        QTest::newRow("above the precision") << 16 << 4 << 2 << 10 << false << "too big";
    }

    // Stream order in, the same order out of our decoder; samples above the precision come back clamped.
    void roundTrip()
    {
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(int, components);
        QFETCH(int, precision);
        QFETCH(bool, choose);
        QFETCH(QString, content);
        const std::size_t count = std::size_t(width) * std::size_t(height) * std::size_t(components);
        const int maximum = (1 << precision) - 1;
        std::vector<std::uint16_t> samples = mlvtest::testPattern(int(count), 1, precision, 9);
        for (std::size_t i = 0; i < count; ++i) {
            if (content == "smooth")
                samples[i] = std::uint16_t(std::min<std::size_t>(maximum, 1000 + 3 * i + samples[i] % 8));
            else if (content == "sweep")  // left differences k - 2048 and back, for every k
                samples[i] = std::uint16_t(i % 2 ? 8192 + int(i / 2) - 2048 : 8192);
            else if (content == "constant")
                samples[i] = std::uint16_t(maximum / 3);
            else if (content == "too big")
                samples[i] = std::uint16_t(i % 2 ? 65535 : samples[i]);
        }
        Lj92Encoder encoder;
        const Lj92Encoder::Shape shape{width, height, components, precision, choose};
        // Whatever a reused buffer held beyond the start must not leak into the stream.
        std::vector<std::uint8_t> stream(3 * count + 100, 0xFF), fresh;
        stream[0] = 0xAB;
        const std::size_t length = encoder.encode(samples.data(), shape, stream, 1);
        fresh.resize(encoder.encode(samples.data(), shape, fresh));
        QCOMPARE(stream[0], std::uint8_t(0xAB));
        QCOMPARE(length, fresh.size());
        QVERIFY(std::equal(fresh.begin(), fresh.end(), stream.begin() + 1));
        if (content == "smooth")
            QVERIFY(fresh.size() < count * std::size_t(precision) / 16);
        if (!choose)
            QCOMPARE(encoder.predictor(), 1);

        Lj92Image image;
        std::string error;
        QVERIFY2(Lj92Decoder().decode(fresh.data(), fresh.size(), count, image, error), error.c_str());
        QCOMPARE(image.width, width);
        QCOMPARE(image.components, components);
        for (std::uint16_t& v : samples)
            v = std::uint16_t(std::min<int>(v, maximum));
        QVERIFY(image.samples == samples);
    }
};

QTEST_APPLESS_MAIN(TestLj92Encoder)
#include "tst_lj92encoder.moc"
