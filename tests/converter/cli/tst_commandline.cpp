// Option parsing as Korvalin drives it, output naming, the time fields derived for each frame, and what
// becomes of a failure that escapes the conversion.
#include "cli/commandline.h"
#include "cli/guardedrun.h"
#include "output/dngwriter.h"

#include <QtTest>

#include <sstream>
#include <stdexcept>

using namespace mlv2dng;

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
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
        QVERIFY(r.options.dng);
        QVERIFY(QString::fromStdString(r.options.input).endsWith(".MLV"));
    }

    // The clock block's time plus the frame's offset from it, carried across year end and a leap day.
    void frameDateTime()
    {
        ClockInfo clock;
        clock.present = true;
        clock.timestamp = 2000000;
        clock.year = 124, clock.month = 11, clock.day = 31, clock.hour = 23, clock.minute = 59, clock.second = 58;
        QCOMPARE(DngWriter::frameDateTime(clock, 3999999), std::string("2024:12:31 23:59:59"));
        QCOMPARE(DngWriter::frameDateTime(clock, 4000000), std::string("2025:01:01 00:00:00"));
        QCOMPARE(DngWriter::frameDateTime(clock, 0), std::string("2024:12:31 23:59:56"));
        clock.month = 1, clock.day = 28, clock.second = 59;
        QCOMPARE(DngWriter::frameDateTime(clock, 3000000), std::string("2024:02:29 00:00:00"));
        clock.month = 12;  // not a month: no date rather than a wrong one
        QVERIFY(DngWriter::frameDateTime(clock, 3000000).empty());
    }

    // The last line of defence: whatever escapes the conversion ends in an error line and exit 1.
    void reportsWhatEscapes_data()
    {
        QTest::addColumn<int>("failure");
        QTest::addColumn<int>("exitCode");
        QTest::addColumn<QString>("message");
        QTest::newRow("no failure") << 0 << 3 << "";
        QTest::newRow("out of memory") << 1 << 1 << "[ERROR] out of memory\n";
        QTest::newRow("standard exception") << 2 << 1 << "[ERROR] unexpected failure: disk on fire\n";
        QTest::newRow("anything else") << 3 << 1 << "[ERROR] unexpected failure\n";
    }

    void reportsWhatEscapes()
    {
        QFETCH(int, failure);
        std::ostringstream err;
        const int code = runGuarded(
            [failure] {
                if (failure == 1)
                    throw std::bad_alloc();
                if (failure == 2)
                    throw std::runtime_error("disk on fire");
                if (failure == 3)
                    throw 42;
                return 3;
            },
            err);
        QTEST(code, "exitCode");
        QTEST(QString::fromStdString(err.str()), "message");
    }
};

QTEST_APPLESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
