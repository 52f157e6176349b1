// Option parsing as Korvalin drives it, output naming, and the time fields derived for each frame.
#include "commandline.h"
#include "converter.h"
#include "dngwriter.h"

#include <QtTest>

using namespace mlv2dng;

namespace {

CommandLine::Result parse(const QString& line)
{
    std::vector<std::string> arguments;
    for (const QString& a : line.split(' ', Qt::SkipEmptyParts))
        arguments.push_back(a.toStdString());
    return CommandLine::parse(arguments);
}

}  // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void korvalinsCombinations_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<bool>("fixCold");
        QTest::addColumn<bool>("fixMoving");
        QTest::addColumn<bool>("stripes");
        QTest::addColumn<int>("chroma");
        QTest::newRow("defaults") << "-o out/A_ --dng --no-cs in.MLV" << true << false << true << 0;
        QTest::newRow("all flipped") << "-o out/A_ -v --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes in.MLV"
                                     << true << true << false << 5;
        QTest::newRow("cold off") << "-o out/A_ --dng --cs2x2 --no-fixcp in.MLV" << false << false << true << 2;
        QTest::newRow("moving on") << "--dng --cs3x3 --fixcp2 -o out/A_ in.MLV" << true << true << true << 3;
        QTest::newRow("reverse order") << "in.MLV --fixcp2 --no-fixcp --cs5x5 --no-cs --dng -o out/A_" << false << false
                                       << true << 0;
        QTest::newRow("chroma last wins") << "--no-cs --cs2x2 --cs3x3 --dng -o out/A_ in.MLV" << true << false << true << 3;
    }

    // For each pair of opposing options the last one wins; the order of options is free.
    void korvalinsCombinations()
    {
        QFETCH(QString, line);
        QFETCH(bool, fixCold);
        QFETCH(bool, fixMoving);
        QFETCH(bool, stripes);
        QFETCH(int, chroma);
        const CommandLine::Result r = parse(line);
        QCOMPARE(r.action, CommandLine::Action::Convert);
        QCOMPARE(r.options.input, std::string("in.MLV"));
        QCOMPARE(r.options.prefix, std::string("out/A_"));
        QVERIFY(r.options.dng);
        QCOMPARE(r.options.corrections.fixColdPixels, fixCold);
        QCOMPARE(r.options.corrections.fixMovingColdPixels, fixMoving);
        QCOMPARE(r.options.corrections.fixVerticalStripes, stripes);
        QCOMPARE(r.options.corrections.chromaSmoothing, chroma);
        QCOMPARE(r.options.verbose, line.contains(" -v"));
        QCOMPARE(r.options.relaxed, line.contains("--relaxed"));
    }

    void refusals_data()
    {
        QTest::addColumn<QString>("line");
        QTest::addColumn<QString>("reason");
        QTest::newRow("no --dng") << "-o out/A_ in.MLV" << "--dng";
        QTest::newRow("unknown option") << "--dng --bogus in.MLV" << "--bogus";
        QTest::newRow("no input") << "--dng -o out/A_" << "input";
        QTest::newRow("-o without value") << "--dng in.MLV -o" << "-o";
    }

    void refusals()
    {
        QFETCH(QString, line);
        QFETCH(QString, reason);
        const CommandLine::Result r = parse(line);
        QCOMPARE(r.action, CommandLine::Action::Error);
        QVERIFY2(QString::fromStdString(r.error).contains(reason), r.error.c_str());
    }

    void helpVersionAndDefaults()
    {
        QCOMPARE(parse("--dng in.MLV --help").action, CommandLine::Action::Help);
        QCOMPARE(parse("--version").action, CommandLine::Action::Version);
        QCOMPARE(parse("--dng /a.b/clip.MLV").options.prefix, std::string("/a.b/clip_"));
        QCOMPARE(parse("--dng /a.b/clip").options.prefix, std::string("/a.b/clip_"));
        QCOMPARE(parse("--dng first.MLV second.MLV").options.input, std::string("first.MLV"));
    }

    void outputNames()
    {
        QCOMPARE(Converter::framePath("dir/A001C002_", 0), std::string("dir/A001C002_000000.dng"));
        QCOMPARE(Converter::framePath("dir/A001C002_", 1234567), std::string("dir/A001C002_1234567.dng"));
        QCOMPARE(Converter::wavPath("dir/A001C002_"), std::string("dir/A001C002.wav"));
        QCOMPARE(Converter::wavPath("my_dir/clip"), std::string("my_dir/clip.wav"));
        QCOMPARE(Converter::reelName("/footage/A001C002.MLV"), std::string("A001C002"));
        QCOMPARE(Converter::reelName("A.B.mlv"), std::string("A.B"));
    }

    // The clock block's time plus the frame's offset from it, carried across midnight and year end.
    void frameDateTime()
    {
        ClockInfo clock;
        clock.present = true;
        clock.timestamp = 2000000;
        clock.year = 124;
        clock.month = 11;
        clock.day = 31;
        clock.hour = 23;
        clock.minute = 59;
        clock.second = 58;
        QCOMPARE(DngWriter::frameDateTime(clock, 2000000), std::string("2024:12:31 23:59:58"));
        QCOMPARE(DngWriter::frameDateTime(clock, 3999999), std::string("2024:12:31 23:59:59"));
        QCOMPARE(DngWriter::frameDateTime(clock, 4000000), std::string("2025:01:01 00:00:00"));
        QCOMPARE(DngWriter::frameDateTime(clock, 0), std::string("2024:12:31 23:59:56"));
        clock.month = 1;
        clock.day = 28;
        clock.hour = 23;
        clock.minute = 59;
        clock.second = 59;
        QCOMPARE(DngWriter::frameDateTime(clock, 3000000), std::string("2024:02:29 00:00:00"));
        clock.month = 12;  // not a month: no date rather than a wrong one
        QVERIFY(DngWriter::frameDateTime(clock, 3000000).empty());
        clock.present = false;
        QVERIFY(DngWriter::frameDateTime(clock, 3000000).empty());
    }

    void timeCodes()
    {
        using Bytes = std::vector<std::uint8_t>;
        QCOMPARE(DngWriter::timeCode(0, 25000, 1000), (Bytes{0, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(DngWriter::timeCode(24, 25000, 1000), (Bytes{0x24, 0, 0, 0, 0, 0, 0, 0}));
        QCOMPARE(DngWriter::timeCode(25, 25000, 1000), (Bytes{0, 1, 0, 0, 0, 0, 0, 0}));
        // 23.976 counts 24 frames a second; 1 h 2 min 3 s and 4 frames.
        QCOMPARE(DngWriter::timeCode((3600 + 120 + 3) * 24 + 4, 23976, 1000), (Bytes{0x04, 0x03, 0x02, 0x01, 0, 0, 0, 0}));
        QCOMPARE(DngWriter::timeCode(100, 0, 0).size(), std::size_t(8));
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
