#include "io/memorysource.h"

#include <algorithm>
#include <cstring>

namespace mlv2dng {

MemorySource::MemorySource(const std::uint8_t* data, std::size_t size, std::string name)
    : mData(data), mSize(size), mName(std::move(name))
{
}

std::ptrdiff_t MemorySource::read(std::uint8_t* destination, std::size_t n)
{
    const std::size_t count = std::min(n, mSize - mPosition);
    if (count > 0)
        std::memcpy(destination, mData + mPosition, count);
    mPosition += count;
    return static_cast<std::ptrdiff_t>(count);
}

}  // namespace mlv2dng
