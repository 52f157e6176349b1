#include "ljpeg/huffmantable.h"

namespace mlv2dng {

bool HuffmanTable::build(const std::uint8_t (&counts)[16], const std::uint8_t* values, std::size_t valueCount,
                         std::string& error)
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
            error =
                "Huffman table holds difference category " + std::to_string(values[i]) + " (lossless allows 0 to 16)";
            return false;
        }
        values_[i] = values[i];
    }

    valueCount_ = static_cast<std::int32_t>(total);
    lookup_.fill(kLongCode);
    maxCode_.fill(-1);
    valueOffset_.fill(0);
    std::uint32_t code = 0;
    std::size_t index = 0;
    for (int length = 1; length <= 16; ++length) {
        const int count = counts[length - 1];
        if (count > 0)
            valueOffset_[static_cast<std::size_t>(length)] =
                static_cast<std::int32_t>(index) - static_cast<std::int32_t>(code);
        for (int i = 0; i < count; ++i, ++code, ++index) {
            if (code >= (1u << length)) {
                error = "Huffman table has more codes of length " + std::to_string(length) + " than fit";
                return false;
            }
            if (length > kLookupBits)
                continue;
            const std::uint32_t category = values_[index];
            const std::uint32_t entry = category == 16 ? (0x8000u << 16) | static_cast<std::uint32_t>(length)
                                                       : (category << kExtraShift) | static_cast<std::uint32_t>(length);
            const int free = kLookupBits - length;
            const std::uint32_t first = code << free;
            for (std::uint32_t low = 0; low < (1u << free); ++low)
                lookup_[first + low] = entry;
        }
        if (count > 0)
            maxCode_[static_cast<std::size_t>(length)] = static_cast<std::int32_t>(code) - 1;
        code <<= 1;
    }
    return true;
}

std::int32_t HuffmanTable::decodeSlow(JpegBitReader& reader, bool& failed) const
{
    // Longer than the lookup (or no code at all): walk the canonical code lengths.
    const std::uint32_t bits = reader.peek(16);
    for (int length = kLookupBits + 1; length <= 16; ++length) {
        const auto code = static_cast<std::int32_t>(bits >> (16 - length));
        if (code > maxCode_[static_cast<std::size_t>(length)])
            continue;
        const std::int32_t index = valueOffset_[static_cast<std::size_t>(length)] + code;
        if (index < 0 || index >= valueCount_)
            break;
        const int category = values_[static_cast<std::size_t>(index)];
        reader.skip(length);
        if (category == 16)
            return 32768;
        if (category == 0)
            return 0;
        const auto extra = static_cast<std::int32_t>(reader.peek(category));
        reader.skip(category);
        return extend(extra, category);
    }
    failed = true;
    return 0;
}

}  // namespace mlv2dng
