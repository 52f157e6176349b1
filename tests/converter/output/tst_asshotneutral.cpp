// As-shot neutral from a colour temperature: it moves the right way, and agrees with Planck's law integrated
// independently.
#include "output/asshotneutral.h"

#include <QtTest>

#include <cmath>

using namespace mlv2dng;

namespace {

// A 5D Mark III's XYZ-to-camera matrix for D65, as recorders write it.
const ColourMatrix kMatrix = [] {
    ColourMatrix m{};
    const std::int32_t numerators[9] = {6722, -635, -963, -4287, 12460, 2028, -908, 2162, 5668};
    for (std::size_t i = 0; i < 9; ++i)
        m[i] = {numerators[i], 10000};
    return m;
}();

// Piecewise Gaussian fits of the CIE 1931 observer (Wyman, Sloan and Shirley, 2013).
double lobe(double nm, double mean, double below, double above)
{
    const double t = (nm - mean) / (nm < mean ? below : above);
    return std::exp(-0.5 * t * t);
}

// Chromaticity of a black body by summing Planck's law against the observer, 360 to 830 nm.
std::array<double, 2> integratedChromaticity(double kelvin)
{
    double x = 0, y = 0, z = 0;
    for (int nm = 360; nm <= 830; ++nm) {
        const double metres = nm * 1e-9;
        const double radiance = 1 / (std::pow(metres, 5) * (std::exp(0.014388 / (metres * kelvin)) - 1));
        x += radiance
             * (1.056 * lobe(nm, 599.8, 37.9, 31.0) + 0.362 * lobe(nm, 442.0, 16.0, 26.7)
                - 0.065 * lobe(nm, 501.1, 20.4, 26.2));
        y += radiance * (0.821 * lobe(nm, 568.8, 46.9, 40.5) + 0.286 * lobe(nm, 530.9, 16.3, 31.1));
        z += radiance * (1.217 * lobe(nm, 437.0, 11.8, 36.0) + 0.681 * lobe(nm, 459.0, 26.0, 13.8));
    }
    return {x / (x + y + z), y / (x + y + z)};
}

WhiteBalanceInfo balance(std::uint32_t mode, std::uint32_t kelvin, int amber = 0, int green = 0)
{
    return {true, mode, kelvin, 2048, 1024, 1536, std::uint32_t(green), std::uint32_t(amber)};
}

}  // namespace

class TestAsShotNeutral : public QObject
{
    Q_OBJECT

private slots:
    void matchesPlanck_data()
    {
        QTest::addColumn<double>("kelvin");
        for (const double kelvin : {2800.0, 3200.0, 4000.0, 5200.0, 6500.0, 10000.0})
            QTest::addRow("%.0f K", kelvin) << kelvin;
    }

    // The neutral of a Kelvin setting is the camera's view of a black body at that temperature.
    void matchesPlanck()
    {
        QFETCH(double, kelvin);
        const auto neutral = AsShotNeutral::fromLight(balance(9, std::uint32_t(kelvin)), kMatrix);
        QVERIFY(neutral);
        const std::array<double, 2> xy = integratedChromaticity(kelvin);
        const double xyz[3] = {xy[0] / xy[1], 1, (1 - xy[0] - xy[1]) / xy[1]};
        double camera[3] = {};
        for (std::size_t row = 0; row < 3; ++row)
            for (std::size_t column = 0; column < 3; ++column)
                camera[row] += kMatrix[3 * row + column].first / 10000.0 * xyz[column];
        QCOMPARE((*neutral)[1], 1.0);
        for (const std::size_t i : {0, 2})
            QVERIFY2(std::abs((*neutral)[i] / (camera[i] / camera[1]) - 1) < 0.01, qPrintable(QString::number(i)));
    }

    // Warmer light is redder and less blue to the camera; presets stand for their temperatures; shifts
    // move the neutral the way the camera renders them; gain modes and missing matrices give nothing.
    void directions()
    {
        const auto at = [](const WhiteBalanceInfo& wb) { return *AsShotNeutral::fromLight(wb, kMatrix); };
        const auto tungsten = at(balance(9, 3200)), daylight = at(balance(9, 5200)), shade = at(balance(9, 7000));
        QVERIFY(tungsten[0] > daylight[0] && daylight[0] > shade[0]);
        QVERIFY(tungsten[2] < daylight[2] && daylight[2] < shade[2]);
        QCOMPARE(at(balance(3, 0)), tungsten);
        QCOMPARE(at(balance(1, 0)), daylight);
        QCOMPARE(at(balance(8, 0)), shade);
        // Amber: as if the light were bluer. Green: as if it were more magenta, so less green to the camera.
        const auto amber = at(balance(1, 0, 3)), green = at(balance(1, 0, 0, 3)), magenta = at(balance(1, 0, 0, -3));
        QVERIFY(amber[0] < daylight[0] && amber[2] > daylight[2]);
        QVERIFY(green[0] > daylight[0] && green[2] > daylight[2]);
        QVERIFY(magenta[0] < daylight[0] && magenta[2] < daylight[2]);
        for (const std::uint32_t mode : {0u, 6u})
            QVERIFY(!AsShotNeutral::fromLight(balance(mode, 5000), kMatrix));
        QVERIFY(!AsShotNeutral::fromLight(balance(9, 5000), std::nullopt));
        QVERIFY(!AsShotNeutral::fromLight(balance(9, 0), kMatrix));
    }
};

QTEST_APPLESS_MAIN(TestAsShotNeutral)
#include "tst_asshotneutral.moc"
