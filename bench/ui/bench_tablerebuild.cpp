// Times one full rebuild of the progress table for 100, 1,000 and 10,000 jobs.
#include <list>
#include <vector>

#include <QTableWidget>
#include <QtTest>

#include "ui/progresstext.h"
#include "ui/tablewriter.h"

class BenchTableRebuild : public QObject
{
    Q_OBJECT

private slots:
    void rebuild_data()
    {
        QTest::addColumn<int>("jobs");
        QTest::newRow("100") << 100;
        QTest::newRow("1000") << 1000;
        QTest::newRow("10000") << 10000;
    }

    // A mix as a long batch shows it: finished, failed, running and waiting rows.
    void rebuild()
    {
        QFETCH(int, jobs);
        std::list<MLVWorker> list;
        std::vector<MLVWorker> running;
        const QTime now = QTime::currentTime();
        for (int i = 0; i < jobs; ++i) {
            const QString source =
                QStringLiteral("/footage/day%1/M%2.MLV").arg(i / 100).arg(i, 5, 10, QLatin1Char('0'));
            const QString output = QStringLiteral("/footage/day%1/M%2/").arg(i / 100).arg(i, 5, 10, QLatin1Char('0'));
            const QString command =
                QStringLiteral("\"/opt/mlv_dump\" -o \"%1M_\" --dng --no-cs \"%2\"").arg(output, source);
            list.emplace_back(source, output, command);
            MLVWorker& job = list.back();
            switch (i % 4) {
            case 0:
                job.mStdOut = QStringLiteral("Processed 1200 frames\n");
                break;
            case 1:
                job.mStdErr = QStringLiteral("Block size mismatch\n");
                break;
            case 2:
                job.mFileSize = 1 << 30;
                if (running.size() < 8) {
                    running.push_back(job);
                    running.back().mProcessId = 1000 + i;
                    running.back().mStartTime = now.addSecs(-3);
                }
                break;
            default:
                job.mCommandLine.clear();
                break;
            }
        }
        QTableWidget table;
        table.setColumnCount(5);
        table.resize(600, 400);
        table.show();
        const TableWriter writer(&table,
                                 ProgressText(
                                     [](qint64) {
                                         return std::optional<ProcessIoCounters>(ProcessIoCounters{1 << 29, 1 << 28});
                                     },
                                     [now] { return now; }));
        QBENCHMARK {
            writer.Rebuild(list, running);
        }
        QCOMPARE(table.rowCount(), jobs);
    }
};

QTEST_MAIN(BenchTableRebuild)
#include "bench_tablerebuild.moc"
