// Thread-safe report lines: the regular report on one stream, "[ERROR] " and "[WARNING] " lines on the other.
#pragma once

#include <mutex>
#include <ostream>
#include <string>

namespace mlv2dng {

class Reporter
{
public:
    Reporter(std::ostream& out, std::ostream& err) : mOut(out), mErr(err) {}

    void info(const std::string& line);
    void error(const std::string& line);
    // Something the user should know that does not fail the run.
    void warning(const std::string& line);
    int errorCount() const;

private:
    std::ostream& mOut;
    std::ostream& mErr;
    mutable std::mutex mMutex;
    int mErrors = 0;
};

}  // namespace mlv2dng
