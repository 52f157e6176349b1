#include <tuple>

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
    // Each option adds its own flag; chroma codes outside 1..3 mean none. Neither the thread count nor the last
    // dialog folder may leak into a job.
    void optionsAddTheirFlags()
    {
        for (const auto& [cold, moving, stripes, chroma, compress, relaxed, verbose, middle] :
             {std::tuple(true, false, true, 0, false, false, false, " --dng --no-cs "),
              {true, true, true, 0, false, false, false, " --dng --no-cs --fixcp2 "},
              {false, false, true, 0, false, false, false, " --dng --no-cs --no-fixcp "},
              {true, false, true, 1, false, false, false, " --dng --cs2x2 "},
              {true, false, true, 2, false, false, false, " --dng --cs3x3 "},
              {true, false, true, 4, false, false, false, " --dng --no-cs "},
              {true, false, true, -1, false, false, false, " --dng --no-cs "},
              {false, true, true, 3, true, false, false, " --dng -c --cs5x5 --no-fixcp --fixcp2 "},
              {false, true, false, 3, false, true, true,
               " -v --relaxed --dng --cs5x5 --no-fixcp --fixcp2 --no-stripes "}}) {
            ConversionSettings settings;
            settings.executable = QStringLiteral("C:/Tools/mlv_dump.exe");
            settings.threads = 7;
            settings.source = QStringLiteral("Z:/elsewhere");
            settings.fixColdPixels = cold;
            settings.fixMovingColdPixels = moving;
            settings.fixVerticalStripes = stripes;
            settings.chromaSmoothing = chroma;
            settings.compressDng = compress;
            settings.skipErrors = relaxed;
            settings.verbose = verbose;
            QCOMPARE(Build(settings, QStringLiteral("D:/Footage/A001C002.mlv")).last(),
                     "\"C:/Tools/mlv_dump.exe\" -o \"D:/Footage/A001C002/A001C002_\"" + QString(middle)
                         + "\"D:/Footage/A001C002.mlv\"");
        }
    }

    // A null destination turns the custom destination off; the stored one must then be ignored. An empty
    // cleaned path means the source has no separator and nothing may be built. Cleaning keeps a root's own
    // separator, and one more follows it.
    void pathsAreCleanedFirst()
    {
        const char* none = nullptr;
        for (const auto& [source, destination, cleanedPath, output] :
             {std::tuple("/clip.mlv", none, "/clip.mlv", "/clip/"),
              {"D:/F//d1///A.mlv", none, "D:/F/d1/A.mlv", "D:/F/d1/A/"},
              {"D:/F/./x/../A.B.mlv", none, "D:/F/A.B.mlv", "D:/F/A.B/"},
              {"/a/b/../../c.MLV", none, "/c.MLV", "/c/"},
              {"D:/F/A.mlv", "E:/DNG/x/..//", "D:/F/A.mlv", "E:/DNG/A/"},
              {"D:/F/A.mlv", "", "D:/F/A.mlv", "/A/"},
              {"D:/F/A.mlv", "/", "D:/F/A.mlv", "//A/"},
              {"clip.mlv", none, "", ""},
              {"C:clip.mlv", none, "", ""},
              {"", none, "", ""},
              {"x/../clip.mlv", none, "", ""}}) {
            ConversionSettings settings;
            settings.executable = QStringLiteral("/opt/mlv_dump");
            settings.customDestination = destination != nullptr;
            settings.destination = destination ? destination : "E:/ignored";
            const QString cleaned = cleanedPath, prefix = output + QFileInfo(cleaned).completeBaseName() + '_';
            const QStringList built{"built", cleaned, output,
                                    "\"/opt/mlv_dump\" -o \"" + prefix + "\" --dng --no-cs \"" + cleaned + "\""};
            QCOMPARE(Build(settings, source), (cleaned.isEmpty() ? QStringList{"failed", "-", "-", "-"} : built));
        }
    }
};

QTEST_GUILESS_MAIN(TestCommandLine)
#include "tst_buildcommandline.moc"
