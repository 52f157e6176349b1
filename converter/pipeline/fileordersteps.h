// What the reader met between frames, held until the frames read before it are written. A run that a
// damaged frame stops then keeps exactly what precedes that frame in the file, however far the reader
// had got ahead of the workers: sound, report lines and counts come out the same every time.
#pragma once

#include <cstdint>
#include <deque>
#include <functional>
#include <mutex>
#include <utility>

namespace mlv2dng {

class FileOrderSteps
{
public:
    // A step for a block read after `frames` frames were handed to the workers.
    void add(std::uint64_t frames, std::function<void()> step);
    // Runs, in the order added, every step that follows at most `frames` frames. Any thread may call it;
    // steps run one at a time and each once. Those never run are dropped with this object.
    void runThrough(std::uint64_t frames);

private:
    std::mutex mMutex;
    std::deque<std::pair<std::uint64_t, std::function<void()>>> mSteps;
};

}  // namespace mlv2dng
