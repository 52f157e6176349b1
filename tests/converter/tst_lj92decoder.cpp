// Lossless-JPEG decoder: exact round trips through our encoder, hand-made streams, damaged input.
#include "lj92decoder.h"
#include "lj92encoder.h"

#include <QtTest>

#include <algorithm>
#include <random>

using namespace mlv2dng;

namespace {

using Bytes = std::vector<std::uint8_t>;
using Samples = std::vector<std::uint16_t>;

// A smooth gradient per component plus noise, clipped to the precision.
Samples noisyGradient(const Lj92EncodeOptions& o, unsigned seed, int noise)
{
    std::mt19937 random(seed);
    std::uniform_int_distribution<int> jitter(-noise, noise);
    const int maximum = (1 << o.precision) - 1;
    Samples samples;
    for (int y = 0; y < o.height; ++y) {
        for (int x = 0; x < o.width; ++x) {
            for (int c = 0; c < o.components; ++c) {
                const double ramp = (double(x) / o.width + double(y) / o.height + 0.3 * c) / 2.6;
                const int value = int(ramp * maximum) + jitter(random);
                samples.push_back(std::uint16_t(std::clamp(value, 0, maximum)));
            }
        }
    }
    return samples;
}

Samples expectedAfterPointTransform(Samples samples, int pointTransform)
{
    for (std::uint16_t& s : samples)
        s = std::uint16_t((s >> pointTransform) << pointTransform);
    return samples;
}

bool decode(const Bytes& stream, std::size_t expected, Lj92Image& image, std::string& error)
{
    return Lj92Decoder().decode(stream.data(), stream.size(), expected, image, error);
}

// Offset of the first segment with this marker code in the headers, or -1.
int findSegment(const Bytes& stream, std::uint8_t code)
{
    std::size_t at = 2;
    while (at + 4 <= stream.size() && stream[at] == 0xFF) {
        if (stream[at + 1] == code)
            return int(at);
        if (stream[at + 1] == 0xDA)
            return -1;
        at += 2 + ((std::size_t(stream[at + 2]) << 8) | stream[at + 3]);
    }
    return -1;
}

Bytes withoutSegment(Bytes stream, std::uint8_t code)
{
    const int at = findSegment(stream, code);
    if (at < 0)
        return stream;
    const std::size_t length = 2 + ((std::size_t(stream[std::size_t(at) + 2]) << 8) | stream[std::size_t(at) + 3]);
    stream.erase(stream.begin() + at, stream.begin() + at + std::ptrdiff_t(length));
    return stream;
}

// Hand-assembled: one component, P = 8, 3x2, predictor 1. Table: category 0 '0', 1 '10',
// 2 '110', 3 '111'. Row 0 from 128: +2 (110 10), -1 (10 0), 0 (0).
// Row 1: 133 from above (+3: 110 11), 126 from left (-7: 111 000), 127 (+1: 10 1), pad 1.
const Bytes kHandStream = {
    0xFF, 0xD8,
    0xFF, 0xC4, 0x00, 0x17, 0x00, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 1, 2, 3,
    0xFF, 0xC3, 0x00, 0x0B, 0x08, 0x00, 0x02, 0x00, 0x03, 0x01, 0x01, 0x11, 0x00,
    0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00,
    0xD4, 0x6F, 0x8B,
    0xFF, 0xD9,
};
const Samples kHandValues = {130, 129, 129, 133, 126, 127};

}  // namespace

class TestLj92Decoder : public QObject
{
    Q_OBJECT

private slots:
    void roundTrip_data();
    void roundTrip();
    void sixteenBitExtremes();
    void longCodes();
    void byteStuffing();
    void streamLayouts_data();
    void streamLayouts();
    void handMadeOneComponent();
    void handMadeTwoComponentsSixteenBit();
    void handMadeStuffedBytes();
    void handMadeRestart();
    void reusesImageStorage();
    void refusesWrongSampleCount();
    void refusesDamagedHeaders_data();
    void refusesDamagedHeaders();
    void refusesBadRestarts();
    void refusesUnknownCode();
    void refusesEveryTruncation();
    void survivesFlippedBytes();
};

