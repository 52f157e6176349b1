#include "pipeline/reporter.h"

namespace mlv2dng {

void Reporter::info(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mOut << line << '\n';
}

void Reporter::error(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    // Flushed at once: whoever watches stderr learns of a problem while the run goes on.
    mErr << "[ERROR] " << line << std::endl;
    ++mErrors;
}

void Reporter::warning(const std::string& line)
{
    const std::lock_guard<std::mutex> lock(mMutex);
    mErr << "[WARNING] " << line << std::endl;
}

int Reporter::errorCount() const
{
    const std::lock_guard<std::mutex> lock(mMutex);
    return mErrors;
}

}  // namespace mlv2dng
