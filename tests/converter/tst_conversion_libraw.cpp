// Whole conversions through the mlv2dng executable, every DNG read back by LibRaw and checked by exiftool.
#include "conversionharness.h"
#include "mlvwriter.h"

#include <QtTest>

#include <cmath>
#include <fstream>

namespace {

using mlvtest::Readback;
using mlvtest::Run;
using mlvtest::exiftoolProblems;
using mlvtest::exifValue;
using mlvtest::readDng;
using mlvtest::runConverter;

constexpr int kWidth = 64;
constexpr int kHeight = 32;

std::vector<std::uint8_t> pcm(std::size_t bytes, unsigned seed)
{
    std::vector<std::uint8_t> data(bytes);
    for (std::size_t i = 0; i < bytes; ++i)
        data[i] = static_cast<std::uint8_t>((i * 31 + seed * 101) & 0xff);
    return data;
}

QByteArray readAll(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

quint32 le32(const QByteArray& bytes, int at)
{
    return quint32(quint8(bytes[at])) | quint32(quint8(bytes[at + 1])) << 8 | quint32(quint8(bytes[at + 2])) << 16
        | quint32(quint8(bytes[at + 3])) << 24;
}

}  // namespace

class TestConversion : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;
    int mFrameSeed = 0;

    QString path(const QString& name) const { return mDir.filePath(name); }

    // Writes a clip header in the way mlv_lite lays it out: headers, then a NULL pad to 512.
    mlvtest::MlvWriter clipHeader(int bits, int white, std::uint16_t videoClass = 1, std::uint16_t audioClass = 0,
                                  std::uint64_t guid = 0xabcdef)
    {
        mlvtest::MlvWriter w;
        w.fileHeader(guid, 0, videoClass, audioClass, 3);
        w.rawInfo(kWidth, kHeight, bits, 2048 >> (14 - std::min(bits, 14)), white);
        w.camera("Canon EOS 5D Mark III", 0x80000285, "4B0A1");
        w.exposure(400, 20000);
        w.lens(24, 1500, 400, "EF24-70mm f/2.8L II USM", "0000123456");
        w.clock(124, 2, 9, 10, 11, 12);
        w.whiteBalance(6, 5500, 2048, 1024, 1536);
        w.capture(3, 0, 5, 0);
        w.info("take 3");
        w.padTo(512);
        return w;
    }

