// Hands frame-sized byte buffers back from the writer to the reader, so frames reuse warm memory.
#pragma once

#include <cstdint>
#include <mutex>
#include <vector>

namespace mlv2dng {

class BufferPool
{
public:
    explicit BufferPool(std::size_t limit) : mLimit(limit) {}

    // A buffer that held an earlier frame (size and contents as it was left), or an empty one.
    std::vector<std::uint8_t> take();
    // Keeps the buffer for take() unless the pool already holds its limit.
    void give(std::vector<std::uint8_t>&& buffer);

private:
    const std::size_t mLimit;
    std::mutex mMutex;
    std::vector<std::vector<std::uint8_t>> mFree;
};

}  // namespace mlv2dng
