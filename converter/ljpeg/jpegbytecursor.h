// Bounds-checked big-endian reader over the marker segments of a JPEG stream.
#pragma once

#include <cstddef>
#include <cstdint>

namespace mlv2dng {

class JpegByteCursor
{
public:
    JpegByteCursor(const std::uint8_t* begin, const std::uint8_t* end);

    std::size_t remaining() const { return static_cast<std::size_t>(end_ - pos_); }
    const std::uint8_t* position() const { return pos_; }
    const std::uint8_t* end() const { return end_; }

    // Each returns false, leaving the cursor where it was, if the bytes are not there.
    bool readU8(std::uint8_t& value);
    bool readU16(std::uint16_t& value);
    bool skip(std::size_t count);
    // A cursor over the next count bytes, advancing this one past them.
    bool split(std::size_t count, JpegByteCursor& part);

private:
    const std::uint8_t* pos_;
    const std::uint8_t* end_;
};

}  // namespace mlv2dng
