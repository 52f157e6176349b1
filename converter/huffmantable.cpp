#include "huffmantable.h"

namespace mlv2dng {

namespace {

inline std::int32_t extendDifference(std::uint32_t bits, int category)
{
    if (category == 0)
        return 0;
    if (category == 16)
        return 32768;
    if (bits < (1u << (category - 1)))
        return static_cast<std::int32_t>(bits) - ((1 << category) - 1);
    return static_cast<std::int32_t>(bits);
}

}  // namespace

bool HuffmanTable::build(const std::uint8_t (&counts)[16], const std::uint8_t* values,
                         std::size_t valueCount, std::string& error)
{
    std::size_t total = 0;
    for (const std::uint8_t count : counts)
        total += count;
    if (total == 0) {
        error = "Huffman table has no codes";
        return false;
    }
    if (total > values_.size() || total > valueCount) {
        error = "Huffman table lists more codes than values";
        return false;
    }
    for (std::size_t i = 0; i < total; ++i) {
        if (values[i] > 16) {
            error = "Huffman table holds difference category " + std::to_string(values[i])
                    + " (lossless allows 0 to 16)";
            return false;
        }
        values_[i] = values[i];
    }

    valueCount_ = static_cast<std::int32_t>(total);
    lookup_.fill(0);
    maxCode_.fill(-1);
    valueOffset_.fill(0);
    std::uint32_t code = 0;
    std::size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = counts[length - 1];
        if (count > 0) {
            valueOffset_[static_cast<std::size_t>(length)] = static_cast<std::int32_t>(index) - static_cast<std::int32_t>(code);
        }
        for (int i = 0; i < count; ++i, ++code, ++index) {
            if (code >= (1u << length)) {
                error = "Huffman table has more codes of length " + std::to_string(length) + " than fit";
                return false;
            }
            if (length > kLookupBits)
                continue;
            const int category = values_[index];
            const int free = kLookupBits - length;
            const std::uint32_t first = code << free;
            const std::uint32_t span = 1u << free;
            for (std::uint32_t low = 0; low < span; ++low) {
                std::uint32_t entry;
                if (category == 16 || length + category <= kLookupBits) {
                    const int used = category == 16 ? length : length + category;
                    const std::uint32_t extra = category == 16 || category == 0
                                                    ? 0
                                                    : (low >> (free - category)) & ((1u << category) - 1);
                    const auto difference = static_cast<std::uint16_t>(extendDifference(extra, category));
                    entry = (static_cast<std::uint32_t>(difference) << 16) | kComplete
                            | static_cast<std::uint32_t>(used);
                } else {
                    entry = kKnownCode | (static_cast<std::uint32_t>(category) << kCategoryShift)
                            | static_cast<std::uint32_t>(length);
                }
                lookup_[first + low] = entry;
            }
        }
        if (count > 0)
            maxCode_[static_cast<std::size_t>(length)] = static_cast<std::int32_t>(code) - 1;
        code <<= 1;
    }
    return true;
}

std::int32_t HuffmanTable::decodeSlow(JpegBitReader& reader, std::uint32_t entry, bool& failed) const
{
    int length = 0;
    int category = 0;
    if (entry & kKnownCode) {
        length = static_cast<int>(entry & kLengthMask);
        category = static_cast<int>((entry >> kCategoryShift) & 0x1F);
    } else {
        // Longer than the lookahead: walk the canonical code lengths.
        const std::uint32_t bits = reader.peek(16);
        for (int candidate = kLookupBits + 1; candidate <= 16; ++candidate) {
            const auto code = static_cast<std::int32_t>(bits >> (16 - candidate));
            if (code <= maxCode_[static_cast<std::size_t>(candidate)]) {
                const std::int32_t index = valueOffset_[static_cast<std::size_t>(candidate)] + code;
                if (index < 0 || index >= valueCount_)
                    break;
                length = candidate;
                category = values_[static_cast<std::size_t>(index)];
                break;
            }
        }
        if (length == 0) {
            failed = true;
            return 0;
        }
    }
    reader.skip(length);
    if (category == 0 || category == 16)
        return extendDifference(0, category);
    const std::uint32_t extra = reader.peek(category);
    reader.skip(category);
    return extendDifference(extra, category);
}

}  // namespace mlv2dng
