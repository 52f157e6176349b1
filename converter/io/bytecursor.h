// Bounds-checked little-endian reader over one block's bytes: a read past the end yields zeros and sets a flag.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class ByteCursor
{
public:
    ByteCursor(const std::uint8_t* data, std::size_t size) : mData(data), mSize(size) {}

    // Absolute-offset reads; fields beyond the end read as zero, which is how short blocks are
    // padded, and overran() tells the caller it happened.
    std::uint8_t u8(std::size_t offset) const;
    std::uint16_t u16(std::size_t offset) const;
    std::uint32_t u32(std::size_t offset) const;
    std::uint64_t u64(std::size_t offset) const;
    std::int32_t i32(std::size_t offset) const { return static_cast<std::int32_t>(u32(offset)); }
    std::int16_t i16(std::size_t offset) const { return static_cast<std::int16_t>(u16(offset)); }
    // Fixed-size text field, cut at its first NUL, with trailing blanks removed.
    std::string text(std::size_t offset, std::size_t length) const;

    bool contains(std::size_t offset, std::size_t length) const { return offset <= mSize && length <= mSize - offset; }
    std::size_t size() const { return mSize; }
    bool overran() const { return mOverran; }

private:
    const std::uint8_t* const mData;
    const std::size_t mSize;
    mutable bool mOverran = false;
};

}  // namespace mlv2dng
