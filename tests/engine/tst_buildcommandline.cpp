#include <limits>

#include <QtTest>

#include "engine/commandline.h"

namespace {

// Cleaned path, output directory and command line, or "failed".
QStringList Build(const ConversionSettings& settings, const QString& source)
{
    QString cleaned, output, command;
    if (!BuildCommandLine(settings, source, cleaned, output, command))
        return {QStringLiteral("failed")};
    return {cleaned, output, command};
}

ConversionSettings Tool(const QString& executable = QStringLiteral("/opt/mlv_dump"))
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
    void workedExamples()
    {
        ConversionSettings settings = Tool(QStringLiteral("C:/Tools/mlv_dump.exe"));
        const QString source = QStringLiteral("D:/Footage/A001C002.mlv");
        QCOMPARE(Build(settings, source),
                 (QStringList{source, "D:/Footage/A001C002/", "\"C:/Tools/mlv_dump.exe\" -o \"D:/Footage/A001C002/A001C002_\""
                                                              " --dng --no-cs \"D:/Footage/A001C002.mlv\""}));

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
        QCOMPARE(Build(settings, source),
                 (QStringList{source, "E:/DNG/A001C002/", "\"C:/Tools/mlv_dump.exe\" -o \"E:/DNG/A001C002/A001C002_\" -v"
                              " --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes \"D:/Footage/A001C002.mlv\""}));
    }

    // Flags: c cold-pixel fix off, m moving cold pixels, s stripes fix off, r relaxed, v verbose.
    void optionalPieces_data()
    {
        QTest::addColumn<QString>("flags");
        QTest::addColumn<int>("chroma");
        QTest::addColumn<QString>("middle");
        QTest::newRow("cold on, moving off") << "" << 0 << " --dng --no-cs ";
        QTest::newRow("cold on, moving on") << "m" << 0 << " --dng --no-cs --fixcp2 ";
        QTest::newRow("cold off, moving off") << "c" << 0 << " --dng --no-cs --no-fixcp ";
        QTest::newRow("cold off, moving on") << "cm" << 0 << " --dng --no-cs --no-fixcp --fixcp2 ";
        QTest::newRow("stripes off") << "s" << 0 << " --dng --no-cs --no-stripes ";
        QTest::newRow("relaxed") << "r" << 0 << " --relaxed --dng --no-cs ";
        QTest::newRow("verbose") << "v" << 0 << " -v --dng --no-cs ";
        QTest::newRow("chroma 1") << "" << 1 << " --dng --cs2x2 ";
        QTest::newRow("chroma 2") << "" << 2 << " --dng --cs3x3 ";
        QTest::newRow("chroma 4") << "" << 4 << " --dng --no-cs ";
        QTest::newRow("chroma -1") << "" << -1 << " --dng --no-cs ";
        QTest::newRow("chroma lowest") << "" << std::numeric_limits<int>::min() << " --dng --no-cs ";
    }
    void optionalPieces()
    {
        QFETCH(QString, flags);
        QFETCH(int, chroma);
        QFETCH(QString, middle);
        ConversionSettings settings = Tool();
        settings.fixColdPixels = !flags.contains('c');
        settings.fixMovingColdPixels = flags.contains('m');
        settings.fixVerticalStripes = !flags.contains('s');
        settings.skipErrors = flags.contains('r');
        settings.verbose = flags.contains('v');
        settings.chromaSmoothing = chroma;
        QCOMPARE(Build(settings, QStringLiteral("/clips/c.mlv")).last(),
                 "\"/opt/mlv_dump\" -o \"/clips/c/c_\"" + middle + "\"/clips/c.mlv\"");
    }

    // A null destination turns the custom destination off; the stored one must then be ignored.
    void pathsAreCleanedFirst_data()
    {
        QTest::addColumn<QString>("source");
        QTest::addColumn<QString>("destination");
        QTest::addColumn<QString>("cleaned");
        QTest::addColumn<QString>("output");
        QTest::newRow("drive root") << "D:/clip.mlv" << QString() << "D:/clip.mlv" << "D:/clip/";
        QTest::newRow("file system root") << "/clip.mlv" << QString() << "/clip.mlv" << "/clip/";
        QTest::newRow("doubled separators") << "D:/Footage//day1///A.mlv" << QString() << "D:/Footage/day1/A.mlv"
                                            << "D:/Footage/day1/A/";
        QTest::newRow("dot segments") << "D:/Footage/./x/../A.B.mlv" << QString() << "D:/Footage/A.B.mlv"
                                      << "D:/Footage/A.B/";
        QTest::newRow("dot-dot up to the root") << "/a/b/../../c.MLV" << QString() << "/c.MLV" << "/c/";
        QTest::newRow("destination without separator") << "D:/F/A.mlv" << "E:/DNG" << "D:/F/A.mlv" << "E:/DNG/A/";
        QTest::newRow("destination to be cleaned") << "D:/F/A.mlv" << "E:/DNG/x/..//" << "D:/F/A.mlv" << "E:/DNG/A/";
        QTest::newRow("empty destination") << "D:/F/A.mlv" << "" << "D:/F/A.mlv" << "/A/";
        // Cleaning keeps a root's own separator, and one more follows it.
        QTest::newRow("root destination") << "D:/F/A.mlv" << "/" << "D:/F/A.mlv" << "//A/";
    }
    void pathsAreCleanedFirst()
    {
        QFETCH(QString, source);
        QFETCH(QString, destination);
        QFETCH(QString, cleaned);
        QFETCH(QString, output);
        ConversionSettings settings = Tool();
        settings.customDestination = !destination.isNull();
        settings.destination = destination.isNull() ? QStringLiteral("E:/ignored") : destination;
        const QString name = QFileInfo(cleaned).completeBaseName();
        QCOMPARE(Build(settings, source), (QStringList{cleaned, output, "\"/opt/mlv_dump\" -o \"" + output + name +
                                                                            "_\" --dng --no-cs \"" + cleaned + "\""}));
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
        QString cleaned = QStringLiteral("1"), output = QStringLiteral("2"), command = QStringLiteral("3");
        QVERIFY(!BuildCommandLine(Tool(), source, cleaned, output, command));
        QCOMPARE(cleaned + output + command, QStringLiteral("123"));
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_buildcommandline.moc"
