#include <QProcess>
#include <QSettings>
#include <QtTest>

#include "settings/chromasmoothing.h"
#include "settings/settingsstore.h"
#include "testsettings.h"

namespace {

QMap<QString, QString> ReadProbe(const QString& folder)
{
    QProcess probe;
    probe.start(QStringLiteral(SETTINGS_PROBE_PATH), {folder});
    if (!probe.waitForFinished(30000) || probe.exitCode() != 0)
        return {};
    QMap<QString, QString> values;
    const QStringList lines = QString::fromUtf8(probe.readAllStandardOutput()).split('\n', Qt::SkipEmptyParts);
    for (const QString& line : lines)
        values.insert(line.section('=', 0, 0), line.section('=', 1));
    return values;
}

}  // namespace

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
        SettingsStore::Load(settings);

        QCOMPARE(settings.source, QString());
        QCOMPARE(settings.destination, QString());
        QCOMPARE(settings.executable, QString());
        QCOMPARE(settings.threads, 1);
        QCOMPARE(settings.chromaSmoothing, 0);
        QCOMPARE(settings.customDestination, false);
        QCOMPARE(settings.fixColdPixels, true);
        QCOMPARE(settings.fixMovingColdPixels, false);
        QCOMPARE(settings.fixVerticalStripes, true);
        QCOMPARE(settings.skipErrors, false);
        QCOMPARE(settings.verbose, false);
    }

    // Every option away from its default, then read back by another process, where INI values
    // come back as text rather than as the types that were written.
    void saveThenLoadInFreshProcess()
    {
        ConversionSettings saved;
        saved.source = QStringLiteral("/media/card/DCIM");
        saved.destination = QStringLiteral("/srv/dng out/ü");
        saved.executable = QStringLiteral("/opt/ml/mlv_dump");
        saved.threads = 7;
        saved.chromaSmoothing = 2;
        saved.customDestination = true;
        saved.fixColdPixels = false;
        saved.fixMovingColdPixels = true;
        saved.fixVerticalStripes = false;
        saved.skipErrors = true;
        saved.verbose = true;
        SettingsStore::Save(saved);
        QSettings().sync();

        const QMap<QString, QString> loaded = ReadProbe(mStorage.folder());
        QVERIFY2(!loaded.isEmpty(), "the probe process did not run");
        QCOMPARE(loaded.value("source"), saved.source);
        QCOMPARE(loaded.value("destination"), saved.destination);
        QCOMPARE(loaded.value("executable"), saved.executable);
        QCOMPARE(loaded.value("threads"), QStringLiteral("7"));
        QCOMPARE(loaded.value("chromaSmoothing"), QStringLiteral("2"));
        QCOMPARE(loaded.value("customDestination"), QStringLiteral("1"));
        QCOMPARE(loaded.value("fixColdPixels"), QStringLiteral("0"));
        QCOMPARE(loaded.value("fixMovingColdPixels"), QStringLiteral("1"));
        QCOMPARE(loaded.value("fixVerticalStripes"), QStringLiteral("0"));
        QCOMPARE(loaded.value("skipErrors"), QStringLiteral("1"));
        QCOMPARE(loaded.value("verbose"), QStringLiteral("1"));

        // The chroma mode is stored as its text, not as its code.
        const QSettings file(mStorage.filePath(), QSettings::IniFormat);
        QCOMPARE(file.value("Global/ChromaSmoothing").toString(), QStringLiteral("cs3x3"));
    }

    void defaultsSurviveAFreshProcess()
    {
        SettingsStore::Save(ConversionSettings());
        QSettings().sync();
        const QMap<QString, QString> loaded = ReadProbe(mStorage.folder());
        QCOMPARE(loaded.value("threads"), QStringLiteral("1"));
        QCOMPARE(loaded.value("chromaSmoothing"), QStringLiteral("0"));
        QCOMPARE(loaded.value("fixColdPixels"), QStringLiteral("1"));
        QCOMPARE(loaded.value("fixVerticalStripes"), QStringLiteral("1"));
        QCOMPARE(loaded.value("customDestination"), QStringLiteral("0"));
    }

    void storedChromaText_data()
    {
        QTest::addColumn<QString>("stored");
        QTest::addColumn<int>("code");
        QTest::newRow("2x2") << "cs2x2" << 1;
        QTest::newRow("3x3") << "cs3x3" << 2;
        QTest::newRow("5x5") << "cs5x5" << 3;
        QTest::newRow("none") << "no-cs" << 0;
        QTest::newRow("capitals") << "CS3X3" << 0;
        QTest::newRow("mixed case") << "Cs5x5" << 0;
        QTest::newRow("trailing blank") << "cs2x2 " << 0;
        QTest::newRow("empty") << "" << 0;
        QTest::newRow("unknown") << "cs7x7" << 0;
        QTest::newRow("a number") << "2" << 0;
    }
    void storedChromaText()
    {
        QFETCH(QString, stored);
        QFETCH(int, code);
        QSettings().setValue(QStringLiteral("Global/ChromaSmoothing"), stored);
        ConversionSettings settings;
        settings.chromaSmoothing = 3;
        SettingsStore::Load(settings);
        QCOMPARE(settings.chromaSmoothing, code);
    }

    void chromaConversionsAgree()
    {
        for (int code = -2; code <= 5; ++code) {
            const QString text = ChromaSmoothing::CodeToText(code);
            QCOMPARE(ChromaSmoothing::TextToCode(text), (code >= 1 && code <= 3) ? code : 0);
        }
        QCOMPARE(ChromaSmoothing::CodeToText(0), QStringLiteral("no-cs"));
        QCOMPARE(ChromaSmoothing::CodeToText(4), QStringLiteral("no-cs"));
        QCOMPARE(ChromaSmoothing::CodeToText(-1), QStringLiteral("no-cs"));
    }

    void storedThreads_data()
    {
        QTest::addColumn<QVariant>("stored");
        QTest::addColumn<int>("threads");
        QTest::newRow("in range") << QVariant(QStringLiteral("12")) << 12;
        QTest::newRow("lowest") << QVariant(1) << 1;
        QTest::newRow("highest") << QVariant(128) << 128;
        QTest::newRow("zero") << QVariant(QStringLiteral("0")) << 1;
        QTest::newRow("negative") << QVariant(-4) << 1;
        QTest::newRow("too many") << QVariant(QStringLiteral("129")) << 128;
        QTest::newRow("beyond 32 bits") << QVariant(QStringLiteral("99999999999")) << 128;
        QTest::newRow("wraps to negative in 32 bits") << QVariant(QStringLiteral("4294967297")) << 128;
        QTest::newRow("not a number") << QVariant(QStringLiteral("four")) << 1;
        QTest::newRow("empty") << QVariant(QString()) << 1;
    }
    void storedThreads()
    {
        QFETCH(QVariant, stored);
        QFETCH(int, threads);
        QSettings().setValue(QStringLiteral("Global/Threads"), stored);
        ConversionSettings settings;
        SettingsStore::Load(settings);
        QCOMPARE(settings.threads, threads);
    }

    void jobListIsNeverStored()
    {
        QTemporaryDir footage;
        const QString clip = footage.filePath(QStringLiteral("A001.MLV"));
        ConversionSettings settings;
        settings.workers.emplace_back(clip, QString(), QString());
        settings.workers.emplace_back(footage.filePath("B002.mlv"), QString(), QString());
        SettingsStore::Save(settings);

        QSettings storage;
        QCOMPARE(storage.childGroups(), QStringList{QStringLiteral("Global")});
        storage.beginGroup(QStringLiteral("Global"));
        QStringList keys = storage.allKeys();
        keys.sort();
        const QStringList expected{"ChromaSmoothing", "CustomDestination", "Destination", "Executable",
                                   "FixColdPixels", "FixMovingColdPixels", "FixVerticalStripes",
                                   "SkipErrors", "Source", "Threads", "Verbose"};
        QCOMPARE(keys, expected);

        ConversionSettings reloaded;
        SettingsStore::Load(reloaded);
        QVERIFY(reloaded.workers.empty());
    }

    // Loading fills the options only; a list the window already holds stays as it is.
    void loadLeavesTheJobListAlone()
    {
        ConversionSettings settings;
        settings.workers.emplace_back(QStringLiteral("/footage/A.mlv"), QString(), QString());
        SettingsStore::Load(settings);
        QCOMPARE(settings.workers.size(), std::size_t(1));
        QCOMPARE(settings.workers.front().mSourceFile, QStringLiteral("/footage/A.mlv"));
    }

private:
    TestSettings mStorage;
};

QTEST_GUILESS_MAIN(TestSettingsStore)
#include "tst_settingsstore.moc"
