// The frame pipeline: results in submission order whatever the workers' pace, bounded memory, a clean stop.
#include "pipeline/framepipeline.h"

#include <QtTest>

#include <atomic>
#include <chrono>
#include <thread>

using namespace mlv2dng;

class TestFramePipeline : public QObject
{
    Q_OBJECT

private slots:
    void deliversInOrder_data()
    {
        QTest::addColumn<int>("refuseAt");
        QTest::addColumn<int>("throwAt");
        QTest::newRow("all delivered") << -1 << -1;
        QTest::newRow("stops at a refused delivery") << 10 << -1;
        QTest::newRow("stops when a worker runs out of memory") << -1 << 10;
    }

    // Uneven work makes later frames finish first; they still arrive in submission order, never
    // more than the capacity in flight. A refused delivery stops everything: nothing after it is
    // delivered, submit says so, and finish() returns instead of waiting for frames never written.
    // A worker's exception stops it the same way and comes out of finish().
    void deliversInOrder()
    {
        QFETCH(int, refuseAt);
        QFETCH(int, throwAt);
        const unsigned workers = 4;
        const int capacity = 6, count = 200;
        std::atomic<int> outstanding{0}, mostOutstanding{0};
        std::atomic<bool> badWorker{false};
        std::vector<std::uint32_t> delivered;
        bool refused = false;
        FramePipeline pipeline(
            workers, capacity,
            [&](FrameJob& job, unsigned worker) {
                const int now = ++outstanding;
                for (int seen = mostOutstanding; now > seen && !mostOutstanding.compare_exchange_weak(seen, now);) {}
                badWorker = badWorker || worker >= workers;
                if (int(1000 - job.frameNumber) == throwAt)
                    throw std::bad_alloc();
                std::this_thread::sleep_for(std::chrono::microseconds((job.frameNumber * 7919u) % 400u));
                FrameResult result;
                result.frameNumber = job.frameNumber;
                return result;
            },
            [&](FrameResult& result) {
                delivered.push_back(result.frameNumber);
                --outstanding;
                return int(delivered.size()) - 1 != refuseAt;
            });
        for (int i = 0; i < count && !refused; ++i) {
            FrameJob job;
            job.frameNumber = std::uint32_t(1000 - i);  // numbers need not follow file order
            refused = !pipeline.submit(std::move(job));
        }
        if (throwAt >= 0) {
            QVERIFY_EXCEPTION_THROWN(pipeline.finish(), std::bad_alloc);
            QVERIFY(refused);
            QVERIFY(int(delivered.size()) <= throwAt);
            pipeline.finish();  // the failure is reported once
            return;
        }
        pipeline.finish();
        QCOMPARE(refused, refuseAt >= 0);
        QCOMPARE(pipeline.stopped(), refuseAt >= 0);
        QCOMPARE(int(delivered.size()), refuseAt >= 0 ? refuseAt + 1 : count);
        for (std::size_t i = 0; i < delivered.size(); ++i)
            QCOMPARE(delivered[i], std::uint32_t(1000 - i));
        QVERIFY(!badWorker);
        QVERIFY2(mostOutstanding <= capacity, qPrintable(QString::number(mostOutstanding)));
        QVERIFY(refuseAt >= 0 || mostOutstanding > 1);  // the workers did run side by side
    }
};

QTEST_APPLESS_MAIN(TestFramePipeline)
#include "tst_framepipeline.moc"
