#include <QCoreApplication>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/processio.h"
#include "fakeclip.h"

class TestProcessIo : public QObject
{
    Q_OBJECT

private:
    QTemporaryDir mDir;

    // Starts the fake tool on a clip, as a job would, and waits for it to be running.
    bool startTool(QProcess& process, const QString& clipPath)
    {
        process.start(FakeClip::toolPath(),
                      {QStringLiteral("-o"), mDir.filePath(QStringLiteral("out_")), QStringLiteral("--dng"),
                       QStringLiteral("--no-cs"), clipPath});
        return process.waitForStarted(30000);
    }

private slots:
    void initTestCase()
    {
        QVERIFY(mDir.isValid());
#if !defined(Q_OS_LINUX) && !defined(Q_OS_WIN)
        QSKIP("This platform has no per-process I/O counters.");
#endif
    }

    void noProcessGivesNothing_data()
    {
        QTest::addColumn<qint64>("processId");
        QTest::newRow("zero") << qint64(0);
        QTest::newRow("negative") << qint64(-1);
        QTest::newRow("lowest") << std::numeric_limits<qint64>::min();
    }
    void noProcessGivesNothing()
    {
        QFETCH(qint64, processId);
        QVERIFY(!ReadProcessIoCounters(processId));
    }

    // The counters of this very process follow what it reads and writes.
    void ownReadsAndWritesAreCounted()
    {
        const QByteArray block(2 * 1024 * 1024, 'r');
        QFile file(mDir.filePath(QStringLiteral("own.bin")));
        QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Unbuffered));
        const auto before = ReadProcessIoCounters(QCoreApplication::applicationPid());
        QVERIFY(before);
        QCOMPARE(file.write(block), qint64(block.size()));
        file.close();
        const auto afterWrite = ReadProcessIoCounters(QCoreApplication::applicationPid());
        QVERIFY(afterWrite);
        QVERIFY(afterWrite->bytesWritten >= before->bytesWritten + quint64(block.size()));

        QVERIFY(file.open(QIODevice::ReadOnly | QIODevice::Unbuffered));
        QCOMPARE(file.readAll().size(), block.size());
        const auto afterRead = ReadProcessIoCounters(QCoreApplication::applicationPid());
        QVERIFY(afterRead);
        QVERIFY(afterRead->bytesRead >= afterWrite->bytesRead + quint64(block.size()));
    }

    void childThatReadsAKnownFile()
    {
        const qint64 size = 3 * 1024 * 1024 + 123;
        const QString clip = mDir.filePath(QStringLiteral("whole.mlv"));
        const QString release = mDir.filePath(QStringLiteral("release-whole"));
        const QByteArray line(1000, 'w');
        QVERIFY(FakeClip().read(-1).printOut(line + '\n', 500).holdUntil(release).sizeAtLeast(size).write(clip));
        QCOMPARE(QFileInfo(clip).size(), size);

        QProcess process;
        QVERIFY(startTool(process, clip));
        const qint64 processId = process.processId();
        QTRY_VERIFY_WITH_TIMEOUT(ReadProcessIoCounters(processId) && ReadProcessIoCounters(processId)->bytesRead >= quint64(size)
                                     && ReadProcessIoCounters(processId)->bytesWritten >= 500 * 1001,
                                 20000);

        QVERIFY(FakeClip::release(release));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QCOMPARE(process.readAllStandardOutput().size(), 500 * 1001);
        QVERIFY(!ReadProcessIoCounters(processId));
    }

    // Counters measure what was read so far, not the size of the file.
    void childThatReadsPartOfAFile()
    {
        const qint64 size = 8 * 1024 * 1024;
        const qint64 part = 1024 * 1024;
        const QString clip = mDir.filePath(QStringLiteral("part.mlv"));
        const QString release = mDir.filePath(QStringLiteral("release-part"));
        QVERIFY(FakeClip().read(part).holdUntil(release).sizeAtLeast(size).write(clip));

        QProcess process;
        QVERIFY(startTool(process, clip));
        const qint64 processId = process.processId();
        QTRY_VERIFY_WITH_TIMEOUT(ReadProcessIoCounters(processId) && ReadProcessIoCounters(processId)->bytesRead >= quint64(part),
                                 20000);
        const auto counters = ReadProcessIoCounters(processId);
        QVERIFY(counters);
        QVERIFY(counters->bytesRead < quint64(2 * part));
        QVERIFY(FakeClip::release(release));
        QVERIFY(process.waitForFinished(30000));
        QVERIFY(!ReadProcessIoCounters(processId));
    }
};

QTEST_GUILESS_MAIN(TestProcessIo)
#include "tst_processio.moc"
