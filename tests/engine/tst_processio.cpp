#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

#include "engine/processio.h"
#include "fakeclip.h"

class TestProcessIo : public QObject
{
    Q_OBJECT

private slots:
    // The counters follow what was read so far, not the file's size; an ended process gives nothing.
    void childThatReadsAKnownFile_data()
    {
        QTest::addColumn<qint64>("wanted");
        QTest::addColumn<qint64>("expected");
        QTest::newRow("all of it") << qint64(-1) << qint64(3 * 1024 * 1024 + 123);
        QTest::newRow("a part") << qint64(1024 * 1024) << qint64(1024 * 1024);
    }
    void childThatReadsAKnownFile()
    {
        QFETCH(qint64, wanted);
        QFETCH(qint64, expected);
        QVERIFY(!ReadProcessIoCounters(0) && !ReadProcessIoCounters(-1));
        QTemporaryDir dir;
        const QString clip = dir.filePath(QStringLiteral("clip.mlv")), release = dir.filePath(QStringLiteral("release"));
        QVERIFY(FakeClip().read(wanted).printOut(QByteArray(1000, 'w'), 500).holdUntil(release).sizeAtLeast(3 * 1024 * 1024 + 123).write(clip));
        QProcess process;
        process.start(FakeClip::toolPath(), {clip});
        QVERIFY(process.waitForStarted(30000));
        const qint64 processId = process.processId();
        const auto counted = [&] {
            const auto counters = ReadProcessIoCounters(processId);
            return counters && counters->bytesRead >= quint64(expected) && counters->bytesWritten >= 500 * 1000;
        };
        QTRY_VERIFY_WITH_TIMEOUT(counted(), 20000);
        QVERIFY(ReadProcessIoCounters(processId)->bytesRead < quint64(expected) + 1024 * 1024);
        QVERIFY(FakeClip::release(release));
        QVERIFY(process.waitForFinished(30000));
        QCOMPARE(process.exitCode(), 0);
        QVERIFY(!ReadProcessIoCounters(processId));
    }
};

QTEST_GUILESS_MAIN(TestProcessIo)
#include "tst_processio.moc"
