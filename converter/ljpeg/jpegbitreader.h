// Reads the entropy-coded bits of a JPEG scan MSB-first, undoing FF 00 stuffing and stopping at markers.
#pragma once

#include "io/byteorder.h"

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace mlv2dng {

class JpegBitReader
{
public:
    JpegBitReader(const std::uint8_t* begin, const std::uint8_t* end);

    // Makes at least 32 bits available. Past the end of the data (a marker or the end of the
    // buffer) zero bits are supplied, and overrun() tells whether any of them were used.
    void fill()
    {
        if (bits_ >= 32)
            return;
        // Most of the time the next eight bytes hold no FF and can be taken in one go.
        if (!stop_ && end_ - pos_ >= 8) {
            const std::uint64_t word = ByteOrder::loadBigEndian64(pos_);
            if (!containsFF(word)) {
                const int bytes = (63 - bits_) >> 3;
                buffer_ |= (word & (~0ULL << (64 - 8 * bytes))) >> bits_;
                pos_ += bytes;
                bits_ += 8 * bytes;
                return;
            }
        }
        refill();
    }
    // count is 1..32 and no more than fill() guaranteed.
    std::uint32_t peek(int count) const { return static_cast<std::uint32_t>(buffer_ >> (64 - count)); }
    // The buffered bits, next one in the top bit.
    std::uint64_t window() const { return buffer_; }
    void skip(int count)
    {
        buffer_ <<= count;
        bits_ -= count;
    }
    bool overrun() const { return static_cast<std::size_t>(bits_) < padBytes_ * 8; }

    // Drops what is left of the current entropy-coded segment, moves past the marker that ends
    // it and starts reading after that marker. False when the buffer ends before a marker.
    bool nextMarker(std::uint8_t& code);
    // Where reading goes on: after nextMarker(), the first byte after the marker.
    const std::uint8_t* position() const { return pos_; }

private:
    static bool containsFF(std::uint64_t word)
    {
        return ((~word - 0x0101010101010101ULL) & word & 0x8080808080808080ULL) != 0;
    }
    // Byte by byte, for stuffing, markers and the end of the buffer.
    void refill();

    const std::uint8_t* pos_;
    const std::uint8_t* end_;
    std::uint64_t buffer_ = 0;  // valid bits are left-aligned
    int bits_ = 0;
    std::size_t padBytes_ = 0;            // zero bytes appended after the data ended
    const std::uint8_t* stop_ = nullptr;  // the FF of the marker that ended the data, or end_
};

}  // namespace mlv2dng
