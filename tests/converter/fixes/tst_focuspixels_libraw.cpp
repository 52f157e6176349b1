// Focus pixels end to end: clips made to each camera's headers, converted by mlv2dng, read back by LibRaw and
// compared with the clip writer's own truth; plus the map tables' sizes and first positions.
#include "fixes/focuspixellattice.h"
#include "focuspixelclip.h"
#include "librawcheck.h"

#include <QtTest>

#include <cmath>

using namespace mlv2dng;
using namespace mlvtest;
using Mode = FocusPixelLayout::Mode;

Q_DECLARE_METATYPE(FocusPixelLayout)
Q_DECLARE_METATYPE(FocusPixelClipPlan)

class TestFocusPixels : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;
    std::vector<std::vector<std::uint16_t>> mFrames;  // the last conversion's DNGs as LibRaw reads them
    QString mOut;                                     // and its report, with LibRaw's complaints

    // Converts the clip and reads every DNG it wrote back into mFrames.
    int convert(const QString& clip, const QStringList& options)
    {
        const QString prefix = QFileInfo(clip).path() + "/" + QFileInfo(clip).completeBaseName() + "_";
        const ProgramRun r = runProgram(MLV2DNG_PATH, options + QStringList{"--dng", "-o", prefix, clip});
        mOut = r.out + r.err;
        mFrames.clear();
        for (int f = 0; QFileInfo::exists(prefix + QString("%1.dng").arg(f, 6, 10, QChar('0'))); ++f) {
            const QString read = readDng(prefix + QString("%1.dng").arg(f, 6, 10, QChar('0')), mFrames.emplace_back());
            mOut += read.startsWith("LibRaw") ? read : QString();
        }
        return r.exitCode;
    }

