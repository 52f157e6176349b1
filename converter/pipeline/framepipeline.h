// Processes frames on several threads and hands the results to one writer thread in file order.
#pragma once

#include "pipeline/framejob.h"

#include <condition_variable>
#include <deque>
#include <exception>
#include <functional>
#include <map>
#include <mutex>
#include <thread>
#include <vector>

namespace mlv2dng {

class FramePipeline
{
public:
    // Called on worker number 0 .. workers-1, so a worker can keep its own scratch memory.
    using Process = std::function<FrameResult(FrameJob&, unsigned worker)>;
    // Called on the writer thread, strictly in submission order; returning false stops the pipeline.
    using Deliver = std::function<bool(FrameResult&)>;

    // At most capacity frames are in flight between submit() and delivery, which bounds memory.
    FramePipeline(unsigned workers, std::size_t capacity, Process process, Deliver deliver);
    ~FramePipeline();

    FramePipeline(const FramePipeline&) = delete;
    FramePipeline& operator=(const FramePipeline&) = delete;

    // Blocks while the pipeline is full. Returns false once a delivery or an exception has stopped it.
    bool submit(FrameJob job);
    // Waits until every submitted frame is delivered (or dropped after a stop) and ends the threads.
    // An exception thrown by process or deliver (out of memory) stops the pipeline and is rethrown here.
    void finish();
    bool stopped() const;

private:
    void work(unsigned worker);
    void write();
    void join();
    // Called with the lock held: keeps the first exception and stops everything.
    void abandon(std::exception_ptr failure);

    const std::size_t mCapacity;
    const Process mProcess;
    const Deliver mDeliver;

    mutable std::mutex mMutex;
    std::condition_variable mChanged;
    std::deque<FrameJob> mPending;
    std::map<std::uint64_t, FrameResult> mDone;
    std::uint64_t mNextSequence = 0;
    std::uint64_t mNextDelivery = 0;
    std::size_t mInFlight = 0;
    bool mClosing = false;
    bool mStopped = false;
    std::exception_ptr mFailure;

    std::vector<std::thread> mWorkers;
    std::thread mWriter;
};

}  // namespace mlv2dng
