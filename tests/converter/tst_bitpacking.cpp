// Unpacking MLV raw data and packing DNG strips: the worked vectors, edge values and round trips.
#include "bitpacker.h"
#include "bitunpacker.h"
#include "mlvwriter.h"

#include <QtTest>

#include <vector>

using namespace mlv2dng;

namespace {

std::vector<std::uint16_t> unpack(const std::vector<std::uint8_t>& bytes, std::size_t count, int bits)
{
    std::vector<std::uint16_t> pixels(count, 0xdead);
    BitUnpacker::unpack(bytes.data(), bytes.size(), count, bits, pixels.data());
    return pixels;
}

std::vector<std::uint8_t> pack(const std::vector<std::uint16_t>& pixels, int width, int height, int bits)
{
    std::vector<std::uint8_t> out(BitPacker::stripBytes(width, height, bits), 0xcc);
    BitPacker::pack(pixels.data(), width, height, bits, out.data());
    return out;
}

// Reads a DNG strip back the way TIFF defines it: MSB first, each row starting on a byte.
std::uint16_t stripSample(const std::vector<std::uint8_t>& strip, int width, int bits, int x, int y)
{
    const std::size_t rowStart = BitPacker::rowBytes(width, bits) * static_cast<std::size_t>(y) * 8;
    std::uint32_t value = 0;
    for (int b = 0; b < bits; ++b) {
        const std::size_t bit = rowStart + static_cast<std::size_t>(x) * static_cast<std::size_t>(bits) + static_cast<std::size_t>(b);
        value = (value << 1) | ((strip[bit / 8] >> (7 - bit % 8)) & 1u);
    }
    return static_cast<std::uint16_t>(value);
}

}  // namespace

