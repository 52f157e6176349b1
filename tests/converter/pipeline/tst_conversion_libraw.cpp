// Whole conversions through the mlv2dng executable, every DNG read back by LibRaw and checked by exiftool.
#include "librawcheck.h"
#include "lj92encoder.h"
#include "mlvwriter.h"
#include "pipeline/converter.h"

#include <QtTest>

#include <algorithm>
#include <fstream>
#include <sstream>

using namespace mlvtest;

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 32;
using Pixels = std::vector<std::uint16_t>;
using Frames = std::vector<Pixels>;

std::vector<std::uint8_t> pcm(std::size_t bytes, unsigned seed)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<std::uint8_t>(i * 31 + seed * 101);
    return data;
}

// A smooth scene, both greens alike as on a sensor: what a predictor can exploit, and nothing for the fixes.
Pixels smoothScene(int width, int height, int bits)
{
    Pixels scene;
    for (int i = 0; i < width * height; ++i)
        scene.push_back(
            std::uint16_t(level(5000 + 900 * ((i & 1) + (i / width & 1)) + 30 * (i % width) + 20 * (i / width), bits)));
    return scene;
}

enum Layout { Plain, Camera, Recompressed };

struct Case
{
    Layout layout;
    int bits = 14, predictor = 0, restartLines = 0;
    QString damage{};
    bool relaxed = false;
    QString error{};
};

// Cameras code two raw rows per JPEG line in two components; mlv_dump -c uses one component twice
// as wide. In both, stream order is raster order, so the frame's pixels go in as they are.
std::vector<std::uint8_t> payload(Layout layout, const Pixels& pixels, int bits, int predictor, int restartLines,
                                  int lines = kHeight / 2)
{
    if (layout == Plain)
        return MlvWriter::pack(pixels, bits);
    const int width = layout == Camera ? kWidth : 2 * kWidth;
    return mlv2dng::encodeLj92(
        pixels, {width, lines, layout == Camera ? 2 : 1, bits, predictor, restartLines * width, layout == Camera});
}

}  // namespace

Q_DECLARE_METATYPE(Case)

