// Turns a ByteSource into exact-size reads: small reads come from a buffer, big ones (frames) go straight through.
#pragma once

#include "io/bytesource.h"

#include <cstdint>
#include <vector>

namespace mlv2dng {

class BufferedReader
{
public:
    explicit BufferedReader(ByteSource& source, std::size_t bufferSize = 1 << 16);

    // Reads exactly n bytes, or returns false (end of data or an I/O error: see failed()).
    bool readExact(std::uint8_t* destination, std::size_t n);
    bool skip(std::uint64_t n);

    std::uint64_t position() const { return mPosition; }
    std::uint64_t remaining() const { return mSource.size() > mPosition ? mSource.size() - mPosition : 0; }
    bool failed() const { return mFailed; }
    ByteSource& source() { return mSource; }

private:
    bool refill();

    ByteSource& mSource;
    std::vector<std::uint8_t> mBuffer;
    std::size_t mBegin = 0;
    std::size_t mEnd = 0;
    std::uint64_t mPosition = 0;
    bool mFailed = false;
};

}  // namespace mlv2dng
