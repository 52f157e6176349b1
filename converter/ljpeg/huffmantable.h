// One lossless-JPEG Huffman table: turns codes plus their extra bits into sample differences.
#pragma once

#include "ljpeg/jpegbitreader.h"

#include <array>
#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class HuffmanTable
{
public:
    static constexpr int kLookupBits = 11;

    // counts[i] is the number of codes of length i + 1; values lists the difference categories
    // (SSSS, 0..16) in code order. False with a reason when they do not form a usable table.
    bool build(const std::uint8_t (&counts)[16], const std::uint8_t* values, std::size_t valueCount,
               std::string& error);

    // Decodes one difference. The reader must hold at least 32 bits. An unknown code sets
    // failed and yields 0, so a damaged scan still ends in bounded time.
    std::int32_t decodeDifference(JpegBitReader& reader, bool& failed) const
    {
        const std::uint64_t window = reader.window();
        const std::uint32_t entry = lookup_[window >> (64 - kLookupBits)];
        if (entry & kLongCode)
            return decodeSlow(reader, failed);
        const int length = static_cast<int>(entry & kFieldMask);
        const int extraBits = static_cast<int>((entry >> kExtraShift) & kFieldMask);
        reader.skip(length + extraBits);
        // Shifting by one first keeps the count below 64 when there are no extra bits.
        const auto extra = static_cast<std::int32_t>(((window << length) >> 1) >> (63 - extraBits));
        return extend(extra, extraBits) + static_cast<std::int32_t>(entry >> 16);
    }

private:
    // Lookup entries: code length, number of extra bits, a flag for codes longer than the
    // lookup, and in the upper half a constant to add (32768 for category 16, which has no
    // extra bits).
    static constexpr std::uint32_t kFieldMask = 0x1F;
    static constexpr int kExtraShift = 5;
    static constexpr std::uint32_t kLongCode = 1u << 10;

    // Extra bits below half the category's range stand for negative differences.
    static std::int32_t extend(std::int32_t extra, int extraBits)
    {
        const std::int32_t negative = (extra - static_cast<std::int32_t>((1u << extraBits) >> 1)) >> 31;
        return extra + (negative & (1 - (1 << extraBits)));
    }

    std::int32_t decodeSlow(JpegBitReader& reader, bool& failed) const;

    std::array<std::uint32_t, 1u << kLookupBits> lookup_{};
    std::array<std::int32_t, 17> maxCode_{};      // per length; -1 when the length has no codes
    std::array<std::int32_t, 17> valueOffset_{};  // values_ index of a code = offset + code
    std::array<std::uint8_t, 256> values_{};
    std::int32_t valueCount_ = 0;
};

}  // namespace mlv2dng
