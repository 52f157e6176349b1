#include "ljpeg/jpegbytecursor.h"

#include "io/byteorder.h"

namespace mlv2dng {

JpegByteCursor::JpegByteCursor(const std::uint8_t* begin, const std::uint8_t* end)
    : pos_(begin), end_(end < begin ? begin : end)
{
}

bool JpegByteCursor::readU8(std::uint8_t& value)
{
    if (remaining() < 1)
        return false;
    value = *pos_++;
    return true;
}

bool JpegByteCursor::readU16(std::uint16_t& value)
{
    if (remaining() < 2)
        return false;
    value = static_cast<std::uint16_t>(ByteOrder::be16(pos_));
    pos_ += 2;
    return true;
}

bool JpegByteCursor::skip(std::size_t count)
{
    if (remaining() < count)
        return false;
    pos_ += count;
    return true;
}

bool JpegByteCursor::split(std::size_t count, JpegByteCursor& part)
{
    if (remaining() < count)
        return false;
    part = JpegByteCursor(pos_, pos_ + count);
    pos_ += count;
    return true;
}

}  // namespace mlv2dng
