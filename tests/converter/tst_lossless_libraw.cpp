// Lossless recordings converted whole by mlv2dng: the DNGs must hold exactly the samples that were encoded.
#include "conversionharness.h"
#include "lj92encoder.h"
#include "mlvwriter.h"

#include <QtTest>

namespace {

using mlvtest::Readback;
using mlvtest::Run;
using mlvtest::exiftoolProblems;
using mlvtest::readDng;
using mlvtest::runConverter;

constexpr int kWidth = 64;
constexpr int kHeight = 32;
constexpr std::uint16_t kLosslessRaw = 0x21;

enum class Layout { Camera, Recompressed };

// Cameras code two raw rows per JPEG line in two components; mlv_dump -c uses one component
// twice as wide. In both, stream order is raster order, so the frame's pixels go in as they are.
mlv2dng::Lj92EncodeOptions layoutOptions(Layout layout, int bits, int predictor, int restartLines)
{
    mlv2dng::Lj92EncodeOptions o;
    o.components = layout == Layout::Camera ? 2 : 1;
    o.width = layout == Layout::Camera ? kWidth : 2 * kWidth;
    o.height = kHeight / 2;
    o.precision = bits;
    o.predictor = predictor;
    o.restartInterval = restartLines * o.width;
    o.tablePerComponent = layout == Layout::Camera;
    return o;
}

// Smooth ramps with noise and a few extremes, so predictors see realistic and worst-case differences.
std::vector<std::uint16_t> scene(int bits, unsigned seed)
{
    std::vector<std::uint16_t> pixels = mlvtest::testPattern(kWidth, kHeight, bits, seed);
    const int maximum = (1 << bits) - 1;
    for (int y = 0; y < kHeight; ++y) {
        for (int x = 0; x < kWidth; ++x) {
            std::uint16_t& p = pixels[std::size_t(y * kWidth + x)];
            if (y >= kHeight / 2)
                p = static_cast<std::uint16_t>(std::min(maximum, (maximum / 4) + 37 * x + 11 * y + (p & 15)));
        }
    }
    pixels[0] = static_cast<std::uint16_t>(maximum);
    pixels[1] = 0;
    pixels[pixels.size() - 1] = static_cast<std::uint16_t>(maximum);
    return pixels;
}

}  // namespace

class TestLosslessConversion : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    unsigned mSeed = 0;

    QString path(const QString& name) const { return mDir.filePath(name); }

    static mlvtest::MlvWriter clipHeader(int bits, int white)
    {
        mlvtest::MlvWriter w;
        w.fileHeader(0x1234, 0, kLosslessRaw, 0, 4);
        w.rawInfo(kWidth, kHeight, bits, 2048 >> (14 - bits), white);
        w.camera("Canon EOS 5D Mark III", 0x80000285, "4B0A1");
        w.padTo(512);
        return w;
    }

    QStringList written(const QString& pattern) const
    {
        QStringList files;
        for (const QString& name : QDir(mDir.path()).entryList({pattern}, QDir::Files, QDir::Name))
            files << path(name);
        return files;
    }

    void expectFrame(const QString& file, const std::vector<std::uint16_t>& pixels, int bits, int white)
    {
        const Readback r = readDng(file);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.width, kWidth);
        QCOMPARE(r.height, kHeight);
        QCOMPARE(r.black, unsigned(2048 >> (14 - bits)));
        QCOMPARE(r.white, unsigned(white));
        QCOMPARE(r.cfa, QString("RGGB"));
        QCOMPARE(r.pixels, pixels);
    }