void TestLj92Decoder::roundTrip_data()
{
    QTest::addColumn<int>("components");
    QTest::addColumn<int>("precision");
    QTest::addColumn<int>("predictor");
    QTest::addColumn<int>("width");
    QTest::addColumn<int>("height");
    QTest::addColumn<int>("pointTransform");
    QTest::addColumn<int>("noise");

    for (int components : {1, 2}) {
        for (int precision : {2, 8, 12, 14, 16}) {
            for (int predictor = 1; predictor <= 7; ++predictor) {
                const QByteArray name = QByteArray("Nf") + QByteArray::number(components) + " P"
                                        + QByteArray::number(precision) + " pred" + QByteArray::number(predictor);
                QTest::newRow(name.constData()) << components << precision << predictor << 37 << 11 << 0
                                                << (precision > 8 ? 200 : 3);
            }
        }
    }
    QTest::newRow("single sample") << 1 << 14 << 1 << 1 << 1 << 0 << 50;
    QTest::newRow("single column") << 2 << 14 << 6 << 1 << 9 << 0 << 50;
    QTest::newRow("single line") << 2 << 14 << 6 << 40 << 1 << 0 << 50;
    QTest::newRow("three components") << 3 << 12 << 4 << 13 << 7 << 0 << 40;
    QTest::newRow("four components") << 4 << 10 << 7 << 13 << 7 << 0 << 40;
    QTest::newRow("point transform 2") << 1 << 14 << 6 << 20 << 6 << 2 << 100;
    QTest::newRow("point transform, two components") << 2 << 12 << 5 << 20 << 6 << 3 << 100;
    QTest::newRow("pure noise 16-bit") << 2 << 16 << 7 << 24 << 8 << 0 << 32767;
}

void TestLj92Decoder::roundTrip()
{
    QFETCH(int, components);
    QFETCH(int, precision);
    QFETCH(int, predictor);
    QFETCH(int, width);
    QFETCH(int, height);
    QFETCH(int, pointTransform);
    QFETCH(int, noise);

    Lj92EncodeOptions options;
    options.width = width;
    options.height = height;
    options.components = components;
    options.precision = precision;
    options.predictor = predictor;
    options.pointTransform = pointTransform;
    const Samples source = noisyGradient(options, unsigned(precision * 31 + predictor), noise);
    const Bytes stream = encodeLj92(source, options);

    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
    QCOMPARE(image.width, width);
    QCOMPARE(image.height, height);
    QCOMPARE(image.components, components);
    QCOMPARE(image.precision, precision);
    QVERIFY(image.samples == expectedAfterPointTransform(source, pointTransform));
}

void TestLj92Decoder::sixteenBitExtremes()
{
    // 0 after the starting value 32768, and 0 <-> 32768 <-> 65535 jumps, need category 16 and
    // wrap modulo 2^16.
    for (int predictor = 1; predictor <= 7; ++predictor) {
        Lj92EncodeOptions options;
        options.width = 16;
        options.height = 6;
        options.components = 2;
        options.precision = 16;
        options.predictor = predictor;
        Samples source;
        const std::uint16_t cycle[] = {0, 32768, 65535, 32767, 0, 65535};
        for (int i = 0; i < 16 * 6 * 2; ++i)
            source.push_back(cycle[(i / 2 + i / 64) % 6]);
        Lj92EncodeStats stats;
        const Bytes stream = encodeLj92(source, options, &stats);
        QVERIFY(stats.categories[16] > 0);

        Lj92Image image;
        std::string error;
        QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
        QVERIFY2(image.samples == source, qPrintable(QString("predictor %1").arg(predictor)));
    }
}

