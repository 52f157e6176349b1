// Lossless-JPEG DNGs (-c) read back by LibRaw: exactly the pixels of the packed DNGs, and valid to exiftool.
#include "librawcheck.h"
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <QtTest>

using namespace mlvtest;
using Pixels = std::vector<std::uint16_t>;

namespace {

// A smooth scene with noise: what cameras see, and what a predictor can exploit.
Pixels scene(int width, int height, int bits, unsigned seed)
{
    const Pixels noise = testPattern(width, height, 6, seed);
    Pixels pixels(noise.size());
    for (int y = 0; y < height; ++y) {
        for (int x = 0; x < width; ++x) {
            const std::size_t i = std::size_t(y) * std::size_t(width) + std::size_t(x);
            const int value = 2048 + 40 * x + 25 * y + 700 * ((x & 1) + (y & 1)) + noise[i];
            pixels[i] = std::uint16_t(level(std::min(value, 16383), bits));
        }
    }
    return pixels;
}

}  // namespace

class TestCompressedDng : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    QStringList dngs(const QString& prefix) const
    {
        QStringList files;
        for (const QString& f : QDir(mDir.path()).entryList({QFileInfo(prefix).fileName() + "*.dng"}, QDir::Files))
            files << mDir.filePath(f);
        return files;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(), "exiftool is needed");
    }

    void roundTrip_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("width");
        QTest::addColumn<int>("height");
        QTest::addColumn<bool>("random");    // pixels over the whole range instead of a scene
        QTest::addColumn<bool>("lossless");  // a lossless recording instead of packed frames
        QTest::addColumn<QStringList>("options");
        const QStringList off{"--no-fixcp", "--no-stripes"};
        for (const int bits : {10, 12, 14, 16})
            QTest::addRow("%d-bit scene", bits) << bits << 64 << 32 << false << false << off;
        for (const int bits : {10, 14, 16})
            QTest::addRow("%d-bit random", bits) << bits << 64 << 32 << true << false << off;
        // LibRaw takes nothing below 22 pixels either way for a raw image.
        QTest::newRow("odd width") << 14 << 37 << 24 << false << false << off;
        QTest::newRow("odd width and height") << 12 << 23 << 23 << true << false << off;
        QTest::newRow("width not a multiple of 8") << 14 << 70 << 22 << false << false << off;
        QTest::newRow("corrections on") << 14 << 64 << 32 << false << false << QStringList{"--fixcp2", "--cs3x3"};
        QTest::newRow("lossless source") << 14 << 64 << 32 << false << true << off;
        QTest::newRow("lossless source, defaults") << 14 << 64 << 32 << false << true << QStringList{};
    }

    // The same clip and options with and without -c: LibRaw sees the same frame, the same levels and
    // the same pixels; exiftool finds nothing wrong, and the image data is compression 7.
    void roundTrip()
    {
        QFETCH(int, bits);
        QFETCH(int, width);
        QFETCH(int, height);
        QFETCH(bool, random);
        QFETCH(bool, lossless);
        QFETCH(QStringList, options);
        static unsigned seed = 0;
        const QString name = "Clip" + QString::number(++seed);
        MlvWriter w;
        w.fileHeader(7, 0, lossless ? 0x21 : 1, 0, 2);
        w.rawInfo(width, height, bits, level(2048, bits), level(15000, bits));
        w.cameraMetadata();
        for (std::uint32_t i = 0; i < 2; ++i) {
            const Pixels pixels =
                random ? testPattern(width, height, bits, seed * 2 + i) : scene(width, height, bits, seed * 2 + i);
            if (lossless)
                w.videoPayload(i, mlv2dng::encodeLj92(pixels, {width, height / 2, 2, bits, 1, 0, true}), 32);
            else
                w.videoFrame(i, pixels, bits, 32);
        }
        QVERIFY(w.save(mDir.filePath(name + ".MLV").toStdString()));

        for (const bool compress : {false, true}) {
            const QStringList arguments = options
                                          + QStringList{"--dng", "-o", mDir.filePath(name + (compress ? "c_" : "u_")),
                                                        mDir.filePath(name + ".MLV")};
            const ProgramRun r = runProgram(MLV2DNG_PATH, compress ? QStringList{"-c"} + arguments : arguments);
            QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), qPrintable(r.err));
        }
        const QStringList packed = dngs(name + "u_"), compressed = dngs(name + "c_");
        QCOMPARE(compressed.size(), 2);
        QCOMPARE(packed.size(), 2);
        for (int i = 0; i < 2; ++i) {
            Pixels expected, got;
            const QString description = readDng(packed[i], expected);
            QCOMPARE(description, QString("%1x%2 black %3 white %4 RGGB")
                                      .arg(width)
                                      .arg(height)
                                      .arg(level(2048, bits))
                                      .arg(level(15000, bits)));
            QCOMPARE(readDng(compressed[i], got), description);
            QVERIFY(got == expected);
        }
        QCOMPARE(exiftoolProblems(compressed), QString());
        const ProgramRun tags = runProgram("exiftool", {"-s3", "-n", "-Compression", "-BitsPerSample", compressed[0]});
        QCOMPARE(tags.out, QString("7\n%1\n").arg(bits));
        // Odd widths go as one component, whose left neighbour is another colour: correct, not small.
        if (!random && width % 2 == 0)
            QVERIFY(QFileInfo(compressed[0]).size() < QFileInfo(packed[0]).size() * 3 / 4);
    }
};

QTEST_GUILESS_MAIN(TestCompressedDng)
#include "tst_compresseddng_libraw.moc"
