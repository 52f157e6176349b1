// The frame pipeline: results in submission order whatever the workers' pace, bounded memory, a clean stop.
#include "framepipeline.h"

#include <QtTest>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <thread>

using namespace mlv2dng;

namespace {

// Uneven work, so later frames often finish before earlier ones.
void unevenWork(std::uint32_t frameNumber)
{
    std::this_thread::sleep_for(std::chrono::microseconds((frameNumber * 7919u) % 400u));
}

}  // namespace

class TestFramePipeline : public QObject
{
    Q_OBJECT

private slots:
    void deliversInOrderWithinCapacity()
    {
        const unsigned workers = 4;
        const std::size_t capacity = 6;
        std::atomic<int> outstanding{0};
        std::atomic<int> mostOutstanding{0};
        std::atomic<bool> badWorker{false};
        std::vector<std::uint32_t> delivered;
        std::vector<std::string> payloads;
        {
            FramePipeline pipeline(
                workers, capacity,
                [&](FrameJob& job, unsigned worker) {
                    const int now = ++outstanding;
                    int seen = mostOutstanding.load();
                    while (now > seen && !mostOutstanding.compare_exchange_weak(seen, now)) {
                    }
                    if (worker >= workers)
                        badWorker = true;
                    unevenWork(job.frameNumber);
                    FrameResult result;
                    result.frameNumber = job.frameNumber;
                    result.ok = true;
                    result.error = job.error;
                    return result;
                },
                [&](FrameResult& result) {
                    delivered.push_back(result.frameNumber);
                    payloads.push_back(result.error);
                    --outstanding;
                    return true;
                });
            for (std::uint32_t i = 0; i < 200; ++i) {
                FrameJob job;
                job.frameNumber = 1000 - i;  // numbers need not follow file order
                job.error = std::to_string(i);
                QVERIFY(pipeline.submit(std::move(job)));
            }
            pipeline.finish();
            QVERIFY(!pipeline.stopped());
        }
        QCOMPARE(delivered.size(), std::size_t(200));
        for (std::uint32_t i = 0; i < 200; ++i) {
            QCOMPARE(delivered[i], 1000 - i);
            QCOMPARE(payloads[i], std::to_string(i));
        }
        QVERIFY(!badWorker);
        QVERIFY2(mostOutstanding <= int(capacity), qPrintable(QString::number(mostOutstanding)));
        QVERIFY(mostOutstanding > 1);  // the workers did run side by side
    }

    // A refused delivery stops everything: nothing after it is delivered, submit says so, and
    // finish() returns instead of waiting for frames that will never be written.
    void stopsAtFirstRefusal()
    {
        std::vector<std::uint32_t> delivered;
        FramePipeline pipeline(
            2, 4,
            [](FrameJob& job, unsigned) {
                unevenWork(job.frameNumber);
                FrameResult result;
                result.frameNumber = job.frameNumber;
                return result;
            },
            [&](FrameResult& result) {
                delivered.push_back(result.frameNumber);
                return result.frameNumber != 10;
            });
        bool refused = false;
        for (std::uint32_t i = 0; i < 500 && !refused; ++i) {
            FrameJob job;
            job.frameNumber = i;
            refused = !pipeline.submit(std::move(job));
        }
        pipeline.finish();
        QVERIFY(refused);
        QVERIFY(pipeline.stopped());
        std::vector<std::uint32_t> expected(11);
        for (std::uint32_t i = 0; i <= 10; ++i)
            expected[i] = i;
        QCOMPARE(delivered, expected);
    }
};

QTEST_APPLESS_MAIN(TestFramePipeline)
#include "tst_framepipeline.moc"