void TestLj92Decoder::longCodes()
{
    // A flat frame with rare spikes of every size gets codes longer than the lookup table.
    Lj92EncodeOptions options;
    options.width = 300;
    options.height = 40;
    options.precision = 16;
    options.predictor = 1;
    Samples source(std::size_t(options.width * options.height), 1000);
    // Fibonacci counts per category give the deepest Huffman tree.
    std::mt19937 random(7);
    int count = 1;
    int previous = 1;
    for (int category = 15; category >= 1; --category) {
        for (int k = 0; k < count; ++k)
            source[3 * (random() % (source.size() / 3)) + 1] = std::uint16_t(1000 + (1 << (category - 1)) + k % 7);
        const int next = count + previous;
        previous = count;
        count = next;
    }
    Lj92EncodeStats stats;
    const Bytes stream = encodeLj92(source, options, &stats);
    QVERIFY(stats.longestCode > 12);

    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
    QVERIFY(image.samples == source);
}

void TestLj92Decoder::byteStuffing()
{
    // Large differences with the flat table give runs of one bits, so FF bytes must be stuffed.
    Lj92EncodeOptions options;
    options.width = 64;
    options.height = 8;
    options.precision = 16;
    options.huffman = Lj92HuffmanMode::Flat;
    Samples source;
    for (int i = 0; i < 64 * 8; ++i)
        source.push_back(i % 2 ? 65535 : 32768 + (i % 7));
    Lj92EncodeStats stats;
    const Bytes stream = encodeLj92(source, options, &stats);
    QVERIFY(stats.stuffedBytes > 10);

    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
    QVERIFY(image.samples == source);
}

void TestLj92Decoder::streamLayouts_data()
{
    QTest::addColumn<int>("variant");
    QTest::newRow("table per component") << 0;
    QTest::newRow("unused tables in one DHT") << 1;
    QTest::newRow("tables in separate DHTs, SOF first") << 2;
    QTest::newRow("flat tables") << 3;
    QTest::newRow("APP1 and COM, padding after EOI") << 4;
    QTest::newRow("restart every line") << 5;
    QTest::newRow("restart every 3 lines, 20 intervals") << 6;
    QTest::newRow("restart interval = whole frame") << 7;
    QTest::newRow("restarts with per-component tables") << 8;
}

void TestLj92Decoder::streamLayouts()
{
    QFETCH(int, variant);
    Lj92EncodeOptions options;
    options.width = 24;
    options.height = 60;
    options.components = 2;
    options.precision = 14;
    options.predictor = 6;
    switch (variant) {
    case 0: options.tablePerComponent = true; break;
    case 1: options.unusedTables = 3; break;
    case 2:
        options.tablePerComponent = true;
        options.unusedTables = 2;
        options.separateDhtSegments = true;
        options.frameBeforeTables = true;
        break;
    case 3: options.huffman = Lj92HuffmanMode::Flat; break;
    case 4:
        options.extraSegments = {JpegSegment{0xE1, Bytes(300, 0xFF)}, JpegSegment{0xFE, {'h', 'i'}},
                                 JpegSegment{0xEF, {}}};
        options.trailingPadding = 700;
        break;
    case 5: options.restartInterval = options.width; break;
    case 6: options.restartInterval = options.width * 3; break;
    case 7: options.restartInterval = options.width * options.height; break;
    default:
        options.restartInterval = options.width * 4;
        options.tablePerComponent = true;
        break;
    }
    const Samples source = noisyGradient(options, unsigned(variant), 300);
    Lj92EncodeStats stats;
    const Bytes stream = encodeLj92(source, options, &stats);
    if (variant == 6)
        QCOMPARE(stats.restartMarkers, std::size_t(19));

    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, source.size(), image, error), error.c_str());
    QVERIFY(image.samples == source);
}

void TestLj92Decoder::handMadeOneComponent()
{
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(kHandStream, 6, image, error), error.c_str());
    QCOMPARE(image.width, 3);
    QCOMPARE(image.height, 2);
    QCOMPARE(image.components, 1);
    QCOMPARE(image.precision, 8);
    QVERIFY(image.samples == kHandValues);

    // FF fill bytes before a marker and a TEM marker are allowed.
    Bytes filled = kHandStream;
    const int sof = findSegment(filled, 0xC3);
    filled.insert(filled.begin() + sof, {0xFF, 0xFF, 0xFF, 0x01});
    QVERIFY2(decode(filled, 6, image, error), error.c_str());
    QVERIFY(image.samples == kHandValues);
}

