// One little-endian TIFF IFD under construction: entries kept sorted by tag, values laid out on write.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace mlv2dng {

class TiffDirectory
{
public:
    enum Type : std::uint16_t { Byte = 1, Ascii = 2, Short = 3, Long = 4, Rational = 5, Undefined = 7, SRational = 10 };

    // Each add replaces an earlier entry with the same tag, so a tag can never appear twice.
    void addBytes(std::uint16_t tag, const std::vector<std::uint8_t>& values, Type type = Byte);
    void addAscii(std::uint16_t tag, const std::string& text);
    void addShorts(std::uint16_t tag, const std::vector<std::uint16_t>& values);
    void addLongs(std::uint16_t tag, const std::vector<std::uint32_t>& values);
    void addRationals(std::uint16_t tag, const std::vector<std::pair<std::uint32_t, std::uint32_t>>& values);
    void addSRationals(std::uint16_t tag, const std::vector<std::pair<std::int32_t, std::int32_t>>& values);

    std::size_t entryCount() const { return mEntries.size(); }
    // Bytes of the directory itself (count, entries, next-IFD pointer).
    std::size_t directorySize() const { return 2 + 12 * mEntries.size() + 4; }
    // Bytes of the values that do not fit into their entries, each padded to an even length.
    std::size_t valueSize() const;

    // Writes the directory at ifdOffset and its out-of-line values from valueOffset on.
    // out must already be large enough for both.
    void write(std::vector<std::uint8_t>& out, std::uint32_t ifdOffset, std::uint32_t valueOffset) const;

private:
    struct Entry
    {
        Type type;
        std::uint32_t count;
        std::vector<std::uint8_t> bytes;  // little-endian value bytes
    };
    void add(std::uint16_t tag, Type type, std::uint32_t count, std::vector<std::uint8_t> bytes);

    std::map<std::uint16_t, Entry> mEntries;
};

}  // namespace mlv2dng
