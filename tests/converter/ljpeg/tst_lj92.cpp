// Lossless JPEG. The decoder: exact round trips through the test encoder, hand-made streams, damaged input.
// The product encoder: its code lengths obey JPEG's limits, and our decoder gets every sample back.
#include "lj92encoder.h"
#include "ljpeg/lj92decoder.h"
#include "ljpeg/lj92encoder.h"
#include "mlvwriter.h"

#include <QtTest>

#include <algorithm>
#include <cmath>
#include <random>

using namespace mlv2dng;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::uint16_t>;

enum Content { Gradient, Extremes, Noise };

// Test images: a noisy gradient; 0 <-> 32768 <-> 65535 jumps (category 16 from the first sample,
// and wrap-around); pure noise (every long code, stuffed FF bytes).
Samples makeSamples(const Lj92EncodeOptions& o, Content content, unsigned seed)
{
    std::mt19937 random(seed);
    const int maximum = (1 << o.precision) - 1, noise = content == Noise ? maximum / 2 : o.precision > 8 ? 200 : 3;
    std::uniform_int_distribution<int> jitter(-noise, noise);
    const std::uint16_t cycle[] = {0, 32768, 65535, 32767, 0, 65535};
    Samples samples;
    for (int y = 0; y < o.height; ++y)
        for (int x = 0; x < o.width; ++x)
            for (int c = 0; c < o.components; ++c) {
                const double ramp = (double(x) / o.width + double(y) / o.height + 0.3 * c) / 2.6;
                const int value = content == Extremes ? cycle[(x + y) % 6] : int(ramp * maximum) + jitter(random);
                samples.push_back(std::uint16_t(std::clamp(value, 0, maximum)));
            }
    return samples;
}

bool decode(const Bytes& stream, std::size_t expected, Lj92Image& image, std::string& error)
{
    return Lj92Decoder().decode(stream.data(), stream.size(), expected, image, error);
}

// Offset of the first occurrence of these bytes, or the stream's size.
std::size_t find(const Bytes& stream, std::initializer_list<std::uint8_t> bytes)
{
    return std::size_t(std::search(stream.begin(), stream.end(), bytes.begin(), bytes.end()) - stream.begin());
}

Bytes patched(Bytes stream, std::size_t at, std::initializer_list<std::uint8_t> replace, std::size_t erase = 0)
{
    stream.erase(stream.begin() + std::ptrdiff_t(at), stream.begin() + std::ptrdiff_t(at + erase));
    stream.insert(stream.begin() + std::ptrdiff_t(at), replace);
    return stream;
}

// Hand-assembled: one component, P = 8, 3x2, predictor 1. Table: category 0 '0', 1 '10',
// 2 '110', 3 '111'. Row 0 from 128: +2 (110 10), -1 (10 0), 0 (0).
// Row 1: 133 from above (+3: 110 11), 126 from left (-7: 111 000), 127 (+1: 10 1), pad 1.
const Bytes kHand = {0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x17, 0x00, 1,    1,    2,    0,    0,    0,    0,
                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    1,    2,    3,    0xFF,
                     0xC3, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01, 0x01, 0x11, 0x00, 0xFF, 0xDA,
                     0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00, 0xD4, 0x6F, 0x8B, 0xFF, 0xD9};
const std::size_t kDht = 2, kSof = 27, kSos = 40;
const Samples kHandValues = {130, 129, 129, 133, 126, 127};

// The same with a restart after each line: line 1 starts again from 128 and uses only the left
// neighbour. 133 (+5: 111 101), 126 (-7: 111 000), 127 (+1: 10 1).
const Bytes kHandRestart = patched(patched(kHand, kSos + 10, {0xD4, 0x7F, 0xFF, 0xD0, 0xF7, 0x8B}, 3), kSos,
                                   {0xFF, 0xDD, 0x00, 0x04, 0x00, 0x03});

}  // namespace

Q_DECLARE_METATYPE(Lj92EncodeOptions)
Q_DECLARE_METATYPE(Lj92Encoder::Shape)