void TestLj92Decoder::handMadeTwoComponentsSixteenBit()
{
    // Two components, P = 16, 2x2, predictor 6, a table per component.
    // Table 0: cat 0 '0', 16 '10', 1 '110', 15 '111'.  Table 1: cat 2 '0', 0 '10', 16 '11'.
    // Line 0 (from 32768, then left):  A 0 (cat 16: 10), B 32770 (+2: 0 10), A 0 (0), B 32770 (10)
    // Line 1 (first from above):       A 65535 (-1: 110 0), B 32767 (-3: 0 00)
    //   then predictor 6 = Rb + ((Ra - Rc) >> 1):
    //   A: 0 + ((65535 - 0) >> 1) = 32767, value 65535: +32768 (10)
    //   B: 32770 + ((32767 - 32770) >> 1) = 32768 (the shift rounds -3 down to -2), value 0 (11)
    // Bits 10 0 10 0 10 | 110 0 0 00 10 11, padded with ones: 92 C1 7F.
    const Bytes stream = {
        0xFF, 0xD8,
        0xFF, 0xC4, 0x00, 0x2B,
        0x00, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 16, 1, 15,
        0x01, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 2, 0, 16,
        0xFF, 0xC3, 0x00, 0x0E, 16, 0x00, 0x02, 0x00, 0x02, 0x02, 0x07, 0x11, 0x00, 0x09, 0x11, 0x00,
        0xFF, 0xDA, 0x00, 0x0A, 0x02, 0x07, 0x00, 0x09, 0x10, 0x06, 0x00, 0x00,
        0x92, 0xC1, 0x7F,
        0xFF, 0xD9,
    };
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, 8, image, error), error.c_str());
    QCOMPARE(image.components, 2);
    QVERIFY(image.samples == Samples({0, 32770, 0, 32770, 65535, 32767, 65535, 0}));
}

void TestLj92Decoder::handMadeStuffedBytes()
{
    // P = 8, 3x1. Table: cat 7 '0', 0 '10', 1 '110', 8 '111'.
    // 0 from 128 (-128: 111 01111111), 255 (+255: 111 11111111), 255 (10): EF FF FE, with
    // the FF stuffed.
    const Bytes stream = {
        0xFF, 0xD8,
        0xFF, 0xC4, 0x00, 0x17, 0x00, 1, 1, 2, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 7, 0, 1, 8,
        0xFF, 0xC3, 0x00, 0x0B, 0x08, 0x00, 0x01, 0x00, 0x03, 0x01, 0x01, 0x11, 0x00,
        0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00,
        0xEF, 0xFF, 0x00, 0xFE,
        0xFF, 0xD9,
    };
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, 3, image, error), error.c_str());
    QVERIFY(image.samples == Samples({0, 255, 255}));
}

void TestLj92Decoder::handMadeRestart()
{
    // kHandStream with a restart after each line: line 1 starts again from 128 and uses only
    // the left neighbour. 133 (+5: 111 101), 126 (-7: 111 000), 127 (+1: 10 1).
    Bytes stream(kHandStream.begin(), kHandStream.begin() + findSegment(kHandStream, 0xDA));
    const Bytes tail = {
        0xFF, 0xDD, 0x00, 0x04, 0x00, 0x03,
        0xFF, 0xDA, 0x00, 0x08, 0x01, 0x01, 0x00, 0x01, 0x00, 0x00,
        0xD4, 0x7F, 0xFF, 0xD0, 0xF7, 0x8B,
        0xFF, 0xD9,
    };
    stream.insert(stream.end(), tail.begin(), tail.end());
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(stream, 6, image, error), error.c_str());
    QVERIFY(image.samples == kHandValues);
}

