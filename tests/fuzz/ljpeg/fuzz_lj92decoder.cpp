// libFuzzer target for the lossless-JPEG decoder. Input: the expected sample count as 4 bytes
// little-endian, then the stream.
#include "ljpeg/lj92decoder.h"

#include <cstddef>
#include <cstdint>
#include <cstdlib>
#include <string>

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    if (size < 4)
        return 0;
    const std::size_t expected =
        std::size_t(data[0]) | std::size_t(data[1]) << 8 | std::size_t(data[2]) << 16 | std::size_t(data[3]) << 24;
    const mlv2dng::Lj92Decoder decoder;
    mlv2dng::Lj92Image image;
    std::string error;
    const bool ok = decoder.decode(data + 4, size - 4, expected, image, error);
    if (!ok && (error.empty() || error.find('\n') != std::string::npos))
        std::abort();
    if (!ok)
        return 0;
    if (image.samples.size() != expected
        || std::size_t(image.width) * std::size_t(image.height) * std::size_t(image.components) != expected)
        std::abort();
    // Decoding again into the same image must give the same answer.
    const std::vector<std::uint16_t> first = image.samples;
    if (!decoder.decode(data + 4, size - 4, expected, image, error) || image.samples != first)
        std::abort();
    return 0;
}
