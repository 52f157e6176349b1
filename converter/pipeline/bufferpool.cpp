#include "pipeline/bufferpool.h"

namespace mlv2dng {

std::vector<std::uint8_t> BufferPool::take()
{
    const std::lock_guard<std::mutex> lock(mMutex);
    if (mFree.empty())
        return {};
    std::vector<std::uint8_t> buffer = std::move(mFree.back());
    mFree.pop_back();
    return buffer;
}

void BufferPool::give(std::vector<std::uint8_t>&& buffer)
{
    if (buffer.capacity() == 0)
        return;
    const std::lock_guard<std::mutex> lock(mMutex);
    if (mFree.size() < mLimit)
        mFree.push_back(std::move(buffer));
}

}  // namespace mlv2dng
