// Option parsing as Korvalin drives it, output naming, the time fields derived for each frame, and what
// becomes of a failure that escapes the conversion. Then mlv_dump's other DNG options, as scripts pass them:
// what each changes in the output, and the refused rest.
#include "cli/commandline.h"
#include "cli/guardedrun.h"
#include "mlvwriter.h"
#include "output/dngwriter.h"
#include "programrun.h"

#include <QtTest>

#include <sstream>
#include <stdexcept>

using namespace mlv2dng;
using namespace mlvtest;

class TestCommandLine : public QObject
{
    Q_OBJECT

    QTemporaryDir mDir;

    // Four frames, numbered 0 to 3, with sound; 64x32 at the given depth.
    QString clip(int bits)
    {
        const QString path = mDir.filePath(QString("clip%1.MLV").arg(bits));
        return QFileInfo::exists(path) || writeSoundClip(path.toStdString(), 0, 64, 32, 4, bits) ? path : QString();
    }

private slots:
    void initTestCase() { QVERIFY(mDir.isValid()); }

    void parse_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<int>("action");
        QTest::addColumn<QString>("expected");  // prefix, fixes and chroma, or a part of the error
        const int convert = int(CommandLine::Action::Convert), error = int(CommandLine::Action::Error);
        QTest::newRow("defaults") << "-o out/A_ --dng --no-cs in.MLV" << convert << "out/A_ cold stripes cs0";
        QTest::newRow("all flipped") << "-o out/A_ -v --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes in.MLV"
                                     << convert << "out/A_ cold moving cs5 -v --relaxed";
        QTest::newRow("cold off") << "-o out/A_ --dng --cs2x2 --no-fixcp in.MLV" << convert << "out/A_ stripes cs2";
        QTest::newRow("reverse order") << "in.MLV --fixcp2 --no-fixcp --cs5x5 --no-cs --dng -o out/A_" << convert
                                       << "out/A_ stripes cs0";
        QTest::newRow("chroma last wins")
            << "--no-cs --cs2x2 --cs3x3 --dng -o B_ in.MLV" << convert << "B_ cold stripes cs3";
        QTest::newRow("prefix from input") << "--dng /a.b/clip.MLV" << convert << "/a.b/clip_ cold stripes cs0";
        QTest::newRow("help") << "--dng in.MLV --help" << int(CommandLine::Action::Help) << "";
        QTest::newRow("version") << "--version" << int(CommandLine::Action::Version) << "";
        QTest::newRow("no --dng") << "-o out/A_ in.MLV" << error << "--dng";
        QTest::newRow("unknown option") << "--dng --bogus in.MLV" << error << "--bogus";
        QTest::newRow("no input") << "--dng -o out/A_" << error << "input";
        QTest::newRow("-o without value") << "--dng in.MLV -o" << error << "-o";
    }

    // Options come in any order, and for each pair of opposing options the last one wins.
    void parse()
    {
        QFETCH(QString, line);
        QFETCH(int, action);
        QFETCH(QString, expected);
        std::vector<std::string> arguments;
        for (const QString& a : line.split(' ', Qt::SkipEmptyParts))
            arguments.push_back(a.toStdString());
        const CommandLine::Result r = CommandLine::parse(arguments);
        QCOMPARE(int(r.action), action);
        if (r.action == CommandLine::Action::Error)
            QVERIFY2(QString::fromStdString(r.error).contains(expected), r.error.c_str());
        if (r.action != CommandLine::Action::Convert)
            return;
        const CorrectionOptions& c = r.options.corrections;
        QStringList got{QString::fromStdString(r.options.prefix)};
        got << (c.fixColdPixels ? "cold" : "") << (c.fixMovingColdPixels ? "moving" : "")
            << (c.fixVerticalStripes ? "stripes" : "") << QString("cs%1").arg(c.chromaSmoothing)
            << (r.options.verbose ? "-v" : "") << (r.options.relaxed ? "--relaxed" : "");
        QCOMPARE(got.join(' ').simplified(), expected);
        QVERIFY(r.options.dng && QString::fromStdString(r.options.input).endsWith(".MLV"));
    }

    // The clock block's time plus the frame's offset from it, carried across year end and a leap day.
    void frameDateTime()
    {
        ClockInfo clock{true, 2000000, 58, 59, 23, 31, 11, 124};  // 2024-12-31 23:59:58
        QCOMPARE(DngWriter::frameDateTime(clock, 3999999), std::string("2024:12:31 23:59:59"));
        QCOMPARE(DngWriter::frameDateTime(clock, 4000000), std::string("2025:01:01 00:00:00"));
        QCOMPARE(DngWriter::frameDateTime(clock, 0), std::string("2024:12:31 23:59:56"));
        clock.month = 1, clock.day = 28, clock.second = 59;
        QCOMPARE(DngWriter::frameDateTime(clock, 3000000), std::string("2024:02:29 00:00:00"));
        clock.month = 12;  // not a month: no date rather than a wrong one
        QVERIFY(DngWriter::frameDateTime(clock, 3000000).empty());
    }

    // The last line of defence: whatever escapes the conversion ends in an error line and exit 1. Each row: what
    // is thrown (nothing, bad_alloc, a standard exception, anything else), the exit code and standard error.
    void reportsWhatEscapes()
    {
        for (const auto& [failure, exitCode, message] : {std::tuple(0, 3, ""),
                                                         {1, 1, "[ERROR] out of memory\n"},
                                                         {2, 1, "[ERROR] unexpected failure: disk on fire\n"},
                                                         {3, 1, "[ERROR] unexpected failure\n"}}) {
            std::ostringstream err;
            const int code = runGuarded(
                [thrown = failure] {
                    if (thrown == 1)
                        throw std::bad_alloc();
                    if (thrown == 2)
                        throw std::runtime_error("disk on fire");
                    if (thrown == 3)
                        throw 42;
                    return 3;
                },
                err);
            QCOMPARE(code, exitCode);
            QCOMPARE(QString::fromStdString(err.str()), QString(message));
        }
    }

    // "wav" for the sound, then the frame numbers written; FrameRate BlackLevel WhiteLevel BitsPerSample
    // StripByteCounts of the first DNG.
    void accepted_data()
    {
        QTest::addColumn<int>("bits");
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("written");
        QTest::addColumn<QString>("tags");
        const QString all("wav 0 1 2 3"), plain("25 2048 15000 14 3584");
        QTest::newRow("none") << 14 << QString() << all << plain;
        QTest::newRow("-f N: frames 0 to N") << 14 << QString("-f 2") << QString("wav 0 1 2") << plain;
        QTest::newRow("-f A-B") << 14 << QString("-f 1-2") << QString("wav 1 2") << plain;
        QTest::newRow("-fA-B joined") << 14 << QString("-f3-9") << QString("wav 3") << plain;
        QTest::newRow("-A") << 14 << QString("-A 23976") << all << QString("23.976 2048 15000 14 3584");
        QTest::newRow("levels given") << 14 << QString("--black-fix=2000 --white-fix=16000") << all
                                      << QString("25 2000 16000 14 3584");
        QTest::newRow("levels at 12 bits")
            << 12 << QString("--black-fix=2000 --white-fix") << all << QString("25 500 3750 12 3072");
        QTest::newRow("--no-bitpack") << 12 << QString("--no-bitpack") << all << QString("25 512 3750 16 4096");
        QTest::newRow("--no-audio") << 14 << QString("--no-audio") << QString("0 1 2 3") << plain;
        QTest::newRow("mlv_dump's script switches")
            << 14
            << QString("--batch --no-fixfp --fpi 1 --is-dualiso --is-croprec --show-progress --black-fix --white-fix")
            << all << plain;
    }

    void accepted()
    {
        QFETCH(int, bits);
        QFETCH(QString, options);
        static int runs = 0;
        const QDir folder(mDir.filePath(QString("run%1").arg(++runs)));
        QVERIFY(folder.mkpath("."));
        const ProgramRun r = runProgram(MLV2DNG_PATH, options.split(' ', Qt::SkipEmptyParts)
                                                          + QStringList{"--dng", "--no-fixcp", "--no-stripes", "-o",
                                                                        folder.filePath("A_"), clip(bits)});
        QCOMPARE(r.err, QString());
        QCOMPARE(r.exitCode, 0);
        QStringList written, dngs = folder.entryList({"*.dng"}, QDir::Files, QDir::Name);
        for (const QString& f : folder.entryList(QDir::Files, QDir::Name))
            written << (f == "A.wav" ? "wav" : QString::number(f.mid(2, 6).toInt()));
        QTEST(written.join(' '), "written");
        const QStringList tags{"FrameRate", "BlackLevel", "WhiteLevel", "BitsPerSample", "StripByteCounts"};
        QTEST(exifValues(folder.filePath(dngs.value(0)), tags).join(' '), "tags");
    }

    void refused_data()
    {
        QTest::addColumn<QString>("options");
        QTest::addColumn<QString>("named");
        for (const char* option :
             {"-x", "-e", "-p", "-r", "-b", "--force-stripes", "--fixpn", "--deflicker=8", "--skip-xref", "--bogus"})
            QTest::newRow(option) << QString(option) << QString("option '%1' is not supported").arg(option);
        for (const auto& [option, named] : {std::pair("-f 5-2", "5-2"),
                                            {"-f x", "-f"},
                                            {"-f", "-f"},
                                            {"-A 0", "-A"},
                                            {"--fpi median", "median"},
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

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
