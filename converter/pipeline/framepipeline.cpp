#include "pipeline/framepipeline.h"

namespace mlv2dng {

FramePipeline::FramePipeline(unsigned workers, std::size_t capacity, Process process, Deliver deliver)
    : mCapacity(capacity > 0 ? capacity : 1), mProcess(std::move(process)), mDeliver(std::move(deliver))
{
    try {
        for (unsigned i = 0; i < (workers > 0 ? workers : 1); ++i)
            mWorkers.emplace_back([this, i] { work(i); });
        mWriter = std::thread([this] { write(); });
    } catch (...) {
        join();  // a thread that cannot start leaves the others to be ended, not abandoned
        throw;
    }
}

FramePipeline::~FramePipeline()
{
    join();
}

bool FramePipeline::submit(FrameJob job)
{
    std::unique_lock<std::mutex> lock(mMutex);
    mChanged.wait(lock, [this] { return mStopped || mInFlight < mCapacity; });
    if (mStopped)
        return false;
    job.sequence = mNextSequence++;
    ++mInFlight;
    mPending.push_back(std::move(job));
    mChanged.notify_all();
    return true;
}

bool FramePipeline::stopped() const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    return mStopped;
}

void FramePipeline::finish()
{
    join();
    std::exception_ptr failure;
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        failure.swap(mFailure);
    }
    if (failure)
        std::rethrow_exception(failure);
}

void FramePipeline::abandon(std::exception_ptr failure)
{
    if (!mFailure)
        mFailure = std::move(failure);
    mStopped = true;
    mPending.clear();
    mChanged.notify_all();
}

void FramePipeline::join()
{
    {
        const std::lock_guard<std::mutex> lock(mMutex);
        if (mClosing && mWorkers.empty())
            return;
        mClosing = true;
    }
    mChanged.notify_all();
    for (std::thread& worker : mWorkers)
        worker.join();
    mWorkers.clear();
    if (mWriter.joinable())
        mWriter.join();
}

void FramePipeline::work(unsigned worker)
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [this] { return mClosing || mStopped || !mPending.empty(); });
        if (mPending.empty() || mStopped)
            return;
        FrameJob job = std::move(mPending.front());
        mPending.pop_front();
        lock.unlock();
        FrameResult result;
        try {
            result = mProcess(job, worker);
        } catch (...) {
            lock.lock();
            abandon(std::current_exception());
            return;
        }
        result.sequence = job.sequence;
        job = FrameJob{};  // free the frame's memory before waiting for the lock
        lock.lock();
        mDone.emplace(result.sequence, std::move(result));
        mChanged.notify_all();
    }
}

void FramePipeline::write()
{
    std::unique_lock<std::mutex> lock(mMutex);
    for (;;) {
        mChanged.wait(lock, [this] {
            return mStopped || mDone.count(mNextDelivery) > 0 || (mClosing && mNextDelivery == mNextSequence);
        });
        if (mStopped || mDone.count(mNextDelivery) == 0)
            break;  // stopped, or closing with everything delivered
        auto item = mDone.find(mNextDelivery);
        FrameResult result = std::move(item->second);
        mDone.erase(item);
        lock.unlock();
        bool goOn = false;
        try {
            goOn = mDeliver(result);
        } catch (...) {
            lock.lock();
            abandon(std::current_exception());
            break;
        }
        result = FrameResult{};
        lock.lock();
        ++mNextDelivery;
        --mInFlight;
        if (!goOn) {
            mStopped = true;
            mPending.clear();
        }
        mChanged.notify_all();
    }
}

}  // namespace mlv2dng
