// Each camera's own colour calibration and sensor pitch in the DNGs, as exiftool reads them back, and Kelvin
// settings that a reader's inversion of the neutral turns back into the recorded temperature.
#include "librawcheck.h"
#include "mlvwriter.h"

#include <QtTest>

#include <array>
#include <cmath>

using namespace mlvtest;

namespace {

constexpr std::uint32_t k5D3 = 0x80000285;
const QStringList kTags{"UniqueCameraModel",      "ColorMatrix1",   "CalibrationIlluminant1", "ColorMatrix2",
                        "CalibrationIlluminant2", "ForwardMatrix1", "ForwardMatrix2",         "FocalPlaneXResolution",
                        "FocalPlaneYResolution",  "DefaultScale",   "AsShotNeutral"};

std::vector<std::uint8_t> le(std::initializer_list<std::uint32_t> words, int width = 4)
{
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t w : words)
        for (int i = 0; i < width; ++i)
            bytes.push_back(std::uint8_t(w >> (8 * i)));
    return bytes;
}

// A one-frame 5D-Mark-III-like clip of another model. sampling: "AxD" as RAWC says it, or "720p", "1080p" and
// "crop_rec 720p" for recorders from before RAWC, told apart by the active area's shape alone.
bool writeClip(const QString& path, std::uint32_t model, const QString& sampling, std::uint32_t kelvin)
{
    MlvWriter w;
    w.fileHeader(1, 0, 1, 0, 1);
    w.rawInfo(64, 32, 14, 2048, 15000);
    if (sampling.contains('p')) {
        const std::vector<std::uint8_t> area = le({0, 0, sampling.contains("720") ? 694u : 1150u, 1736});
        std::copy(area.begin(), area.end(), w.bytes().begin() + 52 + 72);
    }
    std::vector<std::uint8_t> idnt = le({0x20534f45, 0x74736554, 0, 0, 0, 0, 0, 0, model, 0, 0, 0, 0, 0, 0, 0, 0});
    w.block("IDNT", idnt);  // "EOS Test"
    w.block("WBAL", le({9, kelvin, 2048, 1024, 1536, 0, 0}));
    if (sampling.contains('x')) {
        const int across = sampling.section('x', 0, 0).toInt(), down = sampling.section('x', 1, 1).toInt();
        std::vector<std::uint8_t> rawc = le({5796, 3870, 100, 0}, 2);
        for (const int step : {1, across - 1, 1, down - 1})
            rawc.push_back(std::uint8_t(step));
        rawc.resize(16, 0);
        w.block("RAWC", rawc);
    }
    if (sampling.startsWith("crop_rec")) {
        const std::string text = "crop_rec built 2017-06-01";
        std::vector<std::uint8_t> vers = le({std::uint32_t(text.size())});
        vers.insert(vers.end(), text.begin(), text.end());
        w.block("VERS", vers);
    }
    w.videoFrame(0, testPattern(64, 32, 14, 1), 14);
    return w.save(path.toStdString());
}

// Krystek's rational fit of the Planckian locus in CIE 1960 uv, independent of the converter's.
std::array<double, 2> locusUv(double t)
{
    return {(0.860117757 + 1.54118254e-4 * t + 1.28641212e-7 * t * t) / (1 + 8.42420235e-4 * t + 7.08145163e-7 * t * t),
            (0.317398726 + 4.22806245e-5 * t + 4.20481691e-8 * t * t)
                / (1 - 2.89741816e-5 * t + 1.61456053e-7 * t * t)};
}

// What a DNG reader expects the neutral to be at a temperature: the camera matrix blended linearly in mired between
// 2856 K and 6504 K, applied to the black body's white point; red and blue, green being 1.
std::array<double, 2> neutralAt(double t, const std::vector<double>& a, const std::vector<double>& d65)
{
    const double w = std::clamp((1e6 / t - 1e6 / 6504) / (1e6 / 2856 - 1e6 / 6504), 0.0, 1.0);
    const auto uv = locusUv(t);
    const double d = 2 * uv[0] - 8 * uv[1] + 4, x = 3 * uv[0] / d, y = 2 * uv[1] / d;
    const double xyz[3] = {x / y, 1, (1 - x - y) / y};
    double camera[3] = {};
    for (std::size_t i = 0; i < 9; ++i)
        camera[i / 3] += (w * a[i] + (1 - w) * d65[i]) * xyz[i % 3];
    return {camera[0] / camera[1], camera[2] / camera[1]};
}

}  // namespace

class TestCameraColour : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    int mClips = 0;

    // The tags of the clip's converted frame, "-" for those not written.
    QStringList convert(std::uint32_t model, const QString& sampling, std::uint32_t kelvin)
    {
        const QString clip = mDir.filePath(QString("C%1.MLV").arg(++mClips));
        if (!writeClip(clip, model, sampling, kelvin))
            return {"cannot write " + clip};
        const ProgramRun run = runProgram(MLV2DNG_PATH, {"--dng", "-o", clip + "_", clip});
        if (run.exitCode != 0)
            return {run.err};
        const QString dng = clip + "_000000.dng", problems = exiftoolProblems({dng});
        return problems.isEmpty() ? exifValues(dng, kTags, {"-f"}) : QStringList{problems};
    }