    // Checks one written frame against the pixels that went in, through LibRaw.
    void expectFrame(const QString& file, const std::vector<std::uint16_t>& pixels, unsigned black, unsigned white)
    {
        const Readback r = readDng(file);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.width, kWidth);
        QCOMPARE(r.height, kHeight);
        QCOMPARE(r.black, black);
        QCOMPARE(r.white, white);
        QCOMPARE(r.cfa, QString("RGGB"));
        QCOMPARE(r.pixels, pixels);
    }

    // A smooth 14-bit ramp well inside black and white, red, green and blue each at their own level.
    static std::vector<std::uint16_t> smoothScene()
    {
        std::vector<std::uint16_t> pixels;
        for (int y = 0; y < kHeight; ++y) {
            for (int x = 0; x < kWidth; ++x) {
                const int colour = (x & 1) + (y & 1);  // RGGB: both greens alike, as on a sensor
                pixels.push_back(static_cast<std::uint16_t>(5000 + 900 * colour + 30 * x + 20 * y));
            }
        }
        return pixels;
    }

    QStringList written(const QString& pattern) const
    {
        QStringList files;
        for (const QString& name : QDir(mDir.path()).entryList({pattern}, QDir::Files, QDir::Name))
            files << path(name);
        return files;
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
        QVERIFY2(!QStandardPaths::findExecutable("exiftool").isEmpty(), "exiftool is needed");
    }

    void depthsOrderAndMetadata_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<int>("white");
        QTest::newRow("10-bit") << 10 << 938;
        QTest::newRow("12-bit") << 12 << 3750;
        QTest::newRow("14-bit") << 14 << 15000;
        QTest::newRow("16-bit") << 16 << 60000;
    }

    // Frames stored 0, 2, 1 with padding around the data and metadata changing between them:
    // each DNG is named after its own frame number, holds its own pixels and the metadata last seen.
    void depthsOrderAndMetadata()
    {
        QFETCH(int, bits);
        QFETCH(int, white);
        const QString name = QString("D%1").arg(bits);
        mlvtest::MlvWriter w = clipHeader(bits, white);
        std::vector<std::vector<std::uint16_t>> frames;
        for (int i = 0; i < 3; ++i)
            frames.push_back(mlvtest::testPattern(kWidth, kHeight, bits, static_cast<unsigned>(++mFrameSeed)));
        w.videoFrame(0, frames[0], bits, 32, 400, 1000000);
        w.exposure(3200, 10000, 1100000);
        w.block("ZZZZ", std::vector<std::uint8_t>(20, 0x42));
        w.videoFrame(2, frames[2], bits, 0, 0, 3000000);
        w.videoFrame(1, frames[1], bits, 96, 3, 2000000);
        QVERIFY(w.save(path(name + ".MLV").toStdString()));
        std::ofstream(path(name + ".IDX").toStdString()) << "stale index, not an MLV at all";

        QVERIFY(QDir(mDir.path()).mkpath(name));
        const Run run = runConverter({"-o", path(name + "/" + name + "_"), "--dng", "--no-fixcp", "--no-stripes",
                                      "--no-cs", path(name + ".MLV")});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        QVERIFY(run.out.contains("3 DNG frames"));

        const QStringList files = QDir(path(name)).entryList(QDir::Files, QDir::Name);
        QCOMPARE(files, (QStringList{name + "_000000.dng", name + "_000001.dng", name + "_000002.dng"}));
        const unsigned black = static_cast<unsigned>(2048 >> (14 - std::min(bits, 14)));
        for (int i = 0; i < 3; ++i)
            expectFrame(path(QString("%1/%1_%2.dng").arg(name).arg(i, 6, 10, QChar('0'))), frames[std::size_t(i)], black,
                        static_cast<unsigned>(white));

        QStringList full;
        for (const QString& f : files)
            full << path(name + "/" + f);
        QCOMPARE(exiftoolProblems(full), QString());
        QCOMPARE(exifValue(full[0], "ISO"), QString("400"));
        QCOMPARE(exifValue(full[1], "ISO"), QString("3200"));  // stored after the EXPO change
        QCOMPARE(exifValue(full[2], "ISO"), QString("3200"));
        QCOMPARE(exifValue(full[1], "BitsPerSample"), QString::number(bits));
        QCOMPARE(exifValue(full[1], "ModifyDate"), QString("2024:03:09 10:11:13"));  // 1.999996 s after the clock
        QCOMPARE(exifValue(full[1], "AsShotNeutral"), QString("2 1 1.5"));
        QCOMPARE(exifValue(full[1], "DefaultScale"), QString("1 1.666666667"));
        QCOMPARE(exifValue(full[1], "SubjectDistance"), QString("1.5"));
        QCOMPARE(exifValue(full[1], "ReelName"), name);
        QCOMPARE(exifValue(full[1], "LensModel"), QString("EF24-70mm f/2.8L II USM"));
        QCOMPARE(exifValue(full[1], "CameraSerialNumber"), QString("4B0A1"));
        QCOMPARE(exifValue(full[1], "ImageDescription"), QString("take 3"));
    }

    void spannedChunks_data()
    {
        QTest::addColumn<QString>("extension");
        QTest::addColumn<QString>("chunkPrefix");
        QTest::newRow("upper case") << "MLV" << "M";
        QTest::newRow("lower case") << "mlv" << "m";
    }

    // Frames spread over .MLV, .M00 and .M01 (case kept) all come out; a sibling in the other case is not a chunk.
    void spannedChunks()
    {
        QFETCH(QString, extension);
        QFETCH(QString, chunkPrefix);
        const QString base = extension == "MLV" ? "Span" : "lowspan";  // name filters ignore case
        std::vector<std::vector<std::uint16_t>> frames;
        for (int i = 0; i < 5; ++i)
            frames.push_back(mlvtest::testPattern(kWidth, kHeight, 14, static_cast<unsigned>(++mFrameSeed)));

        mlvtest::MlvWriter first = clipHeader(14, 15000);
        first.videoFrame(0, frames[0], 14, 32);
        first.videoFrame(2, frames[2], 14, 32);
        QVERIFY(first.save(path(base + "." + extension).toStdString()));
        mlvtest::MlvWriter second;
        second.fileHeader(0xabcdef, 1, 1, 0, 2);
        second.padTo(512);
        second.videoFrame(1, frames[1], 14, 32);
        second.videoFrame(3, frames[3], 14, 32);
        QVERIFY(second.save(path(base + "." + chunkPrefix + "00").toStdString()));
        mlvtest::MlvWriter third;
        third.fileHeader(0xabcdef, 2, 1, 0, 1);
        third.videoFrame(4, frames[4], 14, 32);
        QVERIFY(third.save(path(base + "." + chunkPrefix + "01").toStdString()));
        const QString decoy = path(base + "." + (chunkPrefix == "M" ? "m" : "M") + "02");
        std::ofstream(decoy.toStdString()) << "not part of it";

        // Random pixels look like cold pixels to the fixes, so they are off to compare values exactly.
        const Run run = runConverter({"--dng", "--no-fixcp", "--no-stripes", "-o", path(base + "_"),
                                      path(base + "." + extension)});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);
        const QStringList files = written(base + "_*.dng");
        QCOMPARE(files.size(), 5);
        for (int i = 0; i < 5; ++i)
            expectFrame(files[i], frames[std::size_t(i)], 2048, 15000);
        QCOMPARE(exiftoolProblems(files), QString());
    }

    void defaultFixesRun_data()
    {
        QTest::addColumn<QStringList>("options");
        QTest::addColumn<bool>("fixesStill");
        QTest::addColumn<bool>("fixesMoving");
        QTest::newRow("defaults") << QStringList{} << true << false;
        QTest::newRow("--no-fixcp") << QStringList{"--no-fixcp"} << false << false;
        QTest::newRow("--fixcp2") << QStringList{"--fixcp2"} << true << true;
        QTest::newRow("--no-fixcp --fixcp2") << QStringList{"--no-fixcp", "--fixcp2"} << true << true;
    }

    // The fixes run in the converter itself: dead pixels injected into a smooth scene come out
    // repaired in the DNGs unless the options turn that off. One stays put in both frames, the
    // other is dead in the second frame only, so only per-frame detection can see it.
    void defaultFixesRun()
    {
        QFETCH(QStringList, options);
        QFETCH(bool, fixesStill);
        QFETCH(bool, fixesMoving);
        const QString name = "Fix" + QString::number(++mFrameSeed);
        const std::vector<std::uint16_t> scene = smoothScene();
        const std::size_t still = 13 * kWidth + 22;
        const std::size_t moving = 20 * kWidth + 41;
        std::vector<std::uint16_t> first = scene, second = scene;
        first[still] = 0;
        second[still] = 0;
        second[moving] = 0;
        mlvtest::MlvWriter w = clipHeader(14, 15000);
        w.videoFrame(0, first, 14, 32);
        w.videoFrame(1, second, 14, 32);
        QVERIFY(w.save(path(name + ".MLV").toStdString()));
        const Run run = runConverter(QStringList{"--dng", "-o", path(name + "_"), path(name + ".MLV")} + options);
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);

        const QStringList files = written(name + "_*.dng");
        QCOMPARE(files.size(), 2);
        QCOMPARE(exiftoolProblems(files), QString());
        for (int frame = 0; frame < 2; ++frame) {
            const Readback r = readDng(files[frame]);
            QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
            QCOMPARE(r.pixels.size(), scene.size());
            for (std::size_t i = 0; i < scene.size(); ++i) {
                const bool dead = i == still || (frame == 1 && i == moving);
                const bool repaired = i == still ? fixesStill : fixesMoving;
                if (dead && !repaired) {
                    QCOMPARE(int(r.pixels[i]), 0);
                } else if (dead) {
                    const double error = std::abs(double(r.pixels[i]) - scene[i]) / (scene[i] - 2048);
                    QVERIFY2(error <= 0.02, qPrintable(QString("pixel %1 of frame %2 repaired to %3, truth %4")
                                                           .arg(i).arg(frame).arg(r.pixels[i]).arg(scene[i])));
                } else {
                    // A smooth scene has no stripes to remove and nothing else to repair.
                    QVERIFY2(std::abs(int(r.pixels[i]) - int(scene[i])) <= 1,
                             qPrintable(QString("pixel %1 of frame %2 moved from %3 to %4")
                                            .arg(i).arg(frame).arg(scene[i]).arg(r.pixels[i])));
                }
            }
        }
    }

    // A chunk from another recording is reported, but its frames are still converted.
    void foreignChunkIsReported()
    {
        mlvtest::MlvWriter first = clipHeader(14, 15000);
        first.videoFrame(0, mlvtest::testPattern(kWidth, kHeight, 14, 1), 14);
        QVERIFY(first.save(path("G.MLV").toStdString()));
        mlvtest::MlvWriter other;
        other.fileHeader(0x999, 1, 1, 0, 1);
        other.videoFrame(1, mlvtest::testPattern(kWidth, kHeight, 14, 2), 14);
        QVERIFY(other.save(path("G.M00").toStdString()));
        const Run run = runConverter({"--dng", "-o", path("G_"), path("G.MLV")});
        QVERIFY(run.err.startsWith("[ERROR] ") && run.err.contains("GUID"));
        QCOMPARE(run.exitCode, 1);
        QCOMPARE(written("G_*.dng").size(), 2);
    }

    // Sound comes out as one WAV with bext, its frames placed by number, next to the DNGs.
    void audio()
    {
        mlvtest::MlvWriter w = clipHeader(14, 15000, 1, 1);
        w.audioFormat(2, 48000, 16);
        const auto first = pcm(3840, 1), second = pcm(3840, 2), third = pcm(3840, 3);
        w.audioFrame(1, second, 16, 2040000);
        w.videoFrame(0, mlvtest::testPattern(kWidth, kHeight, 14, 7), 14, 32, 0, 2000000);
        w.audioFrame(0, first, 0, 2000000);
        w.audioFrame(2, third, 8, 2080000);
        QVERIFY(w.save(path("Snd.MLV").toStdString()));
        QVERIFY(QDir(mDir.path()).mkpath("Snd"));
        const Run run = runConverter({"-o", path("Snd/Snd_"), "--dng", path("Snd.MLV")});
        QCOMPARE(run.err, QString());
        QCOMPARE(run.exitCode, 0);

        const QByteArray wav = readAll(path("Snd/Snd.wav"));
        QVERIFY(wav.startsWith("RIFF"));
        QCOMPARE(le32(wav, 4), quint32(wav.size() - 8));
        QCOMPARE(wav.mid(8, 8), QByteArray("WAVEbext"));
        const int bext = 20;
        QCOMPARE(wav.mid(bext + 320, 10), QByteArray("2024-03-09"));
        QCOMPARE(wav.mid(bext + 330, 8), QByteArray("10:11:13"));  // whole seconds after the clock block
        QCOMPARE(le32(wav, bext + 338), quint32((10 * 3600 + 11 * 60 + 13) * 48000));
        const int fmt = wav.indexOf("fmt ");
        QVERIFY(fmt > 0);
        QCOMPARE(le32(wav, fmt + 8) & 0xffff, 1u);           // PCM
        QCOMPARE(le32(wav, fmt + 8) >> 16, 2u);              // channels
        QCOMPARE(le32(wav, fmt + 12), 48000u);
        const int data = wav.indexOf("data", fmt);
        QCOMPARE(le32(wav, data + 4), quint32(3 * 3840));
        QByteArray expected;
        for (const auto* part : {&first, &second, &third})
            expected.append(reinterpret_cast<const char*>(part->data()), int(part->size()));
        QCOMPARE(wav.mid(data + 8), expected);

        // An independent reader agrees on the format.
        QCOMPARE(exifValue(path("Snd/Snd.wav"), "SampleRate"), QString("48000"));
        QCOMPARE(exifValue(path("Snd/Snd.wav"), "NumChannels"), QString("2"));
        QCOMPARE(exifValue(path("Snd/Snd.wav"), "DateTimeOriginal"), QString("2024:03:09 10:11:13"));
    }

    void damage_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<bool>("relaxed");
        QTest::addColumn<QStringList>("expectedFrames");
        QTest::newRow("truncated") << "truncated" << false << QStringList{"0", "1"};
        QTest::newRow("truncated, relaxed") << "truncated" << true << QStringList{"0", "1"};
        QTest::newRow("bad block size") << "badsize" << false << QStringList{"0", "1"};
        QTest::newRow("short frame") << "shortframe" << false << QStringList{"0", "1"};
        QTest::newRow("short frame, relaxed") << "shortframe" << true << QStringList{"0", "1", "3"};
        QTest::newRow("bad audio frame space") << "audiospace" << false << QStringList{"0", "1"};
        QTest::newRow("bad audio frame space, relaxed") << "audiospace" << true << QStringList{"0", "1", "3"};
    }

    // Damage ends with an "[ERROR] " line and exit 1; the frames before it are kept whole and readable.
    void damage()
    {
        QFETCH(QString, kind);
        QFETCH(bool, relaxed);
        QFETCH(QStringList, expectedFrames);
        const QString name = QString("X%1%2").arg(kind).arg(relaxed ? "r" : "");
        mlvtest::MlvWriter w = clipHeader(14, 15000, 1, 1);
        w.audioFormat(1, 48000, 16);
        std::vector<std::vector<std::uint16_t>> frames;
        for (int i = 0; i < 4; ++i)
            frames.push_back(mlvtest::testPattern(kWidth, kHeight, 14, static_cast<unsigned>(++mFrameSeed)));
        w.videoFrame(0, frames[0], 14, 32);
        w.videoFrame(1, frames[1], 14, 32);
        if (kind == "shortframe") {
            w.videoPayload(2, std::vector<std::uint8_t>(100, 0x33), 32);
            w.videoFrame(3, frames[3], 14, 32);
        } else if (kind == "audiospace") {
            w.audioFrame(0, pcm(64, 1), 0);
            w.bytes()[w.bytes().size() - 64 - 4] = 0xff;  // frame space far beyond the block
            w.videoFrame(3, frames[3], 14, 32);
        } else if (kind == "badsize") {
            const std::size_t at = w.bytes().size();
            w.videoFrame(2, frames[2], 14, 32);
            w.bytes()[at + 4] = 3;
            w.bytes()[at + 5] = 0;
            w.bytes()[at + 6] = 0;
            w.bytes()[at + 7] = 0;
            w.videoFrame(3, frames[3], 14, 32);
        } else {
            w.videoFrame(2, frames[2], 14, 32);
            w.bytes().resize(w.bytes().size() - 700);
        }
        QVERIFY(w.save(path(name + ".MLV").toStdString()));
        QStringList arguments{"--dng", "--no-fixcp", "--no-stripes", "-o", path(name + "_"), path(name + ".MLV")};
        if (relaxed)
            arguments.prepend("--relaxed");
        const Run run = runConverter(arguments);
        QCOMPARE(run.exitCode, 1);
        QVERIFY2(run.err.startsWith("[ERROR] "), qPrintable(run.err));
        for (const QString& line : run.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("[ERROR] "), qPrintable(line));

        const QStringList files = written(name + "_*");
        QStringList got;
        for (const QString& f : files) {
            QVERIFY2(f.endsWith(".dng"), qPrintable(f));  // and no temporary file left behind
            got << QString::number(QFileInfo(f).completeBaseName().section('_', -1).toInt());
        }
        QCOMPARE(got, expectedFrames);
        for (const QString& f : files)
            expectFrame(f, frames[std::size_t(QFileInfo(f).completeBaseName().section('_', -1).toInt())], 2048, 15000);
        QCOMPARE(exiftoolProblems(files), QString());
    }

    void refusedInputs_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("reason");
        QTest::newRow("empty file") << "empty" << 1 << "empty";
        QTest::newRow("no video frame") << "noframes" << 1 << "no video frame";
        QTest::newRow("not an MLV") << "garbage" << 1 << "MLVI";
        QTest::newRow("frame before RAWI") << "norawi" << 1 << "RAWI";
        QTest::newRow("delta frames") << "delta" << 1 << "delta";
        QTest::newRow("missing input") << "missing" << 3 << "cannot open";
        QTest::newRow("missing output directory") << "nodir" << 1 << "does not exist";
    }

    void refusedInputs()
    {
        QFETCH(QString, kind);
        QFETCH(int, exitCode);
        QFETCH(QString, reason);
        const QString input = path("R" + kind + ".MLV");
        mlvtest::MlvWriter w;
        if (kind == "noframes" || kind == "nodir") {
            w = clipHeader(14, 15000);
            if (kind == "nodir")
                w.videoFrame(0, mlvtest::testPattern(kWidth, kHeight, 14, 1), 14);
        } else if (kind == "garbage") {
            w.block("ABCD", std::vector<std::uint8_t>(100, 0x99));
        } else if (kind == "norawi") {
            w.fileHeader(1, 0, 1, 0, 1);
            w.videoFrame(0, mlvtest::testPattern(kWidth, kHeight, 14, 1), 14);
        } else if (kind == "delta") {
            w = clipHeader(14, 15000, 0x41);
            w.videoFrame(0, mlvtest::testPattern(kWidth, kHeight, 14, 1), 14);
        }
        if (kind != "missing")
            QVERIFY(w.save(input.toStdString()));
        const QString prefix = kind == "nodir" ? path("nowhere/R_") : path("R" + kind + "_");
        const Run run = runConverter({"--dng", "-o", prefix, input});
        QCOMPARE(run.exitCode, exitCode);
        QVERIFY2(run.err.startsWith("[ERROR] ") && run.err.contains(reason), qPrintable(run.err));
        QVERIFY(written("R" + kind + "_*").isEmpty());
        QVERIFY(!QFileInfo::exists(path("nowhere")));
    }

    void commandLineContract()
    {
        const Run noDng = runConverter({"-o", path("C_"), path("D14.MLV")});
        QCOMPARE(noDng.exitCode, 2);
        QVERIFY(noDng.err.startsWith("[ERROR] ") && noDng.err.contains("Usage:"));
        for (const QString& line : noDng.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY2(line.startsWith("[ERROR] "), qPrintable(line));
        const Run unknown = runConverter({"--dng", "--no-audio", path("D14.MLV")});
        QCOMPARE(unknown.exitCode, 2);
        QVERIFY(unknown.err.contains("--no-audio"));
        const Run help = runConverter({"--help"});
        QCOMPARE(help.exitCode, 0);
        QVERIFY(help.out.contains("--relaxed") && help.err.isEmpty());
        const Run version = runConverter({"--version"});
        QCOMPARE(version.exitCode, 0);
        QVERIFY(version.out.startsWith("mlv2dng "));

        // -v adds exactly one line per block on standard output and nothing on standard error.
        QVERIFY(QDir(mDir.path()).mkpath("V"));
        const Run verbose = runConverter({"-v", "--dng", "-o", path("V/V_"), path("D14.MLV")});
        QCOMPARE(verbose.exitCode, 0);
        QCOMPARE(verbose.err, QString());
        QCOMPARE(verbose.out.count("Block VIDF"), 3);
        QCOMPARE(verbose.out.count("Block ZZZZ"), 1);
        QVERIFY(QDir(mDir.path()).mkpath("Q"));
        const Run quiet = runConverter({"--dng", "-o", path("Q/Q_"), path("D14.MLV")});
        QCOMPARE(quiet.exitCode, 0);
        const QRegularExpressionMatch blocks = QRegularExpression("Chunk 1: (\\d+) blocks read").match(quiet.out);
        QVERIFY(blocks.hasMatch());
        QCOMPARE(verbose.out.count('\n'), quiet.out.count('\n') + blocks.captured(1).toInt());
        QCOMPARE(verbose.out.count("\nBlock "), blocks.captured(1).toInt());
    }

    // Korvalin starts the converter with one command string per job, after creating the job's directory.
    void korvalinStyleJobs()
    {
        for (const QString& clip : {QString("A001C001"), QString("A001C002")}) {
            mlvtest::MlvWriter w = clipHeader(14, 15000, 1, 1);
            w.audioFormat(2, 48000, 16);
            for (std::uint32_t i = 0; i < 4; ++i) {
                w.videoFrame(i, mlvtest::testPattern(kWidth, kHeight, 14, i + 50), 14, 32, 0, 1000000 + i * 40000);
                w.audioFrame(i, pcm(7680, i), 0, 1000000 + i * 40000);
            }
            QVERIFY(w.save(path("Footage/" + clip + ".mlv").toStdString()) || (QDir(mDir.path()).mkpath("Footage")
                                                                                 && w.save(path("Footage/" + clip + ".mlv").toStdString())));
            const QString output = path("Footage/" + clip + "/");
            QVERIFY(QDir().mkpath(output));
            const QString command = QString("\"%1\" -o \"%2%3_\" -v --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes \"%4\"")
                                        .arg(MLV2DNG_PATH, output, clip, path("Footage/" + clip + ".mlv"));
            QStringList parts = QProcess::splitCommand(command);
            const QString program = parts.takeFirst();
            QProcess process;
            process.start(program, parts);
            QVERIFY(process.waitForFinished(60000));
            QCOMPARE(process.readAllStandardError(), QByteArray());
            QCOMPARE(process.exitCode(), 0);
            const QStringList files = QDir(output).entryList(QDir::Files, QDir::Name);
            QCOMPARE(files, (QStringList{clip + ".wav", clip + "_000000.dng", clip + "_000001.dng", clip + "_000002.dng",
                                         clip + "_000003.dng"}));
        }
    }
};

QTEST_GUILESS_MAIN(TestConversion)
#include "tst_conversion_libraw.moc"
