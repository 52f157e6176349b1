// Serves an MLV file that is already in memory (fuzzing, tests); the bytes are not copied.
#pragma once

#include "io/bytesource.h"

namespace mlv2dng {

class MemorySource : public ByteSource
{
public:
    MemorySource(const std::uint8_t* data, std::size_t size, std::string name = "memory");

    std::ptrdiff_t read(std::uint8_t* destination, std::size_t n) override;
    std::uint64_t size() const override { return mSize; }
    const std::string& name() const override { return mName; }

private:
    const std::uint8_t* const mData;
    const std::size_t mSize;
    std::size_t mPosition = 0;
    const std::string mName;
};

}  // namespace mlv2dng
