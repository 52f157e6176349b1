#include <QProcess>
#include <QtTest>

#include "engine/commandline.h"

namespace {

struct Built
{
    bool ok = false;
    QString cleaned;
    QString output;
    QString command;
};

Built Build(const ConversionSettings& settings, const QString& source)
{
    Built built;
    built.ok = BuildCommandLine(settings, source, built.cleaned, built.output, built.command);
    return built;
}

ConversionSettings WithExecutable(const QString& executable)
{
    ConversionSettings settings;
    settings.executable = executable;
    return settings;
}

}  // namespace

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void defaultOptions()
    {
        const Built built = Build(WithExecutable(QStringLiteral("C:/Tools/mlv_dump.exe")),
                                  QStringLiteral("D:/Footage/A001C002.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.cleaned, QStringLiteral("D:/Footage/A001C002.mlv"));
        QCOMPARE(built.output, QStringLiteral("D:/Footage/A001C002/"));
        QCOMPARE(built.command, QStringLiteral("\"C:/Tools/mlv_dump.exe\" -o \"D:/Footage/A001C002/A001C002_\""
                                               " --dng --no-cs \"D:/Footage/A001C002.mlv\""));
    }

    void everyOptionTurned()
    {
        ConversionSettings settings = WithExecutable(QStringLiteral("C:/Tools/mlv_dump.exe"));
        settings.customDestination = true;
        settings.destination = QStringLiteral("E:/DNG/");
        settings.chromaSmoothing = 3;
        settings.fixColdPixels = false;
        settings.fixMovingColdPixels = true;
        settings.fixVerticalStripes = false;
        settings.skipErrors = true;
        settings.verbose = true;
        // Neither the thread count nor the last dialog folder may leak into a job.
        settings.threads = 7;
        settings.source = QStringLiteral("Z:/elsewhere");
        const Built built = Build(settings, QStringLiteral("D:/Footage/A001C002.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.cleaned, QStringLiteral("D:/Footage/A001C002.mlv"));
        QCOMPARE(built.output, QStringLiteral("E:/DNG/A001C002/"));
        QCOMPARE(built.command, QStringLiteral("\"C:/Tools/mlv_dump.exe\" -o \"E:/DNG/A001C002/A001C002_\" -v --relaxed"
                                               " --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes \"D:/Footage/A001C002.mlv\""));
    }

    void optionalPieces_data()
    {
        QTest::addColumn<bool>("coldPixels");
        QTest::addColumn<bool>("movingColdPixels");
        QTest::addColumn<bool>("verticalStripes");
        QTest::addColumn<bool>("relaxed");
        QTest::addColumn<bool>("verbose");
        QTest::addColumn<QString>("middle");
        QTest::newRow("cold fix on, moving off") << true << false << true << false << false << " --dng --no-cs ";
        QTest::newRow("cold fix on, moving on") << true << true << true << false << false << " --dng --no-cs --fixcp2 ";
        QTest::newRow("cold fix off, moving off") << false << false << true << false << false << " --dng --no-cs --no-fixcp ";
        QTest::newRow("cold fix off, moving on") << false << true << true << false << false
                                                 << " --dng --no-cs --no-fixcp --fixcp2 ";
        QTest::newRow("stripes off") << true << false << false << false << false << " --dng --no-cs --no-stripes ";
        QTest::newRow("relaxed") << true << false << true << true << false << " --relaxed --dng --no-cs ";
        QTest::newRow("verbose") << true << false << true << false << true << " -v --dng --no-cs ";
    }
    void optionalPieces()
    {
        QFETCH(bool, coldPixels);
        QFETCH(bool, movingColdPixels);
        QFETCH(bool, verticalStripes);
        QFETCH(bool, relaxed);
        QFETCH(bool, verbose);
        QFETCH(QString, middle);
        ConversionSettings settings = WithExecutable(QStringLiteral("/opt/mlv_dump"));
        settings.fixColdPixels = coldPixels;
        settings.fixMovingColdPixels = movingColdPixels;
        settings.fixVerticalStripes = verticalStripes;
        settings.skipErrors = relaxed;
        settings.verbose = verbose;
        const Built built = Build(settings, QStringLiteral("/clips/c.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.command, "\"/opt/mlv_dump\" -o \"/clips/c/c_\"" + middle + "\"/clips/c.mlv\"");
    }

    void chromaWord_data()
    {
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("word");
        QTest::newRow("0") << 0 << "--no-cs";
        QTest::newRow("1") << 1 << "--cs2x2";
        QTest::newRow("2") << 2 << "--cs3x3";
        QTest::newRow("3") << 3 << "--cs5x5";
        QTest::newRow("4") << 4 << "--no-cs";
        QTest::newRow("-1") << -1 << "--no-cs";
        QTest::newRow("large") << 1000000 << "--no-cs";
        QTest::newRow("lowest") << std::numeric_limits<int>::min() << "--no-cs";
    }
    void chromaWord()
    {
        QFETCH(int, code);
        QFETCH(QString, word);
        ConversionSettings settings = WithExecutable(QStringLiteral("/opt/mlv_dump"));
        settings.chromaSmoothing = code;
        const Built built = Build(settings, QStringLiteral("/clips/c.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.command, "\"/opt/mlv_dump\" -o \"/clips/c/c_\" --dng " + word + " \"/clips/c.mlv\"");
    }

    void pathsAreCleanedFirst_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<QString>("output");
        QTest::newRow("drive root") << "D:/clip.mlv" << "D:/clip.mlv" << "D:/clip/";
        QTest::newRow("file system root") << "/clip.mlv" << "/clip.mlv" << "/clip/";
        QTest::newRow("doubled separators") << "D:/Footage//day1///A.mlv" << "D:/Footage/day1/A.mlv"
                                            << "D:/Footage/day1/A/";
        QTest::newRow("dot segments") << "D:/Footage/./x/../A001C002.mlv" << "D:/Footage/A001C002.mlv"
                                      << "D:/Footage/A001C002/";
        QTest::newRow("dot-dot up to the root") << "/a/b/../../c.mlv" << "/c.mlv" << "/c/";
        QTest::newRow("relative") << "clips/../takes/t1.mlv" << "takes/t1.mlv" << "takes/t1/";
        QTest::newRow("dots inside the name") << "/f/A.B.mlv" << "/f/A.B.mlv" << "/f/A.B/";
        QTest::newRow("upper-case extension") << "/f/Take.MLV" << "/f/Take.MLV" << "/f/Take/";
    }
    void pathsAreCleanedFirst()
    {
        QFETCH(QString, source);
        QFETCH(QString, cleaned);
        QFETCH(QString, output);
        const Built built = Build(WithExecutable(QStringLiteral("/opt/mlv_dump")), source);
        QVERIFY(built.ok);
        QCOMPARE(built.cleaned, cleaned);
        QCOMPARE(built.output, output);
        QString name = cleaned.mid(cleaned.lastIndexOf('/') + 1);
        name.chop(4);
        QCOMPARE(built.command,
                 "\"/opt/mlv_dump\" -o \"" + output + name + "_\" --dng --no-cs \"" + cleaned + "\"");
    }

    void executableIsTakenAsStored()
    {
        const Built built = Build(WithExecutable(QStringLiteral("C:/Tools//./mlv_dump.exe")),
                                  QStringLiteral("D:/A.mlv"));
        QVERIFY(built.ok);
        QVERIFY(built.command.startsWith(QStringLiteral("\"C:/Tools//./mlv_dump.exe\" -o ")));
    }

    void customDestination_data()
    {
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("output");
        QTest::newRow("trailing separator") << "E:/DNG/" << "E:/DNG/A/";
        QTest::newRow("doubled trailing separator") << "E:/DNG//" << "E:/DNG/A/";
        QTest::newRow("no trailing separator") << "E:/DNG" << "E:/DNG/A/";
        QTest::newRow("dot segments") << "E:/DNG/x/.." << "E:/DNG/A/";
        QTest::newRow("empty") << "" << "/A/";
        QTest::newRow("file system root") << "/" << "/A/";
    }
    void customDestination()
    {
        QFETCH(QString, destination);
        QFETCH(QString, output);
        ConversionSettings settings = WithExecutable(QStringLiteral("/opt/mlv_dump"));
        settings.customDestination = true;
        settings.destination = destination;
        const Built built = Build(settings, QStringLiteral("D:/Footage/A.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.output, output);
        QVERIFY(built.command.contains(" -o \"" + output + "A_\" "));
        QVERIFY(built.command.endsWith(QStringLiteral(" \"D:/Footage/A.mlv\"")));
    }

    void destinationIgnoredWhenOff()
    {
        ConversionSettings settings = WithExecutable(QStringLiteral("/opt/mlv_dump"));
        settings.destination = QStringLiteral("E:/DNG");
        const Built built = Build(settings, QStringLiteral("D:/Footage/A.mlv"));
        QVERIFY(built.ok);
        QCOMPARE(built.output, QStringLiteral("D:/Footage/A/"));
    }

    void pathWithoutSeparatorFails_data()
    {
        QTest::addColumn<QString>("source");
        QTest::newRow("bare name") << "clip.mlv";
        QTest::newRow("drive-relative") << "C:clip.mlv";
        QTest::newRow("empty") << "";
        QTest::newRow("cleaned to a bare name") << "x/../clip.mlv";
    }
    void pathWithoutSeparatorFails()
    {
        QFETCH(QString, source);
        QString cleaned = QStringLiteral("untouched 1");
        QString output = QStringLiteral("untouched 2");
        QString command = QStringLiteral("untouched 3");
        QVERIFY(!BuildCommandLine(WithExecutable(QStringLiteral("/opt/mlv_dump")), source, cleaned, output, command));
        QCOMPARE(cleaned, QStringLiteral("untouched 1"));
        QCOMPARE(output, QStringLiteral("untouched 2"));
        QCOMPARE(command, QStringLiteral("untouched 3"));
    }

    // The job splits its command line with QProcess::splitCommand; every path must come out whole.
    void splitsBackIntoWholeArguments_data()
    {
        QTest::addColumn<QString>("executable");
        QTest::addColumn<QString>("source");
        QTest::newRow("blanks") << "/opt/my tools/mlv_dump" << "/media/card 1/take one.mlv";
        QTest::newRow("non-ASCII") << "/opt/wërkzeug/mlv_dump" << "/Aufnahmen/Größe ü/Été 日本.mlv";
        QTest::newRow("tab inside") << "/opt/mlv_dump" << "/a\tb/c.mlv";
        QTest::newRow("quote inside a name") << "/opt/mlv_dump" << "/clips/12\" monitor.mlv";
        QTest::newRow("quote blank quote") << "/opt/mlv_dump" << "/clips/a\" \"b.mlv";
        QTest::newRow("quote at the start of a name") << "/opt/mlv_dump" << "/clips/\"x.mlv";
        QTest::newRow("quote before the separator") << "/opt/mlv_dump" << "/clips\"/x.mlv";
        QTest::newRow("two quotes") << "/opt/mlv_dump" << "/clips/a\"\"b.mlv";
        QTest::newRow("three quotes") << "/opt/mlv_dump" << "/clips/a\"\"\"b.mlv";
        QTest::newRow("quoted executable") << "/opt/\"odd\" dir/mlv_dump" << "/clips/x.mlv";
        QTest::newRow("executable ending in a quote") << "/opt/dump\"" << "/clips/x.mlv";
    }
    void splitsBackIntoWholeArguments()
    {
        QFETCH(QString, executable);
        QFETCH(QString, source);
        ConversionSettings settings = WithExecutable(executable);
        settings.verbose = true;
        settings.fixColdPixels = false;
        const Built built = Build(settings, source);
        QVERIFY(built.ok);
        QString name = built.cleaned.mid(built.cleaned.lastIndexOf('/') + 1);
        name.chop(4);
        const QStringList expected{executable, QStringLiteral("-o"), built.output + name + '_', QStringLiteral("-v"),
                                   QStringLiteral("--dng"), QStringLiteral("--no-cs"), QStringLiteral("--no-fixcp"),
                                   built.cleaned};
        QCOMPARE(QProcess::splitCommand(built.command), expected);
        QCOMPARE(built.cleaned, source);
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_commandline.moc"
