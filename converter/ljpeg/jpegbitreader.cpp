#include "ljpeg/jpegbitreader.h"

namespace mlv2dng {

JpegBitReader::JpegBitReader(const std::uint8_t* begin, const std::uint8_t* end)
    : pos_(begin), end_(end < begin ? begin : end)
{
}

void JpegBitReader::refill()
{
    while (bits_ <= 56) {
        std::uint64_t byte = 0;
        if (stop_) {
            ++padBytes_;
        } else if (pos_ >= end_) {
            stop_ = end_;
            ++padBytes_;
        } else if (*pos_ != 0xFF) {
            byte = *pos_++;
        } else if (end_ - pos_ >= 2 && pos_[1] == 0x00) {
            byte = 0xFF;
            pos_ += 2;
        } else {
            stop_ = pos_;
            ++padBytes_;
        }
        buffer_ |= byte << (56 - bits_);
        bits_ += 8;
    }
}

bool JpegBitReader::nextMarker(std::uint8_t& code)
{
    const std::uint8_t* p = stop_ ? stop_ : pos_;
    if (!stop_) {
        // Entropy-coded bytes the decoder did not need are passed over.
        while (p < end_) {
            if (*p != 0xFF)
                ++p;
            else if (end_ - p >= 2 && p[1] == 0x00)
                p += 2;
            else
                break;
        }
    }
    if (p >= end_)
        return false;
    while (p < end_ && *p == 0xFF)
        ++p;
    if (p >= end_)
        return false;
    code = *p++;
    pos_ = p;
    buffer_ = 0;
    bits_ = 0;
    padBytes_ = 0;
    stop_ = nullptr;
    return true;
}

}  // namespace mlv2dng
