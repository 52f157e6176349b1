// One lossless-JPEG Huffman table: turns codes plus their extra bits into sample differences.
#pragma once

#include "jpegbitreader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class HuffmanTable
{
public:
    static constexpr int kLookupBits = 12;

    // counts[i] is the number of codes of length i + 1; values lists the difference categories
    // (SSSS, 0..16) in code order. False with a reason when they do not form a usable table.
    bool build(const std::uint8_t (&counts)[16], const std::uint8_t* values, std::size_t valueCount,
               std::string& error);

    // Decodes one difference. The reader must hold at least 32 bits. An unknown code sets
    // failed and yields 0, so a damaged scan still ends in bounded time.
    std::int32_t decodeDifference(JpegBitReader& reader, bool& failed) const
    {
        const std::uint32_t entry = lookup_[reader.peek(kLookupBits)];
        if (entry & kComplete) {
            reader.skip(static_cast<int>(entry & kLengthMask));
            return static_cast<std::int32_t>(entry) >> 16;
        }
        return decodeSlow(reader, entry, failed);
    }

private:
    // Lookup entries: the bits to skip, the category, flags, and (when complete) the difference
    // in the upper 16 bits. 32768 is stored as -32768, the same value modulo 2^16.
    static constexpr std::uint32_t kLengthMask = 0x1F;
    static constexpr int kCategoryShift = 5;
    static constexpr std::uint32_t kComplete = 1u << 10;  // code and extra bits both fit
    static constexpr std::uint32_t kKnownCode = 1u << 11;  // code fits, extra bits do not

    std::int32_t decodeSlow(JpegBitReader& reader, std::uint32_t entry, bool& failed) const;

    std::array<std::uint32_t, 1u << kLookupBits> lookup_{};
    std::array<std::int32_t, 17> maxCode_{};      // per length; -1 when the length has no codes
    std::array<std::int32_t, 17> valueOffset_{};  // values_ index of a code = offset + code
    std::array<std::uint8_t, 256> values_{};
    std::int32_t valueCount_ = 0;
};

}  // namespace mlv2dng
