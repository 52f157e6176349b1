// Unpacking MLV raw data and packing DNG strips: the worked vectors and round trips at every depth.
#include "mlv/bitunpacker.h"
#include "mlvwriter.h"
#include "output/bitpacker.h"

#include <QtTest>

using namespace mlv2dng;
using Bytes = std::vector<std::uint8_t>;
using Pixels = std::vector<std::uint16_t>;

namespace {

Pixels unpack(const Bytes& bytes, std::size_t count, int bits)
{
    Pixels pixels(count, 0xdead);
    BitUnpacker::unpack(bytes.data(), bytes.size(), count, bits, pixels.data());
    return pixels;
}

// Reads a DNG strip back the way TIFF defines it: MSB first, each row starting on a byte; 16 bits as native words.
std::uint16_t stripSample(const Bytes& strip, int width, int bits, int x, int y)
{
    const std::size_t start =
        BitPacker::rowBytes(width, bits) * std::size_t(y) * 8 + std::size_t(x) * std::size_t(bits);
    if (bits == 16)
        return std::uint16_t(strip[start / 8] | strip[start / 8 + 1] << 8);
    std::uint32_t value = 0;
    for (std::size_t bit = start; bit < start + std::size_t(bits); ++bit)
        value = (value << 1) | ((strip[bit / 8] >> (7 - bit % 8)) & 1u);
    return std::uint16_t(value);
}

}  // namespace

class TestBitPacking : public QObject
{
    Q_OBJECT

private slots:
    void workedVectors_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<Bytes>("bytes");
        QTest::addColumn<Pixels>("pixels");
        QTest::newRow("14-bit") << 14 << Bytes{0xd0, 0x48, 0xcf, 0xab, 0xc0, 0xff, 0x80,
                                               0x01, 0x12, 0x00, 0x55, 0x35, 0xaa, 0x6a}
                                << Pixels{0x1234, 0x0ABC, 0x3FFF, 0x0001, 0x2000, 0x0123, 0x1555, 0x2AAA};
        QTest::newRow("12-bit") << 12 << Bytes{0xc1, 0xab, 0xff, 0x23, 0x01, 0xf0}
                                << Pixels{0xABC, 0x123, 0xFFF, 0x001};
        QTest::newRow("10-bit") << 10 << Bytes{0xc0, 0xff, 0x56, 0x15, 0x40, 0xaa, 0x00, 0x0f, 0x00, 0x3e}
                                << Pixels{0x3FF, 0x001, 0x155, 0x2AA, 0x100, 0x0F0, 0x00F, 0x200};
        QTest::newRow("16-bit") << 16 << Bytes{0x34, 0x12, 0xff, 0xff, 0x00, 0x80} << Pixels{0x1234, 0xFFFF, 0x8000};
    }

    // Known bytes from a recording unpack to known pixels, and the test writer packs them identically.
    void workedVectors()
    {
        QFETCH(int, bits);
        QFETCH(Bytes, bytes);
        QFETCH(Pixels, pixels);
        QCOMPARE(BitUnpacker::packedSize(pixels.size(), bits), bytes.size());
        QCOMPARE(unpack(bytes, pixels.size(), bits), pixels);
        QCOMPARE(mlvtest::MlvWriter::pack(pixels, bits), bytes);
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("bits");
        for (int bits = 1; bits <= 16; ++bits)
            QTest::addRow("%d-bit", bits) << bits;
    }

    // Random frames with an all-zero and an all-one row, at widths that fill whole words and
    // widths that leave the stream mid-word at a row's end: unpacking gives the frame back, every
    // strip sample reads back bit by bit, and values past the depth saturate instead of wrapping.
    void roundTrip()
    {
        QFETCH(int, bits);
        const int height = 4;
        const std::uint16_t ones = std::uint16_t((1u << bits) - 1);
        for (const int width : {3, 8, 13, 16, 21, 61, 64}) {
            Pixels frame = mlvtest::testPattern(width, height, bits, unsigned(width * 31 + bits));
            std::fill(frame.begin(), frame.begin() + width, 0);
            std::fill(frame.begin() + width, frame.begin() + 2 * width, ones);
            const Bytes payload = mlvtest::MlvWriter::pack(frame, bits);
            QCOMPARE(unpack(payload, frame.size(), bits), frame);

            Pixels overflowing = frame;
            for (int x = 0; x < width && bits < 16; x += 2)
                overflowing[std::size_t(3 * width + x)] = std::uint16_t(0xffff - x);
            Bytes strip(BitPacker::stripBytes(width, height, bits), 0xcc);
            BitPacker::pack(overflowing.data(), width, height, bits, strip.data());
            for (int i = 0; i < width * height; ++i) {
                const std::uint16_t expected = overflowing[std::size_t(i)] > ones ? ones : frame[std::size_t(i)];
                QCOMPARE(stripSample(strip, width, bits, i % width, i / width), expected);
            }
        }
    }
};

QTEST_APPLESS_MAIN(TestBitPacking)
#include "tst_bitpacking.moc"