private slots:
    void initTestCase() { QVERIFY(mDir.isValid()); }

    void roundTrip_data()
    {
        QTest::addColumn<int>("layout");
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("predictor");
        QTest::addColumn<int>("restartLines");
        QTest::newRow("camera, predictor 1") << int(Layout::Camera) << 14 << 1 << 0;
        QTest::newRow("camera, predictor 6, restarts") << int(Layout::Camera) << 14 << 6 << 3;
        QTest::newRow("camera, predictor 4") << int(Layout::Camera) << 14 << 4 << 0;
        QTest::newRow("camera, predictor 7, restart every line") << int(Layout::Camera) << 14 << 7 << 1;
        QTest::newRow("camera, 12-bit, predictor 5") << int(Layout::Camera) << 12 << 5 << 0;
        QTest::newRow("mlv_dump -c, predictor 6") << int(Layout::Recompressed) << 14 << 6 << 0;
        QTest::newRow("mlv_dump -c, predictor 2, restarts") << int(Layout::Recompressed) << 14 << 2 << 4;
        QTest::newRow("mlv_dump -c, 12-bit, predictor 3") << int(Layout::Recompressed) << 12 << 3 << 0;
    }

    // Three frames stored out of order, with filler before and padding after each stream.
    void roundTrip()
    {
        QFETCH(int, layout);
        QFETCH(int, bits);
        QFETCH(int, predictor);
        QFETCH(int, restartLines);
        const QString name = "L" + QString::number(++mSeed);
        const int white = bits == 14 ? 15000 : 3750;
        mlvtest::MlvWriter w = clipHeader(bits, white);
        std::vector<std::vector<std::uint16_t>> frames;
        const mlv2dng::Lj92EncodeOptions options = layoutOptions(Layout(layout), bits, predictor, restartLines);
        for (int i = 0; i < 3; ++i) {
            frames.push_back(scene(bits, mSeed * 10 + unsigned(i)));
            QCOMPARE(frames.back().size(), std::size_t(options.width * options.height * options.components));
        }
        for (int i : {1, 0, 2})
            w.videoPayload(std::uint32_t(i), mlv2dng::encodeLj92(frames[std::size_t(i)], options),
                           i == 1 ? 0 : 40, i == 2 ? 0 : 17);
        QVERIFY(w.save(path(name + ".MLV").toStdString()));

        const Run run = runConverter({"--dng", "--no-fixcp", "--no-stripes", "-o", path(name + "_"), path(name + ".MLV")});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        const QStringList files = written(name + "_*");
        QCOMPARE(files.size(), 3);
        for (int i = 0; i < 3; ++i) {
            QVERIFY(files[i].endsWith(QString("_%1.dng").arg(i, 6, 10, QChar('0'))));
            expectFrame(files[i], frames[std::size_t(i)], bits, white);
        }
        QCOMPARE(exiftoolProblems(files), QString());
    }

    void brokenFrame_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("relaxed");
        QTest::addColumn<QStringList>("expectedFrames");
        QTest::newRow("cut short") << "cut" << false << QStringList{"0", "1"};
        QTest::newRow("cut short, relaxed") << "cut" << true << QStringList{"0", "1", "3"};
        QTest::newRow("wrong size") << "size" << false << QStringList{"0", "1"};
        QTest::newRow("wrong size, relaxed") << "size" << true << QStringList{"0", "1", "3"};
        QTest::newRow("no tables") << "tables" << false << QStringList{"0", "1"};
        QTest::newRow("no tables, relaxed") << "tables" << true << QStringList{"0", "1", "3"};
    }

    // A frame whose lossless data cannot be decoded ends the run with exit 1 and the frames
    // before it kept; with --relaxed it is skipped and the frames after it come out too.
    void brokenFrame()
    {
        QFETCH(QString, kind);
        QFETCH(bool, relaxed);
        QFETCH(QStringList, expectedFrames);
        const QString name = "B" + QString::number(++mSeed);
        mlvtest::MlvWriter w = clipHeader(14, 15000);
        const mlv2dng::Lj92EncodeOptions options = layoutOptions(Layout::Camera, 14, 1, 0);
        std::vector<std::vector<std::uint16_t>> frames;
        for (int i = 0; i < 4; ++i) {
            frames.push_back(scene(14, mSeed * 10 + unsigned(i)));
            std::vector<std::uint8_t> stream = mlv2dng::encodeLj92(frames.back(), options);
            if (i == 2 && kind == "cut") {
                stream.resize(stream.size() / 2);
            } else if (i == 2 && kind == "size") {
                mlv2dng::Lj92EncodeOptions smaller = options;
                smaller.height -= 1;
                frames.back().resize(frames.back().size() - std::size_t(2 * kWidth));
                stream = mlv2dng::encodeLj92(frames.back(), smaller);
            } else if (i == 2 && kind == "tables") {
                QCOMPARE(int(stream[3]), 0xC4);  // SOI, then DHT, as cameras write it
                stream[3] = 0xFE;                 // the tables become a comment
            }
            w.videoPayload(std::uint32_t(i), stream, 32);
        }
        QVERIFY(w.save(path(name + ".MLV").toStdString()));

        QStringList arguments{"--dng", "--no-fixcp", "--no-stripes", "-o", path(name + "_"), path(name + ".MLV")};
        if (relaxed)
            arguments.prepend("--relaxed");
        const Run run = runConverter(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith("[ERROR] ") && run.err.contains("frame 2"), qPrintable(run.err));
        const QStringList lines = run.err.split('\n', Qt::SkipEmptyParts);
        QCOMPARE(lines.size(), 1);

        const QStringList files = written(name + "_*");
        QStringList got;
        for (const QString& f : files) {
            QVERIFY2(f.endsWith(".dng"), qPrintable(f));  // no temporary file left behind
            got << QString::number(QFileInfo(f).completeBaseName().section('_', -1).toInt());
        }
        QCOMPARE(got, expectedFrames);
        for (const QString& f : files)
            expectFrame(f, frames[std::size_t(QFileInfo(f).completeBaseName().section('_', -1).toInt())], 14, 15000);
    }

    // The fixes work on decoded lossless frames as on plain ones: a dead pixel coded into the stream is repaired.
    void fixesApplyToLosslessFrames()
    {
        std::vector<std::uint16_t> pixels;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x)
                pixels.push_back(static_cast<std::uint16_t>(5000 + 900 * ((x & 1) + (y & 1)) + 25 * x + 15 * y));
        }
        const std::size_t dead = 9 * kWidth + 30;
        const std::uint16_t truth = pixels[dead];
        pixels[dead] = 0;
        mlvtest::MlvWriter w = clipHeader(14, 15000);
        w.videoPayload(0, mlv2dng::encodeLj92(pixels, layoutOptions(Layout::Camera, 14, 6, 0)));
        QVERIFY(w.save(path("Dead.MLV").toStdString()));
        for (const bool fix : {true, false}) {
            const QString prefix = path(fix ? "DeadFixed_" : "DeadKept_");
            QStringList arguments{"--dng", "-o", prefix, path("Dead.MLV")};
            if (!fix)
                arguments << "--no-fixcp";
            const Run run = runConverter(arguments);
            QCOMPARE(run.err, QString());
            QCOMPARE(run.exitCode, 0);
            const Readback r = readDng(prefix + "000000.dng");
            QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
            QCOMPARE(r.pixels.size(), pixels.size());
            if (fix)
                QVERIFY2(std::abs(int(r.pixels[dead]) - int(truth)) <= (truth - 2048) / 50,
                         qPrintable(QString("repaired to %1, truth %2").arg(r.pixels[dead]).arg(truth)));
            else
                QCOMPARE(int(r.pixels[dead]), 0);
        }
    }
};

QTEST_GUILESS_MAIN(TestLosslessConversion)
#include "tst_lossless_libraw.moc"