private slots:
    void mapTables_data()
    {
        QTest::addColumn<FocusPixelLayout>("layout");
        QTest::addColumn<int>("bufferWidth");
        QTest::addColumn<int>("count");
        QTest::addColumn<QPoint>("first");
        const std::uint32_t m = FocusPixelLayout::kEosM, d7 = FocusPixelLayout::kEos700D,
                            d1 = FocusPixelLayout::kEos100D;
        const auto row = [](const char* name, std::uint32_t model, Mode mode, bool lossless, int width, int count,
                            QPoint first) {
            QTest::newRow(name) << FocusPixelLayout{model, mode, lossless} << width << count << first;
        };
        // Positions over the full buffer width, and the first one of the map.
        row("A 720p", m, Mode::Video720, false, 1808, 13020, {78, 290});
        row("A 1080p", d7, Mode::Video1080, false, 1808, 26040, {79, 459});
        row("A crop", m, Mode::Crop, false, 1872, 13500, {95, 121});
        row("A zoom", m, Mode::Zoom, false, 2592, 22680, {95, 31});
        row("EOS M crop_rec", m, Mode::CropRec720, false, 1808, 39060, {78, 290});
        row("700D crop_rec", d7, Mode::CropRec720, false, 1808, 26040, {79, 219});
        row("B 720p", d1, Mode::Video720, false, 1808, 42532, {78, 86});
        row("B 1080p", d1, Mode::Video1080, false, 1808, 85064, {79, 119});
        row("B crop", d1, Mode::Crop, false, 1872, 103050, {77, 29});
        row("B zoom", d1, Mode::Zoom, false, 2592, 151200, {72, 28});
        row("B crop_rec", d1, Mode::CropRec720, false, 1808, 103075, {78, 86});
        row("720p lossless", m, Mode::Video720, true, 1808, 50344, {74, 32});
        row("1080p lossless", d1, Mode::Video1080, true, 1808, 100905, {79, 29});
        row("A crop lossless", m, Mode::Crop, true, 1872, 92700, {79, 31});
        row("B crop lossless", d1, Mode::Crop, true, 1872, 206400, {72, 28});
        row("A zoom lossless", d7, Mode::Zoom, true, 2592, 68040, {79, 31});
        row("crop_rec lossless", d7, Mode::CropRec720, true, 1808, 111104, {74, 32});
        row("no map", 0x80000285, Mode::Video1080, false, 1808, 0, {});
    }

    void mapTables()
    {
        QFETCH(FocusPixelLayout, layout);
        QFETCH(int, bufferWidth);
        QFETCH(int, count);
        QFETCH(QPoint, first);
        const std::vector<FocusPixelPosition> map = FocusPixelLattice::positions(layout, bufferWidth, 1190);
        QCOMPARE(int(map.size()), count);
        if (!map.empty())
            QCOMPARE(QPoint(map.front().x, map.front().y), first);
        for (const FocusPixelPosition& p : map)
            QVERIFY(p.x >= 72 && p.x < bufferWidth);
    }

    void conversion_data()
    {
        QTest::addColumn<FocusPixelClipPlan>("plan");
        QTest::addColumn<int>("injected");  // the mode whose map the writer offsets, as the camera would
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("report");
        // In the order of the plan's fields; a height of 0 takes the tallest window the mode records.
        const auto plan = [](std::uint32_t model, int w, int h, int across, int down, int width = 1280, int height = 0,
                             bool lossless = false, bool dualIso = false, int frames = 1) {
            return FocusPixelClipPlan{
                model, w, h, across, down, width, height ? height : h < 900 ? 640 : 720, lossless, dualIso, frames, {}};
        };
        const auto row = [](const QString& name, const FocusPixelClipPlan& s, Mode injected,
                            const QStringList& options = {}, bool fixed = true, const char* report = "generated map") {
            QTest::newRow(qPrintable(name)) << s << int(injected) << options << fixed << QString(report);
        };
        const std::pair<QString, std::uint32_t> cameras[] = {{"EOS M", FocusPixelLayout::kEosM},
                                                             {"650D", FocusPixelLayout::kEos650D},
                                                             {"700D", FocusPixelLayout::kEos700D},
                                                             {"100D", FocusPixelLayout::kEos100D}};
        for (const auto& [camera, model] : cameras) {
            row(camera + " 720p", plan(model, 1808, 727, 3, 5), Mode::Video720);
            row(camera + " 1080p", plan(model, 1808, 1190, 3, 3), Mode::Video1080);
            row(camera + " 3x crop", plan(model, 1872, 1060, 1, 1), Mode::Crop);
            row(camera + " zoom", plan(model, 2592, 1108, 1, 1), Mode::Zoom);
            row(camera + " crop_rec 720", plan(model, 1808, 727, 3, 3), Mode::CropRec720);
            row(camera + " 3x crop, 12-bit lossless", plan(model, 1872, 1060, 1, 1, 1280, 0, true), Mode::Crop);
        }
        const std::uint32_t m = FocusPixelLayout::kEosM, d1 = FocusPixelLayout::kEos100D;
        // Focus pixels in the first row and the last column: only the neighbours that exist serve.
        row("whole buffer, compressed DNG", plan(d1, 2592, 1108, 1, 1, 2520, 1080), Mode::Zoom, {"-c"});
        row("panning window", plan(m, 1872, 1060, 1, 1, 1280, 0, false, false, 2), Mode::Crop);
        const FocusPixelClipPlan dualIso = plan(FocusPixelLayout::kEos700D, 1808, 1190, 3, 3, 1280, 0, false, true);
        for (const char* method : {"0", "1"})
            row(QString("dual ISO, --fpi %1").arg(method), dualIso, Mode::Video1080, {"--fpi", method}, true,
                "same-ISO");
        // Rows that do not start on a whole word of the packed stream.
        row("median, odd row length", plan(d1, 1872, 1060, 1, 1, 1276), Mode::Crop, {"--fpi=1"});
        row("720p buffer without RAWC", plan(FocusPixelLayout::kEos650D, 1808, 727, 0, 0), Mode::Video720, {}, true,
            "650D, 720p,");
        row("crop_rec forced", plan(m, 1808, 727, 0, 0), Mode::CropRec720, {"--is-croprec"}, true, "crop_rec 720");
        row("--no-fixfp", plan(m, 1808, 1190, 3, 3), Mode::Video1080, {"--no-fixfp"}, false, "");
        row("no map for this buffer", plan(m, 1736, 1190, 3, 3), Mode::Video1080, {}, false, "80000331_1736x1190.fpm");
    }

    // The focus-pixel error left is under 5 % of what the writer put in, and every other pixel is as recorded.
    void conversion()
    {
        QFETCH(FocusPixelClipPlan, plan);
        QFETCH(int, injected);
        QFETCH(QStringList, options);
        QFETCH(bool, fixed);
        QFETCH(QString, report);
        plan.focusPixels = FocusPixelLattice::positions(FocusPixelLayout{plan.model, Mode(injected), plan.lossless},
                                                        plan.bufferWidth, plan.bufferHeight);
        const QString path = mDir.filePath(QString("c%1/A.MLV").arg(QTest::currentDataTag()).remove(' '));
        QVERIFY(QDir().mkpath(QFileInfo(path).path()));
        const FocusPixelClip clip = writeFocusPixelClip(path.toStdString(), plan);
        QCOMPARE(convert(path, options), 0);
        QVERIFY2(mOut.contains(report), qPrintable(mOut));
        QCOMPARE(int(mFrames.size()), plan.frames);
        for (std::size_t f = 0; f < mFrames.size(); ++f) {
            const std::vector<std::uint16_t>&truth = clip.truth[f], &recorded = clip.recorded[f];
            QCOMPARE(mFrames[f].size(), truth.size());
            double put = 0, left = 0;
            for (std::size_t i = 0; i < truth.size(); ++i) {
                if (recorded[i] == truth[i] && mFrames[f][i] != recorded[i])
                    QFAIL(qPrintable(
                        QString("pixel %1, %2 is off the map and changed").arg(i % plan.width).arg(i / plan.width)));
                put += std::abs(recorded[i] - truth[i]);
                left += std::abs(mFrames[f][i] - truth[i]);
            }
            QVERIFY(put > 0);
            if (fixed)
                QVERIFY2(left < 0.05 * put, qPrintable(QString::number(100 * left / put) + " % left"));
            else
                QCOMPARE(mFrames[f], recorded);
        }
    }

    void userMaps_data()
    {
        QTest::addColumn<QString>("file");
        QTest::addColumn<QString>("text");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<bool>("fixed");
        QTest::addColumn<QString>("report");
        const QString positions = "1000 \t 500\r\n1010\t510 extra words\r\n# a comment\r\n\r\n1020 520\r\n";
        QTest::newRow("beside the clip") << "A.fpm"
                                         << "#FPM 80000285 mine\n" + positions << 0 << true << "A.fpm";
        QTest::newRow("model and buffer") << "80000285_1808x1190.fpm" << positions << 0 << true << "80000285_1808";
        QTest::newRow("another camera") << "A.fpm"
                                        << "#FPM 80000331\n" + positions << 0 << false << "is for camera 80000331";
        QTest::newRow("malformed line") << "A.fpm" << positions + "1030,530\n" << 2 << false << "A.fpm', line 6";
    }

    // A 5D Mark III has no map of its own: only a user's map replaces anything.
    void userMaps()
    {
        QFETCH(QString, file);
        QFETCH(QString, text);
        QFETCH(int, exitCode);
        QFETCH(bool, fixed);
        QFETCH(QString, report);
        const FocusPixelClipPlan plan{
            0x80000285, 1808, 1190, 0, 0, 1280, 720, false, false, 1, {{1000, 500}, {1010, 510}, {1020, 520}}};
        const QString folder = mDir.filePath(QString("u%1").arg(QTest::currentDataTag()).remove(' '));
        QVERIFY(QDir().mkpath(folder));
        const FocusPixelClip clip = writeFocusPixelClip((folder + "/A.MLV").toStdString(), plan);
        QFile map(folder + "/" + file);
        QVERIFY(map.open(QIODevice::WriteOnly) && map.write(text.toUtf8()) == text.size() && map.flush());
        QCOMPARE(convert(folder + "/A.MLV", {"--no-fixcp"}), exitCode);
        QVERIFY2(mOut.contains(report), qPrintable(mOut));
        if (exitCode != 0) {
            QCOMPARE(QDir(folder).entryList({"*.dng", "*.wav", "*.tmp*"}, QDir::Files), QStringList());
            return;
        }
        QCOMPARE(int(mFrames.size()), 1);
        int changed = 0;
        for (std::size_t i = 0; i < mFrames[0].size(); ++i) {
            const std::uint16_t expected = fixed ? clip.truth[0][i] : clip.recorded[0][i];
            QVERIFY(std::abs(mFrames[0][i] - expected) <= (clip.recorded[0][i] != clip.truth[0][i] ? 25 : 0));
            changed += mFrames[0][i] != clip.recorded[0][i];
        }
        QCOMPARE(changed, fixed ? 3 : 0);
    }
};

QTEST_GUILESS_MAIN(TestFocusPixels)
#include "tst_focuspixels_libraw.moc"