class TestBitPacking : public QObject
{
    Q_OBJECT

private slots:
    void workedVectors_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<std::vector<std::uint8_t>>("bytes");
        QTest::addColumn<std::vector<std::uint16_t>>("pixels");
        QTest::newRow("14-bit") << 14
                                << std::vector<std::uint8_t>{0xd0, 0x48, 0xcf, 0xab, 0xc0, 0xff, 0x80, 0x01, 0x12, 0x00, 0x55, 0x35, 0xaa, 0x6a}
                                << std::vector<std::uint16_t>{0x1234, 0x0ABC, 0x3FFF, 0x0001, 0x2000, 0x0123, 0x1555, 0x2AAA};
        QTest::newRow("12-bit") << 12 << std::vector<std::uint8_t>{0xc1, 0xab, 0xff, 0x23, 0x01, 0xf0}
                                << std::vector<std::uint16_t>{0xABC, 0x123, 0xFFF, 0x001};
        QTest::newRow("10-bit") << 10 << std::vector<std::uint8_t>{0xc0, 0xff, 0x56, 0x15, 0x40, 0xaa, 0x00, 0x0f, 0x00, 0x3e}
                                << std::vector<std::uint16_t>{0x3FF, 0x001, 0x155, 0x2AA, 0x100, 0x0F0, 0x00F, 0x200};
        QTest::newRow("16-bit") << 16 << std::vector<std::uint8_t>{0x34, 0x12, 0xff, 0xff, 0x00, 0x80}
                                << std::vector<std::uint16_t>{0x1234, 0xFFFF, 0x8000};
    }

    // Known bytes from a recording unpack to known pixels, and the test writer packs them identically.
    void workedVectors()
    {
        QFETCH(int, bits);
        QFETCH(std::vector<std::uint8_t>, bytes);
        QFETCH(std::vector<std::uint16_t>, pixels);
        QCOMPARE(BitUnpacker::packedSize(pixels.size(), bits), bytes.size());
        QCOMPARE(BitUnpacker::wordAlignedSize(pixels.size(), bits), bytes.size());
        QCOMPARE(unpack(bytes, pixels.size(), bits), pixels);
        QCOMPARE(mlvtest::MlvWriter::pack(pixels, bits), bytes);
    }

    // For widths whose rows fill whole 16-bit words, the DNG strip is the payload with each word's bytes swapped.
    void stripIsByteSwappedPayload()
    {
        const std::vector<std::uint16_t> pixels{0x1234, 0x0ABC, 0x3FFF, 0x0001, 0x2000, 0x0123, 0x1555, 0x2AAA};
        const std::vector<std::uint8_t> expected{0x48, 0xd0, 0xab, 0xcf, 0xff, 0xc0, 0x01, 0x80, 0x00, 0x12, 0x35, 0x55, 0x6a, 0xaa};
        QCOMPARE(pack(pixels, 8, 1, 14), expected);
        QCOMPARE(pack(pixels, 4, 2, 14), expected);

        for (const int bits : {10, 12, 14}) {
            const auto frame = mlvtest::testPattern(64, 6, bits, 9);
            const auto payload = mlvtest::MlvWriter::pack(frame, bits);
            const auto strip = pack(frame, 64, 6, bits);
            QCOMPARE(strip.size(), payload.size());
            for (std::size_t i = 0; i + 1 < payload.size(); i += 2) {
                QCOMPARE(strip[i], payload[i + 1]);
                QCOMPARE(strip[i + 1], payload[i]);
            }
        }
    }

    void extremes_data()
    {
        QTest::addColumn<int>("bits");
        for (const int bits : {10, 12, 14, 16})
            QTest::newRow(qPrintable(QString::number(bits) + "-bit")) << bits;
    }

    // All-zero and all-one frames catch mask and shift mistakes in both directions.
    void extremes()
    {
        QFETCH(int, bits);
        const int width = 24, height = 3;
        const std::size_t count = static_cast<std::size_t>(width * height);
        const std::uint16_t ones = static_cast<std::uint16_t>((1u << bits) - 1);
        for (const std::uint16_t value : {std::uint16_t{0}, ones}) {
            const std::vector<std::uint16_t> frame(count, value);
            const auto payload = mlvtest::MlvWriter::pack(frame, bits);
            QCOMPARE(unpack(payload, count, bits), frame);
            const auto strip = pack(frame, width, height, bits);
            for (const std::uint8_t byte : strip)
                QCOMPARE(int(byte), value ? 0xff : 0);
        }
    }

    // Pixels 1 and 2 of a 14-bit row straddle word boundaries; a single wrong bit there must show.
    void straddlingPixels()
    {
        for (int bit = 0; bit < 14; ++bit) {
            std::vector<std::uint16_t> frame(8, 0);
            frame[1] = static_cast<std::uint16_t>(1u << bit);
            frame[2] = static_cast<std::uint16_t>(0x3fff ^ (1u << bit));
            QCOMPARE(unpack(mlvtest::MlvWriter::pack(frame, 14), 8, 14), frame);
            const auto strip = pack(frame, 8, 1, 14);
            QCOMPARE(stripSample(strip, 8, 14, 1, 0), frame[1]);
            QCOMPARE(stripSample(strip, 8, 14, 2, 0), frame[2]);
            QCOMPARE(stripSample(strip, 8, 14, 3, 0), std::uint16_t{0});
        }
    }

    // An odd width makes the MLV stream run across rows mid-word while every DNG row starts on a byte.
    void oddWidthRoundTrip_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("width");
        QTest::newRow("14-bit, width 7") << 14 << 7;
        QTest::newRow("12-bit, width 5") << 12 << 5;
        QTest::newRow("10-bit, width 3") << 10 << 3;
        QTest::newRow("16-bit, width 3") << 16 << 3;
    }

    void oddWidthRoundTrip()
    {
        QFETCH(int, bits);
        QFETCH(int, width);
        const int height = 5;
        const auto frame = mlvtest::testPattern(width, height, bits, 3);
        const auto pixels = unpack(mlvtest::MlvWriter::pack(frame, bits), frame.size(), bits);
        QCOMPARE(pixels, frame);
        const auto strip = pack(pixels, width, height, bits);
        QCOMPARE(strip.size(), static_cast<std::size_t>(height) * ((static_cast<std::size_t>(width * bits) + 7) / 8));
        for (int y = 0; y < height; ++y) {
            for (int x = 0; x < width; ++x) {
                const std::uint16_t expected = frame[static_cast<std::size_t>(y * width + x)];
                if (bits == 16) {
                    const std::size_t at = static_cast<std::size_t>(y * width + x) * 2;
                    QCOMPARE(std::uint16_t(strip[at] | (strip[at + 1] << 8)), expected);
                } else {
                    QCOMPARE(stripSample(strip, width, bits, x, y), expected);
                }
            }
        }
    }

    void everyDepthAndWidth_data()
    {
        QTest::addColumn<int>("bits");
        for (int bits = 1; bits <= 16; ++bits)
            QTest::newRow(qPrintable(QString::number(bits) + "-bit")) << bits;
    }

    // Widths that mix whole groups of eight with leftovers, at every depth: unpacking matches the
    // test writer's stream, every strip sample reads back bit by bit, and where rows fill whole
    // words the strip is the stream with its words turned around.
    void everyDepthAndWidth()
    {
        QFETCH(int, bits);
        const int height = 3;
        for (const int width : {8, 13, 16, 21, 40, 61, 64}) {
            const auto frame = mlvtest::testPattern(width, height, bits, unsigned(width * 31 + bits));
            const auto payload = mlvtest::MlvWriter::pack(frame, bits);
            QCOMPARE(unpack(payload, frame.size(), bits), frame);
            const auto strip = pack(frame, width, height, bits);
            for (int y = 0; y < height; ++y) {
                for (int x = 0; x < width; ++x) {
                    const std::uint16_t expected = frame[std::size_t(y * width + x)];
                    if (bits == 16) {
                        const std::size_t at = std::size_t(y * width + x) * 2;
                        QCOMPARE(std::uint16_t(strip[at] | (strip[at + 1] << 8)), expected);
                    } else {
                        QCOMPARE(stripSample(strip, width, bits, x, y), expected);
                    }
                }
            }
            const bool wholeWords = (width * bits) % 16 == 0;
            QCOMPARE(BitPacker::stripIsSwappedStream(width, bits), wholeWords);
            if (wholeWords) {
                std::vector<std::uint8_t> turned = payload;
                BitPacker::stripFromStream(turned.data(), turned.size(), bits);
                QCOMPARE(turned, strip);
            }
        }
    }

    // A stream shorter than the frame: pixels whose bits are all there come out right, the rest
    // read the missing bytes as zero, and nothing is read beyond the given size.
    void shortStream()
    {
        const int bits = 14;
        const auto frame = mlvtest::testPattern(40, 1, bits, 5);
        const auto payload = mlvtest::MlvWriter::pack(frame, bits);
        for (const std::size_t keep : {std::size_t(0), std::size_t(13), std::size_t(14), std::size_t(29), std::size_t(56)}) {
            const std::vector<std::uint8_t> cut(payload.begin(), payload.begin() + std::ptrdiff_t(keep));
            const auto pixels = unpack(cut, frame.size(), bits);
            const std::size_t whole = keep / 2 * 16 / bits;  // pixels inside the complete words
            for (std::size_t i = 0; i < frame.size(); ++i) {
                if (i < whole)
                    QCOMPARE(pixels[i], frame[i]);
                else if (i * bits >= keep * 8 + 8)
                    QCOMPARE(int(pixels[i]), 0);
            }
        }
    }

    // Clamping holds in the eight-pixel path too.
    void groupedPackingClamps()
    {
        for (const int bits : {10, 12, 14}) {
            std::vector<std::uint16_t> frame(16, 0xffff);
            frame[3] = 5;
            const auto strip = pack(frame, 16, 1, bits);
            const std::uint16_t maximum = std::uint16_t((1u << bits) - 1);
            for (int x = 0; x < 16; ++x)
                QCOMPARE(stripSample(strip, 16, bits, x, 0), x == 3 ? std::uint16_t{5} : maximum);
        }
    }

    // A correction may push a value past the depth; it must saturate, not wrap to black.
    void packingClampsOutOfRangeValues()
    {
        const std::vector<std::uint16_t> frame{0x4000, 0xffff, 0x3fff, 0};
        const auto strip = pack(frame, 4, 1, 14);
        QCOMPARE(stripSample(strip, 4, 14, 0, 0), std::uint16_t{0x3fff});
        QCOMPARE(stripSample(strip, 4, 14, 1, 0), std::uint16_t{0x3fff});
        QCOMPARE(stripSample(strip, 4, 14, 3, 0), std::uint16_t{0});
    }
};

QTEST_APPLESS_MAIN(TestBitPacking)
#include "tst_bitpacking.moc"
