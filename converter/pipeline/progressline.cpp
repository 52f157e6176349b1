#include "pipeline/progressline.h"

#include <cstdio>
#if defined(_WIN32)
#include <io.h>
#else
#include <unistd.h>
#endif

namespace mlv2dng {

ProgressLine::ProgressLine(std::ostream& out, bool enabled, std::uint64_t total)
    : mOut(out), mEnabled(enabled && standardErrorIsTerminal()), mTotal(total)
{
}

bool ProgressLine::standardErrorIsTerminal()
{
#if defined(_WIN32)
    return _isatty(_fileno(stderr)) != 0;
#else
    return ::isatty(STDERR_FILENO) != 0;
#endif
}

void ProgressLine::frameWritten(std::uint64_t written)
{
    if (!mEnabled)
        return;
    const auto now = std::chrono::steady_clock::now();
    if (mShown && now - mLastDrawn < std::chrono::milliseconds(200))
        return;
    mLastDrawn = now;
    mShown = true;
    const double seconds = std::chrono::duration<double>(now - mStarted).count();
    const double rate = seconds > 0 ? written / seconds : 0.0;
    char line[128];
    // A header that undercounts (a damaged one) must not show "frame 12 of 10".
    if (mTotal >= written)
        std::snprintf(line, sizeof line, "\rConverted frame %llu of %llu (%.1f frames per second)   ",
                      static_cast<unsigned long long>(written), static_cast<unsigned long long>(mTotal), rate);
    else
        std::snprintf(line, sizeof line, "\rConverted frame %llu (%.1f frames per second)   ",
                      static_cast<unsigned long long>(written), rate);
    mOut << line << std::flush;
}

void ProgressLine::finish()
{
    if (mShown)
        mOut << '\n' << std::flush;
    mShown = false;
}

}  // namespace mlv2dng
