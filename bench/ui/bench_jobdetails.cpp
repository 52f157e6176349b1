// Times opening a job's details with a verbose log of 5,000, 50,000 and 200,000 lines, until it is painted.
#include <QtTest>

#include "ui/jobdetailsdialog.h"

class BenchJobDetails : public QObject
{
    Q_OBJECT

private slots:
    void open_data()
    {
        QTest::addColumn<int>("lines");
        QTest::newRow("5000") << 5000;
        QTest::newRow("50000") << 50000;
        QTest::newRow("200000") << 200000;
    }

    void open()
    {
        QFETCH(int, lines);
        MLVWorker job(
            QStringLiteral("/footage/M01-1234.MLV"), QStringLiteral("/footage/M01-1234/"),
            QStringLiteral("\"/opt/mlv2dng\" -o \"/footage/M01-1234/M01-1234_\" -v --dng \"/footage/M01.MLV\""));
        const QString pattern = QStringLiteral("Block VIDF in chunk 0 at offset %1, 101376 bytes, frame %2\n");
        for (int line = 0; line < lines; ++line)
            job.mStdOut += pattern.arg(qint64(line) * 101376).arg(line);
        QBENCHMARK {
            JobDetailsDialog dialog(job);
            dialog.show();
            dialog.grab();
        }
    }
};

QTEST_MAIN(BenchJobDetails)
#include "bench_jobdetails.moc"
