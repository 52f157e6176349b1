// Byte order in one place: little-endian word loads and stores, big-endian loads, byte swaps.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>
#if defined(_MSC_VER)
#include <cstdlib>
#endif

namespace mlv2dng::ByteOrder {

// The little-endian 16-bit word at p.
inline std::uint32_t le16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) | static_cast<std::uint32_t>(p[1]) << 8;
}

// The big-endian 16-bit word at p, as JPEG stores its fields.
inline std::uint32_t be16(const std::uint8_t* p)
{
    return static_cast<std::uint32_t>(p[0]) << 8 | static_cast<std::uint32_t>(p[1]);
}

// Word number `index` of a little-endian word stream of `size` bytes; bytes past the end read as zero.
inline std::uint32_t le16At(const std::uint8_t* stream, std::size_t size, std::size_t index)
{
    const std::size_t at = 2 * index;
    const std::uint32_t low = at < size ? stream[at] : 0;
    const std::uint32_t high = at + 1 < size ? stream[at + 1] : 0;
    return low | high << 8;
}

// Stores word number `index` of such a stream; bytes past the end are not written.
inline void putLe16At(std::uint8_t* stream, std::size_t size, std::size_t index, std::uint32_t value)
{
    const std::size_t at = 2 * index;
    if (at < size)
        stream[at] = static_cast<std::uint8_t>(value);
    if (at + 1 < size)
        stream[at + 1] = static_cast<std::uint8_t>(value >> 8);
}

inline void putLe16(std::uint8_t* p, std::uint16_t value)
{
    p[0] = static_cast<std::uint8_t>(value);
    p[1] = static_cast<std::uint8_t>(value >> 8);
}

inline void putLe32(std::uint8_t* p, std::uint32_t value)
{
    putLe16(p, static_cast<std::uint16_t>(value));
    putLe16(p + 2, static_cast<std::uint16_t>(value >> 16));
}

inline std::uint16_t swap16(std::uint16_t value)
{
    return static_cast<std::uint16_t>(value << 8 | value >> 8);
}

// The value's bytes in memory order, most significant first.
inline std::uint64_t toBigEndian64(std::uint64_t value)
{
#if defined(__GNUC__) && defined(__BYTE_ORDER__) && __BYTE_ORDER__ == __ORDER_LITTLE_ENDIAN__
    return __builtin_bswap64(value);
#elif defined(_MSC_VER)
    return _byteswap_uint64(value);  // every target of MSVC is little-endian
#else
    std::uint8_t bytes[8];
    for (unsigned b = 0; b < 8; ++b)
        bytes[b] = static_cast<std::uint8_t>(value >> (56 - 8 * b));
    std::uint64_t ordered;
    std::memcpy(&ordered, bytes, 8);
    return ordered;
#endif
}

// The eight bytes at p read as one big-endian number (the conversion is its own inverse).
inline std::uint64_t loadBigEndian64(const std::uint8_t* p)
{
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return toBigEndian64(word);
}

}  // namespace mlv2dng::ByteOrder
