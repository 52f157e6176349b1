#include "jpegbitreader.h"

#include <cstring>

namespace mlv2dng {

namespace {

inline bool containsFF(std::uint64_t word)
{
    const std::uint64_t inverted = ~word;
    return ((inverted - 0x0101010101010101ULL) & word & 0x8080808080808080ULL) != 0;
}

inline std::uint64_t loadBigEndian64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
#if defined(__GNUC__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(word);
#else
    std::uint64_t value = 0;
    for (int i = 0; i < 8; ++i)
        value = (value << 8) | p[i];
    return value;
#endif
}

}  // namespace

JpegBitReader::JpegBitReader(const std::uint8_t* begin, const std::uint8_t* end)
    : pos_(begin), end_(end < begin ? begin : end)
{
}

void JpegBitReader::refill()
{
    // Most of the time the next eight bytes hold no FF and can be taken in one go.
    if (!stop_ && end_ - pos_ >= 8) {
        const std::uint64_t word = loadBigEndian64(pos_);
        if (!containsFF(word)) {
            const int bytes = (63 - bits_) >> 3;
            buffer_ |= (word & (~0ULL << (64 - 8 * bytes))) >> bits_;
            pos_ += bytes;
            bits_ += 8 * bytes;
            return;
        }
    }
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
