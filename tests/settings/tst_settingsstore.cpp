#include <QProcess>
#include <QSettings>
#include <QtTest>

#include "settings/settingsstore.h"
#include "testsettings.h"

// The twelve options as text, for one comparison.
static QString Describe(const ConversionSettings& s)
{
    QStringList values{s.source, s.destination, s.executable};
    for (const int value :
         {s.threads, s.chromaSmoothing, int(s.customDestination), int(s.fixColdPixels), int(s.fixMovingColdPixels),
          int(s.fixVerticalStripes), int(s.skipErrors), int(s.verbose), int(s.compressDng)})
        values << QString::number(value);
    return values.join('|');
}

static ConversionSettings Loaded()
{
    ConversionSettings settings;
    SettingsStore::Load(settings);
    return settings;
}

class TestSettingsStore : public QObject
{
    Q_OBJECT

private slots:
    void init() { mStorage.clear(); }

    void firstStartGivesDefaults()
    {
        ConversionSettings settings;
        settings.executable = QStringLiteral("left over");
        settings.threads = 9;
        settings.fixColdPixels = false;
        settings.compressDng = true;
        SettingsStore::Load(settings);
        QCOMPARE(Describe(settings), QStringLiteral("|||1|0|0|1|0|1|0|0|0"));
    }

    // Every option away from its default, read back by this program run as a fresh process;
    // only the twelve options are written, and loading leaves a job list it is given alone.
    void saveThenLoadInFreshProcess()
    {
        ConversionSettings saved;
        saved.source = QStringLiteral("/media/card/DCIM");
        saved.destination = QStringLiteral("/srv/dng out/ü");
        saved.executable = QStringLiteral("/opt/ml/mlv_dump");
        saved.threads = 7;
        saved.chromaSmoothing = 2;
        saved.customDestination = saved.fixMovingColdPixels = saved.skipErrors = saved.verbose = saved.compressDng =
            true;
        saved.fixColdPixels = saved.fixVerticalStripes = false;
        saved.workers.emplace_back(QStringLiteral("/footage/A001.MLV"), QString(), QString());
        SettingsStore::Save(saved);
        const QSettings storage;
        QCOMPARE(storage.childGroups(), QStringList{QStringLiteral("Global")});
        QCOMPARE(storage.allKeys().size(), 12);
        // The chroma mode is stored as its text, not as its code.
        QCOMPARE(storage.value("Global/ChromaSmoothing").toString(), QStringLiteral("cs3x3"));
        SettingsStore::Load(saved);
        QCOMPARE(saved.workers.size(), std::size_t(1));

        QProcess probe;
        probe.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--load-from"), mStorage.folder()});
        QVERIFY(probe.waitForFinished(30000));
        QCOMPARE(QString::fromUtf8(probe.readAllStandardOutput()), Describe(saved));
    }

    // Unknown chroma texts mean none; thread counts are clamped to 1..128 ("4294967297" wraps to a negative
    // number in 32 bits).
    void storedValues()
    {
        for (const auto& [text, code] :
             {std::pair("cs2x2", 1), {"cs5x5", 3}, {"no-cs", 0}, {"CS3X3", 0}, {"cs2x2 ", 0}, {"2", 0}, {"cs7x7", 0}}) {
            QSettings().setValue("Global/ChromaSmoothing", text);
            QVERIFY2(Loaded().chromaSmoothing == code, text);
        }
        for (const auto& [text, threads] :
             {std::pair("128", 128), {"0", 1}, {"-4", 1}, {"129", 128}, {"4294967297", 128}, {"four", 1}}) {
            QSettings().setValue("Global/Threads", text);
            QVERIFY2(Loaded().threads == threads, text);
        }
    }

private:
    TestSettings mStorage;
};

// Run as "--load-from FOLDER", the test prints what it loads from that settings folder.
int main(int argc, char* argv[])
{
    QCoreApplication application(argc, argv);
    if (argc == 3 && qstrcmp(argv[1], "--load-from") == 0) {
        const TestSettings storage;
        QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope, QString::fromLocal8Bit(argv[2]));
        QTextStream(stdout) << Describe(Loaded());
        return 0;
    }
    TestSettingsStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "tst_settingsstore.moc"
