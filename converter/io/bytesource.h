// Where MLV bytes come from: a file on disk or a buffer in memory, read strictly front to back.
#pragma once

#include <cstddef>
#include <cstdint>
#include <string>

namespace mlv2dng {

class ByteSource
{
public:
    virtual ~ByteSource() = default;

    // Reads up to n bytes; returns how many arrived (0 at the end). Returns -1 on an I/O error.
    virtual std::ptrdiff_t read(std::uint8_t* destination, std::size_t n) = 0;
    // Total length, known up front, so every size field can be checked against it.
    virtual std::uint64_t size() const = 0;
    virtual const std::string& name() const = 0;
};

}  // namespace mlv2dng