void TestLj92Decoder::reusesImageStorage()
{
    Lj92EncodeOptions options;
    options.width = 50;
    options.height = 20;
    options.components = 2;
    const Samples first = noisyGradient(options, 1, 100);
    const Samples second = noisyGradient(options, 2, 100);
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(encodeLj92(first, options), first.size(), image, error), error.c_str());
    const std::uint16_t* storage = image.samples.data();
    QVERIFY2(decode(encodeLj92(second, options), second.size(), image, error), error.c_str());
    QCOMPARE(image.samples.data(), storage);
    QVERIFY(image.samples == second);

    // A smaller frame fits in the same storage and leaves no stale samples in the result.
    QVERIFY2(decode(kHandStream, 6, image, error), error.c_str());
    QCOMPARE(image.samples.data(), storage);
    QVERIFY(image.samples == kHandValues);
    QCOMPARE(image.width, 3);

    // A failure leaves an empty image, not the previous frame, and keeps the storage.
    Bytes damaged = kHandStream;
    damaged.resize(damaged.size() - 4);
    QVERIFY(!decode(damaged, 6, image, error));
    QVERIFY(image.samples.empty());
    QCOMPARE(image.width, 0);
    QCOMPARE(image.components, 0);
    QVERIFY2(decode(encodeLj92(first, options), first.size(), image, error), error.c_str());
    QCOMPARE(image.samples.data(), storage);
    QVERIFY(image.samples == first);
}

void TestLj92Decoder::refusesWrongSampleCount()
{
    for (const std::size_t expected : {std::size_t(0), std::size_t(5), std::size_t(7), std::size_t(12)}) {
        Lj92Image image;
        std::string error;
        QVERIFY(!decode(kHandStream, expected, image, error));
        QVERIFY2(error.find("3x2x1") != std::string::npos, error.c_str());
        QCOMPARE(image.samples.capacity(), std::size_t(0));
    }

    // A header that asks for 65535x65535x4 samples is refused even when the caller agrees.
    Bytes huge = kHandStream;
    const std::size_t sof = std::size_t(findSegment(huge, 0xC3));
    huge[sof + 5] = huge[sof + 6] = huge[sof + 7] = huge[sof + 8] = 0xFF;
    huge[sof + 9] = 4;
    huge.insert(huge.begin() + std::ptrdiff_t(sof) + 13, {2, 0x11, 0, 3, 0x11, 0, 4, 0x11, 0});
    huge[sof + 3] = 11 + 9;
    Lj92Image image;
    std::string error;
    QVERIFY(!decode(huge, std::size_t(65535) * 65535 * 4, image, error));
    QVERIFY2(error.find("too large") != std::string::npos, error.c_str());

    // A frame far bigger than the data could hold is refused before allocating.
    Bytes tall = kHandStream;
    tall[std::size_t(findSegment(tall, 0xC3)) + 5] = 0x40;  // 16386 lines
    QVERIFY(!decode(tall, std::size_t(0x4002) * 3, image, error));
    QVERIFY2(error.find("too short") != std::string::npos, error.c_str());
    QCOMPARE(image.samples.capacity(), std::size_t(0));
}

