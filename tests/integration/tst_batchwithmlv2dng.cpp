// Korvalin's own engine runs our converter on generated clips, exactly as a batch from the window does.
#include <QDir>
#include <QSignalSpy>
#include <QThread>
#include <QtTest>

#include "engine/mlvprocessor.h"
#include "mlvwriter.h"

namespace {

constexpr int kWidth = 64;
constexpr int kHeight = 32;
constexpr std::uint32_t kFrames = 3;

bool WriteClip(const QString& path, unsigned seed)
{
    return mlvtest::writeSoundClip(QFile::encodeName(path).toStdString(), seed, kWidth, kHeight, kFrames);
}

}  // namespace

class TestBatchWithMlv2dng : public QObject
{
    Q_OBJECT

private slots:
    void twoClipsConvertInOneBatch()
    {
        QTemporaryDir root;
        const QString footage = root.filePath(QStringLiteral("Day 1 footage"));
        QVERIFY(QDir().mkpath(footage));
        ConversionSettings settings;
        settings.executable = QStringLiteral(MLV2DNG_PATH);
        settings.threads = 2;
        const QStringList clips{QStringLiteral("A001C001"), QStringLiteral("A001C002")};
        for (int i = 0; i < clips.size(); ++i) {
            const QString path = footage + QLatin1Char('/') + clips[i] + QStringLiteral(".MLV");
            QVERIFY(WriteClip(path, 10u * unsigned(i + 1)));
            settings.workers.emplace_back(path, QString(), QString());
        }

        QThread batchThread;
        auto* pProcessor = new MLVProcessor(settings);
        pProcessor->moveToThread(&batchThread);
        QList<MLVWorker> ended;
        int completed = 0;
        connect(pProcessor, &MLVProcessor::FileCompleted, this, [&] { ++completed; });
        connect(pProcessor, &MLVProcessor::UpdateTable, this, [&](const MLVWorker& worker) {
            if (worker.GetStatus() != JobStatus::Processing)
                ended.append(MLVWorker(worker));
        });
        QSignalSpy finished(pProcessor, &MLVProcessor::Finished);
        connect(&batchThread, &QThread::started, pProcessor, &MLVProcessor::StartProcessing);
        connect(pProcessor, &MLVProcessor::Finished, &batchThread, &QThread::quit);
        connect(pProcessor, &MLVProcessor::Finished, pProcessor, &QObject::deleteLater);
        batchThread.start();
        QTRY_COMPARE_WITH_TIMEOUT(finished.count(), 1, 120000);
        // The quit request reaches the thread object through this thread's event loop.
        QTRY_VERIFY_WITH_TIMEOUT(batchThread.isFinished(), 30000);

        QCOMPARE(completed, 2);
        QCOMPARE(ended.size(), 2);
        for (const MLVWorker& job : ended) {
            QVERIFY2(job.GetStatus() == JobStatus::Finished, qPrintable(job.mStdErr));
            const QString name = QFileInfo(job.mSourceFile).completeBaseName();
            QCOMPARE(job.mOutputPath, footage + QLatin1Char('/') + name + QLatin1Char('/'));
            const QStringList written = QDir(job.mOutputPath).entryList(QDir::Files, QDir::Name);
            QCOMPARE(written,
                     (QStringList{name + ".wav", name + "_000000.dng", name + "_000001.dng", name + "_000002.dng"}));
        }
    }
};

QTEST_GUILESS_MAIN(TestBatchWithMlv2dng)
#include "tst_batchwithmlv2dng.moc"
