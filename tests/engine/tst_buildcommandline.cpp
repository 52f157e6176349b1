#include <QtTest>

#include "engine/commandline.h"

// Whether it was built, then the cleaned path, output directory and command line ("-" when untouched).
static QStringList Build(const ConversionSettings& settings, const QString& source)
{
    QString cleaned = QStringLiteral("-"), output = cleaned, command = cleaned;
    const bool built = BuildCommandLine(settings, source, cleaned, output, command);
    return {built ? QStringLiteral("built") : QStringLiteral("failed"), cleaned, output, command};
}

class TestCommandLine : public QObject
{
    Q_OBJECT

private slots:
    void workedExamples()
    {
        ConversionSettings settings;
        settings.executable = QStringLiteral("C:/Tools/mlv_dump.exe");
        const QString source = QStringLiteral("D:/Footage/A001C002.mlv");
        QCOMPARE(Build(settings, source), (QStringList{"built", source, "D:/Footage/A001C002/",
                                                       "\"C:/Tools/mlv_dump.exe\" -o \"D:/Footage/A001C002/A001C002_\""
                                                       " --dng --no-cs \"D:/Footage/A001C002.mlv\""}));
        settings.customDestination = true;
        settings.destination = QStringLiteral("E:/DNG/");
        settings.chromaSmoothing = 3;
        settings.fixColdPixels = settings.fixVerticalStripes = false;
        settings.fixMovingColdPixels = settings.skipErrors = settings.verbose = true;
        // Neither the thread count nor the last dialog folder may leak into a job.
        settings.threads = 7;
        settings.source = QStringLiteral("Z:/elsewhere");
        QCOMPARE(Build(settings, source), (QStringList{"built", source, "E:/DNG/A001C002/",
                                                       "\"C:/Tools/mlv_dump.exe\" -o \"E:/DNG/A001C002/A001C002_\" -v"
                                                       " --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes"
                                                       " \"D:/Footage/A001C002.mlv\""}));
    }

    // Each fix and the compression add their option; chroma codes outside 1..3 mean none.
    void coldPixelsAndChroma()
    {
        const struct
        {
            bool cold, moving;
            int chroma;
            bool compress;
            const char* middle;
        } rows[] = {{true, false, 0, false, " --dng --no-cs "},
                    {true, true, 0, false, " --dng --no-cs --fixcp2 "},
                    {false, false, 0, false, " --dng --no-cs --no-fixcp "},
                    {true, false, 1, false, " --dng --cs2x2 "},
                    {true, false, 2, false, " --dng --cs3x3 "},
                    {true, false, 4, false, " --dng --no-cs "},
                    {true, false, -1, false, " --dng --no-cs "},
                    {false, true, 3, true, " --dng -c --cs5x5 --no-fixcp --fixcp2 "}};
        for (const auto& row : rows) {
            ConversionSettings settings;
            settings.executable = QStringLiteral("/opt/mlv_dump");
            settings.fixColdPixels = row.cold;
            settings.fixMovingColdPixels = row.moving;
            settings.chromaSmoothing = row.chroma;
            settings.compressDng = row.compress;
            QCOMPARE(Build(settings, QStringLiteral("/clips/c.mlv")).last(),
                     "\"/opt/mlv_dump\" -o \"/clips/c/c_\"" + QString(row.middle) + "\"/clips/c.mlv\"");
        }
    }

    // A null destination turns the custom destination off; the stored one must then be ignored. An empty
    // cleaned path means the source has no separator and nothing may be built. Cleaning keeps a root's own
    // separator, and one more follows it.
    void pathsAreCleanedFirst()
    {
        const char* none = nullptr;
        const struct
        {
            const char *source, *destination, *cleaned, *output;
        } rows[] = {{"/clip.mlv", none, "/clip.mlv", "/clip/"},
                    {"D:/F//d1///A.mlv", none, "D:/F/d1/A.mlv", "D:/F/d1/A/"},
                    {"D:/F/./x/../A.B.mlv", none, "D:/F/A.B.mlv", "D:/F/A.B/"},
                    {"/a/b/../../c.MLV", none, "/c.MLV", "/c/"},
                    {"D:/F/A.mlv", "E:/DNG/x/..//", "D:/F/A.mlv", "E:/DNG/A/"},
                    {"D:/F/A.mlv", "", "D:/F/A.mlv", "/A/"},
                    {"D:/F/A.mlv", "/", "D:/F/A.mlv", "//A/"},
                    {"clip.mlv", none, "", ""},
                    {"C:clip.mlv", none, "", ""},
                    {"", none, "", ""},
                    {"x/../clip.mlv", none, "", ""}};
        for (const auto& row : rows) {
            ConversionSettings settings;
            settings.executable = QStringLiteral("/opt/mlv_dump");
            settings.customDestination = row.destination != nullptr;
            settings.destination = row.destination ? row.destination : "E:/ignored";
            const QString cleaned = row.cleaned, prefix = row.output + QFileInfo(cleaned).completeBaseName() + '_';
            const QStringList built{"built", cleaned, row.output,
                                    "\"/opt/mlv_dump\" -o \"" + prefix + "\" --dng --no-cs \"" + cleaned + "\""};
            QCOMPARE(Build(settings, row.source), (cleaned.isEmpty() ? QStringList{"failed", "-", "-", "-"} : built));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_buildcommandline.moc"