void TestLj92Decoder::refusesDamagedHeaders_data()
{
    QTest::addColumn<Bytes>("stream");
    QTest::addColumn<QString>("reason");

    const Bytes base = kHandStream;
    const std::size_t dht = std::size_t(findSegment(base, 0xC4));
    const std::size_t sof = std::size_t(findSegment(base, 0xC3));
    const std::size_t sos = std::size_t(findSegment(base, 0xDA));
    const auto patched = [&](std::size_t at, std::uint8_t value) {
        Bytes b = base;
        b[at] = value;
        return b;
    };

    QTest::newRow("no SOI") << patched(1, 0xD9) << "SOI";
    QTest::newRow("empty") << Bytes() << "SOI";
    QTest::newRow("missing DHT") << withoutSegment(base, 0xC4) << "table 0";
    QTest::newRow("missing SOF") << withoutSegment(base, 0xC3) << "SOS before";
    Bytes noScan(base.begin(), base.begin() + std::ptrdiff_t(sos));
    noScan.insert(noScan.end(), {0xFF, 0xD9});
    QTest::newRow("missing SOS") << noScan << "FFD9";
    QTest::newRow("ends after headers") << Bytes(base.begin(), base.begin() + std::ptrdiff_t(sos)) << "without EOI";
    QTest::newRow("garbage between segments") << patched(sof, 0x00) << "expected a marker";
    QTest::newRow("DHT length past the end") << patched(dht + 2, 0xFF) << "length";
    QTest::newRow("DHT length 1") << patched(dht + 3, 0x01) << "length";
    QTest::newRow("DHT shorter than its table") << patched(dht + 3, 0x10) << "DHT";
    QTest::newRow("DHT class 2") << patched(dht + 4, 0x20) << "class";
    QTest::newRow("DHT id 4") << patched(dht + 4, 0x04) << "id 4";
    Bytes overfull = patched(dht + 5, 2);  // two codes of length 1 leave no room for length 3
    overfull[dht + 6] = 0;
    QTest::newRow("too many codes of one length") << overfull << "than fit";
    QTest::newRow("category 17") << patched(dht + 24, 17) << "category 17";
    QTest::newRow("SOF length short") << patched(sof + 3, 0x0A) << "SOF3";
    QTest::newRow("precision 1") << patched(sof + 4, 1) << "precision";
    QTest::newRow("precision 17") << patched(sof + 4, 17) << "precision";
    QTest::newRow("zero lines") << patched(sof + 6, 0) << "0 samples";
    QTest::newRow("zero components") << patched(sof + 9, 0) << "components";
    QTest::newRow("five components") << patched(sof + 9, 5) << "components";
    QTest::newRow("subsampled component") << patched(sof + 11, 0x21) << "sampling";
    Bytes twoFrames = base;
    twoFrames.insert(twoFrames.begin() + std::ptrdiff_t(sos), base.begin() + std::ptrdiff_t(sof),
                     base.begin() + std::ptrdiff_t(sof) + 13);
    QTest::newRow("second SOF") << twoFrames << "second";
    QTest::newRow("baseline SOF0") << patched(sof + 1, 0xC0) << "unsupported";
    QTest::newRow("SOS with two components") << patched(sos + 4, 2) << "SOS";
    QTest::newRow("SOS component id") << patched(sos + 5, 9) << "component";
    QTest::newRow("SOS table 1 undefined") << patched(sos + 6, 0x10) << "table 1";
    QTest::newRow("predictor 0") << patched(sos + 7, 0) << "predictor";
    QTest::newRow("predictor 8") << patched(sos + 7, 8) << "predictor";
    QTest::newRow("point transform = precision") << patched(sos + 9, 8) << "point transform";
    QTest::newRow("RST before scan") << patched(sof + 1, 0xD3) << "FFD3";
    QTest::newRow("DRI with wrong length") << [&] {
        Bytes b = base;
        b.insert(b.begin() + std::ptrdiff_t(sos), {0xFF, 0xDD, 0x00, 0x03, 0x00});
        return b;
    }() << "DRI";
    QTest::newRow("SOS instead of EOI") << patched(base.size() - 1, 0xDA) << "EOI";
    QTest::newRow("no EOI") << Bytes(base.begin(), base.end() - 2) << "marker after the scan";
}

void TestLj92Decoder::refusesDamagedHeaders()
{
    QFETCH(Bytes, stream);
    QFETCH(QString, reason);
    Lj92Image image;
    std::string error;
    QVERIFY(!decode(stream, 6, image, error));
    QVERIFY2(QString::fromStdString(error).contains(reason), error.c_str());
    QVERIFY(error.find('\n') == std::string::npos);
}

