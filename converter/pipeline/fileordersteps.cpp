#include "pipeline/fileordersteps.h"

namespace mlv2dng {

void FileOrderSteps::add(std::uint64_t frames, std::function<void()> step)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mSteps.emplace_back(frames, std::move(step));
}

void FileOrderSteps::runThrough(std::uint64_t frames)
{
    // The lock is held while a step runs, so a step run by the writer and the next one run by the reader
    // never overlap or swap places.
    const std::lock_guard<std::mutex> lock(mMutex);
    while (!mSteps.empty() && mSteps.front().first <= frames) {
        const std::function<void()> step = std::move(mSteps.front().second);
        mSteps.pop_front();
        step();
    }
}

}  // namespace mlv2dng
