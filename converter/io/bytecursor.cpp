#include "io/bytecursor.h"

namespace mlv2dng {

std::uint8_t ByteCursor::u8(std::size_t offset) const
{
    if (offset >= mSize) {
        mOverran = true;
        return 0;
    }
    return mData[offset];
}

std::uint16_t ByteCursor::u16(std::size_t offset) const
{
    return static_cast<std::uint16_t>(u8(offset) | (u8(offset + 1) << 8));
}

std::uint32_t ByteCursor::u32(std::size_t offset) const
{
    return static_cast<std::uint32_t>(u16(offset)) | (static_cast<std::uint32_t>(u16(offset + 2)) << 16);
}

std::uint64_t ByteCursor::u64(std::size_t offset) const
{
    return static_cast<std::uint64_t>(u32(offset)) | (static_cast<std::uint64_t>(u32(offset + 4)) << 32);
}

std::string ByteCursor::text(std::size_t offset, std::size_t length) const
{
    std::string result;
    for (std::size_t i = 0; i < length; ++i) {
        if (!contains(offset + i, 1))
            break;
        const char c = static_cast<char>(mData[offset + i]);
        if (c == '\0')
            break;
        result.push_back(c);
    }
    while (!result.empty() && (result.back() == ' ' || result.back() == '\n' || result.back() == '\r'))
        result.pop_back();
    return result;
}

}  // namespace mlv2dng
