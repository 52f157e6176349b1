// mlv_dump's other DNG options, as scripts pass them: what each changes in the output, and the refused rest.
#include "mlvwriter.h"
#include "programrun.h"

#include <QtTest>

using namespace mlvtest;

class TestMlvDumpOptions : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    // Four frames, numbered 0 to 3, with sound; 64x32 at the given depth.
    QString clip(int bits)
    {
        const QString path = mDir.filePath(QString("clip%1.MLV").arg(bits));
        if (QFileInfo::exists(path))
            return path;
        MlvWriter w = MlvWriter::recording(64, 32, bits, 1, true);
        for (std::uint32_t i = 0; i < 4; ++i) {
            w.videoFrame(i, testPattern(64, 32, bits, i), bits, 32);
            w.audioFrame(i, std::vector<std::uint8_t>(256, std::uint8_t(i)));
        }
        return w.save(path.toStdString()) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(mDir.isValid()); }

    // The frame numbers written; FrameRate BlackLevel WhiteLevel BitsPerSample StripByteCounts of the first DNG.
    void accepted_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("frames");
        QTest::addColumn<QString>("tags");
        QTest::addColumn<bool>("wav");
        const QString all("0 1 2 3"), plain("25 2048 15000 14 3584");
        QTest::newRow("none") << 14 << QString() << all << plain << true;
        QTest::newRow("-f N: frames 0 to N") << 14 << QString("-f 2") << QString("0 1 2") << plain << true;
        QTest::newRow("-f A-B") << 14 << QString("-f 1-2") << QString("1 2") << plain << true;
        QTest::newRow("-fA-B joined") << 14 << QString("-f3-9") << QString("3") << plain << true;
        QTest::newRow("-A") << 14 << QString("-A 23976") << all << QString("23.976 2048 15000 14 3584") << true;
        QTest::newRow("levels given") << 14 << QString("--black-fix=2000 --white-fix=16000") << all
                                      << QString("25 2000 16000 14 3584") << true;
        QTest::newRow("levels at 12 bits")
            << 12 << QString("--black-fix=2000 --white-fix") << all << QString("25 500 3750 12 3072") << true;
        QTest::newRow("--no-bitpack") << 12 << QString("--no-bitpack") << all << QString("25 512 3750 16 4096") << true;
        QTest::newRow("--no-audio") << 14 << QString("--no-audio") << all << plain << false;
        QTest::newRow("mlv_dump's script switches")
            << 14 << QString("--batch --no-fixfp --show-progress --black-fix --white-fix") << all << plain << true;
    }

    void accepted()
    {
        QFETCH(int, bits);
        QFETCH(QString, options);
        QFETCH(QString, frames);
        QFETCH(QString, tags);
        QFETCH(bool, wav);
        static int runs = 0;
        const QString prefix = mDir.filePath(QString("run%1/A_").arg(++runs));
        QVERIFY(QDir().mkpath(QFileInfo(prefix).path()));
        const QString input = clip(bits);
        const ProgramRun r =
            runProgram(MLV2DNG_PATH, options.split(' ', Qt::SkipEmptyParts)
                                         + QStringList{"--dng", "--no-fixcp", "--no-stripes", "-o", prefix, input});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QStringList written;
        const QStringList files = QDir(QFileInfo(prefix).path()).entryList({"*.dng"}, QDir::Files, QDir::Name);
        for (const QString& f : files)
            written << QString::number(f.mid(2, 6).toInt());
        QCOMPARE(written.join(' '), frames);
        const ProgramRun exiftool =
            runProgram("exiftool", {"-s3", "-n", "-FrameRate", "-BlackLevel", "-WhiteLevel", "-BitsPerSample",
                                    "-StripByteCounts", QFileInfo(prefix).path() + "/" + files.value(0)});
        QCOMPARE(exiftool.out.split('\n', Qt::SkipEmptyParts).join(' '), tags);
        QCOMPARE(QFileInfo::exists(QFileInfo(prefix).path() + "/A.wav"), wav);
    }

    void refused_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("named");
        for (const char* option : {"-x", "-e", "-p", "-r", "-b", "--force-stripes", "--fixpn", "--deflicker=8",
                                   "--skip-xref", "--fpi", "--bogus"})
            QTest::newRow(option) << QString(option) << QString("option '%1' is not supported").arg(option);
        for (const auto& [option, named] : {std::pair("-f 5-2", "5-2"),
                                            {"-f x", "-f"},
                                            {"-f", "-f"},
                                            {"-A 0", "-A"},
                                            {"--black-fix=dark", "dark"},
                                            {"--white-fix=70000", "70000"}})
            QTest::newRow(option) << QString(option) << QString(named);
    }

    // Exit 2 with "[ERROR] " lines naming the option, and nothing written.
    void refused()
    {
        QFETCH(QString, options);
        QFETCH(QString, named);
        const QString prefix = mDir.filePath("refused_");
        const ProgramRun r =
            runProgram(MLV2DNG_PATH, QStringList{"--dng", "-o", prefix, clip(14)} + options.split(' '));
        QCOMPARE(r.exitCode, 2);
        QVERIFY2(r.err.startsWith("[ERROR] ") && r.err.contains(named), qPrintable(r.err));
        for (const QString& line : r.err.split('\n', Qt::SkipEmptyParts))
            QVERIFY(line.startsWith("[ERROR] "));
        QVERIFY(QDir(mDir.path()).entryList({"refused_*"}).isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestMlvDumpOptions)
#include "tst_mlvdumpoptions.moc"
