#include "io/bufferedreader.h"

#include <algorithm>
#include <cstring>

namespace mlv2dng {

BufferedReader::BufferedReader(ByteSource& source, std::size_t bufferSize) : mSource(source), mBuffer(bufferSize)
{
}

bool BufferedReader::refill()
{
    mBegin = 0;
    mEnd = 0;
    const std::ptrdiff_t got = mSource.read(mBuffer.data(), mBuffer.size());
    if (got < 0) {
        mFailed = true;
        return false;
    }
    mEnd = static_cast<std::size_t>(got);
    return mEnd > 0;
}

bool BufferedReader::readExact(std::uint8_t* destination, std::size_t n)
{
    while (n > 0) {
        if (mBegin == mEnd) {
            // A large read bypasses the buffer: one copy less for every video frame.
            if (n >= mBuffer.size()) {
                const std::ptrdiff_t got = mSource.read(destination, n);
                if (got < 0)
                    mFailed = true;
                if (got > 0)
                    mPosition += static_cast<std::uint64_t>(got);
                return got == static_cast<std::ptrdiff_t>(n);
            }
            if (!refill())
                return false;
        }
        const std::size_t count = std::min(n, mEnd - mBegin);
        std::memcpy(destination, mBuffer.data() + mBegin, count);
        mBegin += count;
        mPosition += count;
        destination += count;
        n -= count;
    }
    return true;
}

bool BufferedReader::skip(std::uint64_t n)
{
    // Skipped bytes are still read, so the source is consumed once, front to back.
    while (n > 0) {
        if (mBegin == mEnd && !refill())
            return false;
        const std::size_t count = static_cast<std::size_t>(std::min<std::uint64_t>(n, mEnd - mBegin));
        mBegin += count;
        mPosition += count;
        n -= count;
    }
    return true;
}

}  // namespace mlv2dng