using Counts = std::array<std::uint64_t, 17>;

Q_DECLARE_METATYPE(Counts)

class TestLj92 : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data()
    {
        QTest::addColumn<Lj92EncodeOptions>("options");
        QTest::addColumn<int>("content");
        for (int components : {1, 2})
            for (int precision : {2, 8, 12, 14, 16})
                for (int predictor = 1; predictor <= 7; ++predictor)
                    QTest::addRow("Nf%d P%d pred%d", components, precision, predictor)
                        << Lj92EncodeOptions{37, 11, components, precision, predictor, 0, false}
                        << int(precision == 16 && components == 2 ? Extremes : Gradient);
        QTest::newRow("16-bit noise, stuffing") << Lj92EncodeOptions{24, 8, 2, 16, 7, 0, false} << int(Noise);
        QTest::newRow("single column") << Lj92EncodeOptions{1, 9, 2, 14, 6, 0, false} << int(Gradient);
        QTest::newRow("single line") << Lj92EncodeOptions{40, 1, 2, 14, 6, 0, false} << int(Gradient);
        QTest::newRow("table per component") << Lj92EncodeOptions{24, 60, 2, 14, 6, 0, true} << int(Gradient);
        QTest::newRow("restart every line") << Lj92EncodeOptions{24, 60, 2, 14, 6, 24, false} << int(Gradient);
        QTest::newRow("restarts, table per component") << Lj92EncodeOptions{24, 60, 2, 16, 7, 96, true} << int(Noise);
    }

    void roundTrip()
    {
        QFETCH(Lj92EncodeOptions, options);
        QFETCH(int, content);
        const Samples source =
            makeSamples(options, Content(content), unsigned(options.precision * 31 + options.predictor));
        const Bytes stream = encodeLj92(source, options);
        // The noise rows are there for their stuffed FF bytes.
        QVERIFY(content != Noise || find(stream, {0xFF, 0x00}) < stream.size());

        Lj92Image image;
        std::string error;
        QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
        QVERIFY(image.width == options.width && image.height == options.height && image.components == options.components
                && image.precision == options.precision);
        QVERIFY(image.samples == source);
    }

    // Streams decoded to the listed samples, or refused for the reason given when there are none.
    void decodes_data()
    {
        QTest::addColumn<Bytes>("stream");
        QTest::addColumn<qulonglong>("expected");
        QTest::addColumn<Samples>("values");
        QTest::addColumn<QString>("reason");
        QTest::newRow("one component") << kHand << 6ull << kHandValues << QString();
        QTest::newRow("restart each line") << kHandRestart << 6ull << kHandValues << QString();
        // Two components, P = 16, 2x2, predictor 6, a table per component.
        // Table 0: cat 0 '0', 16 '10', 1 '110', 15 '111'.  Table 1: cat 2 '0', 0 '10', 16 '11'.
        // Line 0 (from 32768, then left):  A 0 (cat 16: 10), B 32770 (+2: 0 10), A 0 (0), B 32770 (10)
        // Line 1 (first from above):       A 65535 (-1: 110 0), B 32767 (-3: 0 00)
        //   then predictor 6 = Rb + ((Ra - Rc) >> 1):
        //   A: 0 + ((65535 - 0) >> 1) = 32767, value 65535: +32768 (10)
        //   B: 32770 + ((32767 - 32770) >> 1) = 32768 (the shift rounds -3 down to -2), value 0 (11)
        // Bits 10 0 10 0 10 | 110 0 0 00 10 11, padded with ones: 92 C1 7F.
        QTest::newRow("two components, 16-bit")
            << Bytes{0xFF, 0xD8, 0xFF, 0xC4, 0x00, 0x2B, 0x00, 1,    1,    2,    0,    0,    0,    0,    0,    0,
                     0,    0,    0,    0,    0,    0,    0,    0,    16,   1,    15,   0x01, 1,    2,    0,    0,
                     0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    0,    2,    0,    16,   0xFF,
                     0xC3, 0x00, 0x0E, 16,   0x00, 0x02, 0x00, 0x02, 0x02, 0x07, 0x11, 0x00, 0x09, 0x11, 0x00, 0xFF,
                     0xDA, 0x00, 0x0A, 0x02, 0x07, 0x00, 0x09, 0x10, 0x06, 0x00, 0x00, 0x92, 0xC1, 0x7F, 0xFF, 0xD9}
            << 8ull << Samples{0, 32770, 0, 32770, 65535, 32767, 65535, 0} << QString();
        const auto refused = [](const char* name, const Bytes& stream, qulonglong expected, const char* reason) {
            QTest::newRow(name) << stream << expected << Samples() << QString(reason);
        };
        refused("no SOI", patched(kHand, 1, {0xD9}, 1), 6ull, "SOI");
        refused("missing DHT", patched(kHand, kDht, {}, kSof - kDht), 6ull, "table 0");
        refused("too many codes of one length", patched(kHand, kDht + 5, {2, 0}, 2), 6ull, "than fit");
        refused("category 17", patched(kHand, kDht + 24, {17}, 1), 6ull, "category 17");
        refused("precision 1", patched(kHand, kSof + 4, {1}, 1), 6ull, "precision");
        refused("five components", patched(kHand, kSof + 9, {5}, 1), 6ull, "components");
        refused("baseline SOF0", patched(kHand, kSof + 1, {0xC0}, 1), 6ull, "unsupported");
        refused("SOS table 1 undefined", patched(kHand, kSos + 6, {0x10}, 1), 6ull, "table 1");
        refused("predictor 0", patched(kHand, kSos + 7, {0}, 1), 6ull, "predictor");
        refused("code not in table", patched(patched(kHand, kDht + 22, {}, 3), kDht + 3, {0x14, 0, 1, 0, 0}, 5), 6ull,
                "invalid Huffman code");
        refused("wrong restart number", patched(kHandRestart, find(kHandRestart, {0xFF, 0xD0}) + 1, {0xD1}, 1), 6ull,
                "RST0");
        refused("missing restart", patched(kHandRestart, find(kHandRestart, {0xFF, 0xD0}), {}, 2), 6ull, "");
        for (const qulonglong expected : {5ull, 7ull})
            refused(qPrintable(QString("expecting %1 samples").arg(expected)), kHand, expected, "3x2x1");
        // Refused before allocating: 65535x65535x4 even when the caller agrees, and a frame far
        // bigger than the data could hold.
        refused("too large",
                patched(kHand, kSof + 3,
                        {20, 8, 0xFF, 0xFF, 0xFF, 0xFF, 4, 1, 0x11, 0, 2, 0x11, 0, 3, 0x11, 0, 4, 0x11, 0}, 10),
                65535ull * 65535 * 4, "too large");
        refused("too short", patched(kHand, kSof + 5, {0x40}, 1), 0x4002ull * 3, "too short");
    }

    void decodes()
    {
        QFETCH(Bytes, stream);
        QFETCH(qulonglong, expected);
        QFETCH(Samples, values);
        QFETCH(QString, reason);
        Lj92Image image;
        std::string error;
        QVERIFY2(decode(stream, expected, image, error) == !values.empty(), error.c_str());
        if (!values.empty()) {
            QVERIFY(image.samples == values);
            return;
        }
        QVERIFY2(!error.empty() && QString::fromStdString(error).contains(reason), error.c_str());
        QVERIFY(error.find('\n') == std::string::npos);
        if (expected != 6)
            QCOMPARE(image.samples.capacity(), std::size_t(0));
    }

    void survivesDamageAnywhere()
    {
        const Lj92EncodeOptions options{12, 8, 2, 14, 1, 24, true};
        const Samples source = makeSamples(options, Gradient, 9);
        const Bytes stream = encodeLj92(source, options);
        Lj92Image image;
        std::string error;
        for (std::size_t length = 0; length < stream.size(); ++length) {
            const Bytes cut(stream.begin(), stream.begin() + std::ptrdiff_t(length));
            QVERIFY2(!decode(cut, source.size(), image, error) && !error.empty(), qPrintable(QString::number(length)));
        }
        // Entropy data cut short but still followed by EOI: the decoder must not fill in zeros.
        for (std::size_t removed = 1; removed <= 24; ++removed)
            QVERIFY2(!decode(patched(stream, stream.size() - 2 - removed, {}, removed), source.size(), image, error)
                         && error.find("ends early") != std::string::npos,
                     error.c_str());
    }

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
            kraft += lengths[s] ? std::ldexp(1.0, -lengths[s]) : 0.0;
            for (std::size_t t = 0; t < 17; ++t)
                QVERIFY(!(counts[s] > counts[t] && counts[t] > 0 && lengths[s] > lengths[t]));
        }
        // At least 0.5: nothing wasted, one code more would not fit at the longest length.
        QVERIFY2(kraft >= 0.5 && kraft < 1.0, qPrintable(QString::number(kraft)));
    }

    void encoderRoundTrip_data()
    {
        QTest::addColumn<Lj92Encoder::Shape>("shape");  // the last field: choose the predictor
        QTest::addColumn<QString>("content");
        QTest::newRow("CFA pairs, 14-bit") << Lj92Encoder::Shape{32, 16, 2, 14, false} << "smooth";
        QTest::newRow("chosen predictor") << Lj92Encoder::Shape{32, 16, 2, 14, true} << "smooth";
        QTest::newRow("chosen predictor, noise") << Lj92Encoder::Shape{17, 9, 1, 12, true} << "random";
        QTest::newRow("16-bit, whole range") << Lj92Encoder::Shape{20, 6, 2, 16, false} << "random";
        QTest::newRow("2-bit, 4 components") << Lj92Encoder::Shape{5, 3, 4, 2, true} << "random";
        QTest::newRow("constant") << Lj92Encoder::Shape{40, 4, 3, 10, true} << "constant";
        QTest::newRow("every difference to 2048") << Lj92Encoder::Shape{8192, 1, 1, 14, false} << "sweep";
        QTest::newRow("one sample") << Lj92Encoder::Shape{1, 1, 1, 8, false} << "random";
        QTest::newRow("above the precision") << Lj92Encoder::Shape{16, 4, 2, 10, false} << "too big";
    }

    // Stream order in, the same order out of our decoder; samples above the precision come back clamped.
    void encoderRoundTrip()
    {
        QFETCH(Lj92Encoder::Shape, shape);
        QFETCH(QString, content);
        const std::size_t count = std::size_t(shape.width) * std::size_t(shape.height) * std::size_t(shape.components);
        const int maximum = (1 << shape.precision) - 1;
        std::vector<std::uint16_t> samples = mlvtest::testPattern(int(count), 1, shape.precision, 9);
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
        // Whatever a reused buffer held beyond the start must not leak into the stream.
        std::vector<std::uint8_t> stream(3 * count + 100, 0xFF), fresh;
        stream[0] = 0xAB;
        const std::size_t length = encoder.encode(samples.data(), shape, stream, 1);
        fresh.resize(encoder.encode(samples.data(), shape, fresh));
        QCOMPARE(stream[0], std::uint8_t(0xAB));
        QCOMPARE(length, fresh.size());
        QVERIFY(std::equal(fresh.begin(), fresh.end(), stream.begin() + 1));
        if (content == "smooth")
            QVERIFY(fresh.size() < count * std::size_t(shape.precision) / 16);
        if (!shape.choosePredictor)
            QCOMPARE(encoder.predictor(), 1);

        Lj92Image image;
        std::string error;
        QVERIFY2(Lj92Decoder().decode(fresh.data(), fresh.size(), count, image, error), error.c_str());
        QVERIFY(image.width == shape.width && image.components == shape.components);
        for (std::uint16_t& v : samples)
            v = std::uint16_t(std::min<int>(v, maximum));
        QVERIFY(image.samples == samples);
    }
};

QTEST_APPLESS_MAIN(TestLj92)
#include "tst_lj92.moc"