class TestConversion : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    unsigned mSeed = 0;
    QString mLastReport;  // standard output of the last convert()

    QString path(const QString& name) const { return mDir.filePath(name); }

    Frames newFrames(int count, int bits)
    {
        Frames frames;
        for (int i = 0; i < count; ++i)
            frames.push_back(testPattern(kWidth, kHeight, bits, ++mSeed));
        return frames;
    }

    // Runs mlv2dng and checks the outcome: exit code, "[ERROR] " or "[WARNING] " lines only, naming the reason, and
    // exactly the DNGs of the frames kept (nothing half-written), read whole by LibRaw, valid to exiftool.
    QStringList convert(const QString& input, const QString& out, const QStringList& options, int exitCode,
                        const QString& error, const Frames& frames, const QList<int>& kept, int bits = 14,
                        int width = kWidth, int height = kHeight)
    {
        const ProgramRun result = runProgram(MLV2DNG_PATH, options + QStringList{"-o", out, input});
        mLastReport = result.out;
        QStringList files, expected;
        for (const QString& f : QDir(QFileInfo(out).path()).entryList({QFileInfo(out).fileName() + "*"}, QDir::Files))
            files << QFileInfo(out).path() + "/" + f;
        for (const int i : kept)
            expected << out + QString("%1.dng").arg(i, 6, 10, QChar('0'));
        [&] {
            QCOMPARE(result.exitCode, exitCode);
            QVERIFY2(error.isEmpty() ? result.err.isEmpty() : result.err.contains(error), qPrintable(result.err));
            for (const QString& line : result.err.split('\n', Qt::SkipEmptyParts))
                QVERIFY2(line.startsWith("[ERROR] ") || line.startsWith("[WARNING] "), qPrintable(line));
            QCOMPARE(files, expected);
            Pixels pixels;
            for (int i = 0; i < kept.size(); ++i) {
                QCOMPARE(readDng(files[i], pixels), QString::asprintf("%dx%d black %d white %d RGGB", width, height,
                                                                      level(2048, bits), level(15000, bits)));
                if (!frames.empty())
                    QCOMPARE(pixels, frames[std::size_t(kept[i])]);
            }
            if (!files.isEmpty())
                QCOMPARE(exiftoolProblems(files), QString());
        }();
        return QTest::currentTestFailed() ? QStringList() : files;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(), "exiftool is needed");
    }

    void conversion_data()
    {
        QTest::addColumn<Case>("c");
        for (const int bits : {10, 12, 14, 16})
            QTest::addRow("%d-bit", bits) << Case{Plain, bits};
        QTest::newRow("camera, predictor 1") << Case{Camera, 14, 1};
        QTest::newRow("camera, 12-bit, predictor 6, restarts") << Case{Camera, 12, 6, 3};
        QTest::newRow("mlv_dump -c, predictor 2, restarts") << Case{Recompressed, 14, 2, 4};
        for (const bool relaxed : {false, true}) {
            const char* r = relaxed ? ", relaxed" : "";
            QTest::addRow("truncated%s", r)
                << Case{Plain, 14, 0, 0, "truncated", relaxed, relaxed ? "[WARNING] " : "[ERROR] "};
            QTest::addRow("short frame%s", r) << Case{Plain, 14, 0, 0, "short", relaxed, "frame 3"};
            QTest::addRow("bad audio frame space%s", r) << Case{Plain, 14, 0, 0, "audio", relaxed, "frame space"};
            QTest::addRow("lossless wrong size%s", r) << Case{Camera, 14, 1, 0, "size", relaxed, "frame 3"};
        }
        QTest::newRow("bad block size") << Case{Plain, 14, 0, 0, "blocksize", false, "block size"};
    }

    // Frames stored 0, 2, 1, 3, 4 with filler around the data, an unknown block, a stale index and
    // metadata changing between them: each DNG is named after its own frame number, holds exactly
    // its pixels and the metadata last seen before it. Damage to frame 3 ends the run with the
    // frames before it kept, or with --relaxed skips it and goes on; a cut in the last frame is only
    // a warning with --relaxed.
    void conversion()
    {
        QFETCH(const Case, c);
        const auto& [layout, bits, predictor, restartLines, damage, relaxed, error] = c;
        const QString name = "C" + QString::number(++mSeed);
        const Frames frames = newFrames(5, bits);
        MlvWriter w = MlvWriter::recording(kWidth, kHeight, bits, layout == Plain ? 1 : 0x21, damage == "audio");
        const auto frame = [&](int i, std::uint32_t space, std::uint32_t trailing) {
            w.videoPayload(std::uint32_t(i), payload(layout, frames[std::size_t(i)], bits, predictor, restartLines),
                           space, trailing, 1000000 * std::uint64_t(i + 1));
        };
        frame(0, 32, 400);
        w.exposure(3200, 10000, 1100000);
        w.block("ZZZZ", std::vector<std::uint8_t>(20, 0x42));
        frame(2, 0, 0);
        frame(1, 96, 3);
        std::vector<std::uint8_t> broken = payload(layout, frames[3], bits, predictor, restartLines);
        if (damage == "short")
            broken.resize(broken.size() / 2);
        else if (damage == "size")
            broken = payload(layout, Pixels(frames[3].begin(), frames[3].end() - 2 * kWidth), bits, predictor,
                             restartLines, kHeight / 2 - 1);
        if (damage == "audio") {
            w.audioFrame(0, pcm(64, 1));
            w.bytes()[w.bytes().size() - 64 - 4] = 0xff;  // frame space far beyond the block
        }
        const std::size_t at = w.bytes().size();
        w.videoPayload(3, broken, 32);
        if (damage == "blocksize")
            w.bytes()[at + 4] = 3, w.bytes()[at + 5] = w.bytes()[at + 6] = w.bytes()[at + 7] = 0;
        frame(4, 32, 0);
        if (damage == "truncated")
            w.bytes().resize(w.bytes().size() - 700);
        QVERIFY(w.save(path(name + ".MLV").toStdString()));
        std::ofstream(path(name + ".IDX").toStdString()) << "stale index, not an MLV at all";

        // Random pixels look like cold pixels to the fixes, so they are off to compare values exactly.
        QStringList options{"--dng", "--no-fixcp", "--no-stripes"};
        if (relaxed)
            options << "--relaxed";
        QList<int> kept{0, 1, 2, 3, 4};
        if (damage == "truncated")
            kept = {0, 1, 2, 3};  // the cut is inside the last frame
        else if (!damage.isEmpty() && !(relaxed && damage == "audio"))
            kept = relaxed ? QList<int>{0, 1, 2, 4} : QList<int>{0, 1, 2};
        const bool succeeds = damage.isEmpty() || (relaxed && damage == "truncated");
        const QStringList files =
            convert(path(name + ".MLV"), path(name + "_"), options, succeeds ? 0 : 1, error, frames, kept, bits);
        QCOMPARE(mLastReport.contains("frames per second"), succeeds || (relaxed && damage != "truncated"));
        if (!damage.isEmpty() || files.isEmpty())
            return;
        // The same with -c: lossless-JPEG DNGs (compression 7) in which LibRaw reads the very same pixels.
        const QStringList compressed =
            convert(path(name + ".MLV"), path(name + "c_"), options << "-c", 0, error, frames, kept, bits);
        QVERIFY(!compressed.isEmpty());
        QCOMPARE(exifValues(compressed[0], {"Compression"}), QStringList{"7"});
        QCOMPARE(exifValues(files[0], {"ISO"}), QStringList{"400"});
        // Frame 1 is stored after the EXPO change, and 1.999996 s after the clock.
        QCOMPARE(exifValues(files[1],
                            {"ISO", "BitsPerSample", "ModifyDate", "AsShotNeutral", "DefaultScale", "SubjectDistance",
                             "ReelName", "LensModel", "CameraSerialNumber", "ImageDescription"}),
                 (QStringList{"3200", QString::number(bits), "2024:03:09 10:11:13", "2 1 1.5", "1 1.666666667", "1.5",
                              name, "EF24-70mm f/2.8L II USM", "4B0A1", "take 3"}));
    }

    // Frames spread over .MLV, .M00 and .M01 (case kept) all come out; a sibling in the other case
    // is not a chunk. A chunk from another recording is reported, but its frames are still converted.
    void spannedChunks()
    {
        for (const auto& [extension, chunkGuid] :
             {std::pair(QString("MLV"), 0xabcdefu), {"mlv", 0xabcdefu}, {"MLV", 0x999u}}) {
            const QString chunk = extension.left(1), name = "Span" + QString::number(++mSeed);
            const Frames frames = newFrames(5, 14);
            MlvWriter chunks[3] = {MlvWriter::recording(kWidth, kHeight, 14), {}, {}};
            chunks[1].fileHeader(0xabcdef, 1, 1, 0, 2);
            chunks[1].padTo(512);
            chunks[2].fileHeader(chunkGuid, 2, 1, 0, 1);
            for (const std::uint32_t i : {0, 2, 1, 3, 4})  // 0 and 2 in the first chunk, 1 and 3 in the second
                chunks[i == 4 ? 2 : i % 2].videoFrame(i, frames[i], 14, 32);
            for (const int c : {0, 1, 2})
                QVERIFY(chunks[c].save(
                    path(name + "." + (c ? chunk + QString("0%1").arg(c - 1) : extension)).toStdString()));
            std::ofstream(path(name + "." + (chunk == "M" ? "m" : "M") + "02").toStdString()) << "not part of it";
            const bool foreign = chunkGuid != 0xabcdef;
            convert(path(name + "." + extension), path(name + "_"), {"--dng", "--no-fixcp", "--no-stripes"}, foreign,
                    foreign ? "GUID" : "", frames, {0, 1, 2, 3, 4});
        }
    }

    // The fixes run in the converter itself: dead pixels injected into a smooth scene come out
    // repaired unless the options turn that off. One stays put in both frames, the other is dead
    // in the second frame only, so only per-frame detection can see it. Each row: layout, options,
    // whether the still and the moving one are repaired.
    void defaultFixes()
    {
        for (const auto& [layout, options, fixesStill, fixesMoving] : {std::tuple(Plain, QStringList(), true, false),
                                                                       {Plain, {"--no-fixcp"}, false, false},
                                                                       {Plain, {"--no-fixcp", "--fixcp2"}, true, true},
                                                                       {Camera, {}, true, false}}) {
            const QString name = "Fix" + QString::number(++mSeed);
            const Pixels scene = smoothScene(kWidth, kHeight, 14);
            const std::size_t still = 13 * kWidth + 22, moving = 20 * kWidth + 41;
            Frames frames{scene, scene};
            frames[0][still] = frames[1][still] = frames[1][moving] = 0;
            MlvWriter w = MlvWriter::recording(kWidth, kHeight, 14, layout == Plain ? 1 : 0x21);
            for (std::uint32_t i = 0; i < 2; ++i)
                w.videoPayload(i, payload(layout, frames[i], 14, 6, 0), 32);
            QVERIFY(w.save(path(name + ".MLV").toStdString()));
            const QStringList files =
                convert(path(name + ".MLV"), path(name + "_"), QStringList{"--dng"} + options, 0, "", {}, {0, 1});
            Pixels got;
            for (int frame = 0; frame < files.size(); ++frame) {
                readDng(files[frame], got);
                for (std::size_t i = 0; i < scene.size(); ++i) {
                    const bool dead = i == still || (frame == 1 && i == moving);
                    const bool repaired = i == still ? fixesStill : fixesMoving;
                    // A smooth scene has no stripes to remove and nothing else to repair.
                    const int tolerance = !dead ? 1 : repaired ? (scene[i] - 2048) / 50 : 0;
                    const int expected = dead && !repaired ? 0 : scene[i];
                    QVERIFY2(std::abs(int(got[i]) - expected) <= tolerance,
                             qPrintable(QString("%1 frame %2 pixel %3: %4").arg(name).arg(frame).arg(i).arg(got[i])));
                }
            }
        }
    }

    // Odd widths go as one component, whose left neighbour is another colour; the fixes run before the
    // compression. Either way -c gives LibRaw the frame, levels and pixels of the packed DNG, and a smooth
    // scene in fewer bytes where the colours pair up. LibRaw takes nothing below 22 pixels either way for a
    // raw image. Each row: depth, width, height and options.
    void compressedShapes()
    {
        const QStringList off{"--no-fixcp", "--no-stripes"};
        for (const auto& [bits, width, height, options] : {std::tuple(14, 37, 24, off),  // odd width
                                                           {12, 23, 23, off},            // odd width and height
                                                           {14, 70, 22, off},            // width not a multiple of 8
                                                           {10, 64, 32, {"--fixcp2", "--cs3x3"}}}) {
            const QString stem = path("Shape" + QString::number(++mSeed)), mlv = stem + ".MLV";
            MlvWriter w = MlvWriter::recording(width, height, bits);
            w.videoFrame(0, smoothScene(width, height, bits), bits, 32);
            QVERIFY(w.save(mlv.toStdString()));
            // Packed rows of odd widths end on a byte, as TIFF wants; exiftool's size check forgets that, so only
            // the compressed DNG goes through convert().
            const ProgramRun r = runProgram(MLV2DNG_PATH, options + QStringList{"--dng", "-o", stem + "u_", mlv});
            QVERIFY2(r.exitCode == 0 && r.err.isEmpty(), qPrintable(r.err));
            const QStringList files =
                QStringList{stem + "u_000000.dng"}
                + convert(mlv, stem + "c_", options + QStringList{"--dng", "-c"}, 0, "", {}, {0}, bits, width, height);
            QCOMPARE(files.size(), 2);
            Pixels packed, compressed;
            QCOMPARE(readDng(files[0], packed), readDng(files[1], compressed));
            QVERIFY2(compressed == packed, qPrintable(stem));
            QCOMPARE(exifValues(files[1], {"Compression"}), QStringList{"7"});
            QVERIFY(width % 2 || QFileInfo(files[1]).size() < QFileInfo(files[0]).size() * 3 / 4);
        }
    }

    // Nothing is written, and the reason is given on "[ERROR] " lines only. Each row: what is wrong, the exit code
    // and the reason given.
    void refusedInputs()
    {
        for (const auto& [kind, exitCode, reason] :
             {std::tuple(QString("empty"), 1, QString("empty")),
              {"garbage", 1, "MLVI"},  // not an MLV
              {"norawi", 1, "RAWI"},   // a frame before RAWI
              {"delta", 1, "delta"},
              {"missing", 3, "cannot open"},
              {"nodir", 1, "folder '" + path("nowhere") + "' does not exist"},
              {"notdir", 1, "Rnotdir.MLV' is not a folder"},  // the output folder is a file
              {"nodng", 2, "Usage:"}}) {
            MlvWriter w;
            if (kind == "garbage")
                w.block("ABCD", std::vector<std::uint8_t>(100, 0x99));
            else if (kind == "norawi")
                w.fileHeader(1, 0, 1, 0, 1);
            else if (kind != "empty")
                w = MlvWriter::recording(kWidth, kHeight, 14, kind == "delta" ? 0x41 : 1);
            if (kind != "empty" && kind != "garbage")
                w.videoFrame(0, testPattern(kWidth, kHeight, 14, 1), 14);
            if (kind != "missing")
                QVERIFY(w.save(path("R" + kind + ".MLV").toStdString()));
            const QString out = kind == "nodir"    ? path("nowhere/R_")
                                : kind == "notdir" ? path("Rnotdir.MLV/R_")
                                                   : path("R" + kind + "_");
            convert(path("R" + kind + ".MLV"), out, kind == "nodng" ? QStringList{} : QStringList{"--dng"}, exitCode,
                    reason, {}, {});
            QVERIFY(!QFileInfo::exists(path("nowhere")));
            QVERIFY2(!mLastReport.contains("Processed"), qPrintable(kind + ": " + mLastReport));
        }
    }

    // A frame that cannot be stored is no damaged frame; the run stops there, or goes on with --relaxed.
    void writeError()
    {
        for (const bool relaxed : {false, true}) {
            const QList<int> kept = relaxed ? QList<int>{0, 2, 3} : QList<int>{0};
            const QString report = relaxed ? "Could not write 1 frames\nProcessed 3 video" : "Wrote 1 DNG frames";
            const QString name = QString("W%1").arg(relaxed);
            MlvWriter w = MlvWriter::recording(kWidth, kHeight, 14);
            for (std::uint32_t i = 0; i < 4; ++i)
                w.videoFrame(i, testPattern(kWidth, kHeight, 14, i), 14);
            QVERIFY(w.save(path(name + ".MLV").toStdString()));
            // A folder in the way of frame 1's name: the finished file cannot be renamed into place.
            QVERIFY(QDir().mkpath(path(name + "_000001.dng")));
            const QStringList options = relaxed ? QStringList{"--dng", "--relaxed"} : QStringList{"--dng"};
            convert(path(name + ".MLV"), path(name + "_"), options, 1, name + "_000001.dng", {}, kept);
            QVERIFY2(QRegularExpression(report).match(mLastReport).hasMatch(), qPrintable(mLastReport));
            QVERIFY2(!mLastReport.contains("damaged") && mLastReport.contains("Processed") == relaxed,
                     qPrintable(mLastReport));
        }
    }

    // Korvalin's options for a job (its own batches run this converter in the integration test). -v adds
    // one line per block to the report, and nothing to standard error. Sound comes out as one WAV with
    // bext, its frames placed by number whatever their order and filler.
    void verboseJobWithSound()
    {
        const QString clip = "A001C001", output = path("Footage/" + clip + "/");
        QVERIFY(QDir().mkpath(output));
        MlvWriter w = MlvWriter::recording(kWidth, kHeight, 14, 1, 1);
        QByteArray pcmData;
        for (const std::uint32_t i : {1, 0, 3, 2}) {
            w.videoFrame(i, testPattern(kWidth, kHeight, 14, i + 50), 14, 32, 0, 2000000 + i * 40000);
            w.audioFrame(i, pcm(7680, i), 8 * i, 2000000 + i * 40000);
        }
        for (unsigned i = 0; i < 4; ++i)
            pcmData.append(reinterpret_cast<const char*>(pcm(7680, i).data()), 7680);
        const auto lens = std::search(w.bytes().begin(), w.bytes().end(), "LENS", "LENS" + 4);
        lens[18] = lens[19] = 0xff;  // focused at infinity
        QVERIFY(w.save(path("Footage/" + clip + ".mlv").toStdString()));
        const ProgramRun job =
            runProgram(MLV2DNG_PATH, {"-o", output + clip + "_", "-v", "--relaxed", "--dng", "--cs5x5", "--no-fixcp",
                                      "--fixcp2", "--no-stripes", path("Footage/" + clip + ".mlv")});
        QCOMPARE(job.err, QString());
        QCOMPARE(job.exitCode, 0);
        QCOMPARE(QDir(output).entryList(QDir::Files, QDir::Name),
                 (QStringList{clip + ".wav", clip + "_000000.dng", clip + "_000001.dng", clip + "_000002.dng",
                              clip + "_000003.dng"}));
        QCOMPARE(job.out.count("\nBlock VIDF"), 4);
        QCOMPARE(exifValues(output + clip + "_000000.dng", {"SubjectDistance"}), QStringList{"4294967295"});
        QCOMPARE(QString::number(job.out.count("\nBlock ")),
                 QRegularExpression("Chunk 1: (\\d+) blocks read").match(job.out).captured(1));

        QFile wav(output + clip + ".wav");
        QVERIFY(wav.open(QIODevice::ReadOnly));
        const QByteArray bytes = wav.readAll();
        const auto le32 = [](qint64 v) {
            return QByteArray() + char(v) + char(v >> 8) + char(v >> 16) + char(v >> 24);
        };
        QCOMPARE(bytes.left(16), "RIFF" + le32(bytes.size() - 8) + "WAVEbext");
        QCOMPARE(bytes.mid(12 + 8 + 602, 8), "iXML" + le32(1024));
        QCOMPARE(bytes.right(pcmData.size() + 8), "data" + le32(pcmData.size()) + pcmData);
        // An independent reader agrees on the format and on the start time (whole seconds after the clock).
        QCOMPARE(
            exifValues(wav.fileName(), {"Encoding", "NumChannels", "SampleRate", "DateTimeOriginal", "TimeReference"}),
            (QStringList{"1", "2", "48000", "2024:03:09 10:11:13",
                         QString::number((10 * 3600 + 11 * 60 + 13) * 48000)}));
    }

    // A damaged frame stops the run wherever the reader has got to meanwhile: the WAV holds exactly the
    // sound stored before that frame, and every byte written and every line reported (timing aside) is the
    // same run after run, with more workers than cores to stir the timing.
    void damagedClipConvertsAlike()
    {
        constexpr int kFrames = 40, kDamaged = 6;
        MlvWriter w = MlvWriter::recording(kWidth, kHeight, 14, 1, true);
        for (int i = 0; i < kFrames; ++i) {
            std::vector<std::uint8_t> pixels = MlvWriter::pack(testPattern(kWidth, kHeight, 14, unsigned(i)), 14);
            if (i == kDamaged)
                pixels.resize(pixels.size() / 2);
            w.videoPayload(std::uint32_t(i), pixels, 0, 0, 1000000 + 40000 * std::uint64_t(i));
            w.audioFrame(std::uint32_t(i), pcm(7680, unsigned(i)), 0, 1000000 + 40000 * std::uint64_t(i));
        }
        QVERIFY(w.save(path("Damaged.MLV").toStdString()));
        mlv2dng::ConverterOptions options;
        options.input = path("Damaged.MLV").toStdString();
        options.prefix = path("damaged/D_").toStdString();
        options.dng = options.verbose = true;
        options.workers = 6;
        QByteArray first;
        for (int run = 0; run < 10; ++run) {
            QDir output(path("damaged"));
            QVERIFY(output.removeRecursively() && output.mkpath("."));
            std::ostringstream out, err;
            QCOMPARE(mlv2dng::Converter(options, out, err).run(), int(mlv2dng::Converter::Failed));
            QString report = QString::fromStdString(out.str() + err.str());
            report.remove(QRegularExpression("Processed [^\\n]*"));
            QByteArray all = report.toUtf8();
            for (const QString& name : output.entryList(QDir::Files, QDir::Name)) {
                QFile file(output.filePath(name));
                QVERIFY(file.open(QIODevice::ReadOnly));
                all += name.toUtf8() + '\n' + file.readAll();
            }
            if (run == 0) {
                QVERIFY2(report.contains(QString("Wrote %1 DNG frames").arg(kDamaged)), qPrintable(report));
                QVERIFY2(report.contains(QString("(%1 bytes of sound)").arg(kDamaged * 7680)), qPrintable(report));
                first = all;
            }
            QVERIFY2(all == first, qPrintable(QString("run %1 differs from the first").arg(run)));
        }
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion_libraw.moc"