void TestLj92Decoder::refusesBadRestarts()
{
    Lj92EncodeOptions options;
    options.width = 10;
    options.height = 6;
    options.predictor = 4;
    options.restartInterval = 20;
    const Samples source = noisyGradient(options, 3, 200);
    const Bytes good = encodeLj92(source, options);
    Lj92Image image;
    std::string error;
    QVERIFY2(decode(good, source.size(), image, error), error.c_str());

    const std::uint8_t restart0[] = {0xFF, 0xD0};
    const auto firstRestart = std::search(good.begin(), good.end(), std::begin(restart0), std::end(restart0));
    QVERIFY(firstRestart != good.end());
    const std::size_t at = std::size_t(firstRestart - good.begin());

    Bytes wrongNumber = good;
    wrongNumber[at + 1] = 0xD1;
    QVERIFY(!decode(wrongNumber, source.size(), image, error));
    QVERIFY2(error.find("RST0") != std::string::npos, error.c_str());

    Bytes missing = good;
    missing.erase(missing.begin() + std::ptrdiff_t(at), missing.begin() + std::ptrdiff_t(at) + 2);
    QVERIFY(!decode(missing, source.size(), image, error));
    QVERIFY(!error.empty());

    // Restarts only at line starts; an interval of 15 splits a line of 10.
    Bytes midLine = good;
    midLine[std::size_t(findSegment(good, 0xDD)) + 5] = 15;
    QVERIFY(!decode(midLine, source.size(), image, error));
    QVERIFY2(error.find("whole number of lines") != std::string::npos, error.c_str());
}

void TestLj92Decoder::refusesUnknownCode()
{
    // The table only has category 0 as '0'; the data starts with a one bit.
    Bytes stream = kHandStream;
    const std::size_t dht = std::size_t(findSegment(stream, 0xC4));
    stream[dht + 3] = 0x14;  // one value
    stream[dht + 6] = 0;     // no code of length 2
    stream[dht + 7] = 0;     // nor 3
    stream.erase(stream.begin() + std::ptrdiff_t(dht) + 22, stream.begin() + std::ptrdiff_t(dht) + 25);
    Lj92Image image;
    std::string error;
    QVERIFY(!decode(stream, 6, image, error));
    QVERIFY2(error.find("invalid Huffman code") != std::string::npos, error.c_str());
}

void TestLj92Decoder::refusesEveryTruncation()
{
    Lj92EncodeOptions options;
    options.width = 12;
    options.height = 8;
    options.components = 2;
    options.restartInterval = 24;
    options.tablePerComponent = true;
    options.extraSegments = {JpegSegment{0xFE, {'x'}}};
    const Samples source = noisyGradient(options, 9, 500);
    const Bytes stream = encodeLj92(source, options);
    for (std::size_t length = 0; length < stream.size(); ++length) {
        const Bytes cut(stream.begin(), stream.begin() + std::ptrdiff_t(length));
        Lj92Image image;
        std::string error;
        QVERIFY2(!decode(cut, source.size(), image, error), qPrintable(QString("cut at %1").arg(length)));
        QVERIFY(!error.empty());
    }

    // Entropy data cut short but still followed by EOI: the decoder must not fill in zeros.
    for (std::ptrdiff_t removed = 1; removed <= 24; ++removed) {
        Bytes cut = stream;
        cut.erase(cut.end() - 2 - removed, cut.end() - 2);
        Lj92Image image;
        std::string error;
        QVERIFY2(!decode(cut, source.size(), image, error), qPrintable(QString("%1 bytes removed").arg(removed)));
        QVERIFY2(error.find("ends early") != std::string::npos, error.c_str());
    }
}

void TestLj92Decoder::survivesFlippedBytes()
{
    // Damage anywhere must end in a clean yes or no; with a yes, the image must be whole.
    Lj92EncodeOptions options;
    options.width = 10;
    options.height = 6;
    options.components = 2;
    options.restartInterval = 20;
    const Samples source = noisyGradient(options, 11, 300);
    const Bytes stream = encodeLj92(source, options);
    std::size_t refused = 0;
    for (std::size_t at = 0; at < stream.size(); ++at) {
        for (const std::uint8_t mask : {std::uint8_t(0xFF), std::uint8_t(0x01), std::uint8_t(0x80)}) {
            Bytes damaged = stream;
            damaged[at] ^= mask;
            Lj92Image image;
            std::string error;
            if (decode(damaged, source.size(), image, error)) {
                QCOMPARE(image.samples.size(), source.size());
            } else {
                QVERIFY(!error.empty());
                ++refused;
            }
        }
    }
    // Header damage at least must be noticed.
    QVERIFY(refused > 40);
}

QTEST_APPLESS_MAIN(TestLj92Decoder)
#include "tst_lj92decoder.moc"