private slots:
    void calibration_data()
    {
        QTest::addColumn<quint32>("model");
        QTest::addColumn<QString>("sampling");
        QTest::addColumn<QStringList>("expected");  // kTags but the neutral; "-": not written
        const char* recorded = "0.6722 -0.0635 -0.0963 -0.4287 1.2460 0.2028 -0.0908 0.2162 0.5668";  // RAWI's
        const auto known = [](const char* name, const char* a, const char* d65, const char* fa, const char* fd65,
                              double x, double y, const char* scale) {
            return QStringList{
                name, a, "17", d65, "21", fa, fd65, QString::number(x, 'g', 10), QString::number(y, 'g', 10), scale};
        };
        QTest::newRow("5D Mark III, 1x1 crop")
            << k5D3 << "1x1"
            << known("Canon EOS 5D Mark III", "0.7234 -0.1413 -0.0600 -0.3631 1.1150 0.2850 -0.0382 0.1335 0.6437",
                     recorded, "0.7868 0.0092 0.1683 0.2291 0.8615 -0.0906 0.0027 -0.4752 1.2976",
                     "0.7637 0.0805 0.1201 0.2649 0.9179 -0.1828 0.0137 -0.2456 1.0570", 5760000.0 / 1461,
                     3840000.0 / 972, "1 1");
        QTest::newRow("7D, 3x3") << 0x80000250u << "3x3"
                                 << known("Canon EOS 7D",
                                          "1.1620 -0.6350 0.0005 -0.2558 1.0146 0.2813 0.0024 0.0858 0.6926",
                                          "0.6844 -0.0996 -0.0856 -0.3876 1.1761 0.2396 -0.0593 0.1772 0.6198",
                                          "0.5445 0.3536 0.0662 0.1106 1.0136 -0.1242 -0.0374 -0.3559 1.2184",
                                          "0.7415 0.1533 0.0695 0.2499 0.9997 -0.2497 -0.0022 -0.1933 1.0207",
                                          5184000.0 / 907 / 3, 3456000.0 / 595 / 3, "1 1");
        const char* m650a = "0.6985 -0.1611 -0.0397 -0.3596 1.0749 0.3295 -0.0349 0.1136 0.6512";
        const char* m650d = "0.6602 -0.0841 -0.0939 -0.4472 1.2458 0.2247 -0.0975 0.2039 0.6148";
        const char* f650a = "0.7747 0.0485 0.1411 0.2340 0.8840 -0.1180 0.0105 -0.4147 1.2293";
        const char* f650d = "0.7397 0.1199 0.1047 0.2650 0.9355 -0.2005 0.0193 -0.2113 1.0171";
        QTest::newRow("650D, 720p before RAWC") << 0x80000301u << "720p"
                                                << known("Canon EOS 650D", m650a, m650d, f650a, f650d,
                                                         5184000.0 / 894 / 3, 3456000.0 / 597 / 5, "1 1.666666667");
        QStringList unsampled = known("Canon EOS 650D", m650a, m650d, f650a, f650d, 0, 0, "1 1");
        unsampled[7] = unsampled[8] = "-";
        QTest::newRow("650D, 1080p before RAWC") << 0x80000301u << "1080p" << unsampled;
        QTest::newRow("650D, crop_rec before RAWC") << 0x80000301u << "crop_rec 720p" << unsampled;
        QTest::newRow("unknown camera") << 0x80000999u << "3x3"
                                        << QStringList{"EOS Test", recorded, "21", "-", "-", "-", "-", "-", "-", "1 1"};
    }

    void calibration()
    {
        QFETCH(quint32, model);
        QFETCH(QString, sampling);
        QFETCH(QStringList, expected);
        const QStringList tags = convert(model, sampling, 5000);
        QCOMPARE(tags.size(), kTags.size());
        for (int i = 0; i < expected.size(); ++i) {
            const QStringList got = tags[i].split(' '), want = expected[i].split(' ');
            QCOMPARE(got.size(), want.size());
            for (int j = 0; j < want.size(); ++j) {
                bool number = false;
                const double value = want[j].toDouble(&number);
                QVERIFY2(number ? std::abs(got[j].toDouble() - value) <= 5e-5 * std::max(1.0, std::abs(value))
                                : got[j] == want[j],
                         qPrintable(kTags[i] + ": " + tags[i]));
            }
        }
    }

    void kelvinRoundTrip_data()
    {
        QTest::addColumn<double>("kelvin");
        for (const double kelvin : {2856.0, 3200.0, 4500.0, 6504.0})
            QTest::addRow("%.0f K", kelvin) << kelvin;
    }

    // The neutral is the blended matrix's view of the black body; a reader looking for the temperature whose
    // blended matrix and white point give the neutral finds the recorded one.
    void kelvinRoundTrip()
    {
        QFETCH(double, kelvin);
        const QStringList tags = convert(k5D3, "3x3", std::uint32_t(kelvin));
        QCOMPARE(tags.size(), kTags.size());
        std::vector<double> a, d65, neutral;
        for (const auto& [tag, values] : {std::pair(1, &a), {3, &d65}, {10, &neutral}})
            for (const QString& value : tags[tag].split(' '))
                values->push_back(value.toDouble());
        QVERIFY(a.size() == 9 && d65.size() == 9 && neutral.size() == 3);
        const auto expected = neutralAt(kelvin, a, d65);
        QVERIFY2(std::abs(neutral[0] / expected[0] - 1) < 0.005 && std::abs(neutral[2] / expected[1] - 1) < 0.005,
                 qPrintable(tags[10]));
        double best = 0, nearest = 1;
        for (double t = 2000; t <= 12000; t += 1) {
            const auto n = neutralAt(t, a, d65);
            const double distance = std::hypot(n[0] - neutral[0], n[1] - neutral[2]);
            if (distance < nearest)
                nearest = distance, best = t;
        }
        QVERIFY2(std::abs(best - kelvin) <= 50, qPrintable(QString::number(best)));
    }
};

QTEST_GUILESS_MAIN(TestCameraColour)
#include "tst_cameracolour_libraw.moc"
