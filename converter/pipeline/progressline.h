// One self-overwriting progress line on a terminal; silent when the stream is not one.
#pragma once

#include <chrono>
#include <cstdint>
#include <ostream>

namespace mlv2dng {

class ProgressLine
{
public:
    // Shows anything only when enabled and standard error is a terminal (out is then standard error).
    // total: the frames the run will write, if known (0 otherwise).
    ProgressLine(std::ostream& out, bool enabled, std::uint64_t total = 0);

    // Called from one thread as frames are written; redraws at most a few times a second.
    void frameWritten(std::uint64_t written);
    // Ends the line so that the report goes on below it.
    void finish();

    static bool standardErrorIsTerminal();

private:
    std::ostream& mOut;
    const bool mEnabled;
    const std::uint64_t mTotal;
    bool mShown = false;
    const std::chrono::steady_clock::time_point mStarted = std::chrono::steady_clock::now();
    std::chrono::steady_clock::time_point mLastDrawn{};
};

}  // namespace mlv2dng
