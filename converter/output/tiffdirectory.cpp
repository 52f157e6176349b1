#include "output/tiffdirectory.h"

#include "io/byteorder.h"

#include <cstring>

namespace mlv2dng {

namespace {

using ByteOrder::putLe16;
using ByteOrder::putLe32;

void append32(std::vector<std::uint8_t>& bytes, std::uint32_t v)
{
    std::uint8_t b[4];
    putLe32(b, v);
    bytes.insert(bytes.end(), b, b + 4);
}

}  // namespace

void TiffDirectory::add(std::uint16_t tag, Type type, std::uint32_t count, std::vector<std::uint8_t> bytes)
{
    mEntries[tag] = Entry{type, count, std::move(bytes)};
}

void TiffDirectory::addBytes(std::uint16_t tag, const std::vector<std::uint8_t>& values, Type type)
{
    add(tag, type, static_cast<std::uint32_t>(values.size()), values);
}

void TiffDirectory::addAscii(std::uint16_t tag, const std::string& text)
{
    std::vector<std::uint8_t> bytes(text.begin(), text.end());
    bytes.push_back(0);
    const auto count = static_cast<std::uint32_t>(bytes.size());
    add(tag, Ascii, count, std::move(bytes));
}

void TiffDirectory::addShorts(std::uint16_t tag, const std::vector<std::uint16_t>& values)
{
    std::vector<std::uint8_t> bytes(values.size() * 2);
    for (std::size_t i = 0; i < values.size(); ++i)
        putLe16(bytes.data() + 2 * i, values[i]);
    add(tag, Short, static_cast<std::uint32_t>(values.size()), std::move(bytes));
}

void TiffDirectory::addLongs(std::uint16_t tag, const std::vector<std::uint32_t>& values)
{
    std::vector<std::uint8_t> bytes;
    for (const std::uint32_t v : values)
        append32(bytes, v);
    add(tag, Long, static_cast<std::uint32_t>(values.size()), std::move(bytes));
}

void TiffDirectory::addRationals(std::uint16_t tag, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& [numerator, denominator] : values) {
        append32(bytes, numerator);
        append32(bytes, denominator);
    }
    add(tag, Rational, static_cast<std::uint32_t>(values.size()), std::move(bytes));
}

void TiffDirectory::addSRationals(std::uint16_t tag, const std::vector<std::pair<std::int32_t, std::int32_t>>& values)
{
    std::vector<std::uint8_t> bytes;
    for (const auto& [numerator, denominator] : values) {
        append32(bytes, static_cast<std::uint32_t>(numerator));
        append32(bytes, static_cast<std::uint32_t>(denominator));
    }
    add(tag, SRational, static_cast<std::uint32_t>(values.size()), std::move(bytes));
}

std::size_t TiffDirectory::valueSize() const
{
    std::size_t total = 0;
    for (const auto& item : mEntries) {
        const std::size_t n = item.second.bytes.size();
        if (n > 4)
            total += n + (n & 1);
    }
    return total;
}

void TiffDirectory::write(std::vector<std::uint8_t>& out, std::uint32_t ifdOffset, std::uint32_t valueOffset) const
{
    std::uint8_t* p = out.data() + ifdOffset;
    putLe16(p, static_cast<std::uint16_t>(mEntries.size()));
    p += 2;
    std::uint32_t nextValue = valueOffset;
    for (const auto& [tag, entry] : mEntries) {
        putLe16(p, tag);
        putLe16(p + 2, entry.type);
        putLe32(p + 4, entry.count);
        const std::size_t n = entry.bytes.size();
        if (n <= 4) {
            std::memset(p + 8, 0, 4);
            if (n > 0)
                std::memcpy(p + 8, entry.bytes.data(), n);
        } else {
            putLe32(p + 8, nextValue);
            std::memcpy(out.data() + nextValue, entry.bytes.data(), n);
            if (n & 1)
                out[nextValue + n] = 0;
            nextValue += static_cast<std::uint32_t>(n + (n & 1));
        }
        p += 12;
    }
    putLe32(p, 0);
}

}  // namespace mlv2dng
